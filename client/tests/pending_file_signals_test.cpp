// The removal of pending files by a signal, in child processes that make
// pending files and are then ended the way a user ends a program.
#include "calendo/client/pending_file_signals.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "calendo/io.h"
#include "calendo/pending_file.h"
#include "testing/temp_dir.h"

namespace calendo::client {
namespace {

namespace fs = std::filesystem;

// A child that installs the removal, makes `files` pending files in `folder`
// (committing the first when `commit_one`), says so on a pipe and waits to be
// ended. Returns its pid once it has said so.
pid_t StartHolder(const fs::path& folder, int files, bool commit_one, bool ignore_hup = false) {
  int ready[2];
  if (::pipe(ready) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ready[0]);
    if (ignore_hup) std::signal(SIGHUP, SIG_IGN);
    RemovePendingFilesOnSignals();
    std::vector<PendingFile> pending;
    for (int i = 0; i < files; ++i) {
      Result<PendingFile> file =
          PendingFile::create((folder / (std::to_string(i) + ".wav")).string());
      if (!file.ok()) ::_exit(3);
      pending.push_back(std::move(*file));
    }
    if (commit_one && !pending.front().commit(false).ok()) ::_exit(4);
    const uint8_t byte = 1;
    if (!write_all(ready[1], {&byte, 1}).ok()) ::_exit(5);
    for (int i = 0; i < 1000; ++i) ::usleep(10'000);
    ::_exit(0);
  }
  ::close(ready[1]);
  uint8_t byte = 0;
  const Result<std::size_t> got = read_full(ready[0], {&byte, 1});
  ::close(ready[0]);
  if (!got.ok() || got.value() != 1) return -1;
  return child;
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  return names;
}

TEST(PendingFileSignals_Removal, ASignalLeavesNoTemporaryFile) {
  for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
    testkit::TempDir dir;
    const pid_t child = StartHolder(dir.path(), 3, true);
    ASSERT_GT(child, 0);
    EXPECT_EQ(Names(dir.path()).size(), 3u);  // 0.wav and two pending
    ::kill(child, signal_number);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "ended by signal " << signal_number;
    EXPECT_EQ(WTERMSIG(status), signal_number);
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"0.wav"}) << signal_number;
  }
}

TEST(PendingFileSignals_Removal, KeepsAsManyNamesAsItHasSlots) {
  testkit::TempDir dir;
  const pid_t child = StartHolder(dir.path(), kSignalRemovalSlots, false);
  ASSERT_GT(child, 0);
  ::kill(child, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(PendingFileSignals_Removal, AHangupIgnoredAtStartStaysIgnored) {
  testkit::TempDir dir;
  const pid_t child = StartHolder(dir.path(), 1, false, true);
  ASSERT_GT(child, 0);
  ::kill(child, SIGHUP);
  ::usleep(50'000);
  EXPECT_EQ(Names(dir.path()).size(), 1u);
  ::kill(child, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGTERM) << "the hangup ended it";
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(PendingFileSignals_FileSizeLimit, AWritePastItFailsInsteadOfEndingTheProcess) {
  testkit::TempDir dir;
  const pid_t child = ::fork();
  if (child == 0) {
    RemovePendingFilesOnSignals();
    const rlimit limit{16, 16};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(2);
    bool refused = false;
    {
      Result<PendingFile> file = PendingFile::create(dir.file("big.wav").string());
      if (!file.ok()) ::_exit(3);
      const std::vector<uint8_t> bytes(64, 0);
      const Status wrote = write_all(file->fd(), bytes);
      refused = !wrote.ok() && wrote.fault().system_error == EFBIG;
    }
    ::_exit(refused ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

}  // namespace
}  // namespace calendo::client
