// ConvertFile on real files: byte-exact outputs, truncated inputs, refusals.
#include <climits>
#include <fstream>
#include <string>

#include "common/common.h"
#include "convert/convert.h"
#include "support/support.h"

namespace {

// The output prefix for an ordinary 62-byte input: headers rewritten for
// 2 bits per pixel and four colours, then the grey palette.
const char kGreyRamp[] = "00 00 00 00 55 55 55 00 AA AA AA 00 FF FF FF 00";

Bytes Truncated(const Bytes& bytes, size_t length) {
  return Bytes(bytes.begin(), bytes.begin() + length);
}

// Bytes that look random and repeat only after a long while, so that every
// byte value turns up and no row equals its neighbour.
Bytes Scrambled(size_t length) {
  Bytes bytes(length);
  uint32_t state = 12345;
  for (uint8_t& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = uint8_t(state >> 16);
  }
  return bytes;
}

// The conversion's rows worked out pixel by pixel from an ordinary 1-bit
// input of any length: each row is read into a buffer that keeps what the
// previous row left where the file ends early (zero before the first), and
// the pixels of its first width/8 + 1 bytes go into a zeroed output row as
// far as the row reaches.
Bytes ExpectedRows(const Bytes& input, int32_t width, int32_t height, int level) {
  size_t inStride = (size_t(width) + 31) / 32 * 4;
  size_t outStride = (2 * size_t(width) + 31) / 32 * 4;
  Bytes row(inStride + 1, 0);
  Bytes rows;
  size_t at = 62;
  for (int32_t r = 0; r < height; ++r) {
    for (size_t i = 0; i < inStride && at < input.size(); ++i) row[i] = input[at++];
    Bytes out(outStride, 0);
    for (size_t pixel = 0; pixel < (size_t(width) / 8 + 1) * 8; ++pixel) {
      int value = (row[pixel / 8] >> (7 - pixel % 8)) & 1 ? 3 : level;
      if (pixel / 4 < outStride) out[pixel / 4] |= uint8_t(value << (6 - 2 * (pixel % 4)));
    }
    rows.insert(rows.end(), out.begin(), out.end());
  }
  return rows;
}

// Where two byte strings first differ, or -1 when they are equal; a short
// message for outputs too long to print.
long FirstDifference(const Bytes& a, const Bytes& b) {
  size_t length = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < length; ++i) {
    if (a[i] != b[i]) return long(i);
  }
  return a.size() == b.size() ? -1 : long(length);
}

class ConvertFileTest : public TempDirTest {
 protected:
  // Converts in.bmp at the given level and checks the one line printed.
  int Convert(const Bytes& input, int level, const std::string& name = "in.bmp") {
    WriteBytes(Path(name), input);
    BackgroundLevel = level;
    testing::internal::CaptureStdout();
    int result = ConvertFile(Path(name).c_str());
    std::string printed = testing::internal::GetCapturedStdout();
    BackgroundLevel = 1;
    EXPECT_EQ(printed, Path(name) + "\n");
    return result;
  }
  Bytes Output() { return ReadBytes(Path("in.gzn")); }
  // The output's rows, after the 70-byte prefix.
  std::string OutputRows() {
    Bytes out = Output();
    if (out.size() < 70) return "(short output)";
    return ToHex(Bytes(out.begin() + 70, out.end()));
  }
};

TEST_F(ConvertFileTest, WritesACompleteOutput) {
  Bytes input = Monochrome(8, 2, "A5 00 00 00 0F 00 00 00");
  ASSERT_EQ(Convert(input, 1), 1);
  EXPECT_EQ(ToHex(Output()),
            ToHex(Hex("42 4D 4E 00 00 00 00 00 00 00 46 00 00 00"
                      "28 00 00 00 08 00 00 00 02 00 00 00 01 00 02 00"
                      "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 04 00 00 00 00 00 00 00" +
                      std::string(kGreyRamp) + "DD 77 55 55 55 FF 55 55")));
  ASSERT_EQ(Convert(input, 2), 1);
  EXPECT_EQ(OutputRows(), "EE BB AA AA AA FF AA AA");
}

