// The key map of the [keys] group: defaults, entries taken and entries
// refused with a line each.
#include <gtest/gtest.h>

#include "keyboard.h"
#include "settings/key_map.h"

namespace calendo {
namespace {

using Entries = std::vector<std::pair<QString, QStringList>>;

QList<QKeySequence> Keys(const char* text) {
  if (*text == '\0') return {};
  return QKeySequence::listFromString(QString::fromLatin1(text));
}

TEST(KeyMap, DefaultsAreTheWindowsKeysAndNoEntriesChangeNothing) {
  const KeyMapResult read = ReadKeyMap({});
  EXPECT_TRUE(read.problems.empty());
  const std::vector<std::pair<KeyAction, const char*>> expected = {
      {KeyAction::play_pause, "Space"}, {KeyAction::play, ""},
      {KeyAction::pause, ""},           {KeyAction::stop, "Esc"},
      {KeyAction::rewind, "R"},         {KeyAction::forward, "C"},
      {KeyAction::step_back, "Left"},   {KeyAction::step_forward, "Right"},
      {KeyAction::first_page, "Home"}};
  for (const auto& [action, keys] : expected) {
    EXPECT_EQ(read.map.Of(action), Keys(keys)) << KeyActionName(action).toStdString();
    EXPECT_EQ(KeyActionNamed(KeyActionName(action)), action);
  }
  for (const QKeySequence& fixed : FixedWindowKeys()) {
    for (int i = 0; i < kKeyActionCount; ++i) {
      EXPECT_FALSE(read.map.keys[i].contains(fixed)) << fixed.toString().toStdString();
    }
  }
}

TEST(KeyMap, EntriesReplaceTheDefaultOfTheirActionOnly) {
  const KeyMapResult read = ReadKeyMap({{"play_pause", {"F9"}},
                                        {"rewind", {"F7"}},
                                        {"forward", {"F8", "Shift+F8", "F8"}},
                                        {"pause", {"ctrl+p"}},
                                        {"first_page", {""}}});
  EXPECT_TRUE(read.problems.empty());
  EXPECT_EQ(read.map.Of(KeyAction::play_pause), Keys("F9"));
  EXPECT_EQ(read.map.Of(KeyAction::rewind), Keys("F7"));
  EXPECT_EQ(read.map.Of(KeyAction::forward), Keys("F8; Shift+F8"));
  EXPECT_EQ(read.map.Of(KeyAction::pause), Keys("Ctrl+P"));
  EXPECT_TRUE(read.map.Of(KeyAction::first_page).isEmpty());
  EXPECT_EQ(read.map.Of(KeyAction::stop), Keys("Esc"));
  // Two actions may swap their keys.
  const KeyMapResult swapped = ReadKeyMap({{"rewind", {"C"}}, {"forward", {"R"}}});
  EXPECT_TRUE(swapped.problems.empty());
  EXPECT_EQ(swapped.map.Of(KeyAction::rewind), Keys("C"));
  EXPECT_EQ(swapped.map.Of(KeyAction::forward), Keys("R"));
}

TEST(KeyMap, BadEntriesAreIgnoredWithALineEach) {
  const KeyMapResult read = ReadKeyMap({
      {"jump", {"F2"}},               // no such action
      {"play", {"F99"}},              // no key
      {"pause", {"Ctrl+X, Ctrl+C"}},  // two chords
      {"stop", {"F4", "Ctrl+"}},      // one bad key spoils the entry
      {"step_back", {"Ctrl+Q"}},      // a fixed key of the window
      {"step_forward", {"C"}},        // Cue's default, which stays
      {"rewind", {"F7"}},
      {"first_page", {"F7", "F6"}},  // taken by an earlier entry
  });
  ASSERT_EQ(read.problems.size(), 7u);
  for (const QString& line : read.problems) {
    EXPECT_TRUE(line.startsWith(QStringLiteral("[keys] "))) << line.toStdString();
    EXPECT_TRUE(line.endsWith(QStringLiteral("; ignored"))) << line.toStdString();
    EXPECT_FALSE(line.contains(QLatin1Char('\n')));
  }
  EXPECT_TRUE(read.problems[0].contains(QStringLiteral("jump")));
  const KeyMap defaults = DefaultKeyMap();
  for (const KeyAction action :
       {KeyAction::play, KeyAction::pause, KeyAction::stop, KeyAction::step_back,
        KeyAction::step_forward, KeyAction::first_page}) {
    EXPECT_EQ(read.map.Of(action), defaults.Of(action)) << KeyActionName(action).toStdString();
  }
  EXPECT_EQ(read.map.Of(KeyAction::rewind), Keys("F7"));
  EXPECT_EQ(read.map.Of(KeyAction::forward), Keys("C"));
}

TEST(KeyMap, AnEntryRefusedGivesItsDefaultBackAndTheEntryThatTookItYields) {
  // play_pause's entry is refused, so Space is play_pause's again; pause,
  // which took Space, must give it up.
  const KeyMapResult read = ReadKeyMap({{"play_pause", {"nonsense"}}, {"pause", {"Space"}}});
  EXPECT_EQ(read.problems.size(), 2u);
  EXPECT_EQ(read.map.Of(KeyAction::play_pause), Keys("Space"));
  EXPECT_TRUE(read.map.Of(KeyAction::pause).isEmpty());
  // Qt's other name of Esc is still stop's key.
  const KeyMapResult escape = ReadKeyMap({{"pause", {"Escape"}}});
  EXPECT_EQ(escape.problems.size(), 1u);
  EXPECT_TRUE(escape.map.Of(KeyAction::pause).isEmpty());
}

}  // namespace
}  // namespace calendo

