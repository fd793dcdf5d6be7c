// Row expansion: every input bit becomes one 2-bit output pixel.
#include <cstring>

#include "convert/convert.h"

namespace {

// For each level and input byte, the two output bytes it expands to: the
// pixels of bits 7..4 in the first, those of bits 3..0 in the second, the
// leftmost pixel in the top two bits of each.
struct ExpansionTable {
  uint8_t pair[4][256][2];
};

constexpr ExpansionTable BuildExpansionTable() {
  ExpansionTable table{};
  for (int level = 0; level < 4; ++level) {
    for (int byte = 0; byte < 256; ++byte) {
      for (int half = 0; half < 2; ++half) {
        int packed = 0;
        for (int bit = 7 - 4 * half; bit >= 4 - 4 * half; --bit) {
          int pixel = (byte >> bit) & 1 ? 3 : level;
          packed = packed << 2 | pixel;
        }
        table.pair[level][byte][half] = uint8_t(packed);
      }
    }
  }
  return table;
}

constexpr ExpansionTable kExpansion = BuildExpansionTable();

}  // namespace

void ExpandRow(const uint8_t* input, uint8_t* output, int32_t width, int level) {
  // One byte more than the whole bytes of the row is expanded: the byte
  // holding the last few pixels, or, for widths that are a multiple of 8,
  // the first fill byte, which lands in the output's own fill.
  int32_t count = width / 8 + 1;
  const uint8_t(*pairs)[2] = kExpansion.pair[level & 3];
  for (int32_t j = 0; j < count; ++j) {
    std::memcpy(output + 2 * size_t(j), pairs[input[j]], 2);
  }
}
