// calendo-convert --peaks and --silences: the overview against the samples of
// the WAV file the same program writes, read back by a reader of its own;
// the speech stretches of a recording whose pauses are known.
#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

#include "options.h"
#include "tool_support.h"

namespace tooltest {
namespace {

namespace fs = std::filesystem;

int32_t Le32(const std::string& bytes, std::size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes.at(at + i));
  return static_cast<int32_t>(value);
}

int16_t Le16(const std::string& bytes, std::size_t at) {
  return static_cast<int16_t>(static_cast<uint8_t>(bytes.at(at)) |
                              static_cast<uint8_t>(bytes.at(at + 1)) << 8);
}

// The 16-bit samples of a WAV file, found by its "data" chunk.
std::vector<int16_t> WavSamples(const std::string& wav) {
  std::size_t at = 12;
  while (at + 8 <= wav.size()) {
    const auto size = static_cast<uint32_t>(Le32(wav, at + 4));
    if (wav.compare(at, 4, "data") == 0) {
      std::vector<int16_t> samples(size / 2);
      for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = Le16(wav, at + 8 + 2 * i);
      return samples;
    }
    at += 8 + size + (size & 1);
  }
  return {};
}

TEST(Peaks, TheOverviewIsTheMinAndMaxOfTheConvertedSamples) {
  testkit::TempDir dir;
  // Both modes (11025 Hz), and one mode at 8000 Hz.
  uint32_t seed = 40;
  for (const std::string& modes :
       {std::string("SSLSLLSSSLS") + std::string(300, 'S') + "LL", std::string(257, 'L')}) {
    SCOPED_TRACE(modes.size());
    const fs::path vqr = dir.file("memo" + std::to_string(seed) + ".vqr");
    WriteVqr(vqr, MakeCodes(modes, seed++));
    const fs::path wav_folder = dir.file("wav" + std::to_string(seed));
    ASSERT_EQ(RunConvert({"-q", "-o", wav_folder.string(), vqr.string()}).status, 0);
    const std::string wav = ReadFile(wav_folder / (vqr.stem().string() + ".wav"));
    const std::vector<int16_t> samples = WavSamples(wav);
    ASSERT_FALSE(samples.empty());

    const fs::path dat = dir.file("overview" + std::to_string(seed) + ".dat");
    const ToolRun run = RunConvert({"--peaks", vqr.string(), "-o", dat.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string bytes = ReadFile(dat);
    ASSERT_GE(bytes.size(), 24u);
    const std::size_t pairs = (samples.size() + 255) / 256;
    EXPECT_EQ(Le32(bytes, 0), 2);              // version
    EXPECT_EQ(Le32(bytes, 4), 0);              // flags: 16-bit
    EXPECT_EQ(Le32(bytes, 8), Le32(wav, 24));  // the WAV file's rate
    EXPECT_EQ(Le32(bytes, 12), 256);
    EXPECT_EQ(static_cast<std::size_t>(Le32(bytes, 16)), pairs);
    EXPECT_EQ(Le32(bytes, 20), 1);
    ASSERT_EQ(bytes.size(), 24 + 4 * pairs);
    for (std::size_t p = 0; p < pairs; ++p) {
      const auto first = samples.begin() + static_cast<std::ptrdiff_t>(256 * p);
      const auto last = samples.end() - first > 256 ? first + 256 : samples.end();
      const auto [low, high] = std::minmax_element(first, last);
      ASSERT_EQ(Le16(bytes, 24 + 4 * p), *low) << p;
      ASSERT_EQ(Le16(bytes, 26 + 4 * p), *high) << p;
    }

    // The JSON form holds the same pairs.
    const fs::path json = dir.file("overview" + std::to_string(seed) + ".json");
    ASSERT_EQ(RunConvert({"--peaks", "--json", "-q", "-o", json.string(), vqr.string()}).status, 0);
    const std::string text = ReadFile(json);
    EXPECT_EQ(text.rfind(
                  "{\"version\":2,\"channels\":1,\"sample_rate\":" + std::to_string(Le32(wav, 24)) +
                      ",\"samples_per_pixel\":256,\"bits\":16,\"length\":" + std::to_string(pairs) +
                      ",\"data\":[",
                  0),
              0u);
    std::istringstream data(text.substr(text.find('[') + 1));
    for (std::size_t i = 0; i < 2 * pairs; ++i) {
      long value = 0;
      char separator = 0;
      ASSERT_TRUE(data >> value >> separator) << i;
      ASSERT_EQ(value, Le16(bytes, 24 + 2 * i)) << i;
      ASSERT_EQ(separator, i + 1 < 2 * pairs ? ',' : ']');
    }
  }
}

TEST(Peaks, AFileIsNamedOnlyWhenCompleteAndNeverReplacedUnasked) {
  testkit::TempDir dir;
  const fs::path vqr = dir.file("memo.vqr");
  WriteVqr(vqr, MakeCodes("SSSS", 3));
  ASSERT_EQ(RunConvert({"--peaks", "-q", vqr.string()}).status, 0);  // beside it
  const fs::path dat = dir.file("memo.dat");
  ASSERT_TRUE(fs::exists(dat));
  const std::string first = ReadFile(dat);

  WriteVqr(vqr, MakeCodes("SSSSSSSS", 4));
  ToolRun run = RunConvert({"--peaks", "-q", vqr.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("exists"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(dat), first);
  run = RunConvert({"--peaks", "-q", "--force", vqr.string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(ReadFile(dat), first);

  // A file that is no recording fails alone; the others are written.
  const fs::path bad = dir.file("bad.vqr");
  testkit::write_file(bad, testkit::Bytes(300, 0x42));
  const fs::path out = dir.file("out");
  fs::create_directory(out);
  run = RunConvert({"--peaks", "-q", "-o", out.string(), bad.string(), vqr.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("bad.vqr"), std::string::npos);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(out))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"memo.dat"});
}

// A recording of words (tones) with pauses between them, over hiss.
struct Spoken {
  std::vector<int16_t> samples;
  std::vector<std::pair<double, double>> words;  // seconds
};

Spoken WordsOverHiss(uint32_t rate, double hiss) {
  Spoken s;
  s.words = {{1.0, 2.5}, {3.4, 3.9}, {5.2, 8.0}, {8.4, 9.0}};  // the 0.4 s gap is no pause
  const double seconds = 10.5;
  std::mt19937 random(21);
  std::normal_distribution<double> noise(0, hiss);
  for (std::size_t i = 0; i < static_cast<std::size_t>(seconds * rate); ++i) {
    const double t = static_cast<double>(i) / rate;
    double value = noise(random);
    for (const auto& [from, to] : s.words) {
      if (t >= from && t < to) value += 6000 * std::sin(2 * M_PI * 300 * t);
    }
    s.samples.push_back(static_cast<int16_t>(std::lround(value)));
  }
  return s;
}

std::vector<std::pair<double, double>> ParseLines(const std::string& text) {
  std::vector<std::pair<double, double>> stretches;
  std::istringstream lines(text);
  double start = 0;
  double end = 0;
  while (lines >> start >> end) stretches.emplace_back(start, end);
  return stretches;
}

TEST(Silences, TheStretchesOfSpeechLieBetweenTheKnownPauses) {
  testkit::TempDir dir;
  for (const double hiss : {20.0, 300.0}) {
    SCOPED_TRACE(hiss);
    const Spoken spoken = WordsOverHiss(11025, hiss);
    const fs::path wav = dir.file("words" + std::to_string(static_cast<int>(hiss)) + ".wav");
    WriteWav(wav, 11025, 1, 16, spoken.samples);
    const fs::path vqr = dir.file("words" + std::to_string(static_cast<int>(hiss)) + ".vqr");
    ASSERT_EQ(RunConvert({"--encode", "-q", wav.string(), "-o", vqr.string()}).status, 0);

    const ToolRun run = RunConvert({"--silences", vqr.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto found = ParseLines(run.out);
    // The last two words are one stretch: 0.4 s apart.
    const std::vector<std::pair<double, double>> expected = {{1.0, 2.5}, {3.4, 3.9}, {5.2, 9.0}};
    ASSERT_EQ(found.size(), expected.size()) << run.out;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_NEAR(found[i].first, expected[i].first, 0.05) << run.out;
      EXPECT_NEAR(found[i].second, expected[i].second, 0.05) << run.out;
    }
  }
}

TEST(Silences, JsonAndWebVttCarryTheSameStretches) {
  testkit::TempDir dir;
  const Spoken spoken = WordsOverHiss(11025, 50);
  const fs::path wav = dir.file("words.wav");
  WriteWav(wav, 11025, 1, 16, spoken.samples);
  const fs::path vqr = dir.file("words.vqr");
  ASSERT_EQ(RunConvert({"--encode", "-q", wav.string(), "-o", vqr.string()}).status, 0);
  const auto lines = ParseLines(RunConvert({"--silences", vqr.string()}).out);
  ASSERT_EQ(lines.size(), 3u);

  const ToolRun json = RunConvert({"--silences", "--json", vqr.string()});
  ASSERT_EQ(json.status, 0) << json.err;
  char expected[64];
  std::snprintf(expected, sizeof expected, "{\"start\": %.3f, \"end\": %.3f}", lines[1].first,
                lines[1].second);
  EXPECT_NE(json.out.find(expected), std::string::npos) << json.out;
  EXPECT_EQ(json.out.front(), '[');

  const ToolRun vtt = RunConvert({"--silences", "--vtt", vqr.string()});
  ASSERT_EQ(vtt.status, 0) << vtt.err;
  EXPECT_EQ(vtt.out.rfind("WEBVTT\n\n1\n", 0), 0u) << vtt.out;
  const auto ms = [](double s) { return static_cast<int>(std::lround(s * 1000)); };
  char cue[80];
  std::snprintf(cue, sizeof cue, "\n3\n00:00:%02d.%03d --> 00:00:%02d.%03d\n\n",
                ms(lines[2].first) / 1000, ms(lines[2].first) % 1000, ms(lines[2].second) / 1000,
                ms(lines[2].second) % 1000);
  // The last cue ends the file with its empty text.
  std::string last_cue = cue;
  last_cue.pop_back();
  ASSERT_GE(vtt.out.size(), last_cue.size());
  EXPECT_EQ(vtt.out.substr(vtt.out.size() - last_cue.size()), last_cue) << vtt.out;
}

TEST(OverviewOptions, AreRefusedOutsideTheirUse) {
  using calendo::tool::Mode;
  using calendo::tool::ParseOptions;
  auto parsed = ParseOptions({"--peaks", "--json", "a.vqr"});
  ASSERT_TRUE(parsed.ok());
  EXPECT_EQ(parsed->mode, Mode::kPeaks);
  EXPECT_TRUE(parsed->json);
  parsed = ParseOptions({"--json", "a.vqr"});  // still --info as JSON
  ASSERT_TRUE(parsed.ok());
  EXPECT_EQ(parsed->mode, Mode::kInfo);
  parsed = ParseOptions({"--silences", "--vtt", "a.vqr"});
  ASSERT_TRUE(parsed.ok());
  EXPECT_EQ(parsed->mode, Mode::kSilences);
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--peaks", "--silences", "a.vqr"},
        {"--vtt", "a.vqr"},
        {"--peaks", "--info", "a.vqr"},
        {"--peaks", "--bits", "8", "a.vqr"},
        {"--silences", "-o", "x", "a.vqr"},
        {"--silences", "--vtt", "a.vqr", "b.vqr"},
        {"--peaks", "-r", "dir"}}) {
    EXPECT_FALSE(ParseOptions(bad).ok()) << bad[0] << " " << bad[1];
  }
}

}  // namespace
}  // namespace tooltest
