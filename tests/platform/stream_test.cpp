// The buffered streams, with buffers a few bytes long so that every read and
// write crosses buffer boundaries: pieces smaller and larger than the buffer,
// the end of the file inside a piece, and writes that fail only at close.
#include <string>

#include "platform/stream.h"
#include "support/support.h"

namespace {

using StreamTest = TempDirTest;

constexpr size_t kSmallBuffer = 7;

// Bytes 0, 1, 2, ... wrapping at 251, so that every offset is told apart.
Bytes Counting(size_t length) {
  Bytes bytes(length);
  for (size_t i = 0; i < length; ++i) bytes[i] = uint8_t(i % 251);
  return bytes;
}

TEST_F(StreamTest, ReadsPiecesOfAnySizeAcrossBufferBoundaries) {
  Bytes content = Counting(100);
  WriteBytes(Path("f"), content);
  InputStream stream;
  ASSERT_TRUE(StreamOpenInput(&stream, Path("f").c_str(), kSmallBuffer));
  // Pieces below, at and above the buffer size; the last one runs past the
  // end of the file.
  Bytes got;
  for (size_t piece : {1, 3, 7, 8, 2, 20, 5, 6, 30, 40}) {
    Bytes buffer(piece, 0xEE);
    size_t delivered = 99;
    ASSERT_TRUE(StreamRead(&stream, buffer.data(), piece, &delivered)) << piece;
    ASSERT_LE(delivered, piece);
    got.insert(got.end(), buffer.begin(), buffer.begin() + delivered);
    // Bytes not delivered leave the buffer as it was.
    EXPECT_EQ(Bytes(buffer.begin() + delivered, buffer.end()), Bytes(piece - delivered, 0xEE));
  }
  EXPECT_EQ(got, content);
  uint8_t byte = 0xEE;
  size_t delivered = 99;
  EXPECT_TRUE(StreamRead(&stream, &byte, 1, &delivered));
  EXPECT_EQ(delivered, 0u);
  EXPECT_EQ(byte, 0xEE);
  StreamCloseInput(&stream);
}

TEST_F(StreamTest, OffersBufferedBytesInPlaceAndReadsOnFromWhereTheyWereConsumed) {
  Bytes content = Counting(20);
  WriteBytes(Path("f"), content);
  InputStream stream;
  ASSERT_TRUE(StreamOpenInput(&stream, Path("f").c_str(), kSmallBuffer));
  const uint8_t* data = nullptr;
  size_t available = 99;
  StreamBuffered(&stream, &data, &available);
  EXPECT_EQ(available, 0u);  // nothing is read before it is asked for

  uint8_t first[2];
  size_t delivered = 0;
  ASSERT_TRUE(StreamRead(&stream, first, 2, &delivered));
  StreamBuffered(&stream, &data, &available);
  ASSERT_EQ(available, kSmallBuffer - 2);
  EXPECT_EQ(ToHex(Bytes(data, data + available)), "02 03 04 05 06");
  StreamConsume(&stream, 3);

  uint8_t rest[20];
  ASSERT_TRUE(StreamRead(&stream, rest, sizeof rest, &delivered));
  EXPECT_EQ(delivered, 15u);
  EXPECT_EQ(Bytes(rest, rest + delivered), Bytes(content.begin() + 5, content.end()));
  StreamCloseInput(&stream);
}

TEST_F(StreamTest, WritesPiecesOfAnySizeAndWhatWasPutInTheFreeSpace) {
  Bytes content = Counting(200);
  OutputStream stream;
  ASSERT_TRUE(StreamCreateOutput(&stream, Path("out").c_str(), kSmallBuffer));
  size_t at = 0;
  for (size_t piece : {1, 7, 3, 20, 6, 8, 2, 50}) {
    ASSERT_TRUE(StreamWrite(&stream, content.data() + at, piece)) << piece;
    at += piece;
    // Then as many bytes as the free space holds, put there directly.
    uint8_t* space = nullptr;
    size_t free = 0;
    ASSERT_TRUE(StreamFree(&stream, &space, &free));
    ASSERT_LE(free, kSmallBuffer);
    for (size_t i = 0; i < free; ++i) space[i] = content[at + i];
    StreamCommit(&stream, free);
    at += free;
  }
  ASSERT_TRUE(StreamWrite(&stream, content.data() + at, content.size() - at));
  EXPECT_TRUE(StreamCloseOutput(&stream));
  EXPECT_EQ(ReadBytes(Path("out")), content);
}

TEST_F(StreamTest, AWriteThatFailsOnlyAtCloseFailsTheClose) {
  // Everything fits the buffer, so nothing reaches the file before close.
  Bytes content = Counting(200);
  bool written = false;
  bool closed = true;
  WithFileSizeLimit(100, [&] {
    OutputStream stream;
    ASSERT_TRUE(StreamCreateOutput(&stream, Path("out").c_str()));
    written = StreamWrite(&stream, content.data(), content.size());
    closed = StreamCloseOutput(&stream);
  });
  EXPECT_TRUE(written);
  EXPECT_FALSE(closed);
}

TEST_F(StreamTest, OnceAWriteHasFailedNothingMoreIsWritten) {
  Bytes content = Counting(30);
  bool first = false;
  bool second = true;
  bool closed = true;
  WithFileSizeLimit(kSmallBuffer, [&] {
    OutputStream stream;
    ASSERT_TRUE(StreamCreateOutput(&stream, Path("out").c_str(), kSmallBuffer));
    first = StreamWrite(&stream, content.data(), 20);  // fails at the second buffer
    second = StreamWrite(&stream, content.data(), 1);
    uint8_t* space = nullptr;
    size_t free = 0;
    EXPECT_FALSE(StreamFree(&stream, &space, &free));
    closed = StreamCloseOutput(&stream);
  });
  EXPECT_FALSE(first);
  EXPECT_FALSE(second);
  EXPECT_FALSE(closed);
  EXPECT_EQ(ReadBytes(Path("out")), Bytes(content.begin(), content.begin() + kSmallBuffer));
}

}  // namespace
