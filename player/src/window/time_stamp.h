// Times typed by the user and time stamps copied from the window: pure
// functions, no window and no clock of their own.
#pragma once

#include <cstdint>
#include <optional>

#include <QDateTime>
#include <QString>

namespace calendo {

// A time into a recording as typed: seconds ("3723"), minutes and seconds
// ("62:03"), or hours, minutes and seconds ("1:02:03"), the last field with
// up to three decimals ("1:02:03.5"); spaces around the colons and around the
// whole are allowed, and so are square brackets around it, as a copied stamp
// has them ("[01:02:03]"). Fields after the first are below 60. Returns the
// time in milliseconds, or nothing for any other text.
std::optional<int64_t> ParseTypedTime(const QString& text);

// A wall-clock stamp as StampText writes it, "[yyyy-MM-dd hh:mm:ss]" (the
// brackets optional), in local time; nothing for any other text.
std::optional<QDateTime> ParseWallClockStamp(const QString& text);

// The forms of the stamp that Ctrl+T copies.
enum class StampForm : int32_t {
  seconds = 0,     // [hh:mm:ss]
  tenths = 1,      // [hh:mm:ss.t]
  wall_clock = 2,  // [yyyy-MM-dd hh:mm:ss]: the recording's time plus the heard time
};
inline constexpr int32_t kStampFormCount = 3;

// The stamp of `heard_ms` into a recording whose file was last written at
// `recorded` (only the wall-clock form reads it). Hours take two digits or
// more; times are cut down, never rounded up, so that a stamp never names a
// moment not yet heard.
QString StampText(StampForm form, int64_t heard_ms, const QDateTime& recorded);

}  // namespace calendo
