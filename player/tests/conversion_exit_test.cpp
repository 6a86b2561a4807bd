// Leaving the player while it converts: the Exit button deletes the partly
// written WAV file, the Exit menu item leaves it. Each exit runs in a player
// process of its own (player_conversion_exit_scenario).
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "conversion_fixture.h"

extern char** environ;

namespace calendo {
namespace {

namespace fs = std::filesystem;

// Runs the scenario and returns its exit code (-1 when it did not exit).
int RunExit(const std::string& how, const fs::path& recorder, const fs::path& wav) {
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
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), env.data()) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ConversionExit_Paths, ButtonDeletesThePartialFileMenuKeepsIt) {
  testkit::TempDir dir;
  const fs::path recorder = dir.file("memo.vqr");
  testing::WriteVqr(recorder, testing::MakePages(150, [](int) { return false; }));
  const uintmax_t whole = 44 + 150 * 2720;

  const fs::path by_button = dir.file("button.wav");
  EXPECT_EQ(RunExit("exitx", recorder, by_button), 0);
  EXPECT_FALSE(fs::exists(by_button));

  const fs::path by_menu = dir.file("menu.wav");
  EXPECT_EQ(RunExit("exit0", recorder, by_menu), 0);
  ASSERT_TRUE(fs::exists(by_menu));
  EXPECT_GT(fs::file_size(by_menu), 44u);
  EXPECT_LT(fs::file_size(by_menu), whole);
}

}  // namespace
}  // namespace calendo
