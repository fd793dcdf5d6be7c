// ConvertFile: one monochrome bitmap in, one four-level grey bitmap out.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "convert/convert.h"
#include "platform/platform.h"
#include "platform/stream.h"

namespace {

constexpr char kOutputSuffix[] = "gzn";
constexpr size_t kSuffixLength = 3;
constexpr uint32_t kOutputBitCount = 2;
constexpr uint32_t kOutputColours = 4;

// What the headers of an acceptable input tell the conversion.
struct Geometry {
  uint32_t inputStride;
  uint32_t outputStride;
  int32_t width;
  int32_t height;
  uint32_t outputFileSize;  // low 32 bits, as the format stores it
};

// Checks the headers and works out the strides, refusing every header whose
// sizes the format's 32-bit arithmetic cannot state: a zero bit count, a
// negative width, rows of more than INT32_MAX bits, and an output longer
// than INT32_MAX bytes. All products are taken in 64 bits.
bool CheckHeaders(const BitmapFileHeader& file, const BitmapInfoHeader& info, Geometry* g) {
  if (file.bfType != kBitmapType) return false;
  if (info.biSize < kInfoHeaderSize) return false;
  if (info.biClrUsed != 2) return false;
  if (info.biBitCount == 0 || info.biWidth < 0) return false;
  int64_t inputBits = int64_t(info.biBitCount) * info.biWidth;
  int64_t outputBits = int64_t(kOutputBitCount) * info.biWidth;
  if (inputBits > INT32_MAX || outputBits > INT32_MAX) return false;
  g->inputStride = RowStride(int32_t(inputBits));
  g->outputStride = RowStride(int32_t(outputBits));
  g->width = info.biWidth;
  g->height = info.biHeight;
  // A top-down image (negative height) has no rows to convert, but its size
  // is still stated with the signed height, as the format computes it.
  int64_t fileSize = kOutputPixelOffset + int64_t(g->outputStride) * info.biHeight;
  if (fileSize > INT32_MAX) return false;
  g->outputFileSize = uint32_t(fileSize);
  return true;
}

// Moves the input to where its pixel rows begin: the header's offset when it
// lies past the palette, otherwise right after the palette (rows never begin
// inside the headers). Stops early at end of file. False on a read error.
bool SkipToPixels(InputStream* input, uint32_t offBits) {
  uint64_t remaining = (offBits > kInputPixelOffset ? offBits : kInputPixelOffset) - kHeadersSize;
  uint8_t scratch[512];
  while (remaining > 0) {
    size_t want = remaining < sizeof scratch ? size_t(remaining) : sizeof scratch;
    size_t delivered = 0;
    if (!StreamRead(input, scratch, want, &delivered)) return false;
    if (delivered == 0) break;
    remaining -= delivered;
  }
  return true;
}

// The output's 70-byte prefix: the input's headers rewritten for 2 bits per
// pixel and four colours, then GreyRamp.
void BuildOutputPrefix(BitmapFileHeader file, BitmapInfoHeader info, const Geometry& g,
                       uint8_t* prefix) {
  file.bfSize = g.outputFileSize;
  file.bfOffBits = kOutputPixelOffset;
  info.biSize = kInfoHeaderSize;  // the output holds exactly the 40-byte header
  info.biBitCount = kOutputBitCount;
  info.biSizeImage = 0;
  info.biClrUsed = kOutputColours;
  info.biClrImportant = 0;
  EncodeFileHeader(file, prefix);
  EncodeInfoHeader(info, prefix + kFileHeaderSize);
  std::memcpy(prefix + kHeadersSize, GreyRamp, sizeof GreyRamp);
}

// Every row of a file that has ended is the same: the input row keeps what
// it last held. Writes its expansion once for each row left, doubling the
// copies in the output buffer rather than copying them one by one.
bool RepeatLastRow(OutputStream* output, const Geometry& g, const uint8_t* inputRow,
                   uint8_t* outputRow, int32_t rowsLeft) {
  ExpandRow(inputRow, outputRow, g.width, BackgroundLevel);
  size_t stride = g.outputStride;
  while (rowsLeft > 0) {
    uint8_t* space = nullptr;
    size_t free = 0;
    if (!StreamFree(output, &space, &free)) return false;
    size_t rows = free / stride < size_t(rowsLeft) ? free / stride : size_t(rowsLeft);
    if (rows == 0) {
      // The row does not fit what is left of the buffer: it is split.
      if (!StreamWrite(output, outputRow, stride)) return false;
      --rowsLeft;
      continue;
    }
    std::memcpy(space, outputRow, stride);
    for (size_t done = 1; done < rows;) {
      size_t more = done < rows - done ? done : rows - done;
      std::memcpy(space + done * stride, space, more * stride);
      done += more;
    }
    StreamCommit(output, rows * stride);
    rowsLeft -= int32_t(rows);
  }
  return true;
}

// Reads, expands and writes every row. The rows that lie whole in the input
// buffer and fit the free output buffer are expanded there, as many at once
// as both hold, with no copy and no call per row. A row that crosses the end
// of either buffer (or is longer than it) goes through the row buffers:
// read into inputRow, expanded into outputRow, written from there, so that
// both streams always move whole buffers.
//
// The result is the same as reading every row into inputRow: before a row
// is read there, inputRow takes the row before it. So when the file ends
// inside a row, the bytes it no longer delivers keep the previous row's, and
// once it has ended every row left is that same row. A short read at end of
// file is not an error. False on a read error or a failed write.
bool ConvertRows(InputStream* input, OutputStream* output, const Geometry& g, uint8_t* inputRow,
                 uint8_t* outputRow) {
  // Rows of width 0 hold no bytes: there is nothing to read or write, however
  // many the header claims.
  if (g.outputStride == 0) return true;
  size_t inStride = g.inputStride;
  size_t outStride = g.outputStride;
  const uint8_t* previous = nullptr;  // the last row, when it lies in the input buffer
  int32_t row = 0;
  while (row < g.height) {
    const uint8_t* data = nullptr;
    size_t available = 0;
    uint8_t* space = nullptr;
    size_t free = 0;
    StreamBuffered(input, &data, &available);
    if (!StreamFree(output, &space, &free)) return false;
    size_t rows = free / outStride;
    if (available / inStride < rows) rows = available / inStride;
    if (size_t(g.height - row) < rows) rows = size_t(g.height - row);
    if (rows > 0) {
      ExpandRows(data, inStride, space, outStride, rows, g.width, BackgroundLevel);
      StreamConsume(input, rows * inStride);
      StreamCommit(output, rows * outStride);
      previous = data + (rows - 1) * inStride;
      row += int32_t(rows);
      continue;
    }
    if (previous != nullptr) std::memcpy(inputRow, previous, inStride);
    previous = nullptr;
    size_t delivered = 0;
    if (!StreamRead(input, inputRow, inStride, &delivered)) return false;
    if (delivered < inStride) return RepeatLastRow(output, g, inputRow, outputRow, g.height - row);
    ExpandRow(inputRow, outputRow, g.width, BackgroundLevel);
    if (!StreamWrite(output, outputRow, outStride)) return false;
    ++row;
  }
  return true;
}

// Reads and checks the headers and moves to the pixel rows. False, with
// nothing created, for every input that is refused.
bool ReadHeaders(InputStream* input, BitmapFileHeader* fileHeader, BitmapInfoHeader* infoHeader,
                 Geometry* geometry) {
  uint8_t headers[kHeadersSize];
  size_t delivered = 0;
  if (!StreamRead(input, headers, sizeof headers, &delivered)) return false;
  if (delivered != sizeof headers) return false;  // too short to be a bitmap
  *fileHeader = DecodeFileHeader(headers);
  *infoHeader = DecodeInfoHeader(headers + kFileHeaderSize);
  if (!CheckHeaders(*fileHeader, *infoHeader, geometry)) return false;
  return SkipToPixels(input, fileHeader->bfOffBits);
}

// Creates the output and writes it in full. Returns 1 on success; otherwise
// removes whatever was created and returns 0.
int WriteOutput(InputStream* input, const char* outputPath, const BitmapFileHeader& fileHeader,
                const BitmapInfoHeader& infoHeader, const Geometry& geometry, uint8_t* inputRow,
                uint8_t* outputRow) {
  OutputStream output;
  if (!StreamCreateOutput(&output, outputPath)) return 0;
  uint8_t prefix[kOutputPixelOffset];
  BuildOutputPrefix(fileHeader, infoHeader, geometry, prefix);
  bool written = StreamWrite(&output, prefix, sizeof prefix) &&
                 ConvertRows(input, &output, geometry, inputRow, outputRow);
  // A failed close (the last buffered bytes not written, or not stored)
  // means the data did not all reach the file: like a failed write, the
  // output is removed rather than left looking like a good one.
  bool closed = StreamCloseOutput(&output);
  if (written && closed) return 1;
  PlatformRemove(outputPath);
  return 0;
}

}  // namespace

