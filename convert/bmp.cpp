// The BMP records as bytes, and the row arithmetic of the format.
#include "convert/convert.h"

const uint8_t GreyRamp[16] = {
    0x00, 0x00, 0x00, 0x00,  // 0 black: given to no pixel
    0x55, 0x55, 0x55, 0x00,  // 1 dark grey: clear pixels by default
    0xAA, 0xAA, 0xAA, 0x00,  // 2 light grey: clear pixels at level 2
    0xFF, 0xFF, 0xFF, 0x00,  // 3 white: set pixels
};

namespace {

uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void Put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

}  // namespace

BitmapFileHeader DecodeFileHeader(const uint8_t* bytes) {
  BitmapFileHeader h;
  h.bfType = Get16(bytes + 0);
  h.bfSize = Get32(bytes + 2);
  h.bfReserved1 = Get16(bytes + 6);
  h.bfReserved2 = Get16(bytes + 8);
  h.bfOffBits = Get32(bytes + 10);
  return h;
}

BitmapInfoHeader DecodeInfoHeader(const uint8_t* bytes) {
  BitmapInfoHeader h;
  h.biSize = Get32(bytes + 0);
  h.biWidth = int32_t(Get32(bytes + 4));
  h.biHeight = int32_t(Get32(bytes + 8));
  h.biPlanes = Get16(bytes + 12);
  h.biBitCount = Get16(bytes + 14);
  h.biCompression = Get32(bytes + 16);
  h.biSizeImage = Get32(bytes + 20);
  h.biXPelsPerMeter = int32_t(Get32(bytes + 24));
  h.biYPelsPerMeter = int32_t(Get32(bytes + 28));
  h.biClrUsed = Get32(bytes + 32);
  h.biClrImportant = Get32(bytes + 36);
  return h;
}

void EncodeFileHeader(const BitmapFileHeader& h, uint8_t* bytes) {
  Put16(bytes + 0, h.bfType);
  Put32(bytes + 2, h.bfSize);
  Put16(bytes + 6, h.bfReserved1);
  Put16(bytes + 8, h.bfReserved2);
  Put32(bytes + 10, h.bfOffBits);
}

void EncodeInfoHeader(const BitmapInfoHeader& h, uint8_t* bytes) {
  Put32(bytes + 0, h.biSize);
  Put32(bytes + 4, uint32_t(h.biWidth));
  Put32(bytes + 8, uint32_t(h.biHeight));
  Put16(bytes + 12, h.biPlanes);
  Put16(bytes + 14, h.biBitCount);
  Put32(bytes + 16, h.biCompression);
  Put32(bytes + 20, h.biSizeImage);
  Put32(bytes + 24, uint32_t(h.biXPelsPerMeter));
  Put32(bytes + 28, uint32_t(h.biYPelsPerMeter));
  Put32(bytes + 32, h.biClrUsed);
  Put32(bytes + 36, h.biClrImportant);
}

uint32_t RowStride(int32_t bits) {
  // Rounds towards the next multiple of 32 the way the format's own code
  // does, including for negative counts; the sum is taken as unsigned so
  // that it cannot overflow.
  int32_t remainder = bits % 32;
  uint32_t fill = remainder == 0 ? 0 : uint32_t(32 - remainder);
  return (uint32_t(bits) + fill) >> 3;
}
