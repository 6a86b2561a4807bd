// The texts of times and counters that the window shows.
#pragma once

#include <cstdint>

#include <QString>

namespace calendo {

// The last `width` decimal digits of `value`, with leading zeros: for i from
// width down to 1 the digit (value mod 10^i) div 10^(i-1). Width 2: 7 → "07",
// 123 → "23".
QString strFormatLong(int32_t value, int16_t width);

// Hours, minutes and seconds of `ms`, two digits each, joined by " : "
// (83000 → "00 : 01 : 23"). Hours above 99 keep their last two digits.
QString strFormatTime(int32_t ms);

}  // namespace calendo