TEST_F(ConvertFileTest, KeepsTheFieldsItDoesNotRewrite) {
  Bytes input = Monochrome(8, 1, "00 00 00 00");
  Put16(&input, 6, 0x1234);         // bfReserved1
  Put16(&input, 8, 0x5678);         // bfReserved2
  Put16(&input, 26, 3);             // biPlanes
  Put32(&input, 30, 7);             // biCompression
  Put32(&input, 34, 999);           // biSizeImage: replaced by 0
  Put32(&input, 38, 2835);          // biXPelsPerMeter
  Put32(&input, 42, 0xFFFFFFFF);    // biYPelsPerMeter
  Put32(&input, 50, 9);             // biClrImportant: replaced by 0
  ASSERT_EQ(Convert(input, 1), 1);
  Bytes out = Output();
  EXPECT_EQ(ToHex(Bytes(out.begin(), out.begin() + 54)),
            "42 4D 4A 00 00 00 34 12 78 56 46 00 00 00 28 00 00 00 08 00 00 00 01 00 00 00 03 00 "
            "02 00 07 00 00 00 00 00 00 00 13 0B 00 00 FF FF FF FF 04 00 00 00 00 00 00 00");
}

TEST_F(ConvertFileTest, ExpandsRowsOfEveryWidthClass) {
  struct Case {
    int32_t width;
    int32_t height;
    int level;
    const char* rows;
    const char* expected;
  } cases[] = {
      {10, 1, 1, "C3 BF 00 00", "F5 5F DF FF"},                     // spare bits expanded
      {17, 1, 1, "FF 00 80 00", "FF FF 55 55 D5 55 00 00"},         // last two bytes stay 0
      {8, 1, 1, "F0 00 00 00", "FF 55 55 55"},                      // fill byte expanded
      {8, 1, 2, "F0 00 00 00", "FF AA AA AA"},
      {1, 1, 1, "80 00 00 00", "D5 55 00 00"},
      {16, 1, 1, "FF 00 00 00", "FF FF 55 55"},                     // third byte falls outside
      {32, 1, 1, "AA AA AA AA", "DD DD DD DD DD DD DD DD"},         // reads one byte past the row
      {32, 2, 1, "AA AA AA AA 0F 00 00 00", "DD DD DD DD DD DD DD DD 55 FF 55 55 55 55 55 55"},
      {7, 3, 2, "01 00 00 00 FE 00 00 00 FF 00 00 00", "AA AB 00 00 FF FE 00 00 FF FF 00 00"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Convert(Monochrome(c.width, c.height, c.rows), c.level), 1) << c.rows;
    EXPECT_EQ(OutputRows(), c.expected) << "width " << c.width << " rows " << c.rows;
    EXPECT_EQ(Get32(Output(), 2), Output().size());
  }
}

TEST_F(ConvertFileTest, WritesEveryClaimedRowOfATruncatedFile) {
  struct Case {
    const char* what;
    Bytes input;
    const char* expected;
  } cases[] = {
      {"rows missing: the last row read repeats",
       Monochrome(8, 4, "A5 00 00 00 0F 00 00 00"),
       "DD 77 55 55 55 FF 55 55 55 FF 55 55 55 FF 55 55"},
      {"cut inside the first row", Monochrome(8, 2, "A5 00"), "DD 77 55 55 DD 77 55 55"},
      {"cut after the palette: never-read bytes are clear pixels", Monochrome(8, 1, ""),
       "55 55 55 55"},
      {"cut inside the palette", Truncated(MonochromePrefix(8, 1), 54), "55 55 55 55"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Convert(c.input, 1), 1) << c.what;
    EXPECT_EQ(OutputRows(), c.expected) << c.what;
  }
}

