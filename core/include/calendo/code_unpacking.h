// Packed code words to one code per byte. Pages store their codes as one bit
// stream, least significant bit first. A pure function: any thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace calendo {

// Unpacks `count` codes of `code_bits` (2 to 4) bits from `packed` into
// codes[0 .. count-1]. Reads only the bytes that hold those codes' bits.
void unpack_codes(const uint8_t* packed, std::size_t count, int code_bits, uint8_t* codes);

}  // namespace calendo
