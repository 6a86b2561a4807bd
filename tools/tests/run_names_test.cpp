// calendo-convert giving every file of a run its own name: recordings of one
// name from different folders, or beside each other as vqr and vqm, never
// overwrite each other, and --force replaces only what was there before.
#include <gtest/gtest.h>

#include "tool_support.h"

namespace tooltest {
namespace {

namespace fs = std::filesystem;

TEST(RunNames, SameNamedRecordingsKeepTheirOwnFiles) {
  testkit::TempDir dir;
  const TestRecording first = MakeCodes("SSL", 1);
  const TestRecording second = MakeCodes("LLS", 2);
  fs::create_directories(dir.file("a"));
  fs::create_directories(dir.file("b"));
  fs::create_directories(dir.file("out"));
  WriteVqr(dir.file("a/DS400012.VQR"), first);
  WriteVqr(dir.file("b/DS400012.VQR"), second);
  testkit::write_file(dir.file("out/DS400012.wav"), std::vector<uint8_t>(10, 'x'));

  for (const char* jobs : {"1", "2"}) {
    SCOPED_TRACE(std::string("-j ") + jobs);
    const ToolRun run =
        RunConvert({"-f", "-j", jobs, "-o", dir.file("out").string(),
                    dir.file("a/DS400012.VQR").string(), dir.file("b/DS400012.VQR").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    // The file there before the run is replaced; the second recording gets
    // a name of its own, and its line says why.
    EXPECT_TRUE(ReadFile(dir.file("out/DS400012.wav")) == ReferenceWav(first, false, 16))
        << dir.file("out/DS400012.wav");
    EXPECT_TRUE(ReadFile(dir.file("out/DS400012.VQR.wav")) == ReferenceWav(second, false, 16))
        << dir.file("out/DS400012.VQR.wav");
    EXPECT_NE(run.out.find("DS400012.VQR.wav  "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("renamed: " + dir.file("out/DS400012.wav").string() +
                           " is another file's of this run"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("2 converted, 0 failed"), std::string::npos) << run.out;
  }

  // Without --force, into an empty folder: neither is refused as existing.
  const ToolRun fresh =
      RunConvert({"-q", "-o", dir.file("fresh").string(), dir.file("a/DS400012.VQR").string(),
                  dir.file("b/DS400012.VQR").string(), dir.file("b/../a/DS400012.VQR").string()});
  ASSERT_EQ(fresh.status, 0) << fresh.err;
  EXPECT_TRUE(ReadFile(dir.file("fresh/DS400012.VQR.wav")) == ReferenceWav(second, false, 16))
      << dir.file("fresh/DS400012.VQR.wav");
  EXPECT_TRUE(ReadFile(dir.file("fresh/DS400012-2.wav")) == ReferenceWav(first, false, 16))
      << dir.file("fresh/DS400012-2.wav");
}

TEST(RunNames, VqrBesideVqmAndCarryingOn) {
  testkit::TempDir dir;
  const TestRecording vqr = MakeCodes("SL", 3);
  const TestRecording vqm = MakeCodes("SS", 4, true);
  fs::create_directories(dir.file("in"));
  WriteVqr(dir.file("in/memo.vqr"), vqr);
  WriteVqm(dir.file("in/memo.vqm"), vqm);
  ToolRun run = RunConvert({"-r", "-f", "-j", "2", dir.file("in").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(ReadFile(dir.file("in/memo.wav")) == ReferenceWav(vqm, true, 16))
      << dir.file("in/memo.wav");  // m.vqm < m.vqr
  EXPECT_TRUE(ReadFile(dir.file("in/memo.vqr.wav")) == ReferenceWav(vqr, false, 16))
      << dir.file("in/memo.vqr.wav");

  // The names follow from the command line, so a run that carries on finds them.
  run = RunConvert({"-r", "--skip-existing", dir.file("in").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("0 converted, 0 failed"), std::string::npos) << run.out;

  // A recording named as another's output would be is never replaced by it,
  // even with --force (its own output it refuses to be).
  fs::create_directories(dir.file("out"));
  WriteVqr(dir.file("out/memo.wav"), vqr);
  const std::string kept = ReadFile(dir.file("out/memo.wav"));
  run = RunConvert({"-f", "-o", dir.file("out").string(), dir.file("in/memo.vqr").string(),
                    dir.file("out/memo.wav").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(ReadFile(dir.file("out/memo.wav")), kept);
  EXPECT_TRUE(ReadFile(dir.file("out/memo.vqr.wav")) == ReferenceWav(vqr, false, 16))
      << dir.file("out/memo.vqr.wav");
}

}  // namespace
}  // namespace tooltest
