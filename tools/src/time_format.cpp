#include "time_format.h"

#include <cstdio>

namespace calendo::tool {

std::string FormatPlayTime(int64_t ms) {
  if (ms < 0) ms = 0;
  const int64_t seconds = ms / 1000;
  char text[48];
  std::snprintf(text, sizeof text, "%02lld : %02lld : %02lld",
                static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                static_cast<long long>(seconds % 60));
  return text;
}

}  // namespace calendo::tool
