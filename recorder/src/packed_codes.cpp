// pb_exdata: packed code words to one code per byte.
#include "calendo/code_unpacking.h"
#include "calendo/vqr_format.h"
#include "kestrune.h"

extern "C" int32_t pb_exdata(int16_t code_bits, int16_t code_bytes, int16_t extra_bits,
                             const uint8_t* packed, uint8_t* codes) {
  if (!calendo::descriptor_fits_page(code_bits, code_bytes, extra_bits)) return 0;
  if (packed == nullptr || codes == nullptr) return 0;
  const int32_t count = calendo::code_count(code_bits, code_bytes, extra_bits);
  calendo::unpack_codes(packed, static_cast<std::size_t>(count), code_bits, codes);
  return count;
}
