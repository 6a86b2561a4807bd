// What a three-pedal transcription foot switch sends: an input report whose
// first byte holds a bit for each pedal held (left 1, middle 2, right 4), and
// the "vendor:product" by which the settings name the device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include <QString>

namespace calendo {

inline constexpr uint8_t kPedalLeft = 1;
inline constexpr uint8_t kPedalMiddle = 2;
inline constexpr uint8_t kPedalRight = 4;
inline constexpr uint8_t kPedalMask = kPedalLeft | kPedalMiddle | kPedalRight;

// The longest report such a device sends; longer ones are not its.
inline constexpr size_t kPedalReportMaxSize = 8;

// The pedals held after `report` (bits other than the three are padding and
// dropped); nothing for a report of no bytes or of more than
// kPedalReportMaxSize.
std::optional<uint8_t> DecodePedalReport(const uint8_t* report, size_t size);

struct PedalIds {
  uint16_t vendor = 0;
  uint16_t product = 0;
  friend bool operator==(const PedalIds&, const PedalIds&) = default;
};

// The device used when the settings name none.
inline constexpr PedalIds kDefaultPedalIds = {0x05f3, 0x00ff};

// "05f3:00ff": two hex numbers of one to four digits; nothing for any other text.
std::optional<PedalIds> ParsePedalIds(const QString& text);

}  // namespace calendo
