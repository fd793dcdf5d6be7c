// Row expansion: every input bit becomes one 2-bit output pixel.
#include <cstring>

#include "convert/convert.h"

namespace {

// The two output bytes of one input byte, as a 16-bit number with the first
// output byte in its low eight bits. pattern is the level repeated in every
// 2-bit field (0x5555 times the level). No branch and no lookup, so that the
// compiler can run it over many bytes at once: the high nibble goes to the
// low byte and the low nibble to the high byte, each nibble's four bits
// spread to every other bit, leftmost pixel on top; set bits become 3, and
// the level fills the clear ones (3 or'ed with any level is still 3).
constexpr uint16_t ExpandByte(uint16_t byte, uint16_t pattern) {
  uint16_t t = uint16_t((byte >> 4) | (byte & 0x0F) << 8);
  t = uint16_t((t | t << 2) & 0x3333);
  t = uint16_t((t | t << 1) & 0x5555);
  return uint16_t(t | t << 1 | pattern);
}

constexpr uint16_t LevelPattern(int level) { return uint16_t(0x5555 * (level & 3)); }

// The same as a table for each level, for rows too short to gain from
// running the arithmetic over many bytes.
struct ExpansionTable {
  uint16_t pair[4][256];
};

constexpr ExpansionTable BuildExpansionTable() {
  ExpansionTable table{};
  for (int level = 0; level < 4; ++level) {
    for (int byte = 0; byte < 256; ++byte) {
      table.pair[level][byte] = ExpandByte(uint16_t(byte), LevelPattern(level));
    }
  }
  return table;
}

constexpr ExpansionTable kExpansion = BuildExpansionTable();

// A pair as it must lie in memory when stored as one 16-bit number.
#if defined(__BYTE_ORDER__) && defined(__ORDER_BIG_ENDIAN__) && \
    __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
inline uint16_t InMemoryOrder(uint16_t pair) { return uint16_t(pair >> 8 | pair << 8); }
#else
inline uint16_t InMemoryOrder(uint16_t pair) { return pair; }
#endif

// Expands count input bytes into 2 * count output bytes. The compiler turns
// this loop into vector instructions that handle many bytes per step.
inline void ExpandBytes(const uint8_t* input, uint8_t* output, size_t count, uint16_t pattern) {
  for (size_t j = 0; j < count; ++j) {
    uint16_t pair = InMemoryOrder(ExpandByte(input[j], pattern));
    std::memcpy(output + 2 * j, &pair, 2);
  }
}

// Little-endian stores, byte by byte so that they hold on any machine; the
// compiler makes each a single store where it can.
inline void Store32(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

inline void Store64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i));
}

// One byte more than the whole bytes of the row is expanded: the byte
// holding the last few pixels, or, for widths that are a multiple of 8, the
// first fill byte, which lands in the output's own fill.
int32_t ExpandedBytes(int32_t width) { return width / 8 + 1; }

}  // namespace

void ExpandRow(const uint8_t* input, uint8_t* output, int32_t width, int level) {
  int32_t count = ExpandedBytes(width);
  if (count > 0) ExpandBytes(input, output, size_t(count), LevelPattern(level));
}

void ExpandRows(const uint8_t* input, size_t inputStride, uint8_t* output, size_t outputStride,
                size_t rows, int32_t width, int level) {
  int32_t count = ExpandedBytes(width);
  if (count <= 0) return;
  // Only the input bytes whose expansion lies inside the output row matter.
  // With outputStride = RowStride(2 * width), their expansion falls short
  // of the row only when the width mod 16 is 1 to 7, and then by two bytes,
  // which a row buffer of its own would hold at 0.
  size_t used = size_t(count) < outputStride / 2 ? size_t(count) : outputStride / 2;
  size_t expanded = 2 * used;
  // Rows of at most 32 pixels lie in one 4-byte input word each: a row is
  // a few lookups and one store, masked to the bytes the row keeps.
  const uint16_t* pairs = kExpansion.pair[level & 3];
  uint64_t keep = expanded >= 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * expanded)) - 1;
  if (inputStride == 4 && outputStride == 4) {
    for (size_t row = 0; row < rows; ++row) {
      const uint8_t* in = input + 4 * row;
      Store32(output + 4 * row, (uint64_t(pairs[in[0]]) | uint64_t(pairs[in[1]]) << 16) & keep);
    }
    return;
  }
  if (inputStride == 4 && outputStride == 8) {
    for (size_t row = 0; row < rows; ++row) {
      const uint8_t* in = input + 4 * row;
      uint64_t eight = uint64_t(pairs[in[0]]) | uint64_t(pairs[in[1]]) << 16 |
                       uint64_t(pairs[in[2]]) << 32 | uint64_t(pairs[in[3]]) << 48;
      Store64(output + 8 * row, eight & keep);
    }
    return;
  }
  uint16_t pattern = LevelPattern(level);
  for (size_t row = 0; row < rows; ++row) {
    ExpandBytes(input, output, used, pattern);
    if (expanded < outputStride) {
      output[expanded] = 0;
      output[expanded + 1] = 0;
    }
    input += inputStride;
    output += outputStride;
  }
}