TEST_F(ConvertFileTest, RowsAcrossTheEndsOfTheIOBuffersComeOutAsFromOneRowAtATime) {
  // Inputs a few times the 64 KiB read buffer, with outputs larger still,
  // whole and cut at places around the buffer ends, so that rows cross the
  // end of a buffer and the file ends inside a row read in pieces. The last
  // case has rows longer than the buffers themselves.
  struct Case {
    int32_t width;
    int32_t height;
    int level;
  } cases[] = {
      {8, 50000, 1}, {7, 40000, 2}, {17, 30000, 1}, {32, 40000, 2},
      {100, 12000, 1}, {4000, 300, 2}, {600000, 3, 1},
  };
  for (const Case& c : cases) {
    size_t inStride = (size_t(c.width) + 31) / 32 * 4;
    Bytes whole = MonochromePrefix(c.width, c.height);
    Bytes rows = Scrambled(inStride * size_t(c.height));
    whole.insert(whole.end(), rows.begin(), rows.end());
    for (size_t cut : {whole.size(), size_t(65536), size_t(65537), size_t(2 * 65536 + 3),
                       62 + inStride + inStride / 2, whole.size() - 1}) {
      Bytes input = Truncated(whole, cut < whole.size() ? cut : whole.size());
      ASSERT_EQ(Convert(input, c.level), 1);
      Bytes out = Output();
      ASSERT_GE(out.size(), 70u);
      EXPECT_EQ(FirstDifference(Bytes(out.begin() + 70, out.end()),
                                ExpectedRows(input, c.width, c.height, c.level)),
                -1)
          << "width " << c.width << " cut at " << cut;
    }
  }
}

TEST_F(ConvertFileTest, AnOutputThatFailsOnlyWhenClosedIsRemoved) {
  // The whole output fits the write buffer, so it first reaches the file
  // when the file is closed, and fails there.
  Bytes input = Monochrome(8, 2, "A5 00 00 00 0F 00 00 00");
  WriteBytes(Path("in.bmp"), input);
  int result = -1;
  testing::internal::CaptureStdout();
  WithFileSizeLimit(50, [&] { result = ConvertFile(Path("in.bmp").c_str()); });
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(Exists(Path("in.gzn")));
  EXPECT_EQ(ReadBytes(Path("in.bmp")), input);
}


TEST_F(ConvertFileTest, TruncatedAtEveryByteOfTheFirstTwoRows) {
  // Rows A5 3C 77 11 and 0F F0 22 88 at width 8, cut after `cut` row bytes.
  // Only the first two bytes of a row are expanded; a row that ends early
  // keeps the bytes the row before left in the buffer.
  const Bytes rows = Hex("A5 3C 77 11 0F F0 22 88");
  struct Case {
    size_t cut;
    const char* expected;
  } cases[] = {
      {0, "55 55 55 55 55 55 55 55"}, {1, "DD 77 55 55 DD 77 55 55"},
      {2, "DD 77 5F F5 DD 77 5F F5"}, {3, "DD 77 5F F5 DD 77 5F F5"},
      {4, "DD 77 5F F5 DD 77 5F F5"}, {5, "DD 77 5F F5 55 FF 5F F5"},
      {6, "DD 77 5F F5 55 FF FF 55"}, {7, "DD 77 5F F5 55 FF FF 55"},
      {8, "DD 77 5F F5 55 FF FF 55"},
  };
  for (const Case& c : cases) {
    Bytes input = MonochromePrefix(8, 2);
    input.insert(input.end(), rows.begin(), rows.begin() + c.cut);
    ASSERT_EQ(Convert(input, 1), 1) << c.cut;
    EXPECT_EQ(OutputRows(), c.expected) << "cut after " << c.cut << " row bytes";
  }
}

TEST_F(ConvertFileTest, WritesOnlyThePrefixWhenThereAreNoRows) {
  struct Case {
    int32_t width;
    int32_t height;
    uint32_t fileSize;
  } cases[] = {
      {8, 0, 70},
      {8, -1, 66},
      {8, -2, 62},  // a top-down image: size stated with the signed height
      {8, INT32_MIN, 70},
      {0, 2, 70},
      {0, INT32_MAX, 70},  // rows of no bytes: done at once, whatever the count
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Convert(Monochrome(c.width, c.height, "FF FF FF FF"), 1), 1) << c.height;
    Bytes out = Output();
    EXPECT_EQ(out.size(), 70u) << c.width << "x" << c.height;
    EXPECT_EQ(Get32(out, 2), c.fileSize) << c.width << "x" << c.height;
  }
}

