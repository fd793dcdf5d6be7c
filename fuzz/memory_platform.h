// An in-memory stand-in for the platform layer, for the fuzz harness only.
//
// It holds one input file (borrowed bytes) and at most one written file.
// Faults are injected on request: a read that reports an error, writes that
// fail once the written file would grow past a cap, as on a full disk, and a
// close of the written file that fails.
// It records what the conversion did, so the harness can check that every
// failure left nothing behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kNoFault = SIZE_MAX;

struct MemoryDisk {
  // The one input file.
  std::string inputPath;
  const uint8_t* inputData = nullptr;
  size_t inputSize = 0;
  bool inputOpen = false;
  // The read call (counted from 0) that reports an error, or kNoFault.
  size_t faultingRead = kNoFault;
  size_t readCalls = 0;
  bool readFaultDelivered = false;

  // The one written file, under whatever name the conversion chose.
  std::string outputPath;
  std::vector<uint8_t> output;
  bool outputOpen = false;
  bool outputExists = false;
  bool outputEverCreated = false;
  size_t writeCap = SIZE_MAX;  // bytes the written file may hold
  bool writeFaultDelivered = false;
  // Whether closing the written file reports that its data was not stored.
  bool failOutputClose = false;
  bool closeFaultDelivered = false;

  int openHandles = 0;
};

// The disk the platform functions work on.
extern MemoryDisk gMemoryDisk;

// Empties the disk and puts one input file on it.
void ResetMemoryDisk(const char* inputPath, const uint8_t* data, size_t size, size_t faultingRead,
                     size_t writeCap);
