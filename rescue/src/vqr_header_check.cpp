#include "vqr_header_check.h"

#include <array>

#include "calendo/byte_order.h"
#include "calendo/container.h"
#include "calendo/extent_source.h"
#include "calendo/recording.h"

namespace calendo::rescue {

std::optional<VqrHeaderFacts> check_vqr_header(const ByteSource& image, uint64_t at) {
  std::array<uint8_t, kVqrHeaderSize> h;
  image.read_padded(at, h);
  if (ContainerOfMagic(h) != Container::Vqr) return std::nullopt;

  VqrHeaderFacts facts;
  const ExtentSource header(image, at, kVqrHeaderSize);
  facts.readable =
      read_recording(header, Container::Vqr).ok() && le16(&h[kVqrPageSizeOffset]) == kVqrPageSize;
  const uint8_t mode = h[kVqrFileModeOffset];
  facts.modes = mode == kFileModeSp   ? ModeRule::Sp
                : mode == kFileModeLp ? ModeRule::Lp
                                      : ModeRule::Either;
  // The data length and the page count must agree before either is taken.
  const uint32_t data = le32(&h[kVqrDataLengthOffset]);
  const uint32_t pages = le32(&h[kVqrSpPagesOffset]) & 0xFFFFFF;
  if (facts.readable && data > 0 && data % kVqrPageSize == 0 && data / kVqrPageSize == pages)
    facts.file_size = kVqrHeaderSize + uint64_t{data};
  return facts;
}

}  // namespace calendo::rescue
