// The tags calendo-convert writes, read back by independent readers: TagLib,
// frame by frame and field by field, and ffprobe, as players see them. Also:
// tagging leaves the encoded samples as they were, and a file that is not
// of its format is refused, not damaged further or crashed on.
#include <fcntl.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <map>

#include <gtest/gtest.h>
#include <sndfile.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include "audio_output.h"
#include "encoder_settings.h"
#include "tags.h"
#include "tool_support.h"

namespace tooltest {
namespace {

namespace fs = std::filesystem;
using calendo::tool::AudioFormat;

constexpr const char* kDate = "2020-03-05T14:07:09Z";
constexpr const char* kComment = "vqr recording, 42 SP pages, 3 LP pages, 00 : 00 : 06";

std::string Field(const TagLib::Ogg::XiphComment* comment, const char* key) {
  if (comment == nullptr || !comment->contains(key)) return "";
  return comment->fieldListMap()[key].front().to8Bit(true);
}

std::string Frame(const TagLib::ID3v2::Tag* tag, const char* id) {
  if (tag == nullptr || tag->frameListMap()[id].isEmpty()) return "";
  return tag->frameListMap()[id].front()->toString().to8Bit(true);
}

struct ReadTags {
  std::string title, date, comment, software;
};

ReadTags FromXiph(const TagLib::Ogg::XiphComment* comment, const char* software_field) {
  return {Field(comment, "TITLE"), Field(comment, "DATE"), Field(comment, "COMMENT"),
          Field(comment, software_field)};
}

// ID3v2.4 with the date in TDRC, and no v2.3 year frame beside it.
void ExpectId3(const TagLib::ID3v2::Tag* tag) {
  ASSERT_NE(tag, nullptr);
  EXPECT_EQ(tag->header()->majorVersion(), 4u);
  EXPECT_EQ(Frame(tag, "TIT2"), "memo");
  EXPECT_EQ(Frame(tag, "TDRC"), "2020-03-05T14:07:09");
  EXPECT_TRUE(tag->frameListMap()["TYER"].isEmpty());
  EXPECT_EQ(tag->comment().to8Bit(true), kComment);
  EXPECT_EQ(Frame(tag, "TSSE").rfind("Calendo ", 0), 0u);
}

void ExpectTags(const ReadTags& read) {
  EXPECT_EQ(read.title, "memo");
  EXPECT_EQ(read.date, kDate);
  EXPECT_EQ(read.comment, kComment);
  EXPECT_EQ(read.software.rfind("Calendo ", 0), 0u) << read.software;
}

// ffprobe's tags of the format and of its streams, the keys in lower case.
std::optional<std::map<std::string, std::string>> Probe(const fs::path& path) {
  const std::string command =
      "ffprobe -v error -show_entries format_tags:stream_tags "
      "-of default=noprint_wrappers=1 '" +
      path.string() + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::map<std::string, std::string> tags;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string text(line);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    const size_t equals = text.find('=');
    if (text.rfind("TAG:", 0) != 0 || equals == std::string::npos) continue;
    std::string key = text.substr(4, equals - 4);
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    tags.emplace(key, text.substr(equals + 1));
  }
  if (::pclose(pipe) != 0) return std::nullopt;
  return tags;
}

bool HaveFfprobe() {
  return std::system("ffprobe -version >/dev/null 2>&1") == 0;
}

class Tags : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = dir_.file("memo.vqr");
    WriteVqr(source_, MakeCodes(std::string(40, 'S') + "LLLSS", 21));
    const timespec old[2] = {{1583417229, 250000000}, {1583417229, 250000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, source_.c_str(), old, 0), 0);
  }

  fs::path Convert(const std::string& format, std::vector<std::string> more = {}) {
    return ConvertToFormat(source_, format, dir_.file(format + std::to_string(runs_++)), more);
  }

  testkit::TempDir dir_;
  fs::path source_;
  int runs_ = 0;
};

TEST_F(Tags, TagLibReadsThemInEveryFormat) {
  {
    TagLib::FLAC::File flac(Convert("flac").c_str());
    ASSERT_TRUE(flac.isValid());
    ExpectTags(FromXiph(flac.xiphComment(), "SOFTWARE"));
    EXPECT_FALSE(flac.hasID3v2Tag());
  }
  {
    TagLib::Ogg::Vorbis::File ogg(Convert("ogg").c_str());
    ASSERT_TRUE(ogg.isValid());
    ExpectTags(FromXiph(ogg.tag(), "SOFTWARE"));
  }
  {
    TagLib::Ogg::Opus::File opus(Convert("opus").c_str());
    ASSERT_TRUE(opus.isValid());
    ExpectTags(FromXiph(opus.tag(), "ENCODER"));
  }
  {
    TagLib::MPEG::File mp3(Convert("mp3").c_str());
    ASSERT_TRUE(mp3.isValid());
    ExpectId3(mp3.ID3v2Tag());
    EXPECT_FALSE(mp3.hasID3v1Tag());
    EXPECT_FALSE(mp3.hasAPETag());
  }
  {
    TagLib::RIFF::WAV::File wav(Convert("wav", {"--tags"}).c_str());
    ASSERT_TRUE(wav.isValid());
    const TagLib::RIFF::Info::Tag* info = wav.InfoTag();
    ExpectTags({info->fieldText("INAM").to8Bit(true), info->fieldText("ICRD").to8Bit(true),
                info->fieldText("ICMT").to8Bit(true), info->fieldText("ISFT").to8Bit(true)});
    ExpectId3(wav.ID3v2Tag());
  }
  // Without --tags a WAV file has none.
  TagLib::RIFF::WAV::File plain(Convert("wav").c_str());
  EXPECT_FALSE(plain.hasInfoTag());
  EXPECT_FALSE(plain.hasID3v2Tag());
}

