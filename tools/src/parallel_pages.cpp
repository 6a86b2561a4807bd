#include "parallel_pages.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <vector>

#include "calendo/byte_source.h"
#include "calendo/io.h"
#include "calendo/recording_decoder.h"
#include "calendo/recording_pages.h"
#include "calendo/vqr_format.h"
#include "calendo/wav_header.h"

#include "background_writer.h"

namespace calendo::tool {
namespace {

using AllPages = client::ConversionSteps::AllPages;

// Pages decoded and written in one go.
constexpr uint32_t kStepPages = 128 * kCheckpointPages;

// Whether the core reads the file as the libraries described it, with pages
// the page calls would decode.
bool SameReading(const RecordingPages& pages, const RecorderInfo& info, uint32_t count) {
  if (pages.page_count() != count || info.table.size() < count) return false;
  const SplpInfo& s = info.splp;
  for (int mode : {kSp, kLp}) {
    const ModeDescriptor told{s.rate_code[mode], s.code_bits[mode], s.code_bytes[mode],
                              s.extra_bits[mode]};
    if (!(pages.descriptor(mode) == told) || !is_code_bits(told.code_bits) ||
        !is_rate_code(told.rate_code) || told.codes() < 0 || told.codes() > TESMOR_MAX_CODES) {
      return false;
    }
  }
  for (uint32_t p = 0; p < count; ++p) {
    if (pages.page_mode(p) != info.table[p]) return false;
  }
  const bool both = s.page_field[kSp] > 0 && s.page_field[kLp] > 0;
  return both == pages.both_modes();
}

}  // namespace

AllPages AppendPagesOnEveryCore(const RecorderInfo& info, uint32_t pages, const char* wav_path,
                                int16_t format, unsigned threads, ProgressBar& bar,
                                int32_t& failed_page) {
  const Result<RecorderFile> file = RecorderFile::open(info.path.c_str());
  if (!file.ok()) return AllPages::kDeclined;
  const Result<RecordingPages> recording = RecordingPages::read(file.value());
  if (!recording.ok() || !SameReading(recording.value(), info, pages)) return AllPages::kDeclined;

  Result<UniqueFd> wav = open_fd(wav_path, O_WRONLY);
  if (!wav.ok()) return AllPages::kCannotAppend;
  struct stat header {};
  if (::fstat(wav->get(), &header) != 0) return AllPages::kCannotAppend;
  ParallelDecoder parallel(threads);
  RecordingDecoder decoder(recording.value());
  const uint64_t sample_bytes = format == client::kWav16Bit ? 2 : 1;
  const auto data_start = static_cast<uint64_t>(header.st_size);
  BackgroundWriter writer(wav->get(), data_start);
  // A failed write is told as the page its first unwritten byte belongs to,
  // with the system's reason in errno, as an append by the page calls is.
  const auto cannot_append = [&](const Status& failed) {
    const uint64_t sample = (failed.fault().offset - data_start) / sample_bytes;
    failed_page = static_cast<int32_t>(std::min(decoder.page_of_sample(sample), pages - 1));
    errno = failed.fault().system_error;
    return AllPages::kCannotAppend;
  };
  // 8-bit samples are converted into one of two buffers in turn: the one the
  // writer may still read stays as it is.
  std::vector<uint8_t> bytes[2];
  int turn = 0;
  bool writing = true;
  const auto append = [&](std::span<const int16_t> samples) {
    std::span<const uint8_t> out;
    if (format == client::kWav16Bit && std::endian::native == std::endian::little) {
      // Already the file's byte form.
      out = {reinterpret_cast<const uint8_t*>(samples.data()), samples.size_bytes()};
    } else {
      std::vector<uint8_t>& to = bytes[turn];
      turn ^= 1;
      to.resize(samples.size() * 2);
      out = std::span(to.data(), pcm_bytes(samples, format, to.data()));
    }
    writing = writer.write(out);
  };
  // Decoding stops at the first failed write.
  while (writing && decoder.next_page() < pages) {
    failed_page = static_cast<int32_t>(decoder.next_page());
    decoder.decode_pages(std::min(pages, decoder.next_page() + kStepPages), parallel, append);
    // The file must still be what was opened: a page cut off would read as 0xFF.
    if (!file->unchanged().ok()) {
      (void)writer.finish();
      return AllPages::kUnreadable;
    }
    bar.Update(decoder.next_page());
  }
  if (const Status written = writer.finish(); !written.ok()) return cannot_append(written);
  if (!wav->close().ok()) return AllPages::kCannotAppend;
  return AllPages::kAppended;
}

}  // namespace calendo::tool
