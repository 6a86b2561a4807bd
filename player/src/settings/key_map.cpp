#include "settings/key_map.h"

#include <algorithm>

namespace calendo {
namespace {

struct ActionInfo {
  KeyAction action;
  const char* name;
  Qt::Key default_key;  // Qt::Key_unknown: none
};

constexpr std::array<ActionInfo, kKeyActionCount> kActions = {{
    {KeyAction::play_pause, "play_pause", Qt::Key_Space},
    {KeyAction::play, "play", Qt::Key_unknown},
    {KeyAction::pause, "pause", Qt::Key_unknown},
    {KeyAction::stop, "stop", Qt::Key_Escape},
    {KeyAction::rewind, "rewind", Qt::Key_R},
    {KeyAction::forward, "forward", Qt::Key_C},
    {KeyAction::step_back, "step_back", Qt::Key_Left},
    {KeyAction::step_forward, "step_forward", Qt::Key_Right},
    {KeyAction::first_page, "first_page", Qt::Key_Home},
}};

size_t IndexOf(KeyAction action) {
  return static_cast<size_t>(action);
}

// One key chord, or nothing for a text that is none.
std::optional<QKeySequence> OneChord(const QString& text) {
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty()) return std::nullopt;
  const QKeySequence sequence = QKeySequence::fromString(trimmed, QKeySequence::PortableText);
  // Two chords ("Ctrl+X, Ctrl+C") would make the window wait for the second.
  if (sequence.count() != 1 || sequence[0].key() == Qt::Key_unknown) return std::nullopt;
  // A text Qt does not know ("F9x", "Ctrl+") reads as a key it cannot name.
  if (sequence.toString(QKeySequence::PortableText).isEmpty()) return std::nullopt;
  return sequence;
}

QString Entry(const QString& name, const QStringList& value) {
  return QStringLiteral("[keys] %1=%2").arg(name, value.join(QStringLiteral(", ")));
}

}  // namespace

QString KeyActionName(KeyAction action) {
  return QString::fromLatin1(kActions[IndexOf(action)].name);
}

std::optional<KeyAction> KeyActionNamed(const QString& name) {
  for (const ActionInfo& info : kActions) {
    if (name == QLatin1String(info.name)) return info.action;
  }
  return std::nullopt;
}

KeyMap DefaultKeyMap() {
  KeyMap map;
  for (const ActionInfo& info : kActions) {
    if (info.default_key != Qt::Key_unknown) {
      map.keys[IndexOf(info.action)] = {QKeySequence(info.default_key)};
    }
  }
  return map;
}

const QList<QKeySequence>& FixedWindowKeys() {
  static const QList<QKeySequence> keys = {
      QKeySequence(Qt::CTRL | Qt::Key_Q),
      QKeySequence(Qt::CTRL | Qt::Key_O),
      QKeySequence(Qt::Key_BracketLeft),
      QKeySequence(Qt::Key_BracketRight),
      QKeySequence(Qt::Key_N),
      QKeySequence(Qt::Key_L),
      QKeySequence(Qt::CTRL | Qt::Key_G),
      QKeySequence(Qt::CTRL | Qt::Key_T),
      QKeySequence(Qt::SHIFT | Qt::Key_Left),
      QKeySequence(Qt::SHIFT | Qt::Key_Right),
      QKeySequence(Qt::CTRL | Qt::Key_Left),
      QKeySequence(Qt::CTRL | Qt::Key_Right),
      QKeySequence(Qt::CTRL | Qt::Key_Up),
      QKeySequence(Qt::CTRL | Qt::Key_Down),
  };
  return keys;
}

KeyMapResult ReadKeyMap(const std::vector<std::pair<QString, QStringList>>& entries) {
  KeyMapResult result{DefaultKeyMap(), {}};
  std::array<bool, kKeyActionCount> mapped{};
  std::array<QString, kKeyActionCount> entry_text;

  for (const auto& [name, value] : entries) {
    const std::optional<KeyAction> action = KeyActionNamed(name);
    if (!action) {
      result.problems.push_back(Entry(name, value) + QStringLiteral(": no such action; ignored"));
      continue;
    }
    QList<QKeySequence> keys;
    bool readable = true;
    for (const QString& text : value) {
      if (text.trimmed().isEmpty()) continue;  // `pause=` alone: no key
      const std::optional<QKeySequence> key = OneChord(text);
      if (!key) {
        result.problems.push_back(
            Entry(name, value) +
            QStringLiteral(": \"%1\" is not a key; ignored").arg(text.trimmed()));
        readable = false;
        break;
      }
      if (!keys.contains(*key)) keys.append(*key);
    }
    if (!readable) continue;
    const size_t index = IndexOf(*action);
    result.map.keys[index] = keys;  // an empty value leaves the action without a key
    mapped[index] = true;
    entry_text[index] = Entry(name, value);
  }

  // A key held twice: the mapped entry that brought it goes back to its
  // action's default (the later one in the order above when both are
  // mapped), until no key is held twice. Defaults never clash among
  // themselves, and a mapped action no longer holds its default, so two
  // actions may swap their keys.
  const KeyMap defaults = DefaultKeyMap();
  for (bool changed = true; changed;) {
    changed = false;
    for (size_t a = 0; a < kActions.size() && !changed; ++a) {
      if (!mapped[a]) continue;
      for (const QKeySequence& key : result.map.keys[a]) {
        QString holder;
        if (FixedWindowKeys().contains(key)) holder = QStringLiteral("the window");
        for (size_t b = 0; b < kActions.size() && holder.isEmpty(); ++b) {
          if (b != a && result.map.keys[b].contains(key) && (!mapped[b] || b < a)) {
            holder = QString::fromLatin1(kActions[b].name);
          }
        }
        if (holder.isEmpty()) continue;
        result.problems.push_back(entry_text[a] +
                                  QStringLiteral(": %1 is taken by %2; ignored")
                                      .arg(key.toString(QKeySequence::PortableText), holder));
        result.map.keys[a] = defaults.keys[a];
        mapped[a] = false;
        changed = true;
        break;
      }
    }
  }
  return result;
}

}  // namespace calendo