TEST_F(ConvertFileTest, ReadsWiderPixelsAsTheirFirstBits) {
  // With more bits per pixel the stride follows biBitCount, while the
  // expansion still reads the first width/8 + 1 bytes of each row.
  Bytes input = Monochrome(8, 2, "A5 FF 00 00 00 00 00 00 0F 00 11 22 33 44 55 66");
  Put16(&input, 28, 8);
  ASSERT_EQ(Convert(input, 1), 1);
  EXPECT_EQ(OutputRows(), "DD 77 FF FF 55 FF 55 55");
  EXPECT_EQ(Output()[28], 2);  // the output declares 2 bits per pixel
}

TEST_F(ConvertFileTest, StepsThroughRowsByTheStrideOfTheBitCount) {
  // Two rows starting A5 and 0F, each padded to the stride biBitCount gives
  // an 8-pixel row; only their first two bytes are expanded.
  struct Case {
    uint16_t bitCount;
    size_t stride;
  } cases[] = {{2, 4}, {4, 4}, {24, 24}, {32, 32}, {0xFFFF, 65536}};
  for (const Case& c : cases) {
    Bytes input = MonochromePrefix(8, 2);
    Put16(&input, 28, c.bitCount);
    input.resize(62 + 2 * c.stride, 0);
    input[62] = 0xA5;
    input[62 + c.stride] = 0x0F;
    ASSERT_EQ(Convert(input, 1), 1) << c.bitCount;
    EXPECT_EQ(OutputRows(), "DD 77 55 55 55 FF 55 55") << "biBitCount " << c.bitCount;
  }
}

TEST_F(ConvertFileTest, FindsRowsWhereALargerHeaderSaysTheyBegin) {
  // A 108-byte info header with the rows at offset 130: the rows are read
  // from there, and the output's header says the 40 bytes it holds.
  Bytes input = MonochromePrefix(8, 1);
  Put32(&input, 10, 130);
  Put32(&input, 14, 108);
  input.resize(130, 0xFF);
  Bytes row = Hex("A5 00 00 00");
  input.insert(input.end(), row.begin(), row.end());
  ASSERT_EQ(Convert(input, 1), 1);
  EXPECT_EQ(OutputRows(), "DD 77 55 55");
  EXPECT_EQ(Get32(Output(), 14), 40u);
  EXPECT_EQ(Get32(Output(), 10), 70u);

  // An offset that points inside the headers cannot be right: rows are read
  // from 62, as for an ordinary file.
  for (uint32_t offset : {0u, 14u, 54u, 61u}) {
    Bytes plain = Monochrome(8, 1, "A5 00 00 00");
    Put32(&plain, 10, offset);
    ASSERT_EQ(Convert(plain, 1), 1);
    EXPECT_EQ(OutputRows(), "DD 77 55 55") << offset;
  }

  // An offset past the end of the file leaves every row clear.
  Bytes far = Monochrome(8, 1, "A5 00 00 00");
  Put32(&far, 10, 0xFFFFFFF0);
  ASSERT_EQ(Convert(far, 1), 1);
  EXPECT_EQ(OutputRows(), "55 55 55 55");
}

TEST_F(ConvertFileTest, RefusesWhatItCannotConvertWithoutCreatingAnything) {
  struct Patch {
    size_t offset;
    int size;  // 2 or 4
    uint32_t value;
  };
  struct Case {
    const char* what;
    Patch patch;
    int32_t height = 1;
  } cases[] = {
      {"bfType not BM", {0, 2, 0x4142}},
      {"biSize below 40", {14, 4, 12}},
      {"biClrUsed 0", {46, 4, 0}},
      {"biClrUsed 1", {46, 4, 1}},
      {"biClrUsed 3", {46, 4, 3}},
      {"biClrUsed all ones", {46, 4, 0xFFFFFFFF}},
      {"biBitCount 0", {28, 2, 0}},
      {"negative width", {18, 4, 0xFFFFFFFF}},
      {"most negative width", {18, 4, 0x80000000}},
      {"largest width", {18, 4, 0x7FFFFFFF}},
      {"output row bits beyond 32 bits", {18, 4, 0x40000000}},
      {"output size beyond 32 bits", {22, 4, 536870895}},  // 70 + 4 * rows > INT32_MAX
      {"largest height over one row", {22, 4, 0x7FFFFFFF}},
      {"rows of 2^26 bytes, 16 of them", {18, 4, 0x20000000}, 16},
  };
  for (const Case& c : cases) {
    Bytes input = Monochrome(8, c.height, "A5 00 00 00");
    if (c.patch.size == 2) Put16(&input, c.patch.offset, uint16_t(c.patch.value));
    if (c.patch.size == 4) Put32(&input, c.patch.offset, c.patch.value);
    EXPECT_EQ(Convert(input, 1), 0) << c.what;
    EXPECT_FALSE(Exists(Path("in.gzn"))) << c.what;
  }
  // 24 bits per pixel over a width whose doubling still fits.
  Bytes wide = Monochrome(0x10000000, 1, "");
  Put16(&wide, 28, 24);
  EXPECT_EQ(Convert(wide, 1), 0);
  EXPECT_FALSE(Exists(Path("in.gzn")));
}

