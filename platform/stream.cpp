// Buffered streams over the platform layer's raw reads and writes. No system
// header here: this file is built for every system, over whichever backend
// that system has.
#include "platform/stream.h"

#include <cstdlib>
#include <cstring>

namespace {

size_t Smaller(size_t a, size_t b) { return a < b ? a : b; }

// Reads into the free end of the buffer, as much as fits. A read that
// delivers nothing marks the end of the file; bytes delivered before an
// error stay buffered.
bool ReadMore(InputStream* stream) {
  size_t delivered = 0;
  bool read = PlatformRead(stream->file, stream->buffer + stream->end,
                           stream->capacity - stream->end, &delivered);
  stream->end += delivered;
  if (read && delivered == 0) stream->ended = true;
  return read;
}

// Writes out every buffered byte. Once a write has failed, nothing more is
// written: the bytes after a gap would land in the wrong place.
bool Flush(OutputStream* stream) {
  if (stream->failed) return false;
  if (stream->used > 0 && !PlatformWrite(stream->file, stream->buffer, stream->used)) {
    stream->failed = true;
  }
  stream->used = 0;
  return !stream->failed;
}

}  // namespace

bool StreamOpenInput(InputStream* stream, const char* path, size_t capacity) {
  auto* buffer = static_cast<uint8_t*>(std::malloc(capacity));
  if (buffer == nullptr) return false;
  PlatformFile* file = PlatformOpenForReading(path);
  if (file == nullptr) {
    std::free(buffer);
    return false;
  }
  *stream = InputStream{file, buffer, capacity, 0, 0, false};
  return true;
}

bool StreamRead(InputStream* stream, void* buffer, size_t count, size_t* delivered) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  size_t total = 0;
  bool read = true;
  while (total < count) {
    size_t buffered = stream->end - stream->start;
    if (buffered > 0) {
      size_t take = Smaller(buffered, count - total);
      std::memcpy(bytes + total, stream->buffer + stream->start, take);
      stream->start += take;
      total += take;
      continue;
    }
    if (stream->ended) break;
    stream->start = stream->end = 0;
    if (count - total >= stream->capacity) {
      // Too large to gain from the buffer: straight into the caller's.
      size_t got = 0;
      read = PlatformRead(stream->file, bytes + total, count - total, &got);
      total += got;
      if (read && got == 0) stream->ended = true;
    } else {
      read = ReadMore(stream);
    }
    if (!read) break;
  }
  *delivered = total;
  return read;
}

void StreamBuffered(const InputStream* stream, const uint8_t** data, size_t* available) {
  *data = stream->buffer + stream->start;
  *available = stream->end - stream->start;
}

void StreamConsume(InputStream* stream, size_t count) { stream->start += count; }

void StreamCloseInput(InputStream* stream) {
  PlatformClose(stream->file);
  std::free(stream->buffer);
  *stream = InputStream{};
}

bool StreamCreateOutput(OutputStream* stream, const char* path, size_t capacity) {
  auto* buffer = static_cast<uint8_t*>(std::malloc(capacity));
  if (buffer == nullptr) return false;
  PlatformFile* file = PlatformCreateForWriting(path);
  if (file == nullptr) {
    std::free(buffer);
    return false;
  }
  *stream = OutputStream{file, buffer, capacity, 0, false};
  return true;
}

bool StreamWrite(OutputStream* stream, const void* buffer, size_t count) {
  auto* bytes = static_cast<const uint8_t*>(buffer);
  while (count > 0 && !stream->failed) {
    if (stream->used == 0 && count >= stream->capacity) {
      // Too large to gain from the buffer: straight from the caller's.
      if (!PlatformWrite(stream->file, bytes, count)) stream->failed = true;
      break;
    }
    size_t take = Smaller(count, stream->capacity - stream->used);
    std::memcpy(stream->buffer + stream->used, bytes, take);
    stream->used += take;
    bytes += take;
    count -= take;
    if (stream->used == stream->capacity) Flush(stream);
  }
  return !stream->failed;
}

bool StreamFree(OutputStream* stream, uint8_t** space, size_t* available) {
  *space = stream->buffer + stream->used;
  *available = stream->capacity - stream->used;
  return !stream->failed;
}

void StreamCommit(OutputStream* stream, size_t count) { stream->used += count; }

bool StreamCloseOutput(OutputStream* stream) {
  bool flushed = Flush(stream);
  bool closed = PlatformClose(stream->file);
  std::free(stream->buffer);
  *stream = OutputStream{};
  return flushed && closed;
}
