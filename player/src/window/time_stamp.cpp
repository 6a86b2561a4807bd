#include "window/time_stamp.h"

#include <QStringList>

namespace calendo {
namespace {

// More digits than this in a field is no time into any recording, and keeps
// the arithmetic far from overflowing.
constexpr qsizetype kMostDigits = 9;

bool AllDigits(const QString& text) {
  if (text.isEmpty() || text.size() > kMostDigits) return false;
  for (const QChar c : text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
  }
  return true;
}

// The text inside one optional pair of square brackets, trimmed.
QString Unbracketed(const QString& text) {
  QString inner = text.trimmed();
  if (inner.startsWith(QLatin1Char('[')) && inner.endsWith(QLatin1Char(']'))) {
    inner = inner.mid(1, inner.size() - 2).trimmed();
  }
  return inner;
}

}  // namespace

std::optional<int64_t> ParseTypedTime(const QString& text) {
  const QStringList fields = Unbracketed(text).split(QLatin1Char(':'));
  if (fields.size() > 3) return std::nullopt;

  // The last field may carry the fraction of a second.
  QString last = fields.back().trimmed();
  int64_t fraction_ms = 0;
  if (const qsizetype dot = last.indexOf(QLatin1Char('.')); dot >= 0) {
    const QString decimals = last.mid(dot + 1);
    if (decimals.size() > 3 || !AllDigits(decimals)) return std::nullopt;
    fraction_ms = decimals.leftJustified(3, QLatin1Char('0')).toLongLong();
    last = last.left(dot);
  }

  int64_t seconds = 0;
  for (qsizetype i = 0; i < fields.size(); ++i) {
    const QString field = i + 1 == fields.size() ? last : fields[i].trimmed();
    if (!AllDigits(field)) return std::nullopt;
    const int64_t value = field.toLongLong();
    if (i > 0 && value >= 60) return std::nullopt;
    seconds = seconds * 60 + value;
  }
  return seconds * 1000 + fraction_ms;
}

std::optional<QDateTime> ParseWallClockStamp(const QString& text) {
  const QDateTime time =
      QDateTime::fromString(Unbracketed(text), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  if (!time.isValid()) return std::nullopt;
  return time;
}

QString StampText(StampForm form, int64_t heard_ms, const QDateTime& recorded) {
  if (heard_ms < 0) heard_ms = 0;
  if (form == StampForm::wall_clock) {
    return QLatin1Char('[') +
           recorded.addMSecs(heard_ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
           QLatin1Char(']');
  }
  const int64_t seconds = heard_ms / 1000;
  QString stamp = QStringLiteral("[%1:%2:%3")
                      .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                      .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                      .arg(seconds % 60, 2, 10, QLatin1Char('0'));
  if (form == StampForm::tenths) stamp += QLatin1Char('.') + QString::number(heard_ms % 1000 / 100);
  return stamp + QLatin1Char(']');
}

}  // namespace calendo
