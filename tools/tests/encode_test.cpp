// calendo-convert --encode: recorder files made from WAV files, and the WAV
// files it refuses.
#include <cmath>

#include <gtest/gtest.h>

#include "tool_support.h"

namespace tooltest {
namespace {

namespace fs = std::filesystem;

std::vector<int16_t> Tone(size_t count, double hz, uint32_t rate) {
  std::vector<int16_t> samples(count);
  for (size_t i = 0; i < count; ++i) {
    samples[i] =
        static_cast<int16_t>(8000 * std::sin(2 * M_PI * hz * static_cast<double>(i) / rate));
  }
  return samples;
}

TEST(Encode, MakesSpAndLpRecordingsThatConvertBack) {
  testkit::TempDir dir;
  WriteWav(dir.file("sp.wav"), 11025, 1, 16, Tone(11025 * 2, 440, 11025));
  WriteWav(dir.file("lp.wav"), 8000, 1, 8, Tone(8000 * 2, 300, 8000));

  ToolRun run =
      RunConvert({"--encode", dir.file("sp.wav").string(), "-o", dir.file("sp.vqr").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  run = RunConvert({"--encode", dir.file("lp.wav").string()});  // beside it: lp.vqr
  ASSERT_EQ(run.status, 0) << run.err;

  run = RunConvert({"--json", dir.file("sp.vqr").string(), dir.file("lp.vqr").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  // 22050 samples of 1360 a page: 17 pages (the last one part-filled).
  EXPECT_NE(run.out.find("\"pages\": 17, \"sp_pages\": 17, \"lp_pages\": 0"), std::string::npos)
      << run.out;
  // 16000 samples of 2046 a page: 8 pages.
  EXPECT_NE(run.out.find("\"pages\": 8, \"sp_pages\": 0, \"lp_pages\": 8"), std::string::npos)
      << run.out;
  run = RunConvert({"-q", "-o", dir.file("back").string(), dir.file("sp.vqr").string(),
                    dir.file("lp.vqr").string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(fs::file_size(dir.file("back/sp.wav")), 44u + 17 * 1360 * 2);
  EXPECT_EQ(fs::file_size(dir.file("back/lp.wav")), 44u + 8 * 2338 * 2);
}

TEST(Encode, TurnsRefusalsIntoClearMessages) {
  testkit::TempDir dir;
  WriteWav(dir.file("stereo.wav"), 11025, 2, 16, Tone(2000, 440, 11025));
  WriteWav(dir.file("cd.wav"), 22050, 1, 16, Tone(2000, 440, 22050));
  WriteWav(dir.file("float.wav"), 8000, 1, 16, Tone(2000, 440, 8000), 3);
  testkit::write_file(dir.file("text.wav"), std::vector<uint8_t>(64, 'a'));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"stereo.wav", "is not mono"},
      {"cd.wav", "has a sample rate of 22050 Hz; the recorder takes 11025 Hz (SP) or 8000 Hz (LP)"},
      {"float.wav", "is not plain PCM"},
      {"text.wav", "is not a WAV file"},
      {"absent.wav", "No such file or directory"},
  };
  for (const auto& [name, message] : cases) {
    const ToolRun run =
        RunConvert({"--encode", dir.file(name).string(), "-o", dir.file("out.vqr").string()});
    EXPECT_EQ(run.status, 1) << name;
    EXPECT_NE(run.err.find(name + ": " + message), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir.file("out.vqr"))) << name;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 4);
}

TEST(Encode, RefusesToOverwriteUnlessForced) {
  testkit::TempDir dir;
  WriteWav(dir.file("a.wav"), 8000, 1, 16, Tone(4000, 300, 8000));
  testkit::write_file(dir.file("a.vqr"), std::vector<uint8_t>{'o', 'l', 'd'});
  ToolRun run = RunConvert({"--encode", dir.file("a.wav").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("exists (--force replaces it)"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(dir.file("a.vqr")), "old");
  run = RunConvert({"--encode", "-f", dir.file("a.wav").string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(dir.file("a.vqr")).substr(0, 4), "OIFF");

  run = RunConvert({"--encode", dir.file("a.wav").string(), dir.file("a.wav").string(), "-o",
                    dir.file("one.vqr").string()});
  EXPECT_EQ(run.status, 2);
}

}  // namespace
}  // namespace tooltest
