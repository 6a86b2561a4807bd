// calendo-convert -r: folders walked for recorder files, their layout kept
// under -o, --skip-existing carrying on a run, and the summary line.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "tool_support.h"

namespace tooltest {
namespace {

namespace fs = std::filesystem;

// Every file under `folder`, as paths relative to it.
std::set<std::string> FilesUnder(const fs::path& folder) {
  std::set<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_directory()) files.insert(fs::relative(entry.path(), folder).string());
  }
  return files;
}

void WriteText(const fs::path& path, const std::string& text) {
  testkit::write_file(path, std::vector<uint8_t>(text.begin(), text.end()));
}

TEST(Folders, ConvertTheirTreeWithItsLayout) {
  testkit::TempDir dir;
  const TestRecording a = MakeCodes("SSL", 1);
  const TestRecording memo = MakeCodes("LLL", 2);
  const TestRecording deep = MakeCodes("SS", 3, true);
  const TestRecording b = MakeCodes("LL", 4, true);
  fs::create_directories(dir.file("in1/sub/deeper"));
  fs::create_directories(dir.file("in2"));
  WriteVqr(dir.file("in1/a.vqr"), a);
  WriteVqr(dir.file("in1/Memo.Vqr"), memo);          // the case of the name does not matter
  WriteVqm(dir.file("in1/sub/deeper/noext"), deep);  // nor does a missing extension
  WriteVqm(dir.file("in2/b.VQM"), b);
  WriteText(dir.file("in1/notes.txt"), "not a recording");
  WriteText(dir.file("in1/fake.vqr"), std::string(300, 'x'));
  WriteWav(dir.file("in1/sub/song.wav"), 8000, 1, 16, std::vector<int16_t>(800, 5));

  ToolRun run = RunConvert(
      {"-r", dir.file("in1").string(), dir.file("in2").string(), "-o", dir.file("out").string()});
  ASSERT_EQ(run.status, 1) << run.err;  // fake.vqr is damaged
  EXPECT_EQ(FilesUnder(dir.file("out")),
            (std::set<std::string>{"in1/a.wav", "in1/Memo.wav", "in1/sub/deeper/noext.wav",
                                   "in2/b.wav"}));
  EXPECT_EQ(ReadFile(dir.file("out/in1/a.wav")), ReferenceWav(a, false, 16));
  EXPECT_EQ(ReadFile(dir.file("out/in1/Memo.wav")), ReferenceWav(memo, false, 16));
  EXPECT_EQ(ReadFile(dir.file("out/in1/sub/deeper/noext.wav")), ReferenceWav(deep, true, 16));
  EXPECT_EQ(ReadFile(dir.file("out/in2/b.wav")), ReferenceWav(b, true, 16));
  EXPECT_NE(run.out.find("4 converted, 0 failed, 1 damaged, 2 skipped; "), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(" s of audio in "), std::string::npos) << run.out;
  // A file named as a recording that is none is named, with the way to its pages.
  EXPECT_NE(run.err.find("fake.vqr: not a readable recording (damaged or never finished)"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("calendo-rescue FILE... -o OUT"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("notes.txt"), std::string::npos) << run.err;

  // A second run that carries on converts nothing and changes nothing.
  WriteText(dir.file("out/in1/a.wav"), "kept");
  run = RunConvert({"-r", "--skip-existing", dir.file("in1").string(), dir.file("in2").string(),
                    "-o", dir.file("out").string()});
  ASSERT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.out.find("0 converted, 0 failed, 1 damaged, 6 skipped; 0.0 s of audio"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(ReadFile(dir.file("out/in1/a.wav")), "kept");
  EXPECT_EQ(FilesUnder(dir.file("out")).size(), 4u);

  // One folder: its files straight under -o; no -o: beside each file.
  run = RunConvert({"-q", "-r", dir.file("in1/sub").string(), "-o", dir.file("one").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(FilesUnder(dir.file("one")), std::set<std::string>{"deeper/noext.wav"});
  run = RunConvert({"-q", "-r", dir.file("in2").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(FilesUnder(dir.file("in2")), (std::set<std::string>{"b.VQM", "b.wav"}));

  // Two folders of one name would share a folder under -o.
  fs::create_directories(dir.file("x/in1"));
  run = RunConvert(
      {"-r", dir.file("in1").string(), dir.file("x/in1").string(), "-o", dir.file("two").string()});
  EXPECT_EQ(run.status, 2);
  EXPECT_FALSE(fs::exists(dir.file("two")));
}

TEST(Folders, DamagedRecordingsAreNamedAndSkippedFilesListed) {
  testkit::TempDir dir;
  fs::create_directories(dir.file("in"));
  WriteVqr(dir.file("in/DS400020.VQR"), MakeCodes("SL", 1));
  WriteText(dir.file("in/DS400021.VQR"), "");
  std::string header_damaged(600, '\x5a');
  WriteText(dir.file("in/DS400023.VQR"), header_damaged);
  WriteText(dir.file("in/memo.Vqm"), "never finished");
  WriteText(dir.file("in/photo.jpg"), "\xff\xd8\xff\xe0 JFIF");
  WriteText(dir.file("in/README.TXT"), "notes");

  ToolRun run = RunConvert({"-r", dir.file("in").string(), "-o", dir.file("out").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("1 converted, 0 failed, 3 damaged, 2 skipped; "), std::string::npos)
      << run.out;
  EXPECT_NE(run.err.find("DS400021.VQR: not a readable recording (damaged or never finished): "
                         "is empty"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("DS400023.VQR: not a readable recording (damaged or never finished): "
                         "its start is not that of a recorder file"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("memo.Vqm: not a readable recording"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("photo.jpg"), std::string::npos) << run.err;

  // -v names the files skipped, and why.
  run = RunConvert(
      {"-v", "-r", "--skip-existing", dir.file("in").string(), "-o", dir.file("out").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("photo.jpg: skipped: not a recorder file"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("README.TXT: skipped: not a recorder file"), std::string::npos) << run.err;
  EXPECT_NE(
      run.err.find("DS400020.VQR: skipped: " + dir.file("out/DS400020.wav").string() + " exists"),
      std::string::npos)
      << run.err;
}

TEST(Folders, AnUnreadableFileIsAFailure) {
  testkit::TempDir dir;
  fs::create_directories(dir.file("in"));
  WriteVqr(dir.file("in/locked"), MakeCodes("S", 2));
  WriteText(dir.file("in/notes.txt"), "notes");
  ::chmod(dir.file("in/locked").c_str(), 0);
  if (const int fd = ::open(dir.file("in/locked").c_str(), O_RDONLY); fd >= 0) {
    ::close(fd);
    GTEST_SKIP() << "a file of mode 000 can be read here (the superuser)";
  }
  const ToolRun run = RunConvert({"-r", dir.file("in").string(), "-o", dir.file("out").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("locked: cannot be read: Permission denied"), std::string::npos)
      << run.err;
  EXPECT_NE(run.out.find("0 converted, 1 failed, 1 skipped; "), std::string::npos) << run.out;
}

// Makes folders under `top`, `depth` deep, each of a name of 200 bytes, by
// descriptors (a path that long cannot be named whole), and writes `bytes`
// as "deep.vqr" in the deepest.
void WriteDeepFile(const fs::path& top, int depth, const std::string& bytes) {
  const std::string name(200, 'd');
  int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY);
  for (int i = 0; i < depth && fd >= 0; ++i) {
    ::mkdirat(fd, name.c_str(), 0755);
    const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
    ::close(fd);
    fd = next;
  }
  ASSERT_GE(fd, 0);
  const int file = ::openat(fd, "deep.vqr", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ::close(fd);
  ASSERT_GE(file, 0);
  ASSERT_EQ(::write(file, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ::close(file);
}

// Takes away what WriteDeepFile made (a temporary folder's removal by path
// cannot reach it).
void RemoveDeepFile(const fs::path& top, int depth) {
  const std::string name(200, 'd');
  std::vector<int> fds{::open(top.c_str(), O_RDONLY | O_DIRECTORY)};
  while (static_cast<int>(fds.size()) <= depth && fds.back() >= 0)
    fds.push_back(::openat(fds.back(), name.c_str(), O_RDONLY | O_DIRECTORY));
  if (fds.back() >= 0) ::unlinkat(fds.back(), "deep.vqr", 0);
  for (size_t i = fds.size() - 1; i > 0; --i) {
    if (fds[i] >= 0) ::close(fds[i]);
    if (fds[i - 1] >= 0) ::unlinkat(fds[i - 1], name.c_str(), AT_REMOVEDIR);
  }
  if (fds[0] >= 0) ::close(fds[0]);
}

TEST(Folders, NameWhatTheyCannotReachAndTheOutputFolderInside) {
  testkit::TempDir dir;
  fs::create_directories(dir.file("in"));
  WriteVqr(dir.file("in/a.vqr"), MakeCodes("S", 1));
  WriteVqr(dir.file("in/b.vqr"), MakeCodes("L", 2));
  WriteDeepFile(dir.file("in"), 22, ReadFile(dir.file("in/a.vqr")));  // 4,400 bytes down

  ToolRun run = RunConvert({"-r", dir.file("in").string(), "-o", dir.file("in/out").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(": cannot be read: File name too long"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("2 converted, 1 failed"), std::string::npos) << run.out;
  EXPECT_TRUE(fs::exists(dir.file("in/out/a.wav")));

  // The output inside the tree is left alone, and the run says so first.
  run = RunConvert(
      {"-r", "--skip-existing", dir.file("in").string(), "-o", dir.file("in/out").string()});
  const std::string note = "note: " + dir.file("in/out").string() +
                           " is the output folder; the files in it are not converted";
  EXPECT_EQ(run.err.rfind("calendo-convert: " + note, 0), 0u) << run.err;
  EXPECT_FALSE(fs::exists(dir.file("in/out/out")));
  RemoveDeepFile(dir.file("in"), 22);
}

TEST(Folders, SurviveLinkLoopsAndUnreadableFolders) {
  testkit::TempDir dir;
  fs::create_directories(dir.file("in/sub"));
  WriteVqr(dir.file("in/a.vqr"), MakeCodes("S", 1));
  fs::create_directory_symlink("..", dir.file("in/sub/up"));    // a loop, not followed
  fs::create_symlink("self", dir.file("in/self"));              // a link to itself
  fs::create_symlink("../a.vqr", dir.file("in/sub/link.vqr"));  // a link to a file is
  const ToolRun run = RunConvert({"-r", dir.file("in").string(), "-o", dir.file("out").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(FilesUnder(dir.file("out")), (std::set<std::string>{"a.wav", "sub/link.wav"}));
  EXPECT_NE(run.out.find("2 converted, 0 failed, 2 skipped"), std::string::npos) << run.out;

  if (::geteuid() == 0) return;  // every folder can be read by the superuser
  fs::create_directories(dir.file("in/locked"));
  ::chmod(dir.file("in/locked").c_str(), 0);
  const ToolRun locked =
      RunConvert({"-r", "-f", dir.file("in").string(), "-o", dir.file("out").string()});
  ::chmod(dir.file("in/locked").c_str(), 0700);
  EXPECT_EQ(locked.status, 1);
  EXPECT_NE(locked.err.find("locked: cannot be read: Permission denied"), std::string::npos)
      << locked.err;
  EXPECT_NE(locked.out.find("2 converted, 1 failed, 2 skipped"), std::string::npos) << locked.out;
}

// A vqr magic, and a header no reader takes: a file that fails at once.
std::string BrokenVqr() {
  std::string broken(200, '\0');
  broken.replace(0, 12, "OIFF\x10\x00\x00\x00WAVE", 12);
  return broken;
}

TEST(Folders, AFailureInParallelTakesAwayNoFolderASiblingIsWrittenIn) {
  testkit::TempDir dir;
  constexpr int kFolders = 30;
  const TestRecording good = MakeCodes("SLS", 5);
  for (int f = 0; f < kFolders; ++f) {
    const fs::path folder = dir.file("in/d" + std::to_string(100 + f));
    fs::create_directories(folder);
    WriteText(folder / "a.vqr", BrokenVqr());  // first in its folder
    for (int i = 0; i < 4; ++i) WriteVqr(folder / ("g" + std::to_string(i) + ".vqr"), good);
  }
  fs::create_directories(dir.file("in/only_broken/deeper"));
  WriteText(dir.file("in/only_broken/deeper/x.vqr"), BrokenVqr());

  const ToolRun run =
      RunConvert({"-q", "-r", "-j", "2", dir.file("in").string(), "-o", dir.file("out").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.find("cannot create"), std::string::npos) << run.err;
  const std::set<std::string> files = FilesUnder(dir.file("out"));
  EXPECT_EQ(files.size(), 4u * kFolders) << run.err;
  // The folders made for failures alone are taken away again.
  EXPECT_FALSE(fs::exists(dir.file("out/only_broken"))) << run.err;
}

TEST(Folders, AnInterruptedRunLeavesNoPartialFileAndCarriesOn) {
  testkit::TempDir dir;
  fs::create_directories(dir.file("in"));
  WriteVqr(dir.file("in/a.vqr"), MakeCodes("SS", 1));
  // Long enough that its conversion is still running when it is interrupted.
  WriteVqr(dir.file("in/b.vqr"), MakeCodes(std::string(6000, 'L'), 2));
  WriteVqr(dir.file("in/c.vqr"), MakeCodes("LS", 3));
  fs::create_directories(dir.file("in/sub"));
  WriteText(dir.file("in/sub/d.vqr"), BrokenVqr());
  const fs::path out = dir.file("out");

  const pid_t child = ::fork();
  if (child == 0) {
    const char* program = ConvertProgram();
    const std::string in = dir.file("in").string();
    ::execl(program, program, "-q", "-r", in.c_str(), "-o", out.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  bool converting_b = false;
  for (int i = 0; i < 4000 && !converting_b; ++i) {
    if (fs::exists(out)) {
      for (const auto& entry : fs::directory_iterator(out))
        converting_b |= entry.path().filename().string().rfind(".b.wav.part", 0) == 0;
    }
    if (!converting_b) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ::kill(child, SIGTERM);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (WIFEXITED(status)) GTEST_SKIP() << "the run ended before it could be interrupted";
  EXPECT_EQ(FilesUnder(out), std::set<std::string>{"a.wav"});

  const ToolRun run =
      RunConvert({"-r", "--skip-existing", dir.file("in").string(), "-o", out.string()});
  EXPECT_EQ(run.status, 1);  // d.vqr fails, and leaves nothing behind
  EXPECT_NE(run.err.find("d.vqr: not a vqr recorder file"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("2 converted, 1 failed, 1 skipped"), std::string::npos) << run.out;
  EXPECT_EQ(FilesUnder(out), (std::set<std::string>{"a.wav", "b.wav", "c.wav"}));
  EXPECT_FALSE(fs::exists(out / "sub"));  // made for d.wav, which never came
}

}  // namespace
}  // namespace tooltest
