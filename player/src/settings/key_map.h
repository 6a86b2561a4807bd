// The keys of the window's transport, as the user may map them in the
// [keys] group of calendo.ini: `play_pause=F9`, or several keys for one
// action as a list (`play_pause=Space, F9`). An action that is not mapped
// keeps its default key; an entry that names no action, holds a key that is
// not one key chord, or takes a key another action (or a fixed key of the
// window) already has is ignored, and a line says why.
#pragma once

#include <array>
#include <optional>
#include <utility>
#include <vector>

#include <QKeySequence>
#include <QList>
#include <QString>
#include <QStringList>

namespace calendo {

enum class KeyAction {
  play_pause,    // Space: play when stopped, pause and resume while playing
  play,          // play when stopped, resume when paused (no default key)
  pause,         // pause (no default key)
  stop,          // Escape
  rewind,        // R: Review, double speed backward
  forward,       // C: Cue, double speed forward
  step_back,     // Left: 5 s back
  step_forward,  // Right: 5 s forward
  first_page,    // Home
};

inline constexpr int kKeyActionCount = 9;

// The action's name in the [keys] group.
QString KeyActionName(KeyAction action);
std::optional<KeyAction> KeyActionNamed(const QString& name);

// The keys each action answers to.
struct KeyMap {
  std::array<QList<QKeySequence>, kKeyActionCount> keys;
  const QList<QKeySequence>& Of(KeyAction action) const {
    return keys[static_cast<size_t>(action)];
  }
};

// The keys the window has without a [keys] group.
KeyMap DefaultKeyMap();

// The keys of the window that belong to no mappable action (Ctrl+Q, N, L, …);
// no mapped key may take one of them.
const QList<QKeySequence>& FixedWindowKeys();

struct KeyMapResult {
  KeyMap map;
  std::vector<QString> problems;  // one line per ignored entry
};

// The map from the entries of the [keys] group, names with their values (a
// value read as a list gives several keys).
KeyMapResult ReadKeyMap(const std::vector<std::pair<QString, QStringList>>& entries);

}  // namespace calendo
