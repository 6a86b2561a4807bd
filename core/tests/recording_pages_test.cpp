// The core's reading of whole recordings on damaged bytes: a valid file cut
// at every length, and every header byte changed, is either read or refused
// with the offset of the field that is wrong and a message that names it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "calendo/byte_source.h"
#include "calendo/recording_pages.h"
#include "testing/recorder_writer.h"

namespace calendo {
namespace {

using testkit::Bytes;

Bytes TwoPageVqr() {
  testkit::VqrFile file;
  file.header.file_mode = kFileModeBoth;
  file.pages = {testkit::vqr_sp_page(), testkit::vqr_lp_page()};
  return file.bytes();
}

Bytes VqmWithGap() {
  testkit::VqmFile file;
  file.audio.assign(3 * kVqmPageSize, 0x5A);
  file.gaps = {{700, 40}};
  return file.bytes();
}

Result<RecordingPages> Read(const Bytes& bytes) {
  static Bytes held;  // the source must outlive the result while it is looked at
  held = bytes;
  static SpanSource source(held);
  source = SpanSource(held);
  return RecordingPages::read(source);
}

// What the fault of a changed vqr header byte must say: the field's first
// offset and a word of its message.
struct Field {
  uint32_t first, end;
  const char* word;
};
constexpr Field kVqrFields[] = {
    {0, 4, "OIFF"},           {8, 12, "WAVE"},           {12, 16, "'fmt '"},
    {58, 60, "page size"},    {60, 61, "file mode"},     {61, 62, "SP rate code"},
    {62, 63, "SP code bits"}, {63, 66, "SP descriptor"}, {66, 67, "LP rate code"},
    {67, 68, "LP code bits"}, {68, 71, "LP descriptor"}, {84, 88, "'data'"},
};

TEST(RecordingPages_Vqr, CutAtEveryLengthIsRefusedAtTheCut) {
  const Bytes whole = TwoPageVqr();
  for (std::size_t length = 0; length < whole.size(); ++length) {
    SCOPED_TRACE(length);
    const Result<RecordingPages> read = Read(Bytes(whole.begin(), whole.begin() + length));
    if (length >= kVqrHeaderSize + kVqrPageSize) {
      ASSERT_TRUE(read.ok()) << read.fault().message;
      EXPECT_EQ(read->page_count(), 1u);
      continue;
    }
    ASSERT_FALSE(read.ok());
    const Fault& fault = read.fault();
    EXPECT_EQ(fault.failure, Failure::WrongKind);
    if (length < 4) {
      EXPECT_EQ(fault.offset, 0u);
      EXPECT_NE(fault.message.find("neither OIFF nor VQ_VOICE"), std::string::npos);
    } else if (length < kVqrHeaderSize) {
      EXPECT_EQ(fault.offset, length);
      EXPECT_EQ(fault.message, "header is cut short: the file has " + std::to_string(length) +
                                   " of its 92 header bytes");
    } else {
      EXPECT_EQ(fault.offset, length);
      EXPECT_EQ(fault.message, "the file holds no whole page of audio");
    }
  }
}

TEST(RecordingPages_Vqr, EveryChangedHeaderByteIsReadOrRefusedAtItsField) {
  const Bytes whole = TwoPageVqr();
  for (uint32_t at = 0; at < kVqrHeaderSize; ++at) {
    for (const int mask : {0x01, 0x80, 0xFF}) {
      SCOPED_TRACE(std::to_string(at) + " ^ " + std::to_string(mask));
      Bytes bytes = whole;
      bytes[at] = static_cast<uint8_t>(bytes[at] ^ mask);
      const Result<RecordingPages> read = Read(bytes);
      const Field* field = nullptr;
      for (const Field& f : kVqrFields) {
        if (at >= f.first && at < f.end) field = &f;
      }
      if (read.ok()) {
        // Only bytes that no check reads, or changes a check allows.
        EXPECT_TRUE(field == nullptr || field->first >= 60) << read->page_count();
        continue;
      }
      ASSERT_NE(field, nullptr) << read.fault().message;
      EXPECT_GE(read.fault().offset, field->first) << read.fault().message;
      EXPECT_LT(read.fault().offset, field->end) << read.fault().message;
      EXPECT_NE(read.fault().message.find(field->word), std::string::npos) << read.fault().message;
    }
  }
}

TEST(RecordingPages_Vqr, APageSizeOtherThan528IsRefused) {
  for (const uint16_t size : {uint16_t{0}, uint16_t{1}, uint16_t{527}, uint16_t{529}}) {
    testkit::VqrFile file;
    file.header.page_size = size;
    file.pages = {testkit::vqr_sp_page()};
    const Result<RecordingPages> read = Read(file.bytes());
    ASSERT_FALSE(read.ok()) << size;
    EXPECT_EQ(read.fault().offset, kVqrPageSizeOffset);
    EXPECT_NE(read.fault().message.find("page size must"), std::string::npos);
  }
}

TEST(RecordingPages_Vqm, CutAtEveryLengthIsRefusedOrReadsItsWholePages) {
  const Bytes whole = VqmWithGap();
  const uint64_t audio_base = SpanSource(whole).be32_at(kVqmDirectoryLengthOffset) + 80;
  for (std::size_t length = 0; length <= whole.size(); ++length) {
    SCOPED_TRACE(length);
    const Result<RecordingPages> read = Read(Bytes(whole.begin(), whole.begin() + length));
    if (length < 8) {
      ASSERT_FALSE(read.ok());
      EXPECT_EQ(read.fault().offset, 0u);
      continue;
    }
    if (length < kVqmHeaderSize) {
      ASSERT_FALSE(read.ok());
      EXPECT_EQ(read.fault().offset, length);
      EXPECT_NE(read.fault().message.find("header is cut short"), std::string::npos);
      continue;
    }
    if (!read.ok()) {
      // A directory cut off, or no whole page yet.
      EXPECT_TRUE(read.fault().offset == kVqmDirectoryLengthOffset || read.fault().offset == length)
          << read.fault().message;
      continue;
    }
    EXPECT_GE(length, audio_base + kVqmPageSize);
    EXPECT_LE(read->page_count(), 3u);
  }
}

TEST(RecordingPages_Vqm, ADirectoryLongerThanTheFileIsRefusedAtItsLength) {
  testkit::VqmFile file;
  file.audio.assign(2 * kVqmPageSize, 0);
  file.directory_length_override = 0x7FFFFFF8;
  const Result<RecordingPages> read = Read(file.bytes());
  ASSERT_FALSE(read.ok());
  EXPECT_EQ(read.fault().offset, kVqmDirectoryLengthOffset);
  EXPECT_NE(read.fault().message.find("runs past the end of the file"), std::string::npos);
}

// A file with one byte that cannot be read: a read stops short before it.
class BadSpotSource final : public ByteSource {
 public:
  BadSpotSource(const Bytes& bytes, uint64_t bad) : bytes_(bytes), bad_(bad) {}
  uint64_t size() const override { return bytes_.size(); }
  std::size_t read_at(uint64_t offset, std::span<uint8_t> out) const override {
    uint64_t end = std::min<uint64_t>(offset + out.size(), bytes_.size());
    if (offset <= bad_ && bad_ < end) end = bad_;
    if (offset >= end) return 0;
    std::copy(bytes_.begin() + static_cast<std::ptrdiff_t>(offset),
              bytes_.begin() + static_cast<std::ptrdiff_t>(end), out.begin());
    return static_cast<std::size_t>(end - offset);
  }

