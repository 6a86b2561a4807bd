// Play times as the player's time label shows them.
#pragma once

#include <cstdint>
#include <string>

namespace calendo::tool {

// Hours, minutes and seconds of `ms`, two digits each at least, joined by
// " : " (83000 → "00 : 01 : 23"), as the player writes them. Hours above 99
// keep all their digits, where the window's two-digit label would drop some.
// A negative time is shown as 0.
std::string FormatPlayTime(int64_t ms);

}  // namespace calendo::tool
