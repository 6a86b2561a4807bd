// The kind of a recorder file by its name, the way the player tells them
// apart: by the last three characters only.
#pragma once

#include <cstdint>

#include <QString>

namespace calendo {

inline constexpr int16_t kKindVqr = 0;
inline constexpr int16_t kKindVqm = 1;
inline constexpr int16_t kKindNone = -1;

// kKindVqr for a name ending in "vqr" or "VQR", kKindVqm for "vqm" or "VQM",
// kKindNone for any other ending (mixed case included).
inline int16_t RecorderKindOfName(const QString& name) {
  const QString last = name.right(3);
  if (last == QLatin1String("vqr") || last == QLatin1String("VQR")) return kKindVqr;
  if (last == QLatin1String("vqm") || last == QLatin1String("VQM")) return kKindVqm;
  return kKindNone;
}

}  // namespace calendo
