#include "calendo/pending_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "testing/temp_dir.h"

namespace calendo {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteThrough(const PendingFile& file, const std::string& text) {
  ASSERT_TRUE(write_all(file.fd(), {reinterpret_cast<const uint8_t*>(text.data()), text.size()}));
}

TEST(PendingFile_Commit, GivesTheTargetItsBytesOnlyWhenComplete) {
  testkit::TempDir dir;
  const std::string target = dir.file("memo.wav").string();
  Result<PendingFile> file = PendingFile::create(target);
  ASSERT_TRUE(file.ok()) << file.fault().message;
  const std::string temp_name = fs::path(file->temp_path()).filename().string();
  EXPECT_EQ(temp_name.rfind(".memo.wav.part-", 0), 0u) << temp_name;
  EXPECT_EQ(temp_name.size(), std::string(".memo.wav.part-").size() + 6);
  WriteThrough(*file, "samples");
  EXPECT_FALSE(fs::exists(target));

  ASSERT_TRUE(file->commit(false));
  EXPECT_EQ(Contents(target), "samples");
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"memo.wav"});
  // A new file's permissions: 0666 less the umask, not the private 0600 of a
  // temporary file.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  struct stat info {};
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
}

TEST(PendingFile_Commit, TakesWhatALibraryPutUnderTheTemporaryName) {
  testkit::TempDir dir;
  Result<PendingFile> file = PendingFile::create(dir.file("out.vqr").string());
  ASSERT_TRUE(file.ok());
  WriteThrough(*file, "old inode");
  fs::remove(file->temp_path());
  std::ofstream(file->temp_path(), std::ios::binary) << "written by name";
  ASSERT_TRUE(file->commit(true));
  EXPECT_EQ(Contents(dir.file("out.vqr")), "written by name");
}

TEST(PendingFile_Commit, WithoutReplaceLeavesAnExistingFileAlone) {
  testkit::TempDir dir;
  const std::string target = dir.file("a.wav").string();
  std::ofstream(target) << "old";
  {
    Result<PendingFile> file = PendingFile::create(target);
    ASSERT_TRUE(file.ok());
    WriteThrough(*file, "new");
    const Status committed = file->commit(false);
    ASSERT_FALSE(committed.ok());
    EXPECT_EQ(committed.fault().failure, Failure::Exists);
    EXPECT_EQ(committed.fault().message, target + " exists");
    EXPECT_EQ(Contents(target), "old");
    EXPECT_EQ(Names(dir.path()).size(), 2u);  // still pending
  }
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"a.wav"});

  Result<PendingFile> file = PendingFile::create(target);
  ASSERT_TRUE(file.ok());
  WriteThrough(*file, "new");
  ASSERT_TRUE(file->commit(true));
  EXPECT_EQ(Contents(target), "new");
}

