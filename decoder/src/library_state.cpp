#include "library_state.h"

#include <cstring>

namespace tesmor {

// Zero-initialised at load, like every field of the codec state.
calendo::Adpcm& library_codec() {
  static calendo::Adpcm codec(calendo::OutputStage::Gain3_5);
  return codec;
}

SavedConversion& saved_conversion() {
  static SavedConversion conversion;
  return conversion;
}

bool save_path(const char* path, char (&to)[kPathCapacity]) {
  const std::size_t length = std::strlen(path);
  if (length >= kPathCapacity) return false;
  std::memcpy(to, path, length + 1);
  return true;
}

}  // namespace tesmor
