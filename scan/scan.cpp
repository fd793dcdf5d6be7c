#include "scan/scan.h"

#include <cstring>

#include "common/common.h"
#include "convert/convert.h"
#include "platform/platform.h"

namespace {

constexpr char kInputSuffix[] = ".bmp";
constexpr size_t kInputSuffixLength = 4;
// Listing a directory takes its path plus four characters (a separator and
// a match-everything pattern on some systems), so a directory path longer
// than this cannot be listed on every system.
constexpr size_t kMaxDirectoryPath = kMaxPath - 1 - 4;

bool IsDotEntry(const char* name) {
  return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

bool HasInputSuffix(const char* name) {
  size_t length = std::strlen(name);
  return length >= kInputSuffixLength &&
         std::memcmp(name + length - kInputSuffixLength, kInputSuffix, kInputSuffixLength) == 0;
}

}  // namespace

int ScanDirectory(const char* directory) {
  if (std::strlen(directory) > kMaxDirectoryPath) return -1;
  PlatformListing* listing = PlatformOpenListing(directory);
  if (listing == nullptr) return -1;

  PlatformEntry entry;
  PathBuffer path;
  while (PlatformNextEntry(listing, &entry)) {
    if (IsDotEntry(entry.name)) continue;
    // A directory is descended into even when its name ends in ".bmp". A
    // link to one is passed over, so that a link cycle cannot loop. Paths
    // too long for a PathBuffer are passed over silently.
    if (entry.kind == kEntryDirectory) {
      if (JoinPath(&path, directory, kPathSeparator, entry.name)) ScanDirectory(path.text);
    } else if (entry.kind == kEntryFile && HasInputSuffix(entry.name)) {
      if (JoinPath(&path, directory, kPathSeparator, entry.name)) ConvertFile(path.text);
    }
  }
  PlatformCloseListing(listing);
  return 0;
}
