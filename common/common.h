// The two things every part of grizzen shares.
#pragma once

#include <cstddef>

// The palette index given to clear source pixels: 1 (dark grey) at start,
// 2 (light grey) after the level option. Only its low two bits are used.
// Clear pixels are never black, so it is never 0.
extern int BackgroundLevel;

// The longest path the system accepts, terminating zero included (MAX_PATH).
constexpr size_t kMaxPath = 260;

// One zero-terminated path of at most kMaxPath - 1 characters.
struct PathBuffer {
  char text[kMaxPath];
};

// Copies path into buffer. Returns false, leaving the buffer empty, when the
// path does not fit: a path is never truncated, since the shortened name
// could be that of another file.
bool CopyPath(PathBuffer* buffer, const char* path);

// Joins directory, separator and name into buffer. Returns false, leaving the
// buffer empty, when the joined path does not fit.
bool JoinPath(PathBuffer* buffer, const char* directory, char separator, const char* name);
