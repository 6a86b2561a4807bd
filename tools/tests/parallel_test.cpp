// calendo-convert -j: what its child processes do when the run ends early,
// and what the run says when it is interrupted.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "tool_support.h"

namespace tooltest {
namespace {

namespace fs = std::filesystem;

// The processes whose parent is `parent`, from /proc.
std::vector<pid_t> ChildrenOf(pid_t parent) {
  std::vector<pid_t> children;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    std::getline(stat, line);
    const size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(line.substr(close + 2));
    char state = 0;
    pid_t ppid = 0;
    fields >> state >> ppid;
    if (ppid == parent) children.push_back(static_cast<pid_t>(std::stoi(name)));
  }
  return children;
}

// Gone, or a zombie no one has reaped yet.
bool Ended(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

size_t PartFiles(const fs::path& folder) {
  size_t count = 0;
  for (const auto& entry : fs::directory_iterator(folder))
    count += entry.path().filename().string().find(".part") != std::string::npos;
  return count;
}

TEST(Parallel, ChildrenEndWithTheirParentAndTakeTheirFilesAlong) {
  testkit::TempDir dir;
  const TestRecording long_one = MakeCodes(std::string(16000, 'L'), 1);
  for (const char* name : {"a.vqr", "b.vqr", "c.vqr"}) WriteVqr(dir.file(name), long_one);
  const fs::path out = dir.file("out");
  fs::create_directories(out);

  for (const int signal_number : {SIGKILL, SIGTERM}) {
    SCOPED_TRACE(strsignal(signal_number));
    fs::remove_all(out);
    fs::create_directories(out);
    const pid_t parent = ::fork();
    if (parent == 0) {
      const char* program = ConvertProgram();
      ::execl(program, program, "-q", "-j", "2", "-o", out.c_str(), dir.file("a.vqr").c_str(),
              dir.file("b.vqr").c_str(), dir.file("c.vqr").c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    std::vector<pid_t> children;
    for (int i = 0; i < 4000 && (children.size() < 2 || PartFiles(out) < 2); ++i) {
      children = ChildrenOf(parent);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::kill(parent, signal_number);  // the parent alone, not its process group
    int status = 0;
    ::waitpid(parent, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
      GTEST_SKIP() << "the run ended before it could be interrupted";
    ASSERT_EQ(children.size(), 2u);
    bool ended = false;
    for (int i = 0; i < 3000 && !ended; ++i) {
      ended = Ended(children[0]) && Ended(children[1]);
      if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (const pid_t child : children) ::kill(child, SIGKILL);  // never left behind by the test
    // Children that lived on would have finished their files.
    EXPECT_TRUE(ended);
    EXPECT_EQ(PartFiles(out), 0u);
    EXPECT_FALSE(fs::exists(out / "a.wav"));
    EXPECT_FALSE(fs::exists(out / "b.wav"));
  }
}

// SIGKILL of the whole group leaves the temporary files of the files being
// converted; the run that carries on takes them away with its own files.
TEST(Parallel, ARunAfterAKilledOneRemovesTheFilesItLeft) {
  testkit::TempDir dir;
  const TestRecording long_one = MakeCodes(std::string(16000, 'L'), 4);
  std::vector<std::string> inputs;
  for (const char* name : {"a.vqr", "b.vqr"}) {
    WriteVqr(dir.file(name), long_one);
    inputs.push_back(dir.file(name).string());
  }
  const fs::path out = dir.file("out");
  fs::create_directories(out);
  const pid_t parent = ::fork();
  if (parent == 0) {
    ::setpgid(0, 0);
    const char* program = ConvertProgram();
    ::execl(program, program, "-q", "-j", "2", "-o", out.c_str(), inputs[0].c_str(),
            inputs[1].c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::setpgid(parent, parent);
  for (int i = 0; i < 4000 && PartFiles(out) < 2; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ::kill(-parent, SIGKILL);
  int status = 0;
  ::waitpid(parent, &status, 0);
  if (WIFEXITED(status)) GTEST_SKIP() << "the run ended before it could be killed";
  for (int i = 0; i < 3000 && !ChildrenOf(parent).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(PartFiles(out), 2u);

  std::vector<std::string> again = {"-q", "--skip-existing", "-j", "2", "-o", out.string()};
  again.insert(again.end(), inputs.begin(), inputs.end());
  const ToolRun run = RunConvert(again);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(PartFiles(out), 0u);
  EXPECT_TRUE(fs::exists(out / "a.wav"));
  EXPECT_TRUE(fs::exists(out / "b.wav"));
}

TEST(Parallel, CtrlCEndsWithTheSummarySoFarAndTheCommandThatCarriesOn) {
  testkit::TempDir dir;
  const TestRecording long_one = MakeCodes(std::string(16000, 'L'), 2);
  std::vector<std::string> arguments = {"-j", "2", "-o", dir.file("out dir").string()};
  WriteVqr(dir.file("short.vqr"), MakeCodes("SS", 3));
  arguments.push_back(dir.file("short.vqr").string());
  for (const char* name : {"a.vqr", "b.vqr", "c.vqr"}) {
    WriteVqr(dir.file(name), long_one);
    arguments.push_back(dir.file(name).string());
  }
  const fs::path out_file = dir.file("stdout.txt");
  const fs::path err_file = dir.file("stderr.txt");
  const pid_t parent = ::fork();
  if (parent == 0) {
    ::setpgid(0, 0);  // a group of its own, as a terminal's job
    std::freopen(out_file.c_str(), "w", stdout);
    std::freopen(err_file.c_str(), "w", stderr);
    std::vector<std::string> line = {ConvertProgram()};
    line.insert(line.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : line) argv.push_back(argument.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::setpgid(parent, parent);
  bool converting = false;
  for (int i = 0; i < 4000 && !converting; ++i) {
    if (fs::exists(dir.file("out dir"))) {
      for (const auto& entry : fs::directory_iterator(dir.file("out dir")))
        converting |= entry.path().filename().string().rfind(".a.wav.part", 0) == 0;
    }
    if (!converting) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ::kill(-parent, SIGINT);  // Ctrl+C: the whole group
  int status = 0;
  ::waitpid(parent, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
    GTEST_SKIP() << "the run ended before it could be interrupted";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  const std::string out = ReadFile(out_file);
  const std::string err = ReadFile(err_file);
  EXPECT_NE(out.find(" converted, 0 failed, 0 skipped; "), std::string::npos) << out;
  EXPECT_EQ(err.find("ended by signal"), std::string::npos) << err;
  const std::string carry_on = "calendo-convert --skip-existing -j 2 -o '" +
                               dir.file("out dir").string() + "' " + dir.file("short.vqr").string();
  EXPECT_NE(err.find("; to carry on:\n  " + carry_on), std::string::npos) << err;

  // The command it names converts what is left.
  std::vector<std::string> again = {"--skip-existing"};
  again.insert(again.end(), arguments.begin(), arguments.end());
  const ToolRun rest = RunConvert(again);
  ASSERT_EQ(rest.status, 0) << rest.err;
  for (const char* name : {"short.wav", "a.wav", "b.wav", "c.wav"})
    EXPECT_TRUE(fs::exists(dir.file("out dir") / name)) << name;
}

}  // namespace
}  // namespace tooltest