TEST_F(ConvertFileTest, RefusesFilesShorterThanTheTwoHeaders) {
  // Up to the first row: shorter than the headers is refused; from there on
  // the file is converted, its never-read row clear.
  Bytes whole = Monochrome(8, 1, "A5 00 00 00");
  for (size_t length = 0; length <= 62; ++length) {
    if (length < 54) {
      EXPECT_EQ(Convert(Truncated(whole, length), 1), 0) << length;
      EXPECT_FALSE(Exists(Path("in.gzn"))) << length;
    } else {
      EXPECT_EQ(Convert(Truncated(whole, length), 1), 1) << length;
      EXPECT_EQ(OutputRows(), "55 55 55 55") << length;
    }
  }
}

TEST_F(ConvertFileTest, ConvertsAHugeRowOverATinyFileInFull) {
  // Width 2^29: an input row of 64 MiB and an output row of 128 MiB, legal
  // since the output's size still fits 32 bits. Only the first row byte is
  // in the file; the rest of the row is clear.
  Bytes input = Monochrome(0x20000000, 1, "A5");
  ASSERT_EQ(Convert(input, 1), 1);
  std::ifstream out(Path("in.gzn"), std::ios::binary | std::ios::ate);
  const std::streamoff length = 70 + 0x8000000;
  ASSERT_EQ(out.tellg(), length);
  auto at = [&out](std::streamoff offset, size_t count) {
    Bytes bytes(count);
    out.seekg(offset);
    out.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(count));
    return ToHex(bytes);
  };
  EXPECT_EQ(at(2, 4), "46 00 00 08");  // bfSize
  EXPECT_EQ(at(70, 6), "DD 77 55 55 55 55");
  EXPECT_EQ(at(length - 4, 4), "55 55 55 55");
}

TEST_F(ConvertFileTest, RefusesShortNamesAndLeavesTheInputAlone) {
  Bytes input = Monochrome(8, 1, "A5 00 00 00");
  for (const char* name : {"a", "ab"}) {
    EXPECT_EQ(Convert(input, 1, name), 0) << name;
    EXPECT_EQ(ReadBytes(Path(name)), input) << name;
  }
  EXPECT_EQ(Tree(), (std::vector<std::string>{"a", "ab"}));
}

TEST_F(ConvertFileTest, NeverWritesIntoItsOwnInput) {
  // pic.gzn converts to pic.gzn: the output is the input, held open, so the
  // conversion is refused and the file keeps every byte.
  Bytes input = Monochrome(8, 1, "A5 00 00 00");
  EXPECT_EQ(Convert(input, 1, "pic.gzn"), 0);
  EXPECT_EQ(ReadBytes(Path("pic.gzn")), input);
}

TEST_F(ConvertFileTest, OverwritesAnEarlierOutputButKeepsItOnRefusal) {
  WriteBytes(Path("in.gzn"), Hex("01 02 03"));
  ASSERT_EQ(Convert(Monochrome(8, 1, "A5 00 00 00"), 1), 1);
  EXPECT_EQ(OutputRows(), "DD 77 55 55");
  WriteBytes(Path("in.gzn"), Hex("01 02 03"));
  ASSERT_EQ(Convert(Hex("00 01 02"), 1), 0);
  EXPECT_EQ(ToHex(Output()), "01 02 03");
}

}  // namespace
