// The platform layer over MemoryDisk. Semantics follow the real backends:
// exclusive opens, reads that deliver what is left at end of file and keep
// the rest of the buffer, writes that fail when not all bytes fit.
#include "fuzz/memory_platform.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

MemoryDisk gMemoryDisk;

struct PlatformFile {
  bool isOutput;
  size_t position;  // read position in the input
};

struct PlatformListing {
  int unused;
};

const char kPathSeparator = '/';

bool PlatformIsSeparator(char c) { return c == '/'; }

void ResetMemoryDisk(const char* inputPath, const uint8_t* data, size_t size, size_t faultingRead,
                     size_t writeCap) {
  gMemoryDisk = MemoryDisk();
  gMemoryDisk.inputPath = inputPath;
  gMemoryDisk.inputData = data;
  gMemoryDisk.inputSize = size;
  gMemoryDisk.faultingRead = faultingRead;
  gMemoryDisk.writeCap = writeCap;
}

namespace {

PlatformFile* NewHandle(bool isOutput) {
  auto* file = static_cast<PlatformFile*>(std::malloc(sizeof(PlatformFile)));
  if (file == nullptr) std::abort();
  file->isOutput = isOutput;
  file->position = 0;
  ++gMemoryDisk.openHandles;
  return file;
}

}  // namespace

PlatformFile* PlatformOpenForReading(const char* path) {
  MemoryDisk& disk = gMemoryDisk;
  if (disk.inputPath != path || disk.inputOpen) return nullptr;
  disk.inputOpen = true;
  return NewHandle(false);
}

PlatformFile* PlatformCreateForWriting(const char* path) {
  MemoryDisk& disk = gMemoryDisk;
  // The input is held open without sharing: creating it again fails and
  // truncates nothing. So does a second open of the written file.
  if (disk.inputPath == path || disk.outputOpen) return nullptr;
  // Only one written file fits this disk: a second name would be a fault
  // of the conversion, which writes one output per input.
  if (disk.outputEverCreated && disk.outputPath != path) std::abort();
  disk.outputPath = path;
  disk.output.clear();
  disk.outputOpen = true;
  disk.outputExists = true;
  disk.outputEverCreated = true;
  return NewHandle(true);
}

bool PlatformRead(PlatformFile* file, void* buffer, size_t count, size_t* delivered) {
  MemoryDisk& disk = gMemoryDisk;
  if (file->isOutput) std::abort();  // the output is opened for writing only
  *delivered = 0;
  if (disk.readCalls++ == disk.faultingRead) {
    disk.readFaultDelivered = true;
    return false;
  }
  size_t left = disk.inputSize - file->position;
  size_t n = count < left ? count : left;
  if (n > 0) std::memcpy(buffer, disk.inputData + file->position, n);
  file->position += n;
  *delivered = n;
  return true;
}

bool PlatformWrite(PlatformFile* file, const void* buffer, size_t count) {
  MemoryDisk& disk = gMemoryDisk;
  if (!file->isOutput) std::abort();  // the input must never be written
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  size_t room = disk.writeCap - disk.output.size();
  size_t n = count < room ? count : room;
  disk.output.insert(disk.output.end(), bytes, bytes + n);
  if (n < count) {
    disk.writeFaultDelivered = true;
    return false;
  }
  return true;
}

bool PlatformClose(PlatformFile* file) {
  MemoryDisk& disk = gMemoryDisk;
  bool stored = true;
  if (file->isOutput) {
    disk.outputOpen = false;
    if (disk.failOutputClose) {
      disk.closeFaultDelivered = true;
      stored = false;
    }
  } else {
    disk.inputOpen = false;
  }
  --disk.openHandles;
  std::free(file);
  return stored;
}

bool PlatformRemove(const char* path) {
  MemoryDisk& disk = gMemoryDisk;
  if (!disk.outputExists || disk.outputPath != path) return false;
  disk.outputExists = false;
  disk.output.clear();
  return true;
}

// The harness converts named files only; no folder can be listed.
PlatformListing* PlatformOpenListing(const char*) { return nullptr; }

bool PlatformNextEntry(PlatformListing*, PlatformEntry*) { return false; }

void PlatformCloseListing(PlatformListing*) {}
