// The pieces of calendo-convert that need no library: its command line, its
// names for output files, its texts.
#include <gtest/gtest.h>

#include "calendo/loudness.h"
#include "conversion.h"
#include "encoding.h"
#include "folder_walk.h"
#include "options.h"
#include "progress.h"
#include "recorder_info.h"
#include "run_summary.h"
#include "time_format.h"

namespace calendo::tool {
namespace {

std::optional<Options> Parse(std::vector<std::string> arguments, std::string* error = nullptr) {
  Result<Options> parsed = ParseOptions(arguments);
  if (parsed.ok()) return std::move(*parsed);
  if (error != nullptr) *error = parsed.fault().message;
  return std::nullopt;
}

TEST(ParseOptions, AcceptsEveryFormOfItsOptions) {
  auto options = Parse({"-b", "8", "-o", "out", "-f", "-q", "-j3", "a.vqr", "b.vqm"});
  ASSERT_TRUE(options);
  EXPECT_EQ(options->mode, Mode::kConvert);
  EXPECT_EQ(options->format, SampleFormat::k8Bit);
  EXPECT_EQ(options->output, "out");
  EXPECT_TRUE(options->force);
  EXPECT_TRUE(options->quiet);
  EXPECT_EQ(options->jobs, 3);
  EXPECT_EQ(options->files, (std::vector<std::string>{"a.vqr", "b.vqm"}));

  options = Parse({"--bits=16", "--jobs", "2", "--output=dir", "--", "-odd.vqr"});
  ASSERT_TRUE(options);
  EXPECT_EQ(options->format, SampleFormat::k16Bit);
  EXPECT_EQ(options->jobs, 2);
  EXPECT_EQ(options->output, "dir");
  EXPECT_EQ(options->files, (std::vector<std::string>{"-odd.vqr"}));

  options = Parse({"--json", "x.vqr"});
  ASSERT_TRUE(options);
  EXPECT_EQ(options->mode, Mode::kInfo);
  EXPECT_TRUE(options->json);
  EXPECT_EQ(Parse({"--encode", "in.wav", "-o", "out.vqr"})->mode, Mode::kEncode);
  EXPECT_EQ(Parse({"x", "--help", "--bogus"})->mode, Mode::kHelp);
  EXPECT_EQ(Parse({"-V"})->mode, Mode::kVersion);

  options = Parse({"-r", "--skip-existing", "a", "b", "-o", "out"});
  ASSERT_TRUE(options);
  EXPECT_TRUE(options->recursive);
  EXPECT_TRUE(options->skip_existing);
  options = Parse({"--encode", "--lp", "in.wav"});
  ASSERT_TRUE(options);
  EXPECT_TRUE(options->lp);
}

TEST(ParseOptions, ReadsTheOptionsOfTheFileKept) {
  auto options = Parse({"--format", "opus", "--quality=2.5", "--normalize", "a.vqr"});
  ASSERT_TRUE(options);
  EXPECT_EQ(options->output_format, AudioFormat::kOpus);
  EXPECT_EQ(options->quality, 2.5);
  EXPECT_EQ(options->normalize_lufs, kDefaultLoudnessLufs);
  EXPECT_FALSE(options->tags);
  EXPECT_TRUE(options->keep_time);
  // The target is attached only: what follows --normalize is a file.
  EXPECT_EQ(options->files, std::vector<std::string>{"a.vqr"});

  options = Parse({"--normalize=-23", "--tags", "--no-keep-time", "a.vqr"});
  ASSERT_TRUE(options);
  EXPECT_EQ(options->normalize_lufs, -23.0);
  EXPECT_TRUE(options->tags);
  EXPECT_FALSE(options->keep_time);
  EXPECT_FALSE(options->output_format);
}

TEST(ParseOptions, RefusesBadUsageWithAReason) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "no files"},
      {{"--bits", "12", "a.vqr"}, "8 or 16"},
      {{"a.vqr", "--bits"}, "needs a value"},
      {{"-j", "0", "a.vqr"}, "-j takes"},
      {{"-j", "2x", "a.vqr"}, "-j takes"},
      {{"--frobnicate", "a.vqr"}, "unknown option"},
      {{"--info", "--encode", "a.wav"}, "exclude"},
      {{"--info", "-o", "d", "a.vqr"}, "takes no -o"},
      {{"--encode", "--bits", "8", "a.wav"}, "--bits"},
      {{"--force=yes", "a.vqr"}, "takes no value"},
      {{"-o", "", "a.vqr"}, "needs a name"},
      {{"--lp", "a.vqr"}, "--lp is for --encode"},
      {{"--info", "-r", "d"}, "-r is for converting"},
      {{"--encode", "--skip-existing", "a.wav"}, "--skip-existing is for converting"},
      {{"--format", "aiff", "a.vqr"}, "wav, flac, ogg, opus or mp3"},
      {{"--quality", "11", "a.vqr"}, "from 0 to 10"},
      {{"--quality", "-1", "a.vqr"}, "from 0 to 10"},
      {{"--quality", "high", "a.vqr"}, "from 0 to 10"},
      {{"--normalize=loud", "a.vqr"}, "from -70 to 0 LUFS"},
      {{"--normalize=3", "a.vqr"}, "from -70 to 0 LUFS"},
      {{"--normalize=nan", "a.vqr"}, "from -70 to 0 LUFS"},
      {{"--normalize=-NaN", "a.vqr"}, "from -70 to 0 LUFS"},
      {{"--quality", "nan", "a.vqr"}, "from 0 to 10"},
      {{"--quality=NAN(1)", "a.vqr"}, "from 0 to 10"},
      {{"--tags=yes", "a.vqr"}, "takes no value"},
      {{"--info", "--format", "flac", "a.vqr"}, "for converting recorder files"},
      {{"--encode", "--no-keep-time", "a.wav"}, "for converting recorder files"},
  };
  for (const auto& [arguments, reason] : cases) {
    std::string error;
    EXPECT_FALSE(Parse(arguments, &error)) << reason;
    EXPECT_NE(error.find(reason), std::string::npos) << error;
  }
}

