// Two real player processes on one desktop.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "handoff_processes.h"
#include "platform/desktop.h"

namespace calendo {
namespace {

using namespace std::chrono_literals;

const bool kScratchDesktop = !testing::ScratchDesktopDirectory().empty();

bool EntryFilesExist(platform::DesktopWindow window) {
  char name[16];
  std::snprintf(name, sizeof name, "%08x", window);
  const std::filesystem::path dir = testing::ScratchDesktopDirectory();
  return std::filesystem::exists(dir / (std::string(name) + ".window")) ||
         std::filesystem::exists(dir / (std::string(name) + ".sock"));
}

void Pause() {
  std::this_thread::sleep_for(10ms);
}

// The one live window with a title, once a started player got past its
// previous-instance check (it then holds the lock).
std::optional<platform::DesktopWindow> RunningPlayerWindow(std::chrono::milliseconds timeout) {
  if (!testing::ServeUntil([] { return platform::desktop_instance_held_elsewhere("calendo"); },
                           timeout, Pause)) {
    return std::nullopt;
  }
  const auto windows = platform::desktop_windows();
  if (windows.size() != 1) return std::nullopt;
  return windows.front();
}

class HandoffPlayersTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(kScratchDesktop); }
  void TearDown() override {
    for (pid_t pid : players_) testing::KillPlayer(pid);
  }
  pid_t Start(const std::vector<std::string>& arguments) {
    const pid_t pid = testing::StartPlayer(CALENDO_PROGRAM, arguments);
    players_.push_back(pid);
    return pid;
  }

  std::vector<pid_t> players_;
};

TEST_F(HandoffPlayersTest, EntryOfAKilledPlayerIsPassedByAndRemoved) {
  const pid_t first = Start({});
  const auto killed = RunningPlayerWindow(20s);
  ASSERT_TRUE(killed.has_value()) << "the first player did not come up";
  EXPECT_EQ(platform::desktop_title(*killed), std::string("Calendo"));
  testing::KillPlayer(first);
  ASSERT_TRUE(EntryFilesExist(*killed));

  // The second start finds no player: it starts up itself, and its walk
  // removed what the killed one left.
  Start({"/nowhere/x.vqr"});
  const auto second = RunningPlayerWindow(20s);
  ASSERT_TRUE(second.has_value()) << "the second player did not start up";
  EXPECT_NE(*second, *killed);
  EXPECT_FALSE(EntryFilesExist(*killed));
}

// Two starts at the same moment (a file manager opening two files): exactly
// one player stays.
TEST_F(HandoffPlayersTest, TwoStartsAtOnceLeaveOnePlayer) {
  const pid_t a = Start({"/nowhere/a.vqr"});
  const pid_t b = Start({"/nowhere/b.vqr"});
  pid_t ended = 0;
  ASSERT_TRUE(testing::ServeUntil(
      [&] {
        int status = 0;
        for (pid_t pid : {a, b}) {
          if (waitpid(pid, &status, WNOHANG) == pid) {
            ended = pid;
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
          }
        }
        return ended != 0;
      },
      20s, Pause));
  players_.erase(std::find(players_.begin(), players_.end(), ended));

  const auto stayed = RunningPlayerWindow(20s);
  ASSERT_TRUE(stayed.has_value());
  EXPECT_EQ(platform::desktop_title(*stayed).value_or("").rfind("Calendo", 0), 0u);
  EXPECT_EQ(waitpid(ended == a ? b : a, nullptr, WNOHANG), 0) << "no player stayed";
}

}  // namespace
}  // namespace calendo
