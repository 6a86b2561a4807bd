// Conversions that end early, each in a player process of its own
// (player_conversion_exit_scenario): leaving while converting by the Exit
// button, the Exit menu item or SIGTERM, which remove the partly written
// temporary file and leave the file it was to replace as it was, and a disk
// that fills, where the player says so and removes the file.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "conversion_fixture.h"

extern char** environ;

namespace calendo {
namespace {

namespace fs = std::filesystem;

struct ScenarioRun {
  int status = -1;    // exit code, or -1 when the process did not exit
  int signal = 0;     // the signal that ended it, if one did
  std::string boxes;  // the message boxes' texts, a line each
};

// Runs the scenario with `how` (exitx, exit0 or a file-size limit).
ScenarioRun RunScenario(const std::string& how, const fs::path& recorder, const fs::path& wav) {
  std::vector<std::string> env_texts = {"QT_QPA_PLATFORM=offscreen", "CALENDO_AUDIO=null"};
  std::vector<char*> env;
  for (char** e = environ; *e != nullptr; ++e) env.push_back(*e);
  for (std::string& e : env_texts) env.push_back(e.data());
  env.push_back(nullptr);
  std::vector<std::string> args = {CALENDO_CONVERSION_EXIT_SCENARIO, how, CALENDO_LIB_DIR,
                                   recorder.string(), wav.string()};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  // The boxes go to a file beside the recording: a few bytes, under any limit.
  const std::string boxes = recorder.string() + ".boxes";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, boxes.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ScenarioRun run;
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return run;
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  std::ifstream in(boxes);
  run.boxes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return run;
}

// The names in `folder` other than the recording's own files.
std::vector<std::string> OtherNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("memo.vqr", 0) != 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ConversionExit_Paths, ExitButtonAndMenuLeaveNoPartialFile) {
  testkit::TempDir dir;
  const fs::path recorder = dir.file("memo.vqr");
  testing::WriteVqr(recorder, testing::MakePages(150, [](int) { return false; }));

  const fs::path by_button = dir.file("button.wav");
  EXPECT_EQ(RunScenario("exitx", recorder, by_button).status, 0);
  EXPECT_FALSE(fs::exists(by_button));

  const fs::path by_menu = dir.file("menu.wav");
  EXPECT_EQ(RunScenario("exit0", recorder, by_menu).status, 0);
  EXPECT_FALSE(fs::exists(by_menu));
  EXPECT_TRUE(OtherNames(dir.path()).empty());
}

// The user said Yes to replacing the file; the conversion never finished, so
// the file is what it was, and no temporary file is left beside it.
TEST(ConversionExit_Paths, LeavingMidwayKeepsTheFileItWasToReplace) {
  testkit::TempDir dir;
  const fs::path recorder = dir.file("memo.vqr");
  testing::WriteVqr(recorder, testing::MakePages(150, [](int) { return false; }));
  const fs::path wav = dir.file("meeting16.wav");
  const std::vector<uint8_t> old_bytes(5000, 0x5a);
  for (const char* how : {"sigterm", "exitx", "exit0"}) {
    SCOPED_TRACE(how);
    testkit::write_file(wav, old_bytes);
    const ScenarioRun run = RunScenario(how, recorder, wav);
    if (std::string(how) == "sigterm") {
      EXPECT_EQ(run.signal, SIGTERM);
    } else {
      EXPECT_EQ(run.status, 0);
    }
    EXPECT_EQ(testing::ReadAll(wav), old_bytes);
    EXPECT_EQ(OtherNames(dir.path()), std::vector<std::string>{"meeting16.wav"});
  }
}

TEST(ConversionExit_Paths, FullDiskSaysShortOfCapacityAndLeavesNoFileWhereverItFills) {
  testkit::TempDir dir;
  const fs::path recorder = dir.file("memo.vqr");
  testing::WriteVqr(recorder, testing::MakePages(150, [](int) { return false; }));
  const std::vector<uint8_t> recorder_bytes = testing::ReadAll(recorder);
  // The whole WAV file would be 44 + 150 × 2720 bytes: fill at the first
  // page, in the middle, near the end.
  for (const int limit : {2000, 150000, 400000}) {
    SCOPED_TRACE("file-size limit " + std::to_string(limit));
    const fs::path wav = dir.file("memo-" + std::to_string(limit) + ".wav");
    const ScenarioRun run = RunScenario(std::to_string(limit), recorder, wav);
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.boxes, "Short of capacity \n");
    EXPECT_FALSE(fs::exists(wav));
    EXPECT_EQ(testing::ReadAll(recorder), recorder_bytes);
  }
}

}  // namespace
}  // namespace calendo