namespace calendo {
namespace {

using testing::PressKey;

// A [keys] group in the user's file maps the transport for the window: the
// mapped keys act as the keys they replace, and the keys they replace are
// free.
class MappedKeys : public testing::KeyboardTest {
 protected:
  void Keep(const char* ini_text) {
    const std::string ini = dir_.file("calendo.ini").string();
    std::ofstream(ini) << ini_text;
    form().KeepSettingsIn(KeptSettings::InFile(QString::fromStdString(ini)));
  }
};

TEST_F(MappedKeys, AMappedKeyDrivesThePlaybackAndTheDefaultItReplacedIsFree) {
  Keep("[keys]\nplay_pause=F9\nforward=F8, Shift+F8\npause=F10\n");
  const std::string path = WriteVqr("memo.vqr", 120);
  Open(path);
  // The tooltips name the keys the buttons now answer to.
  EXPECT_EQ(form().PlayX->toolTip(), "Play / pause (F9)");
  EXPECT_EQ(form().CueX->toolTip(), "Cue (F8, Shift+F8)");
  EXPECT_EQ(form().RevX->toolTip(), "Review (R)");
  setenv("CALENDO_AUDIO_SPEED", "4", 1);

  // Space plays no more.
  PressKey(form(), Qt::Key_Space);
  EXPECT_EQ(form().PlayActive, 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("heard.wav")));

  bool played = false;
  bool paused_by_f10 = false;
  bool paused_by_f9_toggled = false;
  bool cued = false;
  WhenSlider([](int page) { return page >= 2; },
             [&] {
               played = !form().PlayX->isEnabled() && !form().Paused();
               PressKey(form(), Qt::Key_F10);
               paused_by_f10 = form().Paused();
               PressKey(form(), Qt::Key_F9);
               paused_by_f9_toggled = !form().Paused();
               QTimer::singleShot(400, form().PlaySlider, [&] {
                 cued = !form().CueX->isEnabled();
                 PressKey(form(), Qt::Key_Escape);
               });
               PressKey(form(), Qt::Key_F8, Qt::ShiftModifier);  // cue, as C would
             });
  PressKey(form(), Qt::Key_F9);
  EXPECT_TRUE(played);
  EXPECT_TRUE(paused_by_f10);
  EXPECT_TRUE(paused_by_f9_toggled);
  EXPECT_TRUE(cued);
  EXPECT_EQ(form().PlayActive, 0);
  EXPECT_TRUE(Ready());

  // Cue's default went with its entry.
  PressKey(form(), Qt::Key_C);
  EXPECT_EQ(form().PlayActive, 0);
  EXPECT_TRUE(Ready());
}

TEST_F(MappedKeys, ABadGroupLeavesEveryDefaultWorking) {
  Keep("[keys]\nplay_pause=Ctrl+Q\nstop=\"F99\"\nwarp=F2\n");
  const std::string path = WriteVqr("memo.vqr", 8);
  Open(path);
  EXPECT_EQ(form().PlayX->toolTip(), "Play / pause (Space)");
  EXPECT_EQ(form().StopX->toolTip(), "Stop (Esc)");
  EXPECT_EQ(form().PlaySlider->toolTip(), "5 s back / forward (Left / Right), first page (Home)");
  // Space plays the whole file at once (no real time), and Ctrl+Q, still
  // the window's own, was not taken.
  PressKey(form(), Qt::Key_Space);
  EXPECT_TRUE(std::filesystem::exists(dir_.file("heard.wav")));
  EXPECT_TRUE(Ready());
  EXPECT_TRUE(form().isVisible());
}

}  // namespace
}  // namespace calendo
