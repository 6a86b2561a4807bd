// Every way out of the player stops and destroys the wave output, waits 0.1 s
// and only then ends the process. Each path runs in a player process of its
// own (player_exit_scenario) whose steps land in a journal.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "journal.h"
#include "testing/recorder_writer.h"

extern char** environ;

namespace calendo {
namespace {

struct Entry {
  long long ns;
  std::string event;
};

struct Outcome {
  int exit_code = -1;
  std::vector<Entry> all;      // the whole journal
  std::vector<Entry> journal;  // from the "Exit" mark on, when there is one
  bool conversion_file_left = false;

  std::vector<std::string> Events() const {
    std::vector<std::string> events;
    for (const Entry& e : journal) events.push_back(e.event);
    return events;
  }
  long long Gap(const std::string& from, const std::string& to) const {
    long long a = -1, b = -1;
    for (const Entry& e : journal) {
      if (e.event == from) a = e.ns;
      if (e.event == to) b = e.ns;
    }
    return b - a;
  }
};

Outcome RunScenario(const std::string& path,
                    const std::string& library_dir = CALENDO_PLAYER_STUB_DIR,
                    const std::vector<std::string>& extra_env = {}) {
  testkit::TempDir dir;
  const std::string journal = dir.file("journal").string();
  const std::string conversion = dir.file("half.wav").string();
  std::ofstream(conversion) << "RIFF";

  const std::string variable = std::string(testing::kJournalVariable) + "=" + journal;
  // The first entry of a name is the one that counts: the scenario's own first.
  std::vector<char*> env;
  for (const std::string& e : extra_env) env.push_back(const_cast<char*>(e.c_str()));
  for (char** e = environ; *e != nullptr; ++e) env.push_back(*e);
  env.push_back(const_cast<char*>(variable.c_str()));
  std::string platform = "QT_QPA_PLATFORM=offscreen";
  env.push_back(platform.data());
  env.push_back(nullptr);

  std::vector<std::string> args = {CALENDO_EXIT_SCENARIO, path, library_dir, conversion};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  Outcome outcome;
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), env.data()) != 0) return outcome;
  int status = 0;
  waitpid(pid, &status, 0);
  outcome.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  outcome.conversion_file_left = std::filesystem::exists(conversion);

  std::ifstream in(journal);
  std::vector<Entry> all;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    Entry entry;
    fields >> entry.ns;
    std::getline(fields >> std::ws, entry.event);
    all.push_back(entry);
  }
  auto mark =
      std::find_if(all.begin(), all.end(), [](const Entry& e) { return e.event == "Exit"; });
  outcome.journal.assign(mark == all.end() ? all.begin() : mark + 1, all.end());
  outcome.all = all;
  return outcome;
}

constexpr long long kWaitNs = 100'000'000;

TEST(ExitPaths_Order, ClosingTheWindowStopsTheOutputThenEndsAndDeletesTheConversion) {
  for (const char* path : {"close", "unload"}) {
    const Outcome outcome = RunScenario(path);
    EXPECT_EQ(outcome.exit_code, 0) << path;
    EXPECT_EQ(outcome.Events(),
              (std::vector<std::string>{"Hide", "WavStop", "WavDestroy", "EndProcess"}))
        << path;
    EXPECT_GE(outcome.Gap("WavDestroy", "EndProcess"), kWaitNs) << path;
    EXPECT_FALSE(outcome.conversion_file_left) << path;
  }
}

TEST(ExitPaths_Order, ExitButtonAndExitMenuDeleteTheConversionsFile) {
  const Outcome button = RunScenario("exitx");
  EXPECT_EQ(button.exit_code, 0);
  EXPECT_EQ(button.Events(),
            (std::vector<std::string>{"Hide", "WavStop", "WavDestroy", "EndProcess"}));
  EXPECT_GE(button.Gap("WavDestroy", "EndProcess"), kWaitNs);
  EXPECT_FALSE(button.conversion_file_left);

  const Outcome menu = RunScenario("exit0");
  EXPECT_EQ(menu.exit_code, 0);
  EXPECT_EQ(menu.Events(),
            (std::vector<std::string>{"Hide", "WavStop", "WavDestroy", "EndProcess"}));
  EXPECT_GE(menu.Gap("WavDestroy", "EndProcess"), kWaitNs);
  EXPECT_FALSE(menu.conversion_file_left);
}

// A player that ended leaves nothing on the desktop for a later start to try.
TEST(ExitPaths_Order, EveryExitTakesTheWindowOffTheDesktop) {
  for (const char* path : {"exitx", "exit0", "close", "runtime-error"}) {
    testkit::TempDir desktop;
    const Outcome outcome = RunScenario(path, CALENDO_PLAYER_STUB_DIR,
                                        {"CALENDO_DESKTOP_DIR=" + desktop.path().string()});
    EXPECT_EQ(outcome.exit_code, 0) << path;
    for (const auto& entry : std::filesystem::directory_iterator(desktop.path())) {
      const auto extension = entry.path().extension();
      EXPECT_TRUE(extension != ".window" && extension != ".sock")
          << path << " left " << entry.path();
    }
  }
}

TEST(ExitPaths_Order, RunTimeErrorIsShownThenTheOutputStoppedBeforeTheEnd) {
  const Outcome outcome = RunScenario("runtime-error");
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_EQ(outcome.Events(),
            (std::vector<std::string>{
                "MsgBox 16 Calendo|Run-time error '453':\\n\\nCan't find entry point "
                "_SoundSet11k16bit@12 in libtesmor.so",
                "Hide", "WavStop", "WavDestroy", "EndProcess"}));
  EXPECT_GE(outcome.Gap("WavDestroy", "EndProcess"), kWaitNs);
}

TEST(ExitPaths_Order, TerminateStopsTheOutputAndDeletesNothing) {
  const Outcome outcome = RunScenario("terminate");
  EXPECT_EQ(outcome.exit_code, 3);
  EXPECT_EQ(outcome.Events(),
            (std::vector<std::string>{"Hide", "WavStop", "WavDestroy", "Returned"}));
  EXPECT_GE(outcome.Gap("WavDestroy", "Returned"), kWaitNs);
  EXPECT_TRUE(outcome.conversion_file_left);
}

TEST(ExitPaths_Order, PreviousInstanceEndsStartUpBeforeTheOutputIsTouched) {
  const Outcome outcome = RunScenario("previous-instance");
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_EQ(outcome.Events(), (std::vector<std::string>{"EndProcess"}));
}

TEST(ExitPaths_RealOutput, ExitDuringPlaybackClosesTheDeviceBeforeTheEnd) {
  // The capture device writes PATH.part and renames it to PATH when the device
  // closes: PATH alone proves the sound was stopped before the process ended.
  testkit::TempDir dir;
  const std::string heard = dir.file("heard.wav").string();
  const Outcome outcome = RunScenario("exitx-while-playing", CALENDO_LIB_DIR,
                                      {"CALENDO_AUDIO=capture:" + heard, "CALENDO_AUDIO_SPEED=1"});
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_TRUE(std::any_of(outcome.all.begin(), outcome.all.end(),
                          [](const Entry& e) { return e.event == "Playing"; }));
  EXPECT_EQ(outcome.Events(), (std::vector<std::string>{"Hide", "EndProcess"}));
  EXPECT_TRUE(std::filesystem::exists(heard));
  EXPECT_FALSE(std::filesystem::exists(heard + ".part"));
  EXPECT_FALSE(outcome.conversion_file_left);
}

}  // namespace
}  // namespace calendo
