// Shared helpers for the tests: byte fixtures, temporary folders, and
// running the real binary.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Bytes written as hex pairs, spaces allowed: Hex("42 4D 00").
Bytes Hex(const std::string& text);
std::string ToHex(const Bytes& bytes);

void Put16(Bytes* bytes, size_t offset, uint16_t value);
void Put32(Bytes* bytes, size_t offset, uint32_t value);
uint32_t Get32(const Bytes& bytes, size_t offset);

// The 62-byte prefix of an ordinary monochrome bitmap: file header, a
// 40-byte info header (1 plane, 1 bit per pixel, two colours, everything
// else 0) and a black/white palette.
Bytes MonochromePrefix(int32_t width, int32_t height);

// MonochromePrefix followed by the given row bytes.
Bytes Monochrome(int32_t width, int32_t height, const std::string& rowsHex);

bool Exists(const std::string& path);
Bytes ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const Bytes& bytes);

// A fresh folder under the system's temporary folder, removed afterwards.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  // The names of every entry below the folder, relative and sorted,
  // folders marked with a trailing '/'.
  std::vector<std::string> Tree() const;
  std::string dir_;
};

struct RunResult {
  int status = -1;   // exit status, or -1 when the process did not exit normally
  std::string out;   // everything written on standard output
  std::string err;   // everything written on standard error
};

struct RunOptions {
  long fileSizeLimit = -1;  // bytes a written file may reach, as a full disk would
  // A command that runs the binary: its words come first, then
  // GRIZZEN_WRAPPER if set, the binary's path and args
  // (e.g. {"setpriv", "--reuid=65534", ...}). Looked up in PATH.
  std::vector<std::string> wrapper;
};

// Runs the grizzen binary with args in directory, without a terminal.
// GRIZZEN_BINARY in the environment names another binary, and
// GRIZZEN_WRAPPER a program that runs it (a Windows exe under Wine). A
// Windows binary must end every line of standard output with CR LF; out
// holds it with plain newlines.
RunResult RunGrizzen(const std::string& directory, const std::vector<std::string>& args,
                     const RunOptions& options = RunOptions());

// Runs body in this process with files limited to limit bytes, as on a
// nearly full disk: a write past the limit fails (EFBIG) instead of raising
// a signal. The limit is lifted again afterwards.
void WithFileSizeLimit(long limit, const std::function<void()>& body);

// Whether the binary under test is a Windows program (its name ends in
// ".exe"): its paths use the backslash and its file names ignore case.
bool TargetIsWindows();

// path as the binary under test prints it: '/' becomes '\' on Windows.
std::string NativePath(std::string path);
