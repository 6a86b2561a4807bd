#include "tags.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include "file_times.h"
#include "recorder_info.h"
#include "tag_stream.h"
#include "time_format.h"

#ifndef CALENDO_VERSION
#define CALENDO_VERSION "unknown"
#endif

namespace calendo::tool {
namespace {

// RIFF sizes are 32 bits: room for the tag chunks, which stay far below this.
constexpr uint64_t kWavTagRoom = 1u << 16;
constexpr uint64_t kRiffLimit = 0xFFFFFFFFu;

TagLib::String Utf8(const std::string& text) {
  return TagLib::String(text, TagLib::String::UTF8);
}

// `software_field`: the name libsndfile gives the software in that format,
// so that files keep the fields they had when libsndfile wrote them.
void SetXiph(TagLib::Ogg::XiphComment& comment, const ArchiveTags& tags,
             const char* software_field) {
  comment.addField("TITLE", Utf8(tags.title));
  comment.addField("DATE", Utf8(tags.date));
  comment.addField("COMMENT", Utf8(tags.comment));
  comment.addField(software_field, Utf8(tags.software));
}

// TagLib opens many a file that is not of its format; one with no sound in
// it is refused here.
bool HasAudio(const TagLib::File& file) {
  return file.isValid() && file.audioProperties() != nullptr &&
         file.audioProperties()->sampleRate() > 0;
}

void SetText(TagLib::ID3v2::Tag& tag, const char* id, const std::string& text) {
  tag.removeFrames(id);
  auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::UTF8);
  frame->setText(Utf8(text));
  tag.addFrame(frame);
}

// ID3v2.4 timestamps are UTC without a zone: 2020-03-05T14:07:09.
void SetId3(TagLib::ID3v2::Tag& tag, const ArchiveTags& tags) {
  std::string date = tags.date;
  if (!date.empty() && date.back() == 'Z') date.pop_back();
  SetText(tag, "TIT2", tags.title);
  SetText(tag, "TDRC", date);
  SetText(tag, "TSSE", tags.software);
  tag.setComment(Utf8(tags.comment));
}

Status FitsInRiff(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 ||
      static_cast<uint64_t>(status.st_size) + kWavTagRoom > kRiffLimit) {
    return Fault{Failure::Unsupported, 0, "too long for tags in one WAV file"};
  }
  return {};
}

// Nothing when TagLib does not read the file as an Ogg stream of its kind.
template <typename OggFile>
std::optional<bool> WriteOggTags(TagStream& stream, const ArchiveTags& tags,
                                 const char* software_field) {
  OggFile file(&stream);
  if (!HasAudio(file) || file.tag() == nullptr) return std::nullopt;
  SetXiph(*file.tag(), tags, software_field);
  return file.save();
}

}  // namespace

ArchiveTags MakeArchiveTags(const RecorderInfo& info, const timespec& modified) {
  ArchiveTags tags;
  tags.title = std::filesystem::path(info.path).stem().string();
  tags.date = IsoDateTime(modified);
  char comment[160];
  std::snprintf(comment, sizeof comment, "%s recording, %u SP pages, %u LP pages, %s",
                container_name(info.container), info.sp_pages, info.lp_pages,
                FormatPlayTime(info.total_ms).c_str());
  tags.comment = comment;
  tags.software = std::string("Calendo ") + CALENDO_VERSION;
  return tags;
}

Status WriteTags(const std::string& path, AudioFormat format, const ArchiveTags& tags) {
  if (format == AudioFormat::kWav) {
    if (const Status fits = FitsInRiff(path); !fits.ok()) return fits;
  }
  TagStream stream(path);
  if (!stream.isOpen()) {
    const int error_number = errno;
    return Fault{Failure::CannotOpen, 0,
                 "cannot add tags to " + path + ": " + std::strerror(error_number), error_number};
  }
  std::optional<bool> saved;  // nothing: TagLib does not read the file as its format
  switch (format) {
    case AudioFormat::kFlac: {
      TagLib::FLAC::File file(&stream, TagLib::ID3v2::FrameFactory::instance());
      if (!HasAudio(file)) break;
      SetXiph(*file.xiphComment(true), tags, "SOFTWARE");
      saved = file.save();
      break;
    }
    case AudioFormat::kOgg:
      saved = WriteOggTags<TagLib::Ogg::Vorbis::File>(stream, tags, "SOFTWARE");
      break;
    case AudioFormat::kOpus:
      saved = WriteOggTags<TagLib::Ogg::Opus::File>(stream, tags, "ENCODER");
      break;
    case AudioFormat::kMp3: {
      TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance());
      if (!HasAudio(file)) break;
      SetId3(*file.ID3v2Tag(true), tags);
      saved = file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4);
      break;
    }
    case AudioFormat::kWav: {
      TagLib::RIFF::WAV::File file(&stream);
      if (!HasAudio(file)) break;
      TagLib::RIFF::Info::Tag& info = *file.InfoTag();
      info.setTitle(Utf8(tags.title));
      info.setFieldText("ICRD", Utf8(tags.date));
      info.setComment(Utf8(tags.comment));
      info.setFieldText("ISFT", Utf8(tags.software));
      SetId3(*file.ID3v2Tag(), tags);
      saved =
          file.save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripOthers, TagLib::ID3v2::v4);
      break;
    }
  }
  const bool closed = stream.Close();
  if (!saved) {
    return Fault{Failure::WrongKind, 0,
                 "cannot add tags to " + path + ": not a whole " + FormatName(format) + " file"};
  }
  if (!*saved || !closed) {
    return Fault{Failure::CannotWrite, 0,
                 "cannot add tags to " + path + ": they could not all be written (disk full?)"};
  }
  return {};
}

}  // namespace calendo::tool