 private:
  const Bytes& bytes_;
  uint64_t bad_;
};

TEST(RecordingPages, PagesReadAtOnceAreThePagesReadOneByOne) {
  testkit::VqrFile vqr;
  vqr.header.file_mode = kFileModeBoth;
  for (int p = 0; p < 300; ++p) {
    std::vector<uint8_t> codes(p % 3 == 1 ? 2046 : 1360);
    for (std::size_t k = 0; k < codes.size(); ++k)
      codes[k] = static_cast<uint8_t>((k * 7 + static_cast<std::size_t>(p)) & (p % 3 == 1 ? 3 : 7));
    vqr.pages.push_back(p % 3 == 1 ? testkit::vqr_lp_page(codes) : testkit::vqr_sp_page(codes));
  }
  const Bytes vqr_bytes = vqr.bytes();
  const Bytes vqm_bytes = VqmWithGap();
  const SpanSource whole(vqr_bytes);
  const BadSpotSource bad(vqr_bytes, vqr_page_offset(150) + 17);  // in page 150's codes
  const SpanSource vqm(vqm_bytes);
  for (const ByteSource* source :
       {static_cast<const ByteSource*>(&whole), static_cast<const ByteSource*>(&bad),
        static_cast<const ByteSource*>(&vqm)}) {
    const Result<RecordingPages> read = RecordingPages::read(*source);
    ASSERT_TRUE(read.ok()) << read.fault().message;
    const RecordingPages& pages = read.value();
    std::vector<uint8_t> one_by_one;
    for (uint32_t p = 0; p < pages.page_count(); ++p) {
      std::array<uint8_t, kMaxPageCodes> codes;
      const std::size_t n = pages.page_codes(p, codes);
      one_by_one.insert(one_by_one.end(), codes.begin(),
                        codes.begin() + static_cast<std::ptrdiff_t>(n));
    }
    for (const uint32_t first : {0u, pages.page_count() / 2}) {
      std::vector<uint8_t> at_once(one_by_one.size() + kMaxPageCodes);
      const std::size_t n = pages.pages_codes(first, pages.page_count() - first, at_once.data());
      const std::size_t skipped = one_by_one.size() - n;
      at_once.resize(n);
      EXPECT_TRUE(std::equal(at_once.begin(), at_once.end(),
                             one_by_one.begin() + static_cast<std::ptrdiff_t>(skipped)))
          << "from page " << first;
    }
  }
}

}  // namespace
}  // namespace calendo
