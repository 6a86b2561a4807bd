// calendo-convert converting recorder files: the files it writes, what it
// refuses, and its exit status.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include <gtest/gtest.h>

#include "tool_support.h"

namespace tooltest {
namespace {

namespace fs = std::filesystem;

// Names in `folder` other than `keep`: what a conversion left behind.
std::vector<std::string> Leftovers(const fs::path& folder, const std::vector<std::string>& keep) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (std::find(keep.begin(), keep.end(), name) == keep.end()) names.push_back(name);
  }
  return names;
}

TEST(Convert, WritesTheReferenceWav) {
  testkit::TempDir dir;
  struct Case {
    const char* name;
    std::string modes;
    bool vqm;
  };
  const std::vector<Case> cases = {{"sp.vqr", "SSSSS", false},
                                   {"lp.vqr", "LLLL", false},
                                   {"mixed.vqr", "SSLSLLS", false},
                                   {"sp.vqm", "SSSS", true},
                                   {"lp.vqm", "LLL", true}};
  uint32_t seed = 1;
  for (const Case& c : cases) {
    const TestRecording recording = MakeCodes(c.modes, seed++, c.vqm);
    const fs::path source = dir.file(c.name);
    c.vqm ? WriteVqm(source, recording) : WriteVqr(source, recording);
    for (const int bits : {8, 16}) {
      SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(bits) + " bits");
      const fs::path folder = dir.file(std::string(c.name) + "-" + std::to_string(bits));
      const ToolRun run =
          RunConvert({"--bits", std::to_string(bits), "-o", folder.string(), source.string()});
      ASSERT_EQ(run.status, 0) << run.err;
      const fs::path wav = folder / (fs::path(c.name).stem().string() + ".wav");
      EXPECT_EQ(ReadFile(wav), ReferenceWav(recording, c.vqm, bits));
      EXPECT_NE(run.out.find(wav.string()), std::string::npos) << run.out;
    }
  }
}

