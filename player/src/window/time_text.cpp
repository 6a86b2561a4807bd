#include "window/time_text.h"

namespace calendo {

QString strFormatLong(int32_t value, int16_t width) {
  auto power_of_ten = [](int i) {
    int64_t p = 1;
    while (i-- > 0) p *= 10;
    return p;
  };
  QString text;
  for (int i = width; i >= 1; --i) {
    // A 32-bit value has at most ten digits: the places above are 0.
    const int64_t digit = i > 10 ? 0 : (value % power_of_ten(i)) / power_of_ten(i - 1);
    text += QString::number(digit);
  }
  return text;
}

QString strFormatTime(int32_t ms) {
  const int32_t seconds = ms / 1000;
  const int32_t minutes = seconds / 60;
  const int32_t hours = minutes / 60;
  return strFormatLong(hours, 2) + QStringLiteral(" : ") + strFormatLong(minutes % 60, 2) +
         QStringLiteral(" : ") + strFormatLong(seconds % 60, 2);
}

}  // namespace calendo
