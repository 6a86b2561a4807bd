#include "calendo/vqr_header.h"

#include <cstring>

#include "calendo/byte_order.h"

namespace calendo {

std::array<uint8_t, kVqrHeaderSize> vqr_header_bytes(const VqrHeaderValues& v) {
  std::array<uint8_t, kVqrHeaderSize> h{};
  uint8_t* p = h.data();
  std::memcpy(p + kVqrMagicOffset, "OIFF", 4);
  put_le32(p + 4, v.size - 8);
  std::memcpy(p + kVqrFormOffset, "WAVEfmt ", 8);
  put_le32(p + 16, 64);
  std::memset(p + 20, 0xFF, 36);
  put_le16(p + 56, v.seconds);
  put_le16(p + kVqrPageSizeOffset, static_cast<uint16_t>(kVqrPageSize));
  p[kVqrFileModeOffset] = v.file_mode;
  p[kVqrSpModeOffset + kDescriptorRate] = 11;
  p[kVqrSpModeOffset + kDescriptorBits] = v.sp_bits;
  put_le16(p + kVqrSpModeOffset + kDescriptorBytes, 510);
  p[kVqrSpModeOffset + kDescriptorExtra] = 0;
  p[kVqrLpModeOffset + kDescriptorRate] = 7;
  p[kVqrLpModeOffset + kDescriptorBits] = 2;
  put_le16(p + kVqrLpModeOffset + kDescriptorBytes, 511);
  p[kVqrLpModeOffset + kDescriptorExtra] = 4;
  put_le16(p + kVqrSpLengthOffset, v.sp_length);
  put_le16(p + kVqrLpLengthOffset, 0);
  put_le32(p + kVqrSpPagesOffset, ((v.size - kVqrHeaderSize) / kVqrPageSize) & 0xFFFFFF);
  put_le32(p + kVqrLpPagesOffset, 0);
  p[83] = 0xFF;
  std::memcpy(p + kVqrDataBlockOffset, "data", 4);
  put_le32(p + kVqrDataLengthOffset, v.size - kVqrHeaderSize);
  return h;
}

}  // namespace calendo
