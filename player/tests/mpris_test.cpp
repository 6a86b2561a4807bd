// The player as a media player on a session bus of its own (dbus-run-session),
// driven with gdbus as a desktop applet would drive it: the real program,
// playing a recorder file into the capture device at real-time pace.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "handoff_processes.h"
#include "testing/recorder_writer.h"

namespace calendo {
namespace {

using namespace std::chrono_literals;

// The full path of `tool` on PATH, or "".
std::string FindTool(const std::string& tool) {
  std::string path;
  if (FILE* pipe = popen(("command -v " + tool + " 2>/dev/null").c_str(), "r")) {
    char line[512] = {};
    if (fgets(line, sizeof line, pipe) != nullptr) path = line;
    pclose(pipe);
  }
  while (!path.empty() && (path.back() == '\n' || path.back() == ' ')) path.pop_back();
  return path;
}

bool Eventually(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

class Mpris : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string bus_runner = FindTool("dbus-run-session");
    if (bus_runner.empty() || FindTool("gdbus").empty()) {
      GTEST_SKIP() << "dbus-run-session or gdbus is not installed";
    }
    // A bus that lives until the stop file appears; its address in a file.
    const std::string address_file = dir_.file("bus").string();
    bus_ = testing::StartPlayer(
        bus_runner, {"--", "sh", "-c",
                     "echo \"$DBUS_SESSION_BUS_ADDRESS\" > '" + address_file + "'; while [ ! -e '" +
                         dir_.file("stop").string() + "' ]; do sleep 0.1; done"});
    ASSERT_NE(bus_, 0);
    ASSERT_TRUE(Eventually([&] {
      std::ifstream in(address_file);
      std::getline(in, address_);
      return !address_.empty();
    }));
  }

  void TearDown() override {
    if (player_ != 0) {
      kill(player_, SIGKILL);
      waitpid(player_, nullptr, 0);
    }
    if (bus_ != 0) {
      std::ofstream(dir_.file("stop"));
      if (!testing::WaitForPlayer(bus_, 5s, [] { std::this_thread::sleep_for(20ms); })) {
        ADD_FAILURE() << "the session bus did not end";
      }
    }
  }

  // What gdbus prints for `arguments` sent to the player's object.
  std::string Call(const std::string& arguments) {
    const std::string command = "DBUS_SESSION_BUS_ADDRESS='" + address_ +
                                "' gdbus call --session --dest org.mpris.MediaPlayer2.calendo "
                                "--object-path /org/mpris/MediaPlayer2 " +
                                arguments + " 2>&1";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char buffer[1024];
      while (fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
      pclose(pipe);
    }
    return out;
  }

  std::string Get(const std::string& interface, const std::string& property) {
    return Call("--method org.freedesktop.DBus.Properties.Get " + interface + " " + property);
  }
  std::string PlayerProperty(const std::string& property) {
    return Get("org.mpris.MediaPlayer2.Player", property);
  }
  std::string Status() { return PlayerProperty("PlaybackStatus"); }
  // Position in microseconds, -1 when it could not be read.
  long long Position() {
    const std::string out = PlayerProperty("Position");
    const std::size_t at = out.find("int64 ");
    if (at == std::string::npos) return -1;
    return std::strtoll(out.c_str() + at + 6, nullptr, 10);
  }
  std::uintmax_t Captured() {
    std::error_code error;
    const auto size = std::filesystem::file_size(capture_ + ".part", error);
    return error ? 0 : size;
  }

