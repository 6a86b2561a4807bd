// Core types hold no shared state: two recordings decoded at the same time on
// two threads give the samples each gives alone.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "calendo/adpcm.h"
#include "calendo/byte_source.h"
#include "calendo/code_unpacking.h"
#include "calendo/pcm_rate.h"
#include "calendo/recording.h"
#include "testing/recorder_writer.h"

namespace {

using testkit::Bytes;

Bytes codes_of(std::size_t count, int bits, uint32_t seed) {
  Bytes codes(count);
  for (auto& c : codes) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<uint8_t>((seed >> 16) & ((1u << bits) - 1));
  }
  return codes;
}

// Every page of a single-mode vqr file through the core: the file's
// description, page addressing, unpacking, one codec of its own, and the
// 7 kHz head repetition of a whole-file conversion.
std::vector<int16_t> decode_file(const std::filesystem::path& path) {
  const auto file = calendo::RecorderFile::open(path.c_str());
  if (!file.ok()) return {};
  const auto recording = calendo::read_recording(file.value(), calendo::Container::Vqr);
  if (!recording.ok()) return {};
  calendo::Adpcm codec;
  codec.adpcm_reset_state();
  std::vector<int16_t> out;
  std::array<uint8_t, calendo::kVqrPageSize> page;
  std::array<uint8_t, calendo::kMaxPageCodes> codes;
  std::array<int16_t, calendo::kMaxPageCodes> x;
  std::array<int16_t, calendo::kRepeat7to11Capacity> y;
  for (uint32_t p = 0; p < recording.value().page_count; ++p) {
    file.value().read_padded(calendo::vqr_page_offset(p), page);
    const calendo::ModeDescriptor& m = recording.value().modes[page[calendo::kVqrFlagOffset] & 1];
    const auto n = static_cast<std::size_t>(m.codes());
    calendo::unpack_codes(page.data(), n, m.code_bits, codes.data());
    codec.decode(codes.data(), n, m.code_bits, x.data());
    std::span<const int16_t> samples(x.data(), n);
    if (m.rate_code == 7) samples = {y.data(), calendo::repeat_heads_7(samples, y)};
    out.insert(out.end(), samples.begin(), samples.end());
  }
  return out;
}

TEST(ConcurrentDecode, TwoFilesOnTwoThreadsGiveWhatEachGivesAlone) {
  testkit::TempDir dir;
  testkit::VqrFile sp_file, lp_file;
  sp_file.header.file_mode = 0;
  lp_file.header.file_mode = 1;
  for (uint32_t i = 0; i < 40; ++i) {
    sp_file.pages.push_back(testkit::vqr_sp_page(codes_of(1360, 3, i)));
    lp_file.pages.push_back(testkit::vqr_lp_page(codes_of(2046, 2, 100 + i)));
  }
  const auto sp_path = dir.file("sp.vqr");
  const auto lp_path = dir.file("lp.vqr");
  sp_file.write(sp_path);
  lp_file.write(lp_path);

  const std::vector<int16_t> sp_alone = decode_file(sp_path);
  const std::vector<int16_t> lp_alone = decode_file(lp_path);
  ASSERT_EQ(sp_alone.size(), 40u * 1360);
  ASSERT_EQ(lp_alone.size(), 40u * 2338);

  for (int round = 0; round < 4; ++round) {
    std::vector<int16_t> sp_together, lp_together;
    std::thread sp_thread([&] { sp_together = decode_file(sp_path); });
    std::thread lp_thread([&] { lp_together = decode_file(lp_path); });
    sp_thread.join();
    lp_thread.join();
    EXPECT_EQ(sp_together, sp_alone);
    EXPECT_EQ(lp_together, lp_alone);
  }
}

}  // namespace
