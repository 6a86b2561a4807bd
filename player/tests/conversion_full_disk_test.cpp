// Converting to WAV on a disk that fills: the player says "Short of capacity"
// and removes what it wrote, wherever the disk fills. Each run is a player
// process of its own with a file-size limit (player_conversion_full_disk_scenario).
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

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
  int status = -1;  // exit code, or -1 when the process did not exit
  std::string boxes;
};

ScenarioRun RunWithLimit(uint64_t limit, const fs::path& recorder, const fs::path& wav,
                         const fs::path& boxes) {
  std::vector<std::string> env_texts = {"QT_QPA_PLATFORM=offscreen", "CALENDO_AUDIO=null"};
  std::vector<char*> env;
  for (char** e = environ; *e != nullptr; ++e) env.push_back(*e);
  for (std::string& e : env_texts) env.push_back(e.data());
  env.push_back(nullptr);
  std::vector<std::string> args = {CALENDO_CONVERSION_FULL_DISK_SCENARIO, std::to_string(limit),
                                   CALENDO_LIB_DIR, recorder.string(), wav.string()};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
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
  std::ifstream in(boxes);
  run.boxes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return run;
}

TEST(ConversionFullDisk, SaysShortOfCapacityAndLeavesNoFileWhereverTheDiskFills) {
  testkit::TempDir dir;
  const fs::path recorder = dir.file("memo.vqr");
  testing::WriteVqr(recorder, testing::MakePages(150, [](int) { return false; }));
  const uintmax_t recorder_size = fs::file_size(recorder);
  // The 16-bit WAV file is 44 + 150 × 2720 bytes; the box texts go to a file
  // of a few bytes, well under every limit.
  for (const uint64_t limit : {uint64_t{2000}, uint64_t{150000}, uint64_t{400000}}) {
    SCOPED_TRACE("limit " + std::to_string(limit));
    const fs::path wav = dir.file("memo-" + std::to_string(limit) + ".wav");
    const ScenarioRun run = RunWithLimit(limit, recorder, wav, dir.file("boxes.txt"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.boxes, "Short of capacity \n");
    EXPECT_FALSE(fs::exists(wav));
    EXPECT_EQ(fs::file_size(recorder), recorder_size);
  }
}

}  // namespace
}  // namespace calendo
