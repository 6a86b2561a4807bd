// calendo-convert converting recorder files: the files it writes, what it
// refuses, and its exit status.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
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

TEST(Convert, KnowsARecorderFileByItsContentWhateverItsName) {
  testkit::TempDir dir;
  const TestRecording vqr = MakeCodes("SLS", 21);
  const TestRecording vqm = MakeCodes("SS", 22, true);
  WriteVqr(dir.file("Memo.Vqr"), vqr);
  WriteVqm(dir.file("talk"), vqm);
  WriteVqr(dir.file("named.vqm"), vqr);  // the content wins over a wrong name
  const ToolRun run = RunConvert({"-q", dir.file("Memo.Vqr").string(), dir.file("talk").string(),
                                  dir.file("named.vqm").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(dir.file("Memo.wav")), ReferenceWav(vqr, false, 16));
  EXPECT_EQ(ReadFile(dir.file("talk.wav")), ReferenceWav(vqm, true, 16));
  EXPECT_EQ(ReadFile(dir.file("named.wav")), ReferenceWav(vqr, false, 16));
}

TEST(Convert, RefusesFifosDevicesAndFoldersAtOnce) {
  testkit::TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("pipe.vqr").c_str(), 0600), 0);
  const std::vector<std::pair<std::string, std::string>> sources = {
      {dir.file("pipe.vqr").string(), "is a FIFO, not a regular file"},
      {"/dev/null", "is a device, not a regular file"},
      {dir.path().string(), "is a folder"},
  };
  for (const std::vector<std::string>& mode :
       {std::vector<std::string>{"-o", dir.file("out").string()},
        {"--info"},
        {"--json"},
        {"--encode", "-o", dir.file("out.vqr").string()}}) {
    for (const auto& [source, message] : sources) {
      std::vector<std::string> arguments = mode;
      arguments.push_back(source);
      // Waiting for a writer of the FIFO would hang here.
      const ToolRun run = RunConvert(arguments);
      EXPECT_EQ(run.status, 1) << mode[0] << " " << source;
      EXPECT_NE(run.err.find(source + ": " + message), std::string::npos) << run.err;
    }
  }
  EXPECT_NE(RunConvert({dir.path().string()}).err.find("(-r converts the files in it)"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(dir.file("out.vqr")));
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

TEST(Convert, RefusesAFileOfNeitherKindAsNeither) {
  testkit::TempDir dir;
  const std::string text = "notes, not a recording";
  testkit::write_file(dir.file("README.TXT"), std::vector<uint8_t>(text.begin(), text.end()));
  testkit::write_file(dir.file("DS400021.VQR"), {});
  testkit::write_file(dir.file("blank"), {});

  for (const char* mode : {"--info", "-q"}) {
    SCOPED_TRACE(mode);
    const ToolRun run = RunConvert({mode, dir.file("README.TXT").string(),
                                    dir.file("DS400021.VQR").string(), dir.file("blank").string()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("README.TXT: not a recorder file (neither vqr nor vqm)\n"),
              std::string::npos)
        << run.err;
    for (const char* empty : {"DS400021.VQR", "blank"}) {
      EXPECT_NE(run.err.find(std::string(empty) +
                             ": not a recorder file (neither vqr nor vqm): the file is empty"),
                std::string::npos)
          << run.err;
    }
  }
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

// Started with SIGCHLD ignored, the system would reap the children before
// their end could be read: no file counted, no child's report shown.
TEST(Convert, ParallelJobsCountTheirFilesWhenStartedWithChildSignalsIgnored) {
  testkit::TempDir dir;
  std::vector<std::string> arguments = {"-j", "2"};
  for (int i = 0; i < 3; ++i) {
    const fs::path source = dir.file("r" + std::to_string(i) + ".vqr");
    WriteVqr(source, MakeCodes("SS", 20 + i));
    arguments.push_back(source.string());
  }
  const ToolRun run = RunConvert(arguments, 0, true);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  for (int i = 0; i < 3; ++i) {
    EXPECT_NE(run.out.find("r" + std::to_string(i) + ".wav  "), std::string::npos) << run.out;
  }
  EXPECT_NE(run.out.find("3 converted, 0 failed, 0 skipped"), std::string::npos) << run.out;
}

// The temporary name beside a file adds 13 bytes to its name; a name near
// the file system's 255-byte limit is still written.
TEST(Convert, WritesAFileWhoseNameIsNearTheNameLimit) {
  testkit::TempDir dir;
  WriteVqr(dir.file("memo.vqr"), MakeCodes("SL", 31));
  for (const size_t length : {243u, 255u}) {
    const fs::path wav = dir.file(std::string(length - 4, 'w') + ".wav");
    const ToolRun run = RunConvert({"-q", dir.file("memo.vqr").string(), "-o", wav.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::exists(wav)) << length;
    EXPECT_EQ(Leftovers(dir.path(), {"memo.vqr", wav.filename().string()}),
              std::vector<std::string>{});
    fs::remove(wav);
  }
}

// Runs calendo-convert with standard output and error on one terminal, as a
// person sees them, and returns all it wrote there.
std::string RunOnTerminal(const std::vector<std::string>& arguments) {
  int terminal = -1;
  const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child == 0) {
    std::vector<char*> argv{const_cast<char*>(ConvertProgram())};
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(ConvertProgram(), argv.data());
    ::_exit(127);
  }
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(terminal, buffer, sizeof buffer);
    if (got <= 0) break;  // EIO once the child has gone
    text.append(buffer, static_cast<size_t>(got));
  }
  ::close(terminal);
  ::waitpid(child, nullptr, 0);
  return text;
}

TEST(Convert, ParallelReportLinesStartOnALineOfTheirOwn) {
  testkit::TempDir dir;
  std::vector<std::string> arguments = {"-j", "2", "-o", dir.file("out").string()};
  for (int i = 0; i < 6; ++i) {
    const fs::path source = dir.file("r" + std::to_string(i) + ".vqr");
    WriteVqr(source, MakeCodes(std::string(40 + 40 * i, 'S'), 30 + i));
    arguments.push_back(source.string());
  }
  arguments.push_back(dir.file("absent.vqr").string());
  const std::string text = RunOnTerminal(arguments);
  ASSERT_NE(text.find("files ["), std::string::npos) << "no progress line drawn: " << text;
  size_t reports = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();  // the terminal's CR LF
    // What is left after the last carriage return and erase is what shows.
    if (const size_t cr = line.rfind('\r'); cr != std::string::npos) line.erase(0, cr + 1);
    if (line.rfind("\x1b[K", 0) == 0) line.erase(0, 3);
    if (line.find(" -> ") == std::string::npos && line.find("absent.vqr") == std::string::npos)
      continue;
    ++reports;
    EXPECT_TRUE(line.rfind(dir.path().string(), 0) == 0 || line.rfind("calendo-convert: ", 0) == 0)
        << "a report ran into the progress line: " << line;
  }
  EXPECT_EQ(reports, 7u) << text;
}

TEST(Convert, ParallelProgressCountsTheAudioAndLeavesNoLineBehind) {
  testkit::TempDir dir;
  std::vector<std::string> arguments = {"-j", "2", "-o", dir.file("out").string()};
  WriteVqr(dir.file("long.vqr"), MakeCodes(std::string(16000, 'L'), 40));
  arguments.push_back(dir.file("long.vqr").string());
  for (int i = 0; i < 2; ++i) {
    WriteVqr(dir.file("s" + std::to_string(i) + ".vqr"), MakeCodes("SS", 41 + i));
    arguments.push_back(dir.file("s" + std::to_string(i) + ".vqr").string());
  }
  const std::string text = RunOnTerminal(arguments);
  // Each drawing of the line starts with a carriage return.
  bool within_the_long_file = false;
  for (size_t at = text.find("3 files ["); at != std::string::npos;
       at = text.find("3 files [", at + 1)) {
    const std::string line = text.substr(at, text.find_first_of("\r\n", at) - at);
    ASSERT_NE(line.find(" kB "), std::string::npos) << line;
    int percent = 0;
    if (std::sscanf(line.c_str() + line.find(" kB ") + 4, "%d%%", &percent) == 1)
      within_the_long_file |= percent > 5 && percent < 95;
  }
  EXPECT_TRUE(within_the_long_file) << "the line never moved within the long file: " << text;
  // What shows last is the summary, not a finished progress line.
  std::string last = text.substr(text.rfind('\n', text.size() - 3) + 1);
  if (const size_t cr = last.rfind('\r', last.size() - 3); cr != std::string::npos)
    last.erase(0, cr + 1);
  EXPECT_NE(last.find("3 converted, 0 failed, 0 skipped"), std::string::npos) << last;
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

TEST(Convert, ARecordingCutShortWhileReadFailsAsChangedOnEveryPath) {
  testkit::TempDir dir;
  const TestRecording big = MakeCodes(std::string(16000, 'L'), 9);
  const std::string whole = ReferenceWav(big, false, 16);
  WriteVqr(dir.file("small.vqr"), MakeCodes("SS", 10));
  const std::vector<std::vector<std::string>> ways = {
      {}, {"-j", "2", dir.file("small.vqr").string()}, {"--format", "flac"}};
  int interrupted = 0;
  for (const std::vector<std::string>& way : ways) {
    SCOPED_TRACE(way.empty() ? "one file" : way[0]);
    WriteVqr(dir.file("big.vqr"), big);
    const fs::path out = dir.file("out");
    fs::remove_all(out);
    fs::create_directories(out);
    std::vector<std::string> arguments = {ConvertProgram(), "-q", "-o", out.string()};
    arguments.insert(arguments.end(), way.begin(), way.end());
    arguments.push_back(dir.file("big.vqr").string());
    const fs::path err = dir.file("err.txt");
    const pid_t child = ::fork();
    if (child == 0) {
      const int fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(fd, STDERR_FILENO);
      std::vector<char*> argv;
      for (std::string& argument : arguments) argv.push_back(argument.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    // Cut the recording to half once its WAV file is being written.
    bool writing = false;
    for (int i = 0; i < 4000 && !writing; ++i) {
      for (const auto& entry : fs::directory_iterator(out))
        writing |= entry.path().filename().string().rfind(".big.", 0) == 0;
      if (!writing) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    fs::resize_file(dir.file("big.vqr"), fs::file_size(dir.file("big.vqr")) / 2);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
      // Only a recording read whole before the cut may be converted.
      if (!way.empty() && way[0] == "--format") continue;
      EXPECT_TRUE(ReadFile(out / "big.wav") == whole) << ReadFile(err);
      continue;
    }
    ++interrupted;
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string text = ReadFile(err);
    EXPECT_NE(text.find("big.vqr: changed while it was read: "), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(out / "big.wav"));
    EXPECT_FALSE(fs::exists(out / "big.flac"));
  }
  if (interrupted == 0) GTEST_SKIP() << "every conversion ended before the recording was cut";
}

}  // namespace
}  // namespace tooltest
