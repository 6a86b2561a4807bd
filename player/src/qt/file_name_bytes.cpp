#include "qt/file_name_bytes.h"

#include <sys/stat.h>

#include <cstdint>

namespace calendo {
namespace {

constexpr char16_t kKeptByteBase = 0xDC00;  // + the byte, 0x80 to 0xFF

bool IsKeptByteAt(const QString& name, qsizetype at) {
  const char16_t unit = name[at].unicode();
  if (unit < kKeptByteBase + 0x80 || unit > kKeptByteBase + 0xFF) return false;
  // The low half of a pair is a character beyond U+FFFF, not a kept byte.
  return at == 0 || !name[at - 1].isHighSurrogate();
}

// The length of the valid UTF-8 sequence at `at`, or 0 when the byte there
// starts none (a stray continuation byte, an overlong form, a surrogate, a
// code point past U+10FFFF or a sequence cut short).
int ValidSequenceAt(QByteArrayView bytes, qsizetype at) {
  const auto byte = [&](qsizetype i) { return static_cast<uint8_t>(bytes[i]); };
  const uint8_t lead = byte(at);
  if (lead < 0x80) return 1;
  int length = 0;
  uint32_t low = 0;  // the least code point of that length
  uint32_t code = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, low = 0x80, code = lead & 0x1Fu;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, low = 0x800, code = lead & 0x0Fu;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, low = 0x10000, code = lead & 0x07u;
  } else {
    return 0;
  }
  if (at + length > bytes.size()) return 0;
  for (int i = 1; i < length; ++i) {
    const uint8_t next = byte(at + i);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3Fu);
  }
  if (code < low || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

QString FileNameFromBytes(QByteArrayView bytes) {
  QString name;
  name.reserve(bytes.size());
  qsizetype run = 0;  // start of the valid bytes not yet added
  qsizetype at = 0;
  while (at < bytes.size()) {
    const int length = ValidSequenceAt(bytes, at);
    if (length > 0) {
      at += length;
      continue;
    }
    name += QString::fromUtf8(bytes.sliced(run, at - run));
    name += QChar(static_cast<char16_t>(kKeptByteBase + static_cast<uint8_t>(bytes[at])));
    run = ++at;
  }
  name += QString::fromUtf8(bytes.sliced(run));
  return name;
}

QByteArray FileNameBytes(const QString& name) {
  QByteArray bytes;
  bytes.reserve(name.size());
  qsizetype run = 0;
  for (qsizetype at = 0; at < name.size(); ++at) {
    if (!IsKeptByteAt(name, at)) continue;
    bytes += QStringView(name).sliced(run, at - run).toUtf8();
    bytes += static_cast<char>(name[at].unicode() - kKeptByteBase);
    run = at + 1;
  }
  bytes += QStringView(name).sliced(run).toUtf8();
  return bytes;
}

QString ShownFileName(const QString& name) {
  QString shown = name;
  for (qsizetype at = 0; at < name.size(); ++at) {
    if (IsKeptByteAt(name, at)) shown[at] = QChar::ReplacementCharacter;
  }
  return shown;
}

bool NamedFileExists(const QString& name) {
  struct stat status {};
  return !name.isEmpty() && ::stat(FileNameBytes(name).constData(), &status) == 0 &&
         S_ISREG(status.st_mode);
}

}  // namespace calendo
