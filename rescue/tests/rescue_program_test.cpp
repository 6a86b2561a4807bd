// calendo-rescue as people run it: stopped with Ctrl+C in the middle of a
// long scan, and pointed at the disk its output folder lies on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "calendo/byte_source.h"
#include "calendo/recording_pages.h"
#include "card_builder.h"
#include "same_disk.h"
#include "testing/temp_dir.h"

namespace fs = std::filesystem;

namespace {

struct RescueRun {
  int status = -1;  // exit code, 1000 + the signal that ended it, or -1 when killed at the deadline
  std::string out;
};

// Runs calendo-rescue with `arguments`; sends `signal` after `signal_after`
// when given; kills it and gives status -1 after `deadline`.
RescueRun RunRescue(const std::vector<std::string>& arguments, const fs::path& scratch,
                    int signal = 0, std::chrono::milliseconds signal_after = {},
                    std::chrono::seconds deadline = std::chrono::seconds(60)) {
  const std::string out_path = (scratch / "stdout").string();
  std::vector<char*> argv{const_cast<char*>(CALENDO_RESCUE)};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child == 0) {
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, 1);
    ::execv(CALENDO_RESCUE, argv.data());
    ::_exit(127);
  }
  const auto start = std::chrono::steady_clock::now();
  bool signalled = signal == 0;
  RescueRun run;
  for (;;) {
    int status = 0;
    if (::waitpid(child, &status, WNOHANG) == child) {
      run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
      break;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!signalled && now - start >= signal_after) {
      ::kill(child, signal);
      signalled = true;
    }
    if (now - start > deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::ifstream in(out_path);
  run.out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return run;
}

bool Readable(const std::string& device) {
  const int fd = ::open(device.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

}  // namespace

// A scan of a 64 GiB image (sparse: zeros but for one recording) takes far
// longer than the moment before the interrupt; the program must stop soon
// after it with 130, a report, and only complete recordings in OUT.
TEST(RescueProgram, InterruptStopsTheScanAndLeavesOnlyCompleteFiles) {
  testkit::TempDir dir;
  const fs::path image = dir.file("card.img");
  {
    const rescue_test::Bytes recording = rescue_test::speech_recording(dir.path(), 3.0, 1);
    std::ofstream out(image, std::ios::binary);
    out.seekp(1 << 20);
    out.write(reinterpret_cast<const char*>(recording.data()),
              static_cast<std::streamsize>(recording.size()));
  }
  fs::resize_file(image, uint64_t{64} << 30);
  const fs::path out = dir.file("out");

  const RescueRun run = RunRescue({image.string(), "-o", out.string()}, dir.path(), SIGINT,
                                  std::chrono::milliseconds(300), std::chrono::seconds(30));
  ASSERT_EQ(run.status, 130) << "the scan did not stop on SIGINT";
  EXPECT_NE(run.out.find("stopped before the end"), std::string::npos) << run.out;
  if (fs::exists(out)) {
    for (const fs::directory_entry& entry : fs::directory_iterator(out)) {
      const std::string name = entry.path().filename().string();
      EXPECT_NE(name.front(), '.') << "temporary file left: " << name;
      calendo::Result<calendo::RecorderFile> file =
          calendo::RecorderFile::open(entry.path().c_str());
      ASSERT_TRUE(file.ok()) << name;
      EXPECT_TRUE(calendo::RecordingPages::read(*file).ok()) << name;
    }
  }
}

// The output folder's own disk as a source: refused before a byte is read,
// whether the folder lies on the device itself or on a partition of it.
TEST(RescueProgram, AnOutputFolderOnTheSourceDiskIsRefused) {
  testkit::TempDir dir;
  struct stat folder {};
  ASSERT_EQ(::stat(dir.path().c_str(), &folder), 0);
  const dev_t disk = calendo::rescue::whole_disk(folder.st_dev);
  const std::string sysfs =
      "/sys/dev/block/" + std::to_string(major(disk)) + ":" + std::to_string(minor(disk));
  std::ifstream uevent(sysfs + "/uevent");
  std::string line, name;
  while (std::getline(uevent, line))
    if (line.rfind("DEVNAME=", 0) == 0) name = line.substr(8);
  const std::string device = "/dev/" + name;
  struct stat node {};
  if (name.empty() || ::stat(device.c_str(), &node) != 0 || !S_ISBLK(node.st_mode) ||
      node.st_rdev != disk || !Readable(device))
    GTEST_SKIP() << "the temporary folder's disk is no readable block device here";

  const fs::path out = dir.file("out");
  const RescueRun run =
      RunRescue({device, "-o", out.string()}, dir.path(), 0, {}, std::chrono::seconds(30));
  ASSERT_NE(run.status, -1) << "it scanned the disk its output lies on";
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("the output folder lies on this device"), std::string::npos) << run.out;
  EXPECT_TRUE(!fs::exists(out) || fs::is_empty(out));
}