TEST(Convert, PutsTheWavBesideTheSourceByDefault) {
  testkit::TempDir dir;
  // 41 SP pages of 123 ms: 5 s of 1360 samples a page at 11025 Hz.
  WriteVqr(dir.file("memo.vqr"), MakeCodes(std::string(41, 'S'), 7));
  const ToolRun run = RunConvert({dir.file("memo.vqr").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(fs::exists(dir.file("memo.wav")));
  EXPECT_NE(run.out.find("00 : 00 : 05 (5.1 s, 16-bit, 11025 Hz)"), std::string::npos) << run.out;
  EXPECT_EQ(RunConvert({"-q", "--force", dir.file("memo.vqr").string()}).out, "");
}

TEST(Convert, RefusesToOverwriteUnlessForced) {
  testkit::TempDir dir;
  WriteVqr(dir.file("memo.vqr"), MakeCodes("SS", 3));
  testkit::write_file(dir.file("memo.wav"), std::vector<uint8_t>{'k', 'e', 'e', 'p'});

  const ToolRun refused = RunConvert({dir.file("memo.vqr").string()});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("exists (--force replaces it)"), std::string::npos) << refused.err;
  EXPECT_EQ(ReadFile(dir.file("memo.wav")), "keep");
  EXPECT_TRUE(Leftovers(dir.path(), {"memo.vqr", "memo.wav"}).empty());

  const ToolRun forced = RunConvert({"--force", dir.file("memo.vqr").string()});
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(ReadFile(dir.file("memo.wav")), ReferenceWav(MakeCodes("SS", 3), false, 16));
}

TEST(Convert, NamesEveryFailureAndGoesOn) {
  testkit::TempDir dir;
  WriteVqr(dir.file("good.vqr"), MakeCodes("SL", 4));
  testkit::write_file(dir.file("notes.vqr"), std::vector<uint8_t>(300, 'x'));
  testkit::VqrFile empty;  // a header and no page
  empty.write(dir.file("empty.vqr"));

  const ToolRun run = RunConvert({dir.file("missing.vqr").string(), dir.file("notes.vqr").string(),
                                  dir.file("empty.vqr").string(), dir.file("good.vqr").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("missing.vqr: No such file or directory"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("notes.vqr: not a vqr recorder file"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("empty.vqr: holds no whole page"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::exists(dir.file("good.wav")));
  EXPECT_EQ(Leftovers(dir.path(), {"good.vqr", "notes.vqr", "empty.vqr", "good.wav"}),
            std::vector<std::string>{});
}

TEST(Convert, TakesALinkOrFolderOfTheWavNameAsTaken) {
  testkit::TempDir dir;
  WriteVqr(dir.file("a.vqr"), MakeCodes("S", 1));
  WriteVqr(dir.file("b.vqr"), MakeCodes("S", 2));
  fs::create_symlink(dir.file("nowhere"), dir.file("a.wav"));
  fs::create_directory(dir.file("b.wav"));
  const ToolRun run = RunConvert({dir.file("a.vqr").string(), dir.file("b.vqr").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("a.wav exists"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("b.wav exists"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::is_symlink(dir.file("a.wav")));
  EXPECT_FALSE(fs::exists(dir.file("nowhere")));

  testkit::write_file(dir.file("plain"), std::vector<uint8_t>{1});
  const ToolRun not_folder =
      RunConvert({"-o", dir.file("plain").string(), dir.file("a.vqr").string()});
  EXPECT_EQ(not_folder.status, 1);
  EXPECT_NE(not_folder.err.find("plain: "), std::string::npos) << not_folder.err;
}

TEST(Convert, LoadsItsLibrariesBesideItsOwnFolder) {
  testkit::TempDir dir;
  fs::create_directories(dir.file("bin"));
  fs::copy_file(ConvertProgram(), dir.file("bin/calendo-convert"));
  WriteVqr(dir.file("a.vqr"), MakeCodes("S", 1));
  const std::string program = dir.file("bin/calendo-convert").string();
  const std::string source = dir.file("a.vqr").string();
  const std::string command = "'" + program + "' -q '" + source + "' 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string text;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) text += buffer;
  const int status = ::pclose(pipe);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(text.find("libkestrune.so (looked for in " + dir.file("lib").string() + ")"),
            std::string::npos)
      << text;
  EXPECT_FALSE(fs::exists(dir.file("a.wav")));
}

TEST(Convert, ExitStatusTwoForBadUsage) {
  EXPECT_EQ(RunConvert({}).status, 2);
  const ToolRun bad = RunConvert({"--bits", "9", "x.vqr"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("Try 'calendo-convert --help'"), std::string::npos);
  const ToolRun help = RunConvert({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: calendo-convert", 0), 0u);
  const ToolRun version = RunConvert({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("calendo-convert ", 0), 0u);
}

TEST(Convert, ParallelJobsWriteWhatOneJobWrites) {
  testkit::TempDir dir;
  std::vector<std::string> arguments = {"-j", "3", "-o", dir.file("out").string()};
  std::vector<TestRecording> recordings;
  for (int i = 0; i < 5; ++i) {
    recordings.push_back(MakeCodes(i % 2 ? "LLSL" : "SSSSSS", 10 + i));
    const fs::path source = dir.file("r" + std::to_string(i) + ".vqr");
    WriteVqr(source, recordings.back());
    arguments.push_back(source.string());
  }
  arguments.push_back(dir.file("absent.vqr").string());

  const ToolRun run = RunConvert(arguments);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("absent.vqr: No such file or directory"), std::string::npos) << run.err;
  for (int i = 0; i < 5; ++i) {
    // Each file decoded from a fresh codec, as if converted alone.
    EXPECT_EQ(ReadFile(dir.file("out") / ("r" + std::to_string(i) + ".wav")),
              ReferenceWav(recordings[i], false, 16))
        << i;
  }
}

TEST(Convert, NeverShowsAPartialFileUnderItsName) {
  testkit::TempDir dir;
  // Long enough that the conversion is still running when it is interrupted.
  WriteVqr(dir.file("long.vqr"), MakeCodes(std::string(6000, 'L'), 5));
  const fs::path wav = dir.file("long.wav");
  const pid_t child = ::fork();
  if (child == 0) {
    const char* program = ConvertProgram();
    const std::string source = dir.file("long.vqr").string();
    ::execl(program, program, "-q", source.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  bool saw_temporary = false;
  for (int i = 0; i < 2000 && !saw_temporary; ++i) {
    ASSERT_FALSE(fs::exists(wav)) << "the final name appeared before the end";
    saw_temporary = !Leftovers(dir.path(), {"long.vqr"}).empty();
    if (!saw_temporary) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ::kill(child, SIGINT);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    GTEST_SKIP() << "the conversion ended before it could be interrupted";
  }
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_FALSE(fs::exists(wav));
  EXPECT_EQ(Leftovers(dir.path(), {"long.vqr"}), std::vector<std::string>{});
}

}  // namespace
}  // namespace tooltest
