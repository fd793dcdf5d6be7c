// The row arithmetic, the expansion and the output name.
#include "convert/convert.h"

#include <climits>
#include <cstring>
#include <string>

#include "support/support.h"

TEST(RowStride, RoundsBitsUpToWholeFourByteWords) {
  struct Case {
    int32_t bits;
    uint32_t stride;
  } cases[] = {
      {0, 0},   {1, 4},   {31, 4},  {32, 4}, {33, 8},  {64, 8},
      {2 * 17, 8},
      {INT32_MAX, 1u << 28},              // the sum is taken as unsigned, without overflow
      {-1, 4},  {-32, 0x1FFFFFFC}, {INT32_MIN, 0x10000000},  // negative counts as the format computes them
  };
  for (const Case& c : cases) EXPECT_EQ(RowStride(c.bits), c.stride) << c.bits;
}

TEST(ExpandRow, MapsSetBitsToWhiteAndClearBitsToTheLevel) {
  struct Case {
    int32_t width;
    int level;
    const char* input;   // at least width/8 + 1 bytes
    const char* output;  // 2 * (width/8 + 1) bytes expected, then untouched bytes
  } cases[] = {
      {8, 1, "A5 00", "DD 77 55 55 EE"},
      {8, 2, "A5 00", "EE BB AA AA EE"},
      {10, 1, "C3 BF", "F5 5F DF FF EE"},          // spare bits expand like pixels
      {1, 1, "80", "D5 55 EE EE"},
      {17, 1, "FF 00 80", "FF FF 55 55 D5 55 EE"},
      {32, 1, "AA AA AA AA 00", "DD DD DD DD DD DD DD DD 55 55 EE"},
      {0, 1, "FF", "FF FF EE"},                    // width 0 still expands one byte
      {8, 6, "0F 00", "AA FF AA AA EE"},           // only the level's low two bits count
      {-8, 1, "FF", "EE EE"},                      // no bytes at all for width/8 + 1 <= 0
  };
  for (const Case& c : cases) {
    Bytes input = Hex(c.input);
    Bytes expected = Hex(c.output);
    Bytes output(expected.size(), 0xEE);
    ExpandRow(input.data(), output.data(), c.width, c.level);
    EXPECT_EQ(ToHex(output), ToHex(expected)) << "width " << c.width << " level " << c.level;
  }
}

TEST(ExpandRow, EveryByteAtEveryLevel) {
  for (int level = 0; level < 4; ++level) {
    for (int byte = 0; byte < 256; ++byte) {
      uint8_t input[1] = {uint8_t(byte)};
      uint8_t output[2] = {};
      ExpandRow(input, output, 7, level);
      for (int pixel = 0; pixel < 8; ++pixel) {
        int expected = (byte >> (7 - pixel)) & 1 ? 3 : level;
        int got = (output[pixel / 4] >> (6 - 2 * (pixel % 4))) & 3;
        ASSERT_EQ(got, expected) << "byte " << byte << " pixel " << pixel;
      }
    }
  }
}

TEST(OutputName, ReplacesTheLastThreeCharacters) {
  struct Case {
    const char* input;
    const char* output;  // nullptr: refused
  } cases[] = {
      {"pic.bmp", "pic.gzn"},
      {"dir/Pic.BMP", "dir/Pic.gzn"},
      {"a.dib", "a.gzn"},
      {"scan1", "scgzn"},
      {".bmp", ".gzn"},
      {"abc", "gzn"},
      {"d/abc", "d/gzn"},
      {"-Abc.bmp", "-Abc.gzn"},
      // Names shorter than three characters would lose part of the folder.
      {"ab", nullptr},
      {"a", nullptr},
      {"", nullptr},
      {"d/ab", nullptr},
      {"long/", nullptr},
  };
  for (const Case& c : cases) {
    PathBuffer output;
    bool made = OutputName(c.input, &output);
    if (c.output == nullptr) {
      EXPECT_FALSE(made) << c.input;
    } else {
      EXPECT_TRUE(made) << c.input;
      EXPECT_STREQ(output.text, c.output) << c.input;
    }
  }
}

TEST(OutputName, RefusesPathsThatDoNotFitAPathBuffer) {
  std::string fits(kMaxPath - 1, 'x');
  std::string tooLong(kMaxPath, 'x');
  PathBuffer output;
  EXPECT_TRUE(OutputName(fits.c_str(), &output));
  EXPECT_EQ(std::strlen(output.text), kMaxPath - 1);
  EXPECT_FALSE(OutputName(tooLong.c_str(), &output));
}

TEST(BitmapHeaders, DecodeAndEncodeEveryFieldLittleEndian) {
  Bytes bytes = Hex(
      "42 4D 01 02 03 04 05 06 07 08 09 0A 0B 0C"
      "28 00 00 00 FE FF FF FF 00 00 00 80 01 00 01 00 11 12 13 14"
      "21 22 23 24 31 32 33 34 41 42 43 44 02 00 00 00 51 52 53 54");
  BitmapFileHeader file = DecodeFileHeader(bytes.data());
  BitmapInfoHeader info = DecodeInfoHeader(bytes.data() + kFileHeaderSize);
  EXPECT_EQ(file.bfType, kBitmapType);
  EXPECT_EQ(file.bfSize, 0x04030201u);
  EXPECT_EQ(file.bfReserved1, 0x0605);
  EXPECT_EQ(file.bfReserved2, 0x0807);
  EXPECT_EQ(file.bfOffBits, 0x0C0B0A09u);
  EXPECT_EQ(info.biWidth, -2);
  EXPECT_EQ(info.biHeight, INT32_MIN);
  EXPECT_EQ(info.biYPelsPerMeter, 0x44434241);
  EXPECT_EQ(info.biClrImportant, 0x54535251u);
  Bytes again(kHeadersSize);
  EncodeFileHeader(file, again.data());
  EncodeInfoHeader(info, again.data() + kFileHeaderSize);
  EXPECT_EQ(ToHex(again), ToHex(bytes));
}
