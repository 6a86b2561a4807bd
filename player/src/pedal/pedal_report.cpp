#include "pedal/pedal_report.h"

#include <cctype>

#include <QStringList>

namespace calendo {
namespace {

std::optional<uint16_t> HexNumber(const QString& text) {
  if (text.isEmpty() || text.size() > 4) return std::nullopt;
  for (const QChar c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c.toLatin1()))) return std::nullopt;
  }
  return static_cast<uint16_t>(text.toUInt(nullptr, 16));
}

}  // namespace

std::optional<uint8_t> DecodePedalReport(const uint8_t* report, size_t size) {
  if (report == nullptr || size == 0 || size > kPedalReportMaxSize) return std::nullopt;
  return static_cast<uint8_t>(report[0] & kPedalMask);
}

std::optional<PedalIds> ParsePedalIds(const QString& text) {
  const QStringList parts = text.trimmed().split(QLatin1Char(':'));
  if (parts.size() != 2) return std::nullopt;
  const std::optional<uint16_t> vendor = HexNumber(parts[0]);
  const std::optional<uint16_t> product = HexNumber(parts[1]);
  if (!vendor || !product) return std::nullopt;
  return PedalIds{*vendor, *product};
}

}  // namespace calendo