TEST(OutputNames, ReplaceTheExtensionOrAddOne) {
  EXPECT_EQ(WavPathFor("rec/memo.vqr", ""), "rec/memo.wav");
  EXPECT_EQ(WavPathFor("rec/MEMO.VQM", "out"), "out/MEMO.wav");
  EXPECT_EQ(WavPathFor("memo", ""), "memo.wav");
  EXPECT_EQ(WavPathFor("a.b/memo.x.vqr", ""), "a.b/memo.x.wav");
  EXPECT_EQ(VqrPathFor("talk/hello.wav"), "talk/hello.vqr");
}

TEST(FormatPlayTime, IsThePlayersTimeText) {
  EXPECT_EQ(FormatPlayTime(0), "00 : 00 : 00");
  EXPECT_EQ(FormatPlayTime(83000), "00 : 01 : 23");
  EXPECT_EQ(FormatPlayTime(83999), "00 : 01 : 23");
  EXPECT_EQ(FormatPlayTime(3600000LL * 12 + 59 * 60000 + 59000), "12 : 59 : 59");
  EXPECT_EQ(FormatPlayTime(3600000LL * 123), "123 : 00 : 00");
  EXPECT_EQ(FormatPlayTime(-5), "00 : 00 : 00");
}

TEST(JsonString, EscapesWhatJsonForbids) {
  EXPECT_EQ(JsonString("a\"b\\c\nd\x01"), "\"a\\\"b\\\\c\\u000ad\\u0001\"");
  EXPECT_EQ(JsonString("メモ.vqr"), "\"メモ.vqr\"");
  EXPECT_EQ(JsonString("del\x7f"), "\"del\\u007f\"");
}

TEST(JsonString, ReplacesEveryByteThatIsNotUtf8) {
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(JsonString("a\xFF\xFE"
                       "b"),
            "\"a" + fffd + fffd + "b\"");
  EXPECT_EQ(JsonString("\xC0\xAF"), "\"" + fffd + fffd + "\"");             // overlong "/"
  EXPECT_EQ(JsonString("\xED\xA0\x80"), "\"" + fffd + fffd + fffd + "\"");  // a surrogate
  EXPECT_EQ(JsonString("\xE3\x83"), "\"" + fffd + fffd + "\"");             // cut short
  EXPECT_EQ(JsonString("\xF0\x9F\x8E\x99"), "\"\xF0\x9F\x8E\x99\"");        // 4 bytes pass
  EXPECT_TRUE(IsUtf8("メモ"));
  EXPECT_FALSE(IsUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
}

TEST(RateHz, NamesTheRateOfEachRateCode) {
  EXPECT_EQ(RateHz(11), 11025u);
  EXPECT_EQ(RateHz(8), 8000u);
  EXPECT_EQ(RateHz(7), 7000u);
}

TEST(SummaryLine, TellsCountsAudioTimeAndSpeed) {
  RunTally tally{12, 1, 3, 2.4 * 3600};
  EXPECT_EQ(SummaryLine(tally, 61),
            "12 converted, 1 failed, 3 skipped; 2.4 h of audio in 61 s "
            "(142\u00d7 real time)");
  EXPECT_EQ(SummaryLine(RunTally{1, 0, 0, 90}, 0.5),
            "1 converted, 0 failed, 0 skipped; 1.5 min of audio in 0.5 s (180\u00d7 real time)");
  EXPECT_EQ(SummaryLine(RunTally{0, 0, 4, 0}, 0.02),
            "0 converted, 0 failed, 4 skipped; 0.0 s of audio in 0.0 s");
}

TEST(FolderOutputName, IsTheLastPartOfTheFolder) {
  EXPECT_EQ(FolderOutputName("rec/2024"), "2024");
  EXPECT_EQ(FolderOutputName("rec/2024/"), "2024");
  EXPECT_EQ(FolderOutputName("/"), "root");
  EXPECT_FALSE(FolderOutputName(".").empty());
  EXPECT_NE(FolderOutputName("."), ".");
}

TEST(ProgressLine, ShowsPagesPercentAndSpeed) {
  const std::string half = ProgressBar::Line("memo.vqr", 50, 100, 0.5);
  EXPECT_NE(half.find("memo.vqr ["), std::string::npos);
  EXPECT_NE(half.find("############............]"), std::string::npos);
  EXPECT_NE(half.find("50/100 pages  50%"), std::string::npos);
  EXPECT_NE(half.find("100 pages/s"), std::string::npos);
  EXPECT_NE(ProgressBar::Line("f", 3, 3, 0, "files").find("3/3 files 100%"), std::string::npos);
  EXPECT_NE(ProgressBar::Line("f", 0, 0, 0).find("100%"), std::string::npos);
}

}  // namespace
}  // namespace calendo::tool
