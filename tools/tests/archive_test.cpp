// calendo-convert writing files for keeping: FLAC, Ogg Vorbis, Opus and MP3
// beside WAV, their names, tags, modification times and loudness, read back
// through libsndfile and measured with libebur128.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include <ebur128.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include "tool_support.h"

namespace tooltest {
namespace {

namespace fs = std::filesystem;

struct Decoded {
  int rate = 0;
  std::vector<int16_t> samples;
  std::string title, date, comment, software;
};

std::string Text(SNDFILE* file, int kind) {
  const char* text = sf_get_string(file, kind);
  return text ? text : "";
}

std::optional<Decoded> ReadAudio(const fs::path& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return std::nullopt;
  Decoded decoded;
  decoded.rate = info.samplerate;
  decoded.samples.resize(static_cast<size_t>(info.frames));
  decoded.samples.resize(
      static_cast<size_t>(sf_read_short(file, decoded.samples.data(), info.frames)));
  decoded.title = Text(file, SF_STR_TITLE);
  decoded.date = Text(file, SF_STR_DATE);
  decoded.comment = Text(file, SF_STR_COMMENT);
  decoded.software = Text(file, SF_STR_SOFTWARE);
  sf_close(file);
  return decoded;
}

struct Measured {
  double lufs = 0;
  double peak_dbtp = 0;
};

Measured Measure(const Decoded& audio) {
  ebur128_state* state = ebur128_init(1, static_cast<unsigned long>(audio.rate),
                                      EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
  ebur128_add_frames_short(state, audio.samples.data(), audio.samples.size());
  Measured measured;
  double peak = 0;
  ebur128_loudness_global(state, &measured.lufs);
  ebur128_true_peak(state, 0, &peak);
  ebur128_destroy(&state);
  measured.peak_dbtp = 20.0 * std::log10(peak);
  return measured;
}

timespec MtimeOf(const fs::path& path) {
  struct stat status {};
  ::stat(path.c_str(), &status);
  return status.st_mtim;
}

// A source with a modification time of its own, far from now.
void SetOldTime(const fs::path& path) {
  const timespec old[2] = {{1583417229, 250000000}, {1583417229, 250000000}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
}

uint32_t U32At(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

class Archive : public ::testing::Test {
 protected:
  void SetUp() override {
    recording_ = MakeCodes(std::string(40, 'S') + "LLLSS", 21);
    source_ = dir_.file("memo.vqr");
    WriteVqr(source_, recording_);
    SetOldTime(source_);
  }

  // Converts the source to `format` into a folder of the format's name.
  fs::path Convert(const std::string& format, std::vector<std::string> more = {}) {
    return ConvertToFormat(source_, format, dir_.file(format + std::to_string(runs_++)), more);
  }

  testkit::TempDir dir_;
  TestRecording recording_;
  fs::path source_;
  int runs_ = 0;
};

TEST_F(Archive, FlacHoldsExactlyTheSamplesOfTheWav) {
  const std::optional<Decoded> wav = ReadAudio(Convert("wav"));
  const std::optional<Decoded> flac = ReadAudio(Convert("flac"));
  ASSERT_TRUE(wav && flac);
  EXPECT_EQ(flac->rate, 11025);
  EXPECT_EQ(flac->samples, wav->samples);

  // An LP-only recording keeps its own rate.
  WriteVqr(source_, MakeCodes("LLLL", 5));
  const std::optional<Decoded> lp_wav = ReadAudio(Convert("wav"));
  const std::optional<Decoded> lp_flac = ReadAudio(Convert("flac"));
  ASSERT_TRUE(lp_wav && lp_flac);
  EXPECT_EQ(lp_flac->rate, 8000);
  EXPECT_EQ(lp_flac->samples, lp_wav->samples);
}

TEST_F(Archive, LossyFormatsKeepTheLengthWithinOneCodecFrame) {
  const std::optional<Decoded> wav = ReadAudio(Convert("wav"));
  ASSERT_TRUE(wav);
  const double seconds = static_cast<double>(wav->samples.size()) / wav->rate;
  struct Case {
    const char* format;
    int rate;
    double frame_seconds;
  };
  for (const Case& c : {Case{"ogg", 11025, 2048.0 / 11025}, Case{"opus", 12000, 0.020},
                        Case{"mp3", 11025, 576.0 / 11025}}) {
    SCOPED_TRACE(c.format);
    const fs::path file = Convert(c.format);
    const std::optional<Decoded> decoded = ReadAudio(file);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->rate, c.rate);
    const double decoded_seconds = static_cast<double>(decoded->samples.size()) / decoded->rate;
    EXPECT_NEAR(decoded_seconds, seconds, c.frame_seconds);
    EXPECT_LT(fs::file_size(file), fs::file_size(dir_.file("wav0/memo.wav")) / 3);
  }
}

TEST_F(Archive, QualityChangesTheSizeOfLossyFiles) {
  const auto small = fs::file_size(Convert("mp3", {"--quality", "0"}));
  const auto large = fs::file_size(Convert("mp3", {"--quality=10"}));
  EXPECT_LT(small * 4, large);
  EXPECT_LT(fs::file_size(Convert("opus", {"--quality", "0.5"})),
            fs::file_size(Convert("opus", {"--quality", "8"})));
}

TEST_F(Archive, NamesItsFilesByFormatOrAsMinusOSays) {
  for (const char* format : {"wav", "flac", "ogg", "opus", "mp3"}) {
    const ToolRun run = RunConvert({"-q", "--format", format, source_.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::exists(dir_.file(std::string("memo.") + format))) << format;
  }

  // -o with a format's extension names the one file; the extension chooses.
  const fs::path named = dir_.file("kept/Interview.FLAC");
  fs::create_directory(dir_.file("kept"));
  ASSERT_EQ(RunConvert({"-o", named.string(), source_.string()}).status, 0);
  EXPECT_EQ(ReadFile(named).substr(0, 4), "fLaC");

  // An existing folder of such a name stays a folder.
  fs::create_directory(dir_.file("box.ogg"));
  ASSERT_EQ(RunConvert({"-o", dir_.file("box.ogg").string(), source_.string()}).status, 0);
  EXPECT_TRUE(fs::exists(dir_.file("box.ogg/memo.wav")));
}

TEST_F(Archive, RefusesContradictionsAsBadUsage) {
  WriteVqr(dir_.file("other.vqr"), MakeCodes("SS", 2));
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--bits", "8", "--format", "flac"}, "--bits 8 is for WAV files"},
      {{"--bits", "8", "-o", dir_.file("x.mp3").string()}, "--bits 8 is for WAV files"},
      {{"--quality", "5"}, "--quality is for the lossy formats"},
      {{"--format", "ogg", "-o", dir_.file("x.flac").string()}, "but -o names a .flac file"},
      {{"-o", dir_.file("x.flac").string(), dir_.file("other.vqr").string()},
       "-o names one file but 2 recorder files"},
      {{"-o", dir_.file("out.m4a").string()},
       ".m4a is no format written here (wav, flac, ogg, opus, mp3)"},
  };
  for (const auto& [arguments, reason] : cases) {
    std::vector<std::string> line = arguments;
    line.push_back(source_.string());
    const ToolRun run = RunConvert(line);
    EXPECT_EQ(run.status, 2) << reason;
    EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
  }
  EXPECT_FALSE(fs::exists(dir_.file("x.flac")));
  EXPECT_FALSE(fs::exists(dir_.file("x.mp3")));
  EXPECT_FALSE(fs::exists(dir_.file("out.m4a")));
  // Ending the name with a slash asks for a folder of that name.
  ASSERT_EQ(RunConvert({"-q", "-o", dir_.file("out.m4a").string() + "/", source_.string()}).status,
            0);
  EXPECT_TRUE(fs::exists(dir_.file("out.m4a/memo.wav")));
}

TEST_F(Archive, TagsReadBackInEveryFormatThatCarriesThem) {
  const std::string date = "2020-03-05T14:07:09Z";
  const std::string comment = "vqr recording, 42 SP pages, 3 LP pages, 00 : 00 : 06";
  for (const char* format : {"flac", "ogg", "opus"}) {
    SCOPED_TRACE(format);
    const std::optional<Decoded> decoded = ReadAudio(Convert(format));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->title, "memo");
    EXPECT_EQ(decoded->date, date);
    EXPECT_EQ(decoded->comment, comment);
    EXPECT_EQ(decoded->software.rfind("Calendo ", 0), 0u) << decoded->software;
  }
  // ID3 has no software field; the date starts with the year at least.
  const std::optional<Decoded> mp3 = ReadAudio(Convert("mp3"));
  ASSERT_TRUE(mp3);
  EXPECT_EQ(mp3->title, "memo");
  EXPECT_EQ(mp3->date.rfind("2020", 0), 0u) << mp3->date;
  EXPECT_EQ(mp3->comment, comment);
}

TEST_F(Archive, TaggedWavAppendsInfoAfterTheSameData) {
  for (const int bits : {16, 8}) {
    SCOPED_TRACE(bits);
    // An odd number of 8-bit samples leaves an odd data chunk: the pad byte
    // comes before the tag chunks.
    WriteVqr(source_, MakeCodes(bits == 8 ? "SL" : "SSL", 9));
    SetOldTime(source_);
    const std::string plain = ReadFile(Convert("wav", {"--bits", std::to_string(bits)}));
    const std::string tagged = ReadFile(Convert("wav", {"--bits", std::to_string(bits), "--tags"}));
    ASSERT_GT(tagged.size(), plain.size());
    if (bits == 8) {
      ASSERT_EQ(plain.size() % 2, 1u) << "the case of the pad byte";
    }
    EXPECT_EQ(tagged.substr(8, plain.size() - 8), plain.substr(8));
    EXPECT_EQ(U32At(tagged, 4), tagged.size() - 8);
    // After the data: whole chunks up to the end, a LIST/INFO one among them.
    std::vector<std::string> chunks;
    size_t at = plain.size() + plain.size() % 2;
    while (at + 8 <= tagged.size()) {
      chunks.push_back(tagged.substr(at, 4) +
                       (tagged.substr(at, 4) == "LIST" ? tagged.substr(at + 8, 4) : ""));
      const uint32_t size = U32At(tagged, at + 4);
      at += 8 + size + size % 2;
    }
    EXPECT_EQ(at, tagged.size());
    EXPECT_NE(std::find(chunks.begin(), chunks.end(), "LISTINFO"), chunks.end());

    const fs::path copy = dir_.file("tagged.wav");
    testkit::write_file(copy, std::vector<uint8_t>(tagged.begin(), tagged.end()));
    const fs::path plain_copy = dir_.file("plain.wav");
    testkit::write_file(plain_copy, std::vector<uint8_t>(plain.begin(), plain.end()));
    const std::optional<Decoded> read = ReadAudio(copy);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->samples, ReadAudio(plain_copy)->samples);
    EXPECT_EQ(read->title, "memo");
    EXPECT_EQ(read->date, "2020-03-05T14:07:09Z");
  }
}

TEST_F(Archive, KeepsTheModificationTimeOfTheSourceUnlessTold) {
  const timespec source_time = MtimeOf(source_);
  for (const char* format : {"wav", "flac", "mp3"}) {
    const timespec kept = MtimeOf(Convert(format));
    EXPECT_EQ(kept.tv_sec, source_time.tv_sec) << format;
    EXPECT_EQ(kept.tv_nsec, source_time.tv_nsec) << format;
    const timespec now = MtimeOf(Convert(format, {"--no-keep-time"}));
    EXPECT_GT(now.tv_sec, source_time.tv_sec + 86400) << format;
  }
}

TEST_F(Archive, NormalizedFilesMeetTheTargetBelowTheCeiling) {
  // A quiet target: reached by a plain gain, the peak far below the ceiling.
  for (const char* format : {"flac", "wav"}) {
    SCOPED_TRACE(format);
    const std::optional<Decoded> quiet = ReadAudio(Convert(format, {"--normalize=-30"}));
    ASSERT_TRUE(quiet);
    const Measured measured = Measure(*quiet);
    EXPECT_NEAR(measured.lufs, -30.0, 0.5);
    EXPECT_LE(measured.peak_dbtp, -1.0);
  }
  // A target loud enough that the true peak holds the gain down.
  const fs::path folder = dir_.file("loud");
  const ToolRun run =
      RunConvert({"--format", "flac", "--normalize=-5", "-o", folder.string(), source_.string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("held to a true peak of -1 dBTP"), std::string::npos) << run.err;
  const Measured loud = Measure(*ReadAudio(folder / "memo.flac"));
  EXPECT_LE(loud.peak_dbtp, -1.0);
  EXPECT_GT(loud.peak_dbtp, -1.5);
  EXPECT_LT(loud.lufs, -5.0);
}

}  // namespace
}  // namespace tooltest
