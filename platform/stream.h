// Buffered reading and writing over the platform layer's files. Built only
// on the functions of platform.h, so every system gets it unchanged: the
// number of system calls depends on the bytes moved, not on how many pieces
// the caller moves them in.
//
// Each stream owns one fixed buffer, obtained when the file is opened and
// released when it is closed, and moves whole buffers: the file is read and
// written one full buffer at a time (only the last write is shorter, and a
// piece longer than the buffer goes straight through), so file offsets stay
// aligned to the buffer size. The records are plain: callers may look at
// the fields, but change them only through these functions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

// The buffer of each open stream, unless the caller asks for another size.
constexpr size_t kStreamBufferSize = 64 * 1024;

struct InputStream {
  PlatformFile* file;
  uint8_t* buffer;   // capacity bytes
  size_t capacity;
  size_t start;      // first buffered byte not yet consumed
  size_t end;        // one past the last buffered byte
  bool ended;        // the file has delivered its last byte
};

struct OutputStream {
  PlatformFile* file;
  uint8_t* buffer;   // capacity bytes
  size_t capacity;
  size_t used;       // bytes waiting to be written
  bool failed;       // a write has failed: nothing more is written
};

// Opens an existing file for reading, as PlatformOpenForReading does, and
// obtains its buffer. False, with nothing left open, on failure.
bool StreamOpenInput(InputStream* stream, const char* path,
                     size_t capacity = kStreamBufferSize);

// Reads up to count bytes, with the contract of PlatformRead: at end of file
// it succeeds delivering fewer bytes or none, bytes not delivered leave the
// buffer as it was, and it returns false only on an error.
bool StreamRead(InputStream* stream, void* buffer, size_t count, size_t* delivered);

// Offers the bytes already buffered, without reading: *data points at them
// and *available says how many there are (possibly none). They stay in
// place until the next read on the stream.
void StreamBuffered(const InputStream* stream, const uint8_t** data, size_t* available);

// Consumes count of the bytes StreamBuffered offered.
void StreamConsume(InputStream* stream, size_t count);

// Closes the file and releases the buffer.
void StreamCloseInput(InputStream* stream);

// Creates or empties a file for writing, as PlatformCreateForWriting does,
// and obtains its buffer. False, with nothing left open, on failure.
bool StreamCreateOutput(OutputStream* stream, const char* path,
                        size_t capacity = kStreamBufferSize);

// Writes count bytes. False when the bytes, or any earlier ones, could not
// be written.
bool StreamWrite(OutputStream* stream, const void* buffer, size_t count);

// Offers the free part of the buffer, without writing: *space points at it
// and *available says how many bytes it holds. The caller fills some of them
// and passes them on with StreamCommit. False when a write has failed.
bool StreamFree(OutputStream* stream, uint8_t** space, size_t* available);

// Passes on count bytes that the caller put at the start of the free space.
// They are written out when the buffer is next found full by StreamWrite, or
// at close.
void StreamCommit(OutputStream* stream, size_t count);

// Writes out what is buffered, closes the file and releases the buffer.
// False when any byte written to the stream could not be stored; the file
// is closed either way.
bool StreamCloseOutput(OutputStream* stream);
