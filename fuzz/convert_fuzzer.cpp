// Fuzz harness: arbitrary bytes as the input file of the real ConvertFile,
// over the in-memory platform layer, at both levels.
//
// For every input the harness works out on its own, straight from the file
// format, whether the file must be converted and what the output must hold,
// and treats any difference as a crash:
// - a refused file creates nothing;
// - a conversion hit by a read error, a full disk or a failed close returns
//   0 and leaves no output;
// - otherwise the result is 1 and the output is exactly the rewritten
//   headers, the grey palette and every row, 70 + stride * max(height, 0)
//   bytes;
// - every file opened is closed again.
//
// The first run is fault-free at level 1. The second runs at level 2 and
// takes its faults from the input's last byte: with bit 3 set, read call
// number (bits 0-2) reports an error; with bit 4 set, the disk holds only
// 64 + 8 * (bits 5-7) bytes, so the prefix or the first rows cannot be
// written; with bit 0 of the byte before it set, closing the output fails.
// Every run's disk holds at most kDiskSize bytes: a valid header may legally
// ask for 2 GiB of output, which a fuzzer cannot afford to write.
//
// A legal row may also be 256 MiB wide, and the conversion expands a whole
// row before its write can fail. Where GRIZZEN_FUZZ_MAX_ROW_BYTES is set,
// inputs whose rows are wider are passed over (and kept out of the corpus),
// so that fuzzing keeps its pace; the seeds and regression inputs with such
// rows are run without it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/common.h"
#include "convert/convert.h"
#include "fuzz/memory_platform.h"

