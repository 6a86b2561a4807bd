#include <algorithm>
#include <cstring>

#include "calendo/pcm_rate.h"
#include "calendo/wav_header.h"
#include "decoder_fixture.h"

namespace decoder_test {
namespace {

using testkit::VqrFile;
using testkit::VqrPage;

using WholeFile = DecoderTest;

constexpr int32_t kHeaderCall = 0;
constexpr int32_t kPageCall = 1;

// A page of `bits`-bit codes packed over the whole code area, with its flag.
VqrPage packed_page(const Bytes& codes, int bits, uint8_t flag) {
  VqrPage page;
  page.bytes.fill(0xFF);
  std::fill_n(page.bytes.begin(), 512, uint8_t{0});
  testkit::pack_codes(codes, bits, page.code_area());
  page.flag() = flag;
  return page;
}

// Converts `file` whole with one header call and one page call.
Bytes convert_whole(const testkit::TempDir& dir, const VqrFile& file, int out_bits) {
  const auto source = dir.file("whole.vqr");
  const auto dest = dir.file("whole.wav");
  file.write(source);
  uint8_t info[136];
  const auto pages = static_cast<int32_t>(file.pages.size());
  EXPECT_EQ(AdpcmDec1(source.c_str(), dest.c_str(), out_bits, 0, 0, info, kHeaderCall), pages);
  EXPECT_GT(AdpcmDec1(nullptr, nullptr, out_bits, 0, pages - 1, nullptr, kPageCall), 2);
  return read_file(dest);
}

// Converts the same pages as the player does: header, reset, one call per page.
Bytes convert_by_pages(const testkit::TempDir& dir, const std::vector<Bytes>& page_codes, int rate,
                       int bits, bool lp, int out_bits) {
  const auto dest = dir.file("pages.wav");
  uint8_t header[44];
  const auto pages = static_cast<int32_t>(page_codes.size());
  EXPECT_GT(AdpcmDecHeader(dest.c_str(), out_bits, lp ? 11 : rate, lp ? rate : 7, 0, 0,
                           lp ? 0 : pages, lp ? pages : 0, header),
            0);
  uint8_t flag = 0;
  AdpcmDecx(dest.c_str(), &flag, 0, 0, 0, 0, 1);
  for (Bytes codes : page_codes) {
    EXPECT_GT(AdpcmDecx(dest.c_str(), codes.data(), rate, bits, static_cast<int32_t>(codes.size()),
                        out_bits, 0),
              0);
  }
  return read_file(dest);
}

TEST_F(WholeFile, AdpcmDec1_HeaderCallRefusesWithoutTouchingTheDestination) {
  const auto source = dir.file("bad.vqr");
  const auto dest = dir.file("keep.wav");
  testkit::write_file(dest, Bytes{'k', 'e', 'e', 'p'});
  uint8_t info[136] = {};

  VqrFile file;
  file.header.magic = "OIFX";
  file.pages.push_back(testkit::vqr_sp_page());
  file.write(source);
  EXPECT_EQ(AdpcmDec1(source.c_str(), dest.c_str(), 2, 0, 0, info, kHeaderCall), -3);
  EXPECT_EQ(read_file(dest), (Bytes{'k', 'e', 'e', 'p'}));

  testkit::write_file(source, Bytes{'O', 'I', 'F', 'F'});  // shorter than a header
  EXPECT_EQ(AdpcmDec1(source.c_str(), dest.c_str(), 2, 0, 0, info, kHeaderCall), -3);

  file.header.magic = "OIFF";
  file.header.file_mode = 3;
  file.write(source);
  EXPECT_EQ(AdpcmDec1(source.c_str(), dest.c_str(), 2, 0, 0, info, kHeaderCall),
            TESMOR_UNSUPPORTED);
  file.header.file_mode = 0;
  file.header.sp.code_bits = 5;
  file.write(source);
  EXPECT_EQ(AdpcmDec1(source.c_str(), dest.c_str(), 2, 0, 0, info, kHeaderCall),
            TESMOR_UNSUPPORTED);
  EXPECT_EQ(read_file(dest), (Bytes{'k', 'e', 'e', 'p'}));

  EXPECT_EQ(AdpcmDec1(dir.file("missing.vqr").c_str(), dest.c_str(), 2, 0, 0, info, kHeaderCall),
            -1);
  file.header.sp.code_bits = 3;
  file.write(source);
  EXPECT_EQ(AdpcmDec1(source.c_str(), dir.file("no/dir.wav").c_str(), 2, 0, 0, info, kHeaderCall),
            -2);
  // A failed header call leaves nothing for page calls to convert.
  EXPECT_EQ(AdpcmDec1(nullptr, nullptr, 2, 0, 0, nullptr, kPageCall), 1);
  for (uint8_t b : info) ASSERT_EQ(b, 0);
}

TEST_F(WholeFile, AdpcmDec1_LpPageCallAppendsOneExpandedPage) {
  VqrFile file;
  file.header.file_mode = 1;
  std::vector<Bytes> codes;
  for (uint32_t p = 0; p < 5; ++p) {
    codes.push_back(some_codes(2046, 2, p + 1));
    file.pages.push_back(testkit::vqr_lp_page(codes.back()));
  }
  const auto source = dir.file("lp.vqr");
  const auto dest = dir.file("lp.wav");
  const Bytes bytes = file.write(source);
  uint8_t info[136];
  ASSERT_EQ(AdpcmDec1(source.c_str(), dest.c_str(), 2, 0, 0, info, kHeaderCall), 5);
  const auto wav = calendo::wav_header(8000, 16, 5 * 2338 * 2);
  EXPECT_EQ(std::memcmp(info, bytes.data(), 92), 0);
  EXPECT_EQ(std::memcmp(info + 92, wav.data(), 44), 0);
  EXPECT_EQ(read_file(dest), Bytes(wav.begin(), wav.end()));

  ASSERT_EQ(AdpcmDec1(nullptr, nullptr, 2, 3, 3, nullptr, kPageCall), 2046);
  const Bytes out = read_file(dest);
  ASSERT_EQ(out.size(), 44u + 4676u);
  reference.adpcm_reset_state();
  const std::vector<int16_t> x = ref_decode(codes[3], 2);
  std::vector<int16_t> expected(2338);
  calendo::repeat_heads_7(x, expected);
  EXPECT_EQ(le16_samples(out, 44), expected);
}

TEST_F(WholeFile, AdpcmDec1_EqualsPageByPageConversion) {
  struct Case {
    const char* name;
    int rate, bits;
    bool lp;
    std::size_t codes;
  };
  // SP pages at 3 bits (the usual file), SP at 4 bits and LP at 8 kHz; each
  // page is unpacked with its own code bits.
  for (const Case c : {Case{"sp11", 11, 3, false, 1360}, Case{"sp8", 8, 4, false, 1024},
                       Case{"lp8", 8, 2, true, 2048}}) {
    for (int out_bits : {1, 2}) {
      SCOPED_TRACE(testing::Message() << c.name << " out_bits " << out_bits);
      VqrFile file;
      file.header.file_mode = c.lp ? 1 : 0;
      (c.lp ? file.header.lp : file.header.sp) = {static_cast<uint8_t>(c.rate),
                                                  static_cast<uint8_t>(c.bits), 512, 0};
      std::vector<Bytes> codes;
      for (uint32_t p = 0; p < 4; ++p) {
        codes.push_back(some_codes(c.codes, c.bits, 40 + p));
        file.pages.push_back(packed_page(codes.back(), c.bits, c.lp ? 1 : 0));
      }
      const Bytes whole = convert_whole(dir, file, out_bits);
      EXPECT_EQ(whole, convert_by_pages(dir, codes, c.rate, c.bits, c.lp, out_bits));
      // The header announces exactly what was written.
      ASSERT_GE(whole.size(), 44u);
      EXPECT_EQ(le32_at(whole, 40), whole.size() - 44);
    }
  }
}

TEST_F(WholeFile, AdpcmDec1_MixedFileDecodesEachPageInItsOwnMode) {
  VqrFile file;
  file.header.file_mode = 2;
  const Bytes sp1 = some_codes(1360, 3, 5), lp = some_codes(2046, 2, 6),
              sp2 = some_codes(1360, 3, 7);
  file.pages = {testkit::vqr_sp_page(sp1), testkit::vqr_lp_page(lp), testkit::vqr_sp_page(sp2)};
  const auto source = dir.file("mixed.vqr");
  const auto dest = dir.file("mixed.wav");
  file.write(source);
  uint8_t info[136];
  // In file mode 2 the page arguments carry the SP and LP page counts.
  ASSERT_EQ(AdpcmDec1(source.c_str(), dest.c_str(), 2, 2, 1, info, kHeaderCall), 3);
  ASSERT_EQ(AdpcmDec1(nullptr, nullptr, 2, 0, 2, nullptr, kPageCall), 1360);
  const Bytes out = read_file(dest);

  reference.adpcm_reset_state();
  std::vector<int16_t> expected = ref_decode(sp1, 3);
  std::vector<int16_t> y(calendo::kRepeat7to11Capacity);
  y.resize(calendo::expand_7_to_11(ref_decode(lp, 2), y));
  expected.insert(expected.end(), y.begin(), y.end());
  const std::vector<int16_t> tail = ref_decode(sp2, 3);
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_EQ(le16_samples(out, 44), expected);
  EXPECT_EQ(le32_at(out, 24), 11025u);
  EXPECT_EQ(le32_at(out, 40), (2u * 1360 + 3215) * 2);
}

TEST_F(WholeFile, AdpcmDec1_BytesPastTheEndReadAsFF) {
  VqrFile file;
  const Bytes codes = some_codes(1360, 3, 9);
  file.pages.push_back(testkit::vqr_sp_page(codes));
  file.trailing = Bytes(100, 0x24);
  const auto source = dir.file("short.vqr");
  const auto dest = dir.file("short.wav");
  file.write(source);
  uint8_t info[136];
  ASSERT_EQ(AdpcmDec1(source.c_str(), dest.c_str(), 2, 0, 0, info, kHeaderCall), 1);
  // Page 1 is the partial page, page 2 lies wholly past the end.
  ASSERT_EQ(AdpcmDec1(nullptr, nullptr, 2, 1, 2, nullptr, kPageCall), 1360);

  Bytes partial(510, 0xFF);
  std::fill(partial.begin(), partial.begin() + 100, uint8_t{0x24});
  Bytes stream(1360);
  for (std::size_t i = 0; i < 1360; ++i) {  // 3-bit codes, least significant bit first
    const std::size_t bit = 3 * i;
    const uint32_t v = partial[bit / 8] | (bit / 8 + 1 < 510 ? partial[bit / 8 + 1] << 8 : 0);
    stream[i] = static_cast<uint8_t>((v >> (bit % 8)) & 7);
  }
  reference.adpcm_reset_state();
  std::vector<int16_t> expected = ref_decode(stream, 3);
  const std::vector<int16_t> past = ref_decode(Bytes(1360, 7), 3);
  expected.insert(expected.end(), past.begin(), past.end());
  EXPECT_EQ(le16_samples(read_file(dest), 44), expected);

  const auto size = read_file(dest).size();
  EXPECT_EQ(AdpcmDec1(nullptr, nullptr, 2, 2, 1, nullptr, kPageCall), TESMOR_UNSUPPORTED);
  EXPECT_EQ(AdpcmDec1(nullptr, nullptr, 2, -1, 1, nullptr, kPageCall), TESMOR_UNSUPPORTED);
  EXPECT_EQ(AdpcmDec1(nullptr, nullptr, 3, 0, 0, nullptr, kPageCall), TESMOR_UNSUPPORTED);
  EXPECT_EQ(read_file(dest).size(), size);
}

}  // namespace
}  // namespace decoder_test
