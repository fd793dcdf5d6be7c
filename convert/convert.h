// Bitmap conversion: a monochrome BMP (1 bit per pixel) in, a four-level
// grey BMP (2 bits per pixel) out, written beside it under a "gzn" name.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/common.h"

// The BMP file header, 14 bytes on disk.
struct BitmapFileHeader {
  uint16_t bfType;
  uint32_t bfSize;
  uint16_t bfReserved1;
  uint16_t bfReserved2;
  uint32_t bfOffBits;
};

// The BMP info header, 40 bytes on disk.
struct BitmapInfoHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
constexpr size_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;
constexpr uint16_t kBitmapType = 0x4D42;  // the bytes 'B' 'M'

// Where the pixel rows of a monochrome input begin: after the headers and
// the two-entry palette, unless the header points further on.
constexpr uint32_t kInputPixelOffset = 62;
// Where the pixel rows of every output begin: after the headers and GreyRamp.
constexpr uint32_t kOutputPixelOffset = 70;

// The output palette: black, dark grey, light grey, white, as blue, green,
// red, reserved.
extern const uint8_t GreyRamp[16];

// Field-by-field little-endian codecs; bytes points at kFileHeaderSize or
// kInfoHeaderSize bytes.
BitmapFileHeader DecodeFileHeader(const uint8_t* bytes);
BitmapInfoHeader DecodeInfoHeader(const uint8_t* bytes);
void EncodeFileHeader(const BitmapFileHeader& header, uint8_t* bytes);
void EncodeInfoHeader(const BitmapInfoHeader& header, uint8_t* bytes);

// The bytes of one stored row of that many bits, rounded up to a multiple
// of 32 bits, computed as the format does on signed 32-bit numbers.
uint32_t RowStride(int32_t bits);

// Expands one row: input bytes 0 .. width/8 become output bytes
// 0 .. 2*(width/8)+1, each bit a 2-bit pixel: 3 (white) when set, level & 3
// when clear. Writes nothing else of the output row.
void ExpandRow(const uint8_t* input, uint8_t* output, int32_t width, int level);

// Expands rows laid out one after another, inputStride and outputStride
// bytes apart; outputStride must be RowStride(2 * width). Each output row
// gets exactly the outputStride bytes that ExpandRow into a zero-filled row
// buffer would give it; nothing past the last row is written.
void ExpandRows(const uint8_t* input, size_t inputStride, uint8_t* output, size_t outputStride,
                size_t rows, int32_t width, int level);

// Derives the output path: the input path with its last three characters
// replaced by "gzn". Returns false when the file name (after the last
// separator) is shorter than three characters, or the path does not fit.
bool OutputName(const char* path, PathBuffer* output);

// Converts one file at BackgroundLevel. Prints the path first, always.
// Returns 1 when the output was written in full, 0 when no output exists.
int ConvertFile(const char* path);