TEST_F(Tags, FfprobeShowsTitleDateAndCommentInEveryFormat) {
  if (!HaveFfprobe()) GTEST_SKIP() << "ffprobe is not installed (Debian's ffmpeg)";
  for (const char* format : {"flac", "ogg", "opus", "mp3", "wav"}) {
    SCOPED_TRACE(format);
    const fs::path file =
        std::string(format) == "wav" ? Convert(format, {"--tags"}) : Convert(format);
    const auto tags = Probe(file);
    ASSERT_TRUE(tags);
    EXPECT_EQ(tags->count("title") ? tags->at("title") : "", "memo");
    const std::string date = tags->count("date") ? tags->at("date") : "";
    EXPECT_EQ(date.rfind("2020-03-05T14:07:09", 0), 0u) << date;
    EXPECT_EQ(tags->count("comment") ? tags->at("comment") : "", kComment);
  }
}

std::vector<int16_t> Decode(const fs::path& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return {};
  std::vector<int16_t> samples(static_cast<size_t>(info.frames));
  samples.resize(static_cast<size_t>(sf_read_short(file, samples.data(), info.frames)));
  sf_close(file);
  return samples;
}

TEST(WriteTags, LeavesTheEncodedSamplesAsTheyWere) {
  testkit::TempDir dir;
  std::vector<int16_t> tone(11025);
  for (size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<int16_t>((i % 50) * 400 - 10000);
  const calendo::tool::ArchiveTags tags{"memo", kDate, kComment, "Calendo test"};
  for (const AudioFormat format :
       {AudioFormat::kFlac, AudioFormat::kOgg, AudioFormat::kOpus, AudioFormat::kMp3}) {
    const std::string name = calendo::tool::FormatName(format);
    SCOPED_TRACE(name);
    const fs::path plain = dir.file("plain." + name);
    auto writer = calendo::tool::AudioWriter::Create(
        plain.string(), 11025, calendo::tool::SettingsFor(format, 11025, 16, std::nullopt));
    ASSERT_TRUE(writer) << writer.fault().message;
    calendo::Status written = (*writer)->Write(tone);
    if (written.ok()) written = (*writer)->Finish();
    ASSERT_TRUE(written) << written.fault().message;
    const fs::path tagged = dir.file("tagged." + name);
    fs::copy_file(plain, tagged);
    const calendo::Status wrote_tags = calendo::tool::WriteTags(tagged.string(), format, tags);
    ASSERT_TRUE(wrote_tags) << wrote_tags.fault().message;
    const std::vector<int16_t> before = Decode(plain);
    ASSERT_FALSE(before.empty());
    EXPECT_EQ(Decode(tagged), before);
  }
}

TEST(WriteTags, RefusesAFileThatIsNotOfItsFormat) {
  testkit::TempDir dir;
  const calendo::tool::ArchiveTags tags{"memo", kDate, kComment, "Calendo test"};
  for (const AudioFormat format : {AudioFormat::kWav, AudioFormat::kFlac, AudioFormat::kOgg,
                                   AudioFormat::kOpus, AudioFormat::kMp3}) {
    const std::string name = calendo::tool::FormatName(format);
    SCOPED_TRACE(name);
    for (const std::string& content :
         {std::string(), std::string("RIFF\x04\0\0\0WAVE", 12), std::string(3000, '\x5a')}) {
      const fs::path file = dir.file("bad." + name);
      testkit::write_file(file, std::vector<uint8_t>(content.begin(), content.end()));
      const calendo::Status wrote_tags = calendo::tool::WriteTags(file.string(), format, tags);
      const std::string& error = wrote_tags.fault().message;
      EXPECT_FALSE(wrote_tags);
      EXPECT_NE(error.find("cannot add tags"), std::string::npos) << error;
    }
  }
  EXPECT_FALSE(
      calendo::tool::WriteTags(dir.file("missing.flac").string(), AudioFormat::kFlac, tags));
}

}  // namespace
}  // namespace tooltest