bool OutputName(const char* path, PathBuffer* output) {
  if (!CopyPath(output, path)) return false;
  size_t length = std::strlen(output->text);
  size_t nameStart = length;
  while (nameStart > 0 && !PlatformIsSeparator(output->text[nameStart - 1])) --nameStart;
  // Replacing three characters of a shorter name would reach into the
  // directory part, or before the path itself.
  if (length - nameStart < kSuffixLength) {
    output->text[0] = '\0';
    return false;
  }
  std::memcpy(output->text + length - kSuffixLength, kOutputSuffix, kSuffixLength);
  return true;
}

int ConvertFile(const char* path) {
  std::printf("%s\n", path);

  PathBuffer outputPath;
  if (!OutputName(path, &outputPath)) return 0;

  InputStream input;
  if (!StreamOpenInput(&input, path)) return 0;

  int result = 0;
  BitmapFileHeader fileHeader;
  BitmapInfoHeader infoHeader;
  Geometry geometry;
  if (ReadHeaders(&input, &fileHeader, &infoHeader, &geometry)) {
    // Both rows carry four spare bytes: the expansion reads one byte past a
    // row whose width is a multiple of 32 and writes two past one whose
    // width is a multiple of 16. Zero-filled, so bytes a truncated file never
    // delivers read as clear pixels, and bytes the expansion never writes
    // stay 0. Both are obtained before the output is created.
    auto* inputRow = static_cast<uint8_t*>(std::calloc(size_t(geometry.inputStride) + 4, 1));
    auto* outputRow = static_cast<uint8_t*>(std::calloc(size_t(geometry.outputStride) + 4, 1));
    if (inputRow != nullptr && outputRow != nullptr) {
      result = WriteOutput(&input, outputPath.text, fileHeader, infoHeader, geometry, inputRow,
                           outputRow);
    }
    std::free(inputRow);
    std::free(outputRow);
  }
  StreamCloseInput(&input);
  return result;
}
