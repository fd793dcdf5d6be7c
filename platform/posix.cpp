// The platform layer over POSIX.
//
// The system this tool was first written for opens files without sharing:
// while one handle is open, no other open of the same file succeeds. Here
// that is an exclusive, non-blocking flock() on every file the tool opens.
// Because flock() locks belong to each open of a file, a second open of the
// input by this very process (the output named pic.gzn, a hard link, a
// symbolic link) cannot take the lock, and neither can another run busy with
// the same file. Outputs are opened without truncation and emptied only once
// their lock is held, so a refused output is never damaged.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

struct PlatformFile {
  int fd;
};

struct PlatformListing {
  DIR* dir;
};

const char kPathSeparator = '/';

bool PlatformIsSeparator(char c) { return c == '/'; }

namespace {

// Everything the tool opens is opened non-blocking, so that a FIFO or a
// device never stalls the run before it is found not to be a regular file.
constexpr int kOpenFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

bool IsRegularFile(int fd) {
  struct stat status;
  return fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

// Exclusive and without waiting: a file held by another open is refused.
bool Lock(int fd) { return flock(fd, LOCK_EX | LOCK_NB) == 0; }

// Ordinary reads and writes block once the file is known to be regular.
bool MakeBlocking(int fd) {
  int flags = fcntl(fd, F_GETFL);
  return flags != -1 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

}  // namespace

PlatformFile* PlatformOpenForReading(const char* path) {
  auto* file = static_cast<PlatformFile*>(std::malloc(sizeof(PlatformFile)));
  if (file == nullptr) return nullptr;
  int fd = open(path, O_RDONLY | kOpenFlags);
  if (fd != -1 && IsRegularFile(fd) && Lock(fd) && MakeBlocking(fd)) {
    file->fd = fd;
    return file;
  }
  if (fd != -1) close(fd);
  std::free(file);
  return nullptr;
}

PlatformFile* PlatformCreateForWriting(const char* path) {
  auto* file = static_cast<PlatformFile*>(std::malloc(sizeof(PlatformFile)));
  if (file == nullptr) return nullptr;
  // Try to create the file first, so that a file this call brought into
  // being can be removed again if it cannot be used.
  bool created = true;
  int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | kOpenFlags, 0666);
  if (fd == -1 && errno == EEXIST) {
    created = false;
    fd = open(path, O_WRONLY | kOpenFlags);
  }
  if (fd == -1) {
    std::free(file);
    return nullptr;
  }
  // A file this call created is empty already. Emptying it anyway would cost
  // at close: some file systems take a truncation to zero as the sign of a
  // file being replaced and write all its data out before close returns.
  bool locked = IsRegularFile(fd) && Lock(fd);
  if (locked && MakeBlocking(fd) && (created || ftruncate(fd, 0) == 0)) {
    file->fd = fd;
    return file;
  }
  // Removed only while its lock is held: without it, another run that
  // opened the new file in the meantime may be writing it now.
  if (created && locked) unlink(path);
  close(fd);
  std::free(file);
  return nullptr;
}

bool PlatformRead(PlatformFile* file, void* buffer, size_t count, size_t* delivered) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  size_t total = 0;
  while (total < count) {
    ssize_t got = read(file->fd, bytes + total, count - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *delivered = total;
      return false;
    }
    if (got == 0) break;  // end of file
    total += size_t(got);
  }
  *delivered = total;
  return true;
}

bool PlatformWrite(PlatformFile* file, const void* buffer, size_t count) {
  auto* bytes = static_cast<const unsigned char*>(buffer);
  size_t total = 0;
  while (total < count) {
    ssize_t put = write(file->fd, bytes + total, count - total);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    total += size_t(put);
  }
  return true;
}

bool PlatformClose(PlatformFile* file) {
  bool closed = close(file->fd) == 0;
  std::free(file);
  return closed;
}

bool PlatformRemove(const char* path) { return unlink(path) == 0; }

PlatformListing* PlatformOpenListing(const char* directory) {
  DIR* dir = opendir(directory);
  if (dir == nullptr) return nullptr;
  auto* listing = static_cast<PlatformListing*>(std::malloc(sizeof(PlatformListing)));
  if (listing == nullptr) {
    closedir(dir);
    return nullptr;
  }
  listing->dir = dir;
  return listing;
}

namespace {

// What an entry is, asking the file system only when the listing does not
// say. A link is classed by what it points to, but never followed into.
PlatformEntryKind ClassifyEntry(DIR* dir, const struct dirent* entry) {
  unsigned char type = entry->d_type;
  struct stat status;
  if (type == DT_UNKNOWN) {
    if (fstatat(dirfd(dir), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) return kEntryFile;
    if (S_ISDIR(status.st_mode)) return kEntryDirectory;
    if (S_ISLNK(status.st_mode)) type = DT_LNK;
  }
  if (type == DT_DIR) return kEntryDirectory;
  if (type == DT_LNK && fstatat(dirfd(dir), entry->d_name, &status, 0) == 0 &&
      S_ISDIR(status.st_mode)) {
    return kEntryDirectoryLink;
  }
  return kEntryFile;
}

}  // namespace

bool PlatformNextEntry(PlatformListing* listing, PlatformEntry* entry) {
  for (;;) {
    const struct dirent* found = readdir(listing->dir);
    if (found == nullptr) return false;
    size_t length = std::strlen(found->d_name);
    if (length >= sizeof entry->name) continue;  // cannot be named in a path anyway
    std::memcpy(entry->name, found->d_name, length + 1);
    entry->kind = ClassifyEntry(listing->dir, found);
    return true;
  }
}

void PlatformCloseListing(PlatformListing* listing) {
  closedir(listing->dir);
  std::free(listing);
}
