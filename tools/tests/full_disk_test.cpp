// calendo-convert when the disk fills: under a file-size limit every write
// past it fails, at the header, in the middle or near the end of a file.
#include <gtest/gtest.h>

#include <cmath>

#include "tool_support.h"

namespace tooltest {
namespace {

namespace fs = std::filesystem;

struct Job {
  std::string name;
  std::vector<std::string> arguments;  // the source and -o come after these
  fs::path source;
  std::string output_name;
  std::vector<uint64_t> limits;  // each below the size of the finished file
};

TEST(FullDisk, EveryJobFailsCleanlyWhereverTheDiskFills) {
  testkit::TempDir dir;
  // 120 SP pages: a 16-bit WAV of 326 kB, an 8-bit one of half that.
  const fs::path recording = dir.file("memo.vqr");
  WriteVqr(recording, MakeCodes(std::string(120, 'S'), 11));
  // Ten seconds of speech-band tone: a recorder file of about 44 kB.
  const fs::path speech = dir.file("speech.wav");
  std::vector<int16_t> tone(11025 * 10);
  for (size_t i = 0; i < tone.size(); ++i) {
    tone[i] = static_cast<int16_t>(6000 * std::sin(0.2 * static_cast<double>(i)));
  }
  WriteWav(speech, 11025, 1, 16, tone);
  // The same at 44.1 kHz: resampled into a work file before it is encoded.
  const fs::path speech44 = dir.file("speech44.wav");
  std::vector<int16_t> tone44(44100 * 10);
  for (size_t i = 0; i < tone44.size(); ++i) {
    tone44[i] = static_cast<int16_t>(6000 * std::sin(0.05 * static_cast<double>(i)));
  }
  WriteWav(speech44, 44100, 1, 16, tone44);

  // Every format is decoded to a WAV file first, so every one fails there
  // too; only the tags, written last, fail once the samples are all in.
  constexpr uint64_t kWav16 = 44 + 120 * 2720;
  const std::vector<Job> jobs = {
      {"16-bit WAV", {"--bits", "16"}, recording, "memo.wav", {4096, 100000, kWav16 - 1000}},
      {"8-bit WAV", {"--bits", "8"}, recording, "memo.wav", {4096, 160000}},
      {"WAV with tags", {"--tags"}, recording, "memo.wav", {kWav16}},
      {"normalised WAV", {"--normalize"}, recording, "memo.wav", {kWav16 / 2}},
      {"FLAC", {"--format", "flac"}, recording, "memo.flac", {4096, kWav16 / 2}},
      {"Ogg", {"--format", "ogg"}, recording, "memo.ogg", {20000}},
      {"Opus", {"--format", "opus"}, recording, "memo.opus", {20000}},
      {"MP3", {"--format", "mp3"}, recording, "memo.mp3", {20000}},
      {"encode", {"--encode"}, speech, "speech.vqr", {4096, 30000}},
      {"encode of 44.1 kHz", {"--encode"}, speech44, "speech44.vqr", {4096, 30000}},
  };
  for (const Job& job : jobs) {
    const std::string source_bytes = ReadFile(job.source);
    for (const uint64_t limit : job.limits) {
      SCOPED_TRACE(job.name + " with " + std::to_string(limit) + " bytes a file");
      const fs::path out = dir.file(job.name + "-" + std::to_string(limit));
      fs::create_directory(out);
      std::vector<std::string> arguments = job.arguments;
      arguments.push_back(job.source.string());
      arguments.push_back("-o");
      arguments.push_back(job.arguments[0] == "--encode" ? (out / job.output_name).string()
                                                         : out.string());
      const ToolRun run = RunConvert(arguments, limit);

      EXPECT_EQ(run.status, 1) << run.err;
      EXPECT_NE(run.err.find(job.source.string()), std::string::npos) << run.err;
      EXPECT_TRUE(fs::is_empty(out)) << "a file was left in " << out;
      EXPECT_EQ(ReadFile(job.source), source_bytes);
    }
  }
}

TEST(FullDisk, TheFailedWriteNamesItsPageAndTheSystemsReason) {
  testkit::TempDir dir;
  const fs::path recording = dir.file("memo.vqr");
  WriteVqr(recording, MakeCodes(std::string(120, 'S'), 11));
  const fs::path out = dir.file("out");
  fs::create_directory(out);
  // 2720 bytes a page after the 44 of the header: page 36 is cut off.
  const ToolRun run = RunConvert({"--bits", "16", recording.string(), "-o", out.string()}, 100000);
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("cannot write page 36 to "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(": File too large"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::is_empty(out));
}

}  // namespace
}  // namespace tooltest