  testkit::TempDir dir_;
  std::string address_;
  std::string capture_ = dir_.file("heard.wav").string();
  pid_t bus_ = 0;
  pid_t player_ = 0;
};

TEST_F(Mpris, PlayPauseStopAndSeekDriveThePlayerAndItsPropertiesFollow) {
  testkit::VqrFile file;
  for (int p = 0; p < 200; ++p) file.pages.push_back(testkit::vqr_sp_page());
  const std::string path = dir_.file("memo.vqr").string();
  file.write(path);
  player_ = testing::StartPlayer(CALENDO_PROGRAM, {path},
                                 {"DBUS_SESSION_BUS_ADDRESS=" + address_,
                                  "CALENDO_AUDIO=capture:" + capture_, "CALENDO_AUDIO_SPEED=1"});
  ASSERT_NE(player_, 0);

  // The file named on the command line opens and plays.
  ASSERT_TRUE(Eventually([&] { return Status().find("'Playing'") != std::string::npos; }))
      << Status();
  EXPECT_NE(Get("org.mpris.MediaPlayer2", "Identity").find("'Calendo'"), std::string::npos);
  const std::string metadata = PlayerProperty("Metadata");
  EXPECT_NE(metadata.find("'xesam:title': <'memo.vqr'>"), std::string::npos) << metadata;
  EXPECT_NE(metadata.find("'mpris:length': <int64 24"), std::string::npos) << metadata;
  EXPECT_NE(metadata.find("'mpris:trackid': <objectpath '/org/calendo/track/current'>"),
            std::string::npos)
      << metadata;
  for (const char* can : {"CanPlay", "CanPause", "CanSeek"}) {
    EXPECT_EQ(PlayerProperty(can), "(<true>,)\n") << can;
  }

  const long long before = Position();
  ASSERT_TRUE(Eventually([&] { return Position() > before + 300000; })) << Position();

  // PlayPause holds the sound, and a second one lets it go on.
  EXPECT_EQ(Call("--method org.mpris.MediaPlayer2.Player.PlayPause"), "()\n");
  ASSERT_TRUE(Eventually([&] { return Status().find("'Paused'") != std::string::npos; }));
  std::this_thread::sleep_for(200ms);
  const std::uintmax_t held = Captured();
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(Captured(), held);
  Call("--method org.mpris.MediaPlayer2.Player.PlayPause");
  ASSERT_TRUE(Eventually([&] { return Status().find("'Playing'") != std::string::npos; }));
  EXPECT_TRUE(Eventually([&] { return Captured() > held + 11025; }));

  // SetPosition moves to the page nearest the time asked for, and plays on.
  Call("--method org.mpris.MediaPlayer2.Player.SetPosition /org/calendo/track/current 20000000");
  EXPECT_TRUE(Eventually([&] {
    const long long at = Position();
    return at >= 19800000 && at < 22000000;
  })) << Position();
  Call("--method org.mpris.MediaPlayer2.Player.Seek -- -10000000");
  EXPECT_TRUE(Eventually([&] { return Position() < 15000000; })) << Position();

  Call("--method org.mpris.MediaPlayer2.Player.Stop");
  EXPECT_TRUE(Eventually([&] { return Status().find("'Stopped'") != std::string::npos; }));

  Call("--method org.mpris.MediaPlayer2.Quit");
  EXPECT_EQ(testing::WaitForPlayer(player_, 10s, [] { std::this_thread::sleep_for(20ms); }), 0);
  player_ = 0;
}

// OpenUri opens a recorder file given as a file:// URI, and refuses anything
// else with an error, never a silent success.
TEST_F(Mpris, OpenUriOpensARecorderFileAndRefusesAnythingElse) {
  testkit::VqrFile file;
  for (int p = 0; p < 100; ++p) file.pages.push_back(testkit::vqr_sp_page());
  const std::string path = dir_.file("dictation.vqr").string();
  file.write(path);
  const std::string text = dir_.file("notes.txt").string();
  std::ofstream(text) << "not a recording";
  player_ = testing::StartPlayer(CALENDO_PROGRAM, {},
                                 {"DBUS_SESSION_BUS_ADDRESS=" + address_,
                                  "CALENDO_AUDIO=capture:" + capture_, "CALENDO_AUDIO_SPEED=1"});
  ASSERT_NE(player_, 0);
  ASSERT_TRUE(Eventually([&] { return Status().find("'Stopped'") != std::string::npos; }))
      << Status();
  const std::string types = Get("org.mpris.MediaPlayer2", "SupportedMimeTypes");
  EXPECT_NE(types.find("'audio/x-vqr'"), std::string::npos) << types;
  EXPECT_NE(types.find("'audio/x-vqm'"), std::string::npos) << types;
  EXPECT_NE(Get("org.mpris.MediaPlayer2", "SupportedUriSchemes").find("'file'"), std::string::npos);
  EXPECT_EQ(PlayerProperty("CanPlay"), "(<false>,)\n");

  for (const std::string& refused :
       {std::string("https://example.org/dictation.vqr"), "file://" + text,
        "file://" + dir_.file("missing.vqr").string(), std::string("not a uri")}) {
    const std::string out =
        Call("--method org.mpris.MediaPlayer2.Player.OpenUri '" + refused + "'");
    EXPECT_NE(out.find("org.freedesktop.DBus.Error.InvalidArgs"), std::string::npos)
        << refused << ": " << out;
  }
  EXPECT_EQ(PlayerProperty("CanPlay"), "(<false>,)\n");

  EXPECT_EQ(Call("--method org.mpris.MediaPlayer2.Player.OpenUri 'file://" + path + "'"), "()\n");
  ASSERT_TRUE(Eventually([&] { return Status().find("'Playing'") != std::string::npos; }))
      << Status();
  EXPECT_NE(PlayerProperty("Metadata").find("'xesam:title': <'dictation.vqr'>"), std::string::npos);
  EXPECT_EQ(PlayerProperty("CanPlay"), "(<true>,)\n");
  // The length is the sound's: 100 pages of 1360 samples at 11025 Hz.
  EXPECT_NE(PlayerProperty("Metadata").find("'mpris:length': <int64 12335601>"), std::string::npos)
      << PlayerProperty("Metadata");

  Call("--method org.mpris.MediaPlayer2.Quit");
  EXPECT_EQ(testing::WaitForPlayer(player_, 10s, [] { std::this_thread::sleep_for(20ms); }), 0);
  player_ = 0;
}

// A name in Latin-1, as old memory cards write them, opens from the command
// line and plays; it is shown with U+FFFD for the byte that is not UTF-8.
TEST_F(Mpris, ANameThatIsNotUtf8OpensFromTheCommandLine) {
  testkit::VqrFile file;
  for (int p = 0; p < 100; ++p) file.pages.push_back(testkit::vqr_sp_page());
  const std::string path = dir_.path().string() + "/caf\xe9.vqr";
  file.write(path);
  player_ = testing::StartPlayer(CALENDO_PROGRAM, {path},
                                 {"DBUS_SESSION_BUS_ADDRESS=" + address_,
                                  "CALENDO_AUDIO=capture:" + capture_, "CALENDO_AUDIO_SPEED=1"});
  ASSERT_NE(player_, 0);
  ASSERT_TRUE(Eventually([&] { return Status().find("'Playing'") != std::string::npos; }))
      << Status();
  EXPECT_TRUE(Eventually([&] { return Captured() > 11025; }));
  const std::string metadata = PlayerProperty("Metadata");
  EXPECT_NE(metadata.find("'xesam:title': <'caf\xef\xbf\xbd.vqr'>"), std::string::npos) << metadata;
  EXPECT_NE(metadata.find("caf%E9.vqr"), std::string::npos) << metadata;
  Call("--method org.mpris.MediaPlayer2.Quit");
  EXPECT_EQ(testing::WaitForPlayer(player_, 10s, [] { std::this_thread::sleep_for(20ms); }), 0);
  player_ = 0;
}

}  // namespace
}  // namespace calendo
