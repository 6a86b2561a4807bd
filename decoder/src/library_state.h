// The library's process-wide state: its one codec and the conversion that an
// AdpcmDec1 header call saves for the page calls that follow.
#pragma once

#include <climits>
#include <cstddef>

#include "calendo/adpcm.h"

namespace tesmor {

// Room for any path the system can open (PATH_MAX counts the terminating zero).
inline constexpr std::size_t kPathCapacity = PATH_MAX;

inline bool valid_out_bits(int out_bits) {
  return out_bits == 1 || out_bits == 2;
}

struct Mode {
  int rate_code = 0;
  int code_bits = 0;
};

struct SavedConversion {
  bool valid = false;
  int file_mode = 0;  // 0 = SP throughout, 1 = LP throughout, 2 = by each page's flag
  Mode sp;
  Mode lp;
  char source[kPathCapacity] = {};
  char dest[kPathCapacity] = {};
};

calendo::Adpcm& library_codec();
SavedConversion& saved_conversion();

// Copies a whole path into `to`; false (and `to` unchanged) when it does not fit,
// which only a path that no system call would accept does.
bool save_path(const char* path, char (&to)[kPathCapacity]);

}  // namespace tesmor
