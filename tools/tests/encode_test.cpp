// calendo-convert --encode: recorder files made from WAV files, and the WAV
// files it refuses.
#include <signal.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <cmath>
#include <fstream>

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

// A WAV file of any sample format, written by libsndfile: `frames` frames of
// a tone, each channel its own pitch.
void WriteAnyWav(const fs::path& path, int rate, int channels, int format, size_t frames) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  std::vector<float> samples(frames * static_cast<size_t>(channels));
  for (size_t i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) {
      const double hz = 440 + 110 * c;
      samples[i * channels + c] =
          static_cast<float>(0.3 * std::sin(2 * M_PI * hz * static_cast<double>(i) / rate));
    }
  }
  EXPECT_EQ(sf_writef_float(file, samples.data(), static_cast<sf_count_t>(frames)),
            static_cast<sf_count_t>(frames));
  sf_close(file);
}

// A WAV file of `mono` in every one of `channels`, in any sample format:
// 16-bit samples held in the top of 32-bit ones reach every integer format
// exactly, and a float file holds them as s / 32768.
void WriteSamples(const fs::path& path, int channels, int format,
                  const std::vector<int16_t>& mono) {
  SF_INFO info{};
  info.samplerate = 11025;
  info.channels = channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  const auto count = static_cast<sf_count_t>(mono.size());
  if ((format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT) {
    std::vector<float> frames;  // full scale is 1.0 = 32768
    for (const int16_t s : mono)
      frames.insert(frames.end(), static_cast<size_t>(channels), static_cast<float>(s) / 32768);
    EXPECT_EQ(sf_writef_float(file, frames.data(), count), count);
  } else {
    std::vector<int> frames;
    for (const int16_t s : mono)
      frames.insert(frames.end(), static_cast<size_t>(channels), s * 65536);
    EXPECT_EQ(sf_writef_int(file, frames.data(), count), count);
  }
  sf_close(file);
}

// Sample frames of a PCM WAV file of canonical header.
size_t WavFrames(const fs::path& path) {
  const std::string bytes = ReadFile(path);
  if (bytes.size() < 44) return 0;
  const auto block = static_cast<uint8_t>(bytes[32]);
  return (bytes.size() - 44) / block;
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

TEST(Encode, TakesAnyPcmWavAndConvertsBackToItsLength) {
  testkit::TempDir dir;
  struct Case {
    const char* name;
    int rate;
    int channels;
    int format;
    bool lp;
  };
  const std::vector<Case> cases = {
      {"cd.wav", 44100, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16, false},
      {"studio.wav", 44100, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_24, false},
      {"int32.wav", 22050, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_32, false},
      {"float.wav", 48000, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT, false},
      {"ext.wav", 11025, 3, SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, false},
      {"lp.wav", 44100, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16, true},
      {"sp-as-lp.wav", 11025, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const double seconds = 2.0;
    WriteAnyWav(dir.file(c.name), c.rate, c.channels, c.format,
                static_cast<size_t>(seconds * c.rate));
    std::vector<std::string> arguments = {"--encode", dir.file(c.name).string()};
    if (c.lp) arguments.push_back("--lp");
    ToolRun run = RunConvert(arguments);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const fs::path vqr = dir.file(fs::path(c.name).replace_extension(".vqr").string());
    run = RunConvert({"--json", vqr.string()});
    EXPECT_NE(run.out.find(c.lp ? "\"sp_pages\": 0" : "\"lp_pages\": 0"), std::string::npos)
        << run.out;

    run = RunConvert({"-q", "-o", dir.file("back").string(), vqr.string()});
    ASSERT_EQ(run.status, 0) << run.err;
    const fs::path wav = dir.file("back") / fs::path(vqr).replace_extension(".wav").filename();
    // The WAV file of the recording plays as long as the source, to a page.
    // LP pages hold 2046 samples of 8000 Hz as 7 kHz codes, which play as
    // 2338 samples at 8000 Hz: the recorder's LP time runs 8/7 long.
    const double rate = c.lp ? 8000.0 * 2338 / 2046 : 11025;
    const double page = c.lp ? 2338 : 1360;
    EXPECT_NEAR(static_cast<double>(WavFrames(wav)), seconds * rate, page);
  }
  // Nothing of the work is left beside the recordings.
  for (const auto& entry : fs::directory_iterator(dir.path()))
    EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
}

TEST(Encode, MixesChannelsAndScalesSamplesExactly) {
  testkit::TempDir dir;
  // The same samples in every channel and every format come to the mono
  // 16-bit file's own samples, so each recording is the one the encoder
  // makes of the mono file as it is.
  std::vector<int16_t> samples = Tone(20000, 440, 11025);
  samples[100] = 32767;  // full scale both ways
  samples[200] = -32768;
  WriteSamples(dir.file("mono.wav"), 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, samples);
  const std::vector<std::pair<const char*, std::pair<int, int>>> others = {
      {"stereo.wav", {2, SF_FORMAT_WAV | SF_FORMAT_PCM_16}},
      {"24bit.wav", {2, SF_FORMAT_WAV | SF_FORMAT_PCM_24}},
      {"32bit.wav", {1, SF_FORMAT_WAV | SF_FORMAT_PCM_32}},
      {"float.wav", {1, SF_FORMAT_WAV | SF_FORMAT_FLOAT}},
      {"ext.wav", {1, SF_FORMAT_WAVEX | SF_FORMAT_PCM_16}},
  };
  ToolRun run = RunConvert({"--encode", "-q", dir.file("mono.wav").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string mono = ReadFile(dir.file("mono.vqr"));
  EXPECT_EQ(mono.size(), 92u + 15 * 528);
  for (const auto& [name, layout] : others) {
    WriteSamples(dir.file(name), layout.first, layout.second, samples);
    run = RunConvert({"--encode", "-q", dir.file(name).string()});
    ASSERT_EQ(run.status, 0) << name << run.err;
    EXPECT_EQ(ReadFile(dir.file(fs::path(name).replace_extension(".vqr").string())), mono) << name;
  }
}

TEST(Encode, EncodesATruncatedWavAsFarAsItHolds) {
  testkit::TempDir dir;
  const std::vector<int16_t> samples = Tone(10000, 440, 11025);
  WriteWav(dir.file("whole.wav"), 11025, 1, 16, samples);
  WriteWav(dir.file("cut.wav"), 11025, 1, 16, samples);
  {
    // The header announces 2 GB of samples; the file holds 20000 bytes.
    std::fstream file(dir.file("cut.wav"), std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(40);
    file.write("\x00\x94\x35\x77", 4);
  }
  ToolRun run = RunConvert({"--encode", "-q", dir.file("whole.wav").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  run = RunConvert({"--encode", "-q", dir.file("cut.wav").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("cut.wav: warning: the header announces 90703.1 s of samples but the "
                         "file holds 0.9 s; encoding what it holds"),
            std::string::npos)
      << run.err;
  // The recording of what the file holds, header and pages alike.
  EXPECT_EQ(ReadFile(dir.file("cut.vqr")), ReadFile(dir.file("whole.vqr")));
}

TEST(Encode, AnInterruptionLeavesNeitherTheRecordingNorItsWorkFile) {
  testkit::TempDir dir;
  // Long enough that the encoding is still running when it is interrupted.
  WriteAnyWav(dir.file("long.wav"), 44100, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100 * 120);
  const pid_t child = ::fork();
  if (child == 0) {
    const char* program = ConvertProgram();
    const std::string source = dir.file("long.wav").string();
    ::execl(program, program, "-q", "--encode", source.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // Wait for the recording's own work file: the WAV file it is made from is
  // then complete and pending too.
  bool encoding = false;
  for (int i = 0; i < 4000 && !encoding; ++i) {
    for (const auto& entry : fs::directory_iterator(dir.path()))
      encoding |= entry.path().filename().string().rfind(".long.vqr.part", 0) == 0;
    if (!encoding) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ::kill(child, SIGTERM);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (WIFEXITED(status)) GTEST_SKIP() << "the encoding ended before it could be interrupted";
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path()))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"long.wav"});
}

TEST(Encode, TurnsRefusalsIntoClearMessages) {
  testkit::TempDir dir;
  WriteWav(dir.file("float.wav"), 8000, 1, 16, Tone(2000, 440, 8000), 3);
  WriteWav(dir.file("alaw.wav"), 8000, 1, 8, Tone(2000, 440, 8000), 6);
  WriteAnyWav(dir.file("aiff.wav"), 11025, 1, SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2000);
  testkit::write_file(dir.file("text.wav"), std::vector<uint8_t>(64, 'a'));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"float.wav", "is not plain PCM"},  // a float tag on 16-bit samples
      {"alaw.wav", "holds no PCM or floating-point samples"},
      {"aiff.wav", "is not a WAV file"},
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

TEST(Encode, RefusesWhatIsNoWavOfSamplesWithItsReason) {
  testkit::TempDir dir;
  WriteWav(dir.file("empty.wav"), 11025, 1, 16, {});
  WriteWav(dir.file("empty44.wav"), 44100, 2, 16, {});
  WriteVqr(dir.file("memo.wav"), MakeCodes("SS", 1));  // a recorder file
  for (const auto& [name, rate] : std::vector<std::pair<std::string, uint32_t>>{
           {"giga.wav", 4000000000u}, {"two31.wav", 2147483648u}, {"slow.wav", 999}}) {
    WriteWav(dir.file(name), 8000, 1, 16, Tone(2000, 440, 8000));
    std::fstream file(dir.file(name), std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(24);
    const char bytes[4] = {static_cast<char>(rate), static_cast<char>(rate >> 8),
                           static_cast<char>(rate >> 16), static_cast<char>(rate >> 24)};
    file.write(bytes, 4);
  }
  std::vector<uint8_t> no_format = {'R', 'I', 'F', 'F', 28,  0,   0,  0, 'W', 'A',
                                    'V', 'E', 'd', 'a', 't', 'a', 16, 0, 0,   0};
  no_format.resize(no_format.size() + 16, 1);
  testkit::write_file(dir.file("nofmt.wav"), no_format);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"empty.wav", "the WAV holds no samples"},
      {"empty44.wav", "the WAV holds no samples"},
      {"memo.wav", "is not a WAV file"},
      {"giga.wav", "sample rate 4000000000 Hz is out of range"},
      {"two31.wav", "sample rate 2147483648 Hz is out of range"},
      {"slow.wav", "sample rate 999 Hz is out of range"},
      {"nofmt.wav", "the WAV has no fmt chunk"},
  };
  for (const auto& [name, message] : cases) {
    const ToolRun run =
        RunConvert({"--encode", dir.file(name).string(), "-o", dir.file("out.vqr").string()});
    EXPECT_EQ(run.status, 1) << name;
    EXPECT_NE(run.err.find(name + ": " + message), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir.file("out.vqr"))) << name;
  }
}

TEST(Encode, WarnsOfATruncatedWavOnEveryPathAndMakesTheFolderItIsGiven) {
  testkit::TempDir dir;
  // 44.1 kHz stereo is resampled and mixed: not the path the encoder reads as it is.
  WriteWav(dir.file("cut.wav"), 44100, 2, 16, Tone(8820, 440, 44100));
  {
    std::fstream file(dir.file("cut.wav"), std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(40);
    const uint32_t announced = 44100 * 4 * 2;  // 2 s of 4-byte frames
    const char bytes[4] = {static_cast<char>(announced), static_cast<char>(announced >> 8),
                           static_cast<char>(announced >> 16), static_cast<char>(announced >> 24)};
    file.write(bytes, 4);
  }
  const ToolRun run =
      RunConvert({"--encode", "-q", dir.file("cut.wav").string(), "-o", dir.file("new/").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("cut.wav: warning: the header announces 2.0 s of samples but the file "
                         "holds 0.1 s; encoding what it holds"),
            std::string::npos)
      << run.err;
  EXPECT_TRUE(fs::exists(dir.file("new/cut.vqr")));
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
