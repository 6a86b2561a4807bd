#include <cstring>
#include <string>

#include "calendo/pcm_rate.h"
#include "calendo/wav_header.h"
#include "decoder_fixture.h"

namespace decoder_test {
namespace {

using WavFiles = DecoderTest;

// A 44-byte header followed by the data bytes, with fields to change.
Bytes wav_file(uint32_t rate, uint16_t bits, uint16_t channels, const Bytes& data) {
  const auto h = calendo::wav_header(rate, bits, static_cast<uint32_t>(data.size()));
  Bytes file(h.size() + data.size());
  std::memcpy(file.data(), h.data(), h.size());
  if (!data.empty()) std::memcpy(file.data() + h.size(), data.data(), data.size());
  file[22] = static_cast<uint8_t>(channels);
  return file;
}

struct TypeRecord {
  uint8_t bytes[3] = {0x55, 0x55, 0x55};
  bool operator==(const std::vector<uint8_t>& v) const {
    return v == std::vector<uint8_t>(bytes, bytes + 3);
  }
};

TEST_F(WavFiles, GetWavType_AcceptsTheHeaderShapes) {
  const auto path = dir.file("t.wav");
  TypeRecord t;

  testkit::write_file(path, wav_file(8000, 8, 1, Bytes(1234, 0x80)));
  EXPECT_EQ(GetWavType(path.c_str(), t.bytes), 1234);
  EXPECT_TRUE(t == (std::vector<uint8_t>{8, 1, 43}));

  t = {};
  testkit::write_file(path, wav_file(11025, 16, 2, Bytes(10)));  // stereo: the rate test passes
  EXPECT_EQ(GetWavType(path.c_str(), t.bytes), 10);
  EXPECT_TRUE(t == (std::vector<uint8_t>{11, 2, 43}));

  t = {};
  testkit::write_file(path, wav_file(22050, 16, 1, Bytes(10)));  // mono RIFF: the header passes
  EXPECT_EQ(GetWavType(path.c_str(), t.bytes), 10);
  EXPECT_TRUE(t == (std::vector<uint8_t>{0x55, 2, 43}));

  t = {};
  testkit::write_file(path, wav_file(22050, 16, 2, Bytes(10)));
  EXPECT_EQ(GetWavType(path.c_str(), t.bytes), TESMOR_WAV_NOT_ACCEPTED);
  EXPECT_TRUE(t == (std::vector<uint8_t>{0x55, 0x55, 0x55}));

  // A length that a signed result cannot hold is not taken for a failure.
  Bytes huge = wav_file(8000, 8, 1, {});
  std::memset(huge.data() + 40, 0xFF, 4);
  testkit::write_file(path, huge);
  EXPECT_EQ(GetWavType(path.c_str(), t.bytes), INT32_MAX);

  EXPECT_EQ(GetWavType(dir.file("missing.wav").c_str(), t.bytes), TESMOR_CANNOT_OPEN);
  EXPECT_EQ(GetWavType(path.c_str(), nullptr), TESMOR_UNSUPPORTED);
}

TEST_F(WavFiles, GetWavType_FindsTheFirstDWithinTheFileOnly) {
  const auto path = dir.file("d.wav");
  Bytes file = wav_file(8000, 16, 1, {});
  file.resize(36);  // no data tag at all
  file.insert(file.end(), 5000, 'x');
  testkit::write_file(path, file);
  TypeRecord t;
  EXPECT_EQ(GetWavType(path.c_str(), t.bytes), TESMOR_WAV_NO_DATA_TAG);
  EXPECT_TRUE(t == (std::vector<uint8_t>{8, 2, 0x55}));

  // A "d" with fewer than 7 bytes after it, across a read boundary of the scan.
  file.resize(36 + 4096 - 3);
  file.insert(file.end(), {'d', 'a', 't', 'a', 9});
  testkit::write_file(path, file);
  EXPECT_EQ(GetWavType(path.c_str(), t.bytes), TESMOR_WAV_NO_DATA_TAG);
  file.insert(file.end(), {0, 0, 1});
  testkit::write_file(path, file);
  EXPECT_EQ(GetWavType(path.c_str(), t.bytes), 0x01000009);

  // Any "d" counts, even one inside another chunk.
  file.resize(36);
  file.insert(file.end(), {'L', 'I', 'S', 'T', 'd', 1, 2, 3, 4, 0, 0, 0});
  testkit::write_file(path, file);
  EXPECT_EQ(GetWavType(path.c_str(), t.bytes), 4);

  // A file shorter than the fixed header reads as zeros there.
  testkit::write_file(path, Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'});
  EXPECT_EQ(GetWavType(path.c_str(), t.bytes), TESMOR_WAV_NOT_ACCEPTED);
}

TEST_F(WavFiles, PcmWavPlay_EightBitSamplesAndTheEndOfTheFile) {
  const auto path = dir.file("8.wav");
  testkit::write_file(path, Bytes{9, 9, 0, 128, 255, 1});
  void* block = nullptr;
  ASSERT_EQ(PcmWavPlay(path.c_str(), 1, 2, 4, &block), 8);
  EXPECT_EQ(samples_of(static_cast<int16_t*>(block), 4),
            (std::vector<int16_t>{-32768, 0, 32512, -32512}));
  free_exactly_once(block);

  // Past the end every byte reads as 255.
  ASSERT_EQ(PcmWavPlay(path.c_str(), 0x301, 4, 5, &block), 10);
  EXPECT_EQ(samples_of(static_cast<int16_t*>(block), 5),
            (std::vector<int16_t>{32512, -32512, 32512, 32512, 32512}));
  free_exactly_once(block);
}

TEST_F(WavFiles, PcmWavPlay_SixteenBitSamplesAndTheEndOfTheFile) {
  const auto path = dir.file("16.wav");
  testkit::write_file(path, Bytes{0x34, 0x12, 0xFE, 0xFF, 0x00, 0x80, 0x77});
  void* block = nullptr;
  ASSERT_EQ(PcmWavPlay(path.c_str(), 2, 0, 5, &block), 5);
  const auto* b = static_cast<const uint8_t*>(block);
  EXPECT_EQ(Bytes(b, b + 5), (Bytes{0x34, 0x12, 0xFE, 0xFF, 0}));
  free_exactly_once(block);

  // The last whole sample read repeats; the cut one at the end counts as not read.
  ASSERT_EQ(PcmWavPlay(path.c_str(), 2, 2, 10, &block), 10);
  EXPECT_EQ(samples_of(static_cast<int16_t*>(block), 5),
            (std::vector<int16_t>{-2, -32768, -32768, -32768, -32768}));
  free_exactly_once(block);

  // Nothing read at all: silence.
  ASSERT_EQ(PcmWavPlay(path.c_str(), 2, 100, 4, &block), 4);
  EXPECT_EQ(samples_of(static_cast<int16_t*>(block), 2), (std::vector<int16_t>{0, 0}));
  free_exactly_once(block);
}

TEST_F(WavFiles, PcmWavPlay_SilenceKindsOpenNoFile) {
  const auto missing = dir.file("missing.wav");
  void* block = nullptr;
  ASSERT_EQ(PcmWavPlay(missing.c_str(), 11, 0, 3, &block), 6);
  EXPECT_EQ(samples_of(static_cast<int16_t*>(block), 3),
            (std::vector<int16_t>{-32768, -32768, -32768}));
  free_exactly_once(block);
  for (int kind : {12, 7}) {
    ASSERT_EQ(PcmWavPlay(missing.c_str(), kind, 0, 3, &block), 3);
    const auto* b = static_cast<const uint8_t*>(block);
    EXPECT_EQ(Bytes(b, b + 3), Bytes(3, 0));
    free_exactly_once(block);
  }

  block = nullptr;
  EXPECT_EQ(PcmWavPlay(missing.c_str(), 1, 0, 3, &block), TESMOR_CANNOT_OPEN);
  EXPECT_EQ(PcmWavPlay(missing.c_str(), 11, 0, -1, &block), TESMOR_UNSUPPORTED);
  EXPECT_EQ(PcmWavPlay(missing.c_str(), 11, 0, INT32_MAX, &block), TESMOR_UNSUPPORTED);
  EXPECT_EQ(PcmWavPlay(missing.c_str(), 2, -1, 2, &block), TESMOR_UNSUPPORTED);
  EXPECT_EQ(block, nullptr);
}

// Paths are never cut: a path of 600 bytes names its own file, not another one.
TEST_F(WavFiles, LongPaths_NameTheirOwnFiles) {
  std::filesystem::path deep = dir.path();
  for (int i = 0; i < 6; ++i) deep /= std::string(95, static_cast<char>('a' + i));
  std::filesystem::create_directories(deep);
  const std::string wav = (deep / "out.wav").string();
  ASSERT_GT(wav.size(), 600u);

  uint8_t header[44];
  ASSERT_EQ(AdpcmDecHeader(wav.c_str(), 2, 11, 7, 3, 2, 1, 0, header), 2720);
  Bytes codes = some_codes(1360, 3);
  ASSERT_EQ(AdpcmDecx(wav.c_str(), codes.data(), 11, 3, 1360, 2, 0), 1360);
  TypeRecord t;
  EXPECT_EQ(GetWavType(wav.c_str(), t.bytes), 2720);
  EXPECT_EQ(read_file(wav).size(), 44u + 2720u);

  testkit::VqrFile file;
  file.pages.push_back(testkit::vqr_sp_page(codes));
  const std::string vqr = (deep / "in.vqr").string();
  file.write(vqr);
  uint8_t info[136];
  ASSERT_EQ(AdpcmDec1(vqr.c_str(), wav.c_str(), 2, 0, 0, info, 0), 1);
  ASSERT_EQ(AdpcmDec1(nullptr, nullptr, 2, 0, 0, nullptr, 1), 1360);
  EXPECT_EQ(read_file(wav).size(), 44u + 2720u);
}

}  // namespace
}  // namespace decoder_test
