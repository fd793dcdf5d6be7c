// Row expansion: every input bit becomes one 2-bit output pixel.
#include "convert/convert.h"

namespace {

// For each level and input byte, the two output bytes it expands to, the
// first in the low eight bits: the pixels of bits 7..4 in the first, those
// of bits 3..0 in the second, the leftmost pixel in the top two bits of each.
struct ExpansionTable {
  uint16_t pair[4][256];
};

constexpr ExpansionTable BuildExpansionTable() {
  ExpansionTable table{};
  for (int level = 0; level < 4; ++level) {
    for (int byte = 0; byte < 256; ++byte) {
      int packed = 0;
      for (int bit = 7; bit >= 0; --bit) {
        int pixel = (byte >> bit) & 1 ? 3 : level;
        packed = packed << 2 | pixel;
      }
      // packed holds the first output byte in its high eight bits.
      table.pair[level][byte] = uint16_t((packed >> 8) | (packed & 0xFF) << 8);
    }
  }
  return table;
}

constexpr ExpansionTable kExpansion = BuildExpansionTable();

// Little-endian stores, byte by byte so that they hold on any machine; the
// compiler makes each a single store where it can.
inline void Store16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

inline void Store64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i));
}

// Expands count input bytes into 2 * count output bytes, four input bytes
// per step: four lookups, one 8-byte store.
inline void ExpandBytes(const uint8_t* input, uint8_t* output, int32_t count,
                        const uint16_t* pairs) {
  int32_t j = 0;
  for (; j + 4 <= count; j += 4) {
    uint64_t eight = uint64_t(pairs[input[j]]) | uint64_t(pairs[input[j + 1]]) << 16 |
                     uint64_t(pairs[input[j + 2]]) << 32 | uint64_t(pairs[input[j + 3]]) << 48;
    Store64(output + 2 * size_t(j), eight);
  }
  for (; j < count; ++j) Store16(output + 2 * size_t(j), pairs[input[j]]);
}

// One byte more than the whole bytes of the row is expanded: the byte
// holding the last few pixels, or, for widths that are a multiple of 8, the
// first fill byte, which lands in the output's own fill.
int32_t ExpandedBytes(int32_t width) { return width / 8 + 1; }

}  // namespace

void ExpandRow(const uint8_t* input, uint8_t* output, int32_t width, int level) {
  ExpandBytes(input, output, ExpandedBytes(width), kExpansion.pair[level & 3]);
}

void ExpandRows(const uint8_t* input, size_t inputStride, uint8_t* output, size_t outputStride,
                size_t rows, int32_t width, int level) {
  int32_t count = ExpandedBytes(width);
  if (count <= 0) return;
  const uint16_t* pairs = kExpansion.pair[level & 3];
  // With outputStride = RowStride(2 * width), the expansion falls short of
  // the output row only when the width mod 16 is 1 to 7, and then by two
  // bytes, which a row buffer of its own would hold at 0.
  size_t expanded = 2 * size_t(count);
  bool gap = outputStride > expanded;
  for (size_t row = 0; row < rows; ++row) {
    ExpandBytes(input, output, count, pairs);
    if (gap) {
      output[expanded] = 0;
      output[expanded + 1] = 0;
    }
    input += inputStride;
    output += outputStride;
  }
}
