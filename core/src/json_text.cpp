#include "calendo/json_text.h"

#include <cstdint>
#include <cstdio>

namespace calendo {
namespace {

// Length of the UTF-8 sequence at text[at], or 0 when none starts there.
size_t Utf8SequenceAt(const std::string& text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length = 0;
  uint32_t low = 0;  // the smallest code point of that length (no overlong forms)
  uint32_t point = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, low = 0x80, point = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, low = 0x800, point = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, low = 0x10000, point = lead & 0x07u;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    point = point << 6 | (byte(at + i) & 0x3Fu);
  }
  if (point < low || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

bool is_utf8(const std::string& text) {
  for (size_t at = 0; at < text.size();) {
    const size_t length = Utf8SequenceAt(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (size_t at = 0; at < text.size();) {
    const size_t length = Utf8SequenceAt(text, at);
    const char c = text[at];
    const auto byte = static_cast<unsigned char>(c);
    if (length == 0) {
      out += "\xEF\xBF\xBD";  // U+FFFD
      ++at;
      continue;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out.append(text, at, length);
    }
    at += length;
  }
  return out + "\"";
}

}  // namespace calendo
