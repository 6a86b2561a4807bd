// calendo-convert --info and --json: the figures of a recorder file.
#include <fstream>

#include <gtest/gtest.h>

#include "tool_support.h"

namespace tooltest {
namespace {

TEST(Info, TellsContainerPagesModesAndTime) {
  testkit::TempDir dir;
  // 6 SP pages of 123 ms and 4 LP pages of 292 ms (2046 codes at 7 kHz).
  WriteVqr(dir.file("mixed.vqr"), MakeCodes("SSLSLLSSLS", 1));
  WriteVqm(dir.file("memo.vqm"), MakeCodes("SSS", 2, true));

  const ToolRun run =
      RunConvert({"--info", dir.file("mixed.vqr").string(), dir.file("memo.vqm").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string expected = dir.file("mixed.vqr").string() +
                               "\n"
                               "  container   vqr\n"
                               "  pages       10 (SP 6, LP 4)\n"
                               "  SP mode     rate code 11 (11025 Hz), 3-bit codes, 123 ms a page\n"
                               "  LP mode     rate code 7 (7000 Hz), 2-bit codes, 292 ms a page\n"
                               "  time        00 : 00 : 01 (the recorder's count)\n"
                               "  duration    1.909 s\n"
                               "\n" +
                               dir.file("memo.vqm").string() +
                               "\n"
                               "  container   vqm\n"
                               "  pages       3 (SP 3, LP 0)\n"
                               "  SP mode     rate code 11 (11025 Hz), 3-bit codes, 123 ms a page\n"
                               "  LP mode     rate code 8 (8000 Hz), 2-bit codes, 255 ms a page\n"
                               "  time        00 : 00 : 00 (the recorder's count)\n"
                               "  duration    0.370 s\n";
  EXPECT_EQ(run.out, expected);
}

TEST(Info, JsonGivesTheSameFiguresAndNamesFailures) {
  testkit::TempDir dir;
  WriteVqr(dir.file("mixed.vqr"), MakeCodes("SSLSLLSSLS", 1));
  testkit::write_file(dir.file("bad \"name\".vqm"), std::vector<uint8_t>(100, 0));

  const ToolRun run =
      RunConvert({"--json", dir.file("mixed.vqr").string(), dir.file("bad \"name\".vqm").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("not a vqm recorder file"), std::string::npos) << run.err;
  const std::string expected =
      "[\n  {\"file\": \"" + dir.file("mixed.vqr").string() +
      "\", \"container\": \"vqr\", \"pages\": 10, \"sp_pages\": 6, \"lp_pages\": 4, "
      "\"sp_rate_code\": 11, \"lp_rate_code\": 7, \"sp_code_bits\": 3, \"lp_code_bits\": 2, "
      "\"total_ms\": 1906, \"total_time\": \"00 : 00 : 01\", \"sp_rate_hz\": 11025, "
      "\"lp_rate_hz\": 7000, \"duration_s\": 1.909},\n  {\"file\": \"" +
      dir.path().string() + "/bad \\\"name\\\".vqm\", \"error\": \"not a vqm recorder file\"}\n]\n";
  EXPECT_EQ(run.out, expected);
}

// Sets the 16-bit page size field of a vqr file.
void SetPageSizeField(const std::filesystem::path& vqr, uint16_t page_size) {
  std::fstream file(vqr, std::ios::binary | std::ios::in | std::ios::out);
  file.seekp(58);
  const char bytes[2] = {static_cast<char>(page_size & 0xFF), static_cast<char>(page_size >> 8)};
  file.write(bytes, 2);
}

TEST(Info, GivesTheExactLengthBesideTheRecordersCount) {
  testkit::TempDir dir;
  // 5040 SP pages: the recorder counts 123 ms a page (619.9 s), the audio is
  // 1360 samples at 11025 Hz a page (621.7 s), which the WAV file holds.
  WriteVqr(dir.file("long.vqr"), MakeCodes(std::string(5040, 'S'), 3));
  ToolRun run = RunConvert({"--info", dir.file("long.vqr").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("  time        00 : 10 : 19 (the recorder's count)\n"
                         "  duration    621.714 s\n"),
            std::string::npos)
      << run.out;
  run = RunConvert({dir.file("long.vqr").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("00 : 10 : 21 (621.7 s, 16-bit, 11025 Hz)"), std::string::npos) << run.out;
}

TEST(Info, PrintsALongPathWholeOrFailsClearly) {
  testkit::TempDir dir;
  std::filesystem::path folder = dir.path();
  while (folder.string().size() < 3700) folder /= std::string(200, 'd');
  std::filesystem::create_directories(folder);
  const std::filesystem::path file = folder / "memo.vqr";
  WriteVqr(file, MakeCodes("SSL", 4));
  ToolRun run = RunConvert({"--info", file.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.rfind(file.string() + "\n  container   vqr\n  pages       3 (SP 2, LP 1)", 0),
            0u)
      << run.out.substr(0, 100);

  const std::string too_long = (folder / (std::string(250, 'x') + ".vqr")).string();
  run = RunConvert({"--info", too_long});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("File name too long"), std::string::npos) << run.err.substr(0, 100);
}

TEST(Info, JsonStaysValidForANameThatIsNotUtf8) {
  testkit::TempDir dir;
  const std::string name = "memo\xFF\xFE.vqr";
  WriteVqr(dir.file(name), MakeCodes("S", 5));
  const ToolRun run =
      RunConvert({"--json", dir.file(name).string(), dir.file("gone\xC3").string()});
  EXPECT_EQ(run.status, 1);
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_NE(run.out.find("memo" + fffd + fffd + ".vqr\", \"file_bytes\": ["), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("109, 101, 109, 111, 255, 254, 46, 118, 113, 114], \"container\""),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("gone" + fffd + "\", \"file_bytes\": ["), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("103, 111, 110, 101, 195], \"error\""), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("\xFF"), std::string::npos);
}

TEST(Info, BelievesNoPageSizeThatCountsPagesTheFileLacks) {
  testkit::TempDir dir;
  const TestRecording recording = MakeCodes(std::string(17, 'S'), 6);
  WriteVqr(dir.file("tiny.vqr"), recording);
  SetPageSizeField(dir.file("tiny.vqr"), 1);  // 17 x 528 bytes would count 8976 pages

  ToolRun run = RunConvert({"--json", dir.file("tiny.vqr").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\"pages\": 17, \"sp_pages\": 17, \"lp_pages\": 0"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\"warning\": \"the header's page size counts 8976 pages; only the 17"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.err.find("tiny.vqr: warning: the header's page size counts 8976 pages"),
            std::string::npos)
      << run.err;

  run = RunConvert({"-q", dir.file("tiny.vqr").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(dir.file("tiny.wav")), ReferenceWav(recording, false, 16));

  // A field of the standard size is believed as ever, also for a partial page.
  WriteVqr(dir.file("good.vqr"), recording);
  std::filesystem::resize_file(dir.file("good.vqr"), 92 + 17 * 528 + 100);
  run = RunConvert({"--json", dir.file("good.vqr").string()});
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out.find("warning"), std::string::npos);
}

TEST(Info, ARecordingCutShortIsConvertedAsFarAsItGoesWithAWarning) {
  testkit::TempDir dir;
  TestRecording recording = MakeCodes(std::string(120, 'S'), 7);
  WriteVqr(dir.file("cut.vqr"), recording);  // its header announces 63,360 bytes of pages
  std::filesystem::resize_file(dir.file("cut.vqr"), 30000);
  const std::string warning =
      "cut.vqr: warning: the header announces 120 pages, the file holds 56: the recording is "
      "cut short";

  ToolRun run = RunConvert({"-q", dir.file("cut.vqr").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find(warning), std::string::npos) << run.err;
  recording.modes.resize(56);
  recording.codes.resize(56);
  EXPECT_TRUE(ReadFile(dir.file("cut.wav")) == ReferenceWav(recording, false, 16));

  run = RunConvert({"--info", dir.file("cut.vqr").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find(warning), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("pages       56"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace tooltest
