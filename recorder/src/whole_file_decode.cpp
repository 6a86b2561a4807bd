// The library's own whole-file conversion of a vqr file into a WAV file: a
// header call that writes the WAV header and resets the decoder, then page
// calls that append the pages' samples.
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>

#include "calendo/byte_order.h"
#include "calendo/byte_source.h"
#include "calendo/code_unpacking.h"
#include "calendo/page_shape.h"
#include "calendo/recording.h"
#include "calendo/wav_header.h"
#include "decoder_state.h"
#include "kestrune.h"
#include "output_file.h"
#include "page_layout.h"

namespace {

using namespace kestrune;
using namespace kestrune::decoding;
using calendo::le32;
using calendo::RecorderFile;
using calendo::Result;
using making::kHeaderSize;
using making::kPageSize;

struct Mode {
  int32_t rate_code;
  int32_t code_bits;
};

// What a header call leaves for the page calls.
struct SavedConversion {
  bool valid = false;
  std::string source;
  std::string dest;
  Mode mode{};
};

SavedConversion& saved_conversion() {
  static SavedConversion saved;
  return saved;
}

bool valid_out_bits(int32_t out_bits) {
  return out_bits == 1 || out_bits == 2;
}

std::size_t page_codes(const Mode& m) {
  return calendo::page_code_count(m.code_bits, m.rate_code);
}

calendo::PageShape page_shape(const Mode& m) {
  return calendo::whole_file_shape(m.rate_code, m.code_bits, false);
}

// The codes of a page's code area, least significant bit first.
size_t unpack_page(const uint8_t* page, const Mode& m, uint8_t* codes) {
  const size_t count = page_codes(m);
  calendo::unpack_codes(page, count, m.code_bits, codes);
  return count;
}

int32_t header_call(const char* source_path, const char* dest_path, int32_t out_bits,
                    uint8_t* info) {
  SavedConversion& saved = saved_conversion();
  saved.valid = false;
  if (source_path == nullptr || dest_path == nullptr || info == nullptr ||
      !valid_out_bits(out_bits)) {
    return KESTRUNE_UNSUPPORTED;
  }
  const Result<RecorderFile> source = RecorderFile::open(source_path);
  if (!source.ok()) return KESTRUNE_DEC1_SOURCE_FAILED;
  if (source.value().size() < kHeaderSize) return KESTRUNE_UNSUPPORTED;
  std::array<uint8_t, kHeaderSize> header{};
  source.value().read_padded(0, header);

  // File modes 0 (SP) and 1 (LP) only; the mixed mode 2 is tesmor's.
  const int file_mode = header[calendo::kVqrFileModeOffset];
  if (file_mode != calendo::kFileModeSp && file_mode != calendo::kFileModeLp)
    return KESTRUNE_UNSUPPORTED;
  const uint8_t* d = &header[file_mode == calendo::kFileModeSp ? calendo::kVqrSpModeOffset
                                                               : calendo::kVqrLpModeOffset];
  const Mode m{d[calendo::kDescriptorRate], d[calendo::kDescriptorBits]};
  if (!calendo::is_rate_code(m.rate_code) || !calendo::is_code_bits(m.code_bits))
    return KESTRUNE_UNSUPPORTED;

  const uint32_t pages = le32(&header[calendo::kVqrDataLengthOffset]) / kPageSize;
  const uint64_t length =
      std::min<uint64_t>(uint64_t{pages} * calendo::shaped_count(page_shape(m), page_codes(m)) *
                             static_cast<uint32_t>(out_bits),
                         calendo::kMaxWavData);
  const auto wav =
      calendo::wav_header(m.rate_code == 11 ? 11025 : 8000, static_cast<uint16_t>(8 * out_bits),
                          static_cast<uint32_t>(length));

  std::optional<making::OutputFile> dest = making::OutputFile::create(dest_path);
  if (!dest) return KESTRUNE_DEC1_DEST_FAILED;
  if (!dest->write(wav)) {
    dest->undo();
    return KESTRUNE_DEC1_DEST_FAILED;
  }
  decoder_codec().adpcm_reset_state();
  saved = {true, source_path, dest_path, m};
  std::memcpy(info, header.data(), header.size());
  std::memcpy(info + kHeaderSize, wav.data(), wav.size());
  return static_cast<int32_t>(pages);
}

int32_t page_call(int32_t out_bits, int32_t first_page, int32_t last_page) {
  const SavedConversion& saved = saved_conversion();
  if (!saved.valid) return KESTRUNE_DEC1_PAGE_SOURCE_FAILED;
  if (!valid_out_bits(out_bits) || first_page < 0 || last_page < first_page)
    return KESTRUNE_UNSUPPORTED;
  const Result<RecorderFile> source = RecorderFile::open(saved.source.c_str());
  if (!source.ok()) return KESTRUNE_DEC1_PAGE_SOURCE_FAILED;
  std::optional<making::OutputFile> dest = making::OutputFile::append(saved.dest.c_str());
  if (!dest) return KESTRUNE_DEC1_PAGE_DEST_FAILED;

  std::array<uint8_t, kPageSize> page{};
  std::array<uint8_t, calendo::kMaxPageCodes> codes{};
  calendo::PageWork work;
  std::array<uint8_t, 2 * calendo::kMaxShapedSamples> bytes{};
  size_t count = 0;
  for (int64_t p = first_page; p <= last_page; ++p) {
    source.value().read_padded(calendo::vqr_page_offset(static_cast<uint64_t>(p)), page);
    count = unpack_page(page.data(), saved.mode, codes.data());
    decode_doubled({codes.data(), count}, saved.mode.code_bits, work.decoded);
    const auto samples = calendo::shape_page(page_shape(saved.mode), count, work);
    const size_t n = calendo::pcm_bytes(samples, out_bits, bytes.data());
    if (!dest->write({bytes.data(), n})) {
      dest->undo();
      return KESTRUNE_DEC1_PAGE_DEST_FAILED;
    }
  }
  return static_cast<int32_t>(count);
}

}  // namespace

extern "C" int32_t AdpcmDec1(const char* source_path, const char* dest_path, int32_t out_bits,
                             int32_t first_page, int32_t last_page, uint8_t* info,
                             int32_t page_call_flag) {
  return page_call_flag == 0 ? header_call(source_path, dest_path, out_bits, info)
                             : page_call(out_bits, first_page, last_page);
}