TEST(PendingFile_Drop, RemovesAnUncommittedFileOnceWhereverItWasMoved) {
  testkit::TempDir dir;
  {
    Result<PendingFile> file = PendingFile::create(dir.file("x.flac").string());
    ASSERT_TRUE(file.ok());
    PendingFile moved = std::move(*file);
    WriteThrough(moved, "part");
    EXPECT_EQ(Names(dir.path()).size(), 1u);
  }
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(PendingFile_Create, NamesTheFolderItCannotWriteIn) {
  testkit::TempDir dir;
  const Result<PendingFile> file = PendingFile::create(dir.file("missing/a.wav").string());
  ASSERT_FALSE(file.ok());
  EXPECT_EQ(file.fault().failure, Failure::CannotCreate);
  EXPECT_EQ(file.fault().message, "cannot create a file in " + dir.file("missing").string() +
                                      ": No such file or directory");
}

// The temporary name adds 13 bytes to the target's: a target near the
// 255-byte limit still gets a temporary name within it, its own name intact.
TEST(PendingFile_Create, KeepsTheTemporaryNameWithinTheNameLimit) {
  testkit::TempDir dir;
  const std::string accented = "\xC3\xA9";  // é, two bytes
  std::string two_byte_name;
  while (two_byte_name.size() < 240) two_byte_name += accented;
  two_byte_name += ".wav";  // 244 bytes
  for (const std::string& name :
       {std::string(243, 'a'), std::string(255, 'b'), std::string(242, 'c'), two_byte_name}) {
    const std::string target = dir.file(name).string();
    Result<PendingFile> file = PendingFile::create(target);
    ASSERT_TRUE(file.ok()) << name.size() << ": " << file.fault().message;
    const std::string temp_name = fs::path(file->temp_path()).filename().string();
    EXPECT_LE(temp_name.size(), 255u) << name.size();
    const size_t mark = temp_name.rfind(".part-");
    ASSERT_NE(mark, std::string::npos);
    EXPECT_EQ(temp_name.size() - mark, 12u) << "the unique suffix is whole";
    const std::string kept = temp_name.substr(1, mark - 1);
    EXPECT_EQ(name.compare(0, kept.size(), kept), 0);
    if (kept.size() < name.size()) {
      EXPECT_NE(static_cast<unsigned char>(name[kept.size()]) & 0xC0, 0x80)
          << "cut inside a UTF-8 sequence";
    }
    const Status committed = file->commit(false);
    ASSERT_TRUE(committed.ok()) << committed.fault().message;
    EXPECT_TRUE(fs::exists(target)) << name.size();
    fs::remove(target);
  }
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

// Records what a watcher is told.
class RecordingWatcher final : public PendingFileWatcher {
 public:
  void hold() noexcept override { ++depth; }
  void release() noexcept override { --depth; }
  int watch(const char* temp_path) noexcept override {
    if (depth != 1) unheld = true;
    watched.emplace_back(temp_path);
    return static_cast<int>(watched.size()) - 1;
  }
  void forget(int ticket) noexcept override {
    if (depth != 1) unheld = true;
    forgotten.push_back(ticket);
  }

  int depth = 0;
  bool unheld = false;
  std::vector<std::string> watched;
  std::vector<int> forgotten;
};

TEST(PendingFile_Watcher, LearnsEveryTemporaryNameWhileItExists) {
  testkit::TempDir dir;
  static RecordingWatcher watcher;
  set_pending_file_watcher(&watcher);
  {
    Result<PendingFile> kept = PendingFile::create(dir.file("kept.wav").string());
    Result<PendingFile> dropped = PendingFile::create(dir.file("dropped.wav").string());
    ASSERT_TRUE(kept.ok() && dropped.ok());
    EXPECT_EQ(watcher.watched, (std::vector<std::string>{kept->temp_path(), dropped->temp_path()}));
    ASSERT_TRUE(kept->commit(false));
    EXPECT_EQ(watcher.forgotten, std::vector<int>{0});
  }
  set_pending_file_watcher(nullptr);
  EXPECT_EQ(watcher.forgotten, (std::vector<int>{0, 1}));
  EXPECT_EQ(watcher.depth, 0);
  EXPECT_FALSE(watcher.unheld);
}

// A writer killed outright leaves its temporary file; a later run takes it
// away, but never a file a living writer holds, nor one of another target.
TEST(PendingFile_Stale, OnlyFilesOfDeadWritersGo) {
  testkit::TempDir dir;
  const std::string target = dir.file("memo.wav").string();
  const pid_t writer = ::fork();
  if (writer == 0) {
    Result<PendingFile> left = PendingFile::create(target);
    ::kill(::getpid(), SIGKILL);
  }
  ASSERT_GT(writer, 0);
  int status = 0;
  ASSERT_EQ(::waitpid(writer, &status, 0), writer);
  ASSERT_TRUE(WIFSIGNALED(status));
  Result<PendingFile> live = PendingFile::create(target);
  ASSERT_TRUE(live.ok());
  std::ofstream(dir.file(".other.wav.part-AbCdEf")) << "another target's";
  std::ofstream(dir.file(".memo.wav.part-short")) << "not a name of ours";
  ASSERT_EQ(Names(dir.path()).size(), 4u);

  EXPECT_EQ(remove_stale_pending_files(target), 1u);
  const std::vector<std::string> left = Names(dir.path());
  EXPECT_EQ(left.size(), 3u);
  EXPECT_NE(std::find(left.begin(), left.end(), fs::path(live->temp_path()).filename().string()),
            left.end());
  WriteThrough(*live, "complete");
  ASSERT_TRUE(live->commit(false).ok());
  EXPECT_EQ(Contents(target), "complete");
  EXPECT_EQ(remove_stale_pending_files(target), 0u);
}

TEST(NameTaken, CountsEveryKindOfName) {
  testkit::TempDir dir;
  std::ofstream(dir.file("file")) << "x";
  fs::create_symlink(dir.file("nowhere"), dir.file("dangling"));
  EXPECT_TRUE(name_taken(dir.file("file").string()));
  EXPECT_TRUE(name_taken(dir.path().string()));
  EXPECT_TRUE(name_taken(dir.file("dangling").string()));
  EXPECT_FALSE(name_taken(dir.file("absent").string()));
}

}  // namespace
}  // namespace calendo
