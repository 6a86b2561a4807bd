// Text for JSON output: a string literal with its escapes, and the UTF-8 check
// it rests on. Paths and messages are bytes; what is not UTF-8 cannot go into
// JSON as it is. Pure functions: any thread.
#pragma once

#include <cstddef>
#include <string>

namespace calendo {

// `text` as a JSON string literal, quotes included. Bytes that are not UTF-8
// each become U+FFFD.
std::string json_string(const std::string& text);

// Whether `text` is well-formed UTF-8.
bool is_utf8(const std::string& text);

}  // namespace calendo