namespace {

constexpr size_t kDiskSize = 64 << 10;

// 0: no limit.
int64_t gMaxRowBytes = 0;
constexpr char kInputPath[] = "in.bmp";
constexpr char kOutputPath[] = "in.gzn";

#define CHECK(condition)                                                                 \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

uint32_t Le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

void StoreLe32(std::vector<uint8_t>* bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[offset + i] = uint8_t(value >> (8 * i));
}

// Bytes per stored row of that many bits, rounded up to whole 32-bit words.
int64_t WordAlignedBytes(int64_t bits) { return (bits + 31) / 32 * 4; }

// What the file format says about an input, worked out from its bytes.
struct Expected {
  bool accepted = false;
  int64_t inputStride = 0;
  int64_t outputStride = 0;
  int32_t width = 0;
  int32_t height = 0;
  int64_t statedSize = 0;  // bfSize as a signed number
  int64_t length = 0;      // bytes the output holds
};

Expected Examine(const uint8_t* data, size_t size) {
  Expected e;
  if (size < 54 || data[0] != 'B' || data[1] != 'M') return e;
  uint32_t infoSize = Le32(data + 14);
  e.width = int32_t(Le32(data + 18));
  e.height = int32_t(Le32(data + 22));
  uint32_t bitCount = Le16(data + 28);
  uint32_t coloursUsed = Le32(data + 46);
  if (infoSize < 40 || coloursUsed != 2 || bitCount == 0 || e.width < 0) return e;
  int64_t inputBits = int64_t(bitCount) * e.width;
  int64_t outputBits = 2 * int64_t(e.width);
  if (inputBits > INT32_MAX || outputBits > INT32_MAX) return e;
  e.inputStride = WordAlignedBytes(inputBits);
  e.outputStride = WordAlignedBytes(outputBits);
  e.statedSize = 70 + e.outputStride * e.height;
  if (e.statedSize > INT32_MAX) return e;
  e.accepted = true;
  e.length = 70 + e.outputStride * (e.height > 0 ? e.height : 0);
  return e;
}

// The two output bytes of one input byte at one level, pixel by pixel:
// bit 7 is the leftmost pixel, a set bit is white (3), a clear one level & 3.
void ExpandByte(uint8_t in, int level, uint8_t* out) {
  out[0] = 0;
  out[1] = 0;
  for (int pixel = 0; pixel < 8; ++pixel) {
    int value = (in >> (7 - pixel)) & 1 ? 3 : (level & 3);
    out[pixel / 4] = uint8_t(out[pixel / 4] | value << (6 - 2 * (pixel % 4)));
  }
}

// The whole output an accepted input must give at level.
std::vector<uint8_t> ExpectedOutput(const uint8_t* data, size_t size, const Expected& e,
                                    int level) {
  std::vector<uint8_t> out(data, data + 54);
  StoreLe32(&out, 2, uint32_t(e.statedSize));  // the low 32 bits of the signed size
  StoreLe32(&out, 10, 70);
  StoreLe32(&out, 14, 40);
  out[28] = 2;
  out[29] = 0;
  StoreLe32(&out, 34, 0);
  StoreLe32(&out, 46, 4);
  StoreLe32(&out, 50, 0);
  const uint8_t ramp[16] = {0,    0,    0,    0, 0x55, 0x55, 0x55, 0,
                            0xAA, 0xAA, 0xAA, 0, 0xFF, 0xFF, 0xFF, 0};
  out.insert(out.end(), ramp, ramp + 16);

  // Rows of no bytes, or no rows at all: the prefix is the whole output.
  if (e.outputStride == 0 || e.height <= 0) return out;

  uint8_t pairs[256][2];
  for (int b = 0; b < 256; ++b) ExpandByte(uint8_t(b), level, pairs[b]);

  // Rows start at bfOffBits when it lies past the palette, else at 62. The
  // row buffer starts clear; a short read keeps what the last row left.
  // Input bytes 0 .. width/8 are expanded into output bytes 0 .. 2*(width/8)+1,
  // and the first stride bytes of the output row reach the file.
  uint32_t offBits = Le32(data + 10);
  size_t position = offBits > 62 ? offBits : 62;
  if (position > size) position = size;
  size_t expanded = size_t(e.width / 8) + 1;
  std::vector<uint8_t> held(expanded, 0);
  std::vector<uint8_t> row(size_t(e.outputStride) + 2 * expanded, 0);
  for (int32_t r = 0; r < e.height; ++r) {
    size_t delivered = size - position;
    if (int64_t(delivered) > e.inputStride) delivered = size_t(e.inputStride);
    std::memcpy(held.data(), data + position, delivered < expanded ? delivered : expanded);
    position += delivered;
    for (size_t j = 0; j < expanded; ++j) {
      row[2 * j] = pairs[held[j]][0];
      row[2 * j + 1] = pairs[held[j]][1];
    }
    out.insert(out.end(), row.begin(), row.begin() + e.outputStride);
  }
  return out;
}

void ConvertAndCheck(const uint8_t* data, size_t size, int level, size_t faultingRead,
                     size_t writeCap, bool failOutputClose) {
  ResetMemoryDisk(kInputPath, data, size, faultingRead, writeCap);
  gMemoryDisk.failOutputClose = failOutputClose;
  BackgroundLevel = level;
  int result = ConvertFile(kInputPath);
  const MemoryDisk& disk = gMemoryDisk;

  CHECK(result == 0 || result == 1);
  CHECK(disk.openHandles == 0);
  if (disk.outputEverCreated) CHECK(disk.outputPath == kOutputPath);
  if (result == 0) CHECK(!disk.outputExists);

  Expected e = Examine(data, size);
  if (!e.accepted) {
    CHECK(result == 0);
    CHECK(!disk.outputEverCreated);
    return;
  }
  if (disk.readFaultDelivered || e.length > int64_t(writeCap) || failOutputClose) {
    CHECK(result == 0);
    return;
  }
  CHECK(result == 1);
  CHECK(disk.outputExists);
  CHECK(int64_t(disk.output.size()) == e.length);
  CHECK(disk.output == ExpectedOutput(data, size, e, level));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // ConvertFile prints the path of every attempt; keep the fuzzer's
  // console for its own reports.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  const char* limit = std::getenv("GRIZZEN_FUZZ_MAX_ROW_BYTES");
  if (limit != nullptr) gMaxRowBytes = std::strtoll(limit, nullptr, 10);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Expected e = Examine(data, size);
  if (gMaxRowBytes > 0 && e.accepted &&
      (e.inputStride > gMaxRowBytes || e.outputStride > gMaxRowBytes)) {
    return -1;
  }
  ConvertAndCheck(data, size, 1, kNoFault, kDiskSize, false);

  uint8_t control = size > 0 ? data[size - 1] : 0;
  size_t faultingRead = control & 0x08 ? control & 0x07 : kNoFault;
  size_t writeCap = control & 0x10 ? 64 + 8 * size_t(control >> 5) : kDiskSize;
  bool failOutputClose = size > 1 && (data[size - 2] & 1) != 0;
  ConvertAndCheck(data, size, 2, faultingRead, writeCap, failOutputClose);
  return 0;
}
