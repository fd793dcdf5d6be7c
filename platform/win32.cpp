// The platform layer over the Windows API (kernel32).
//
// Every file is opened with share mode 0: while one handle is open, no other
// open of the same file succeeds, whatever the letter case of the name used
// (PIC.GZN and pic.gzn are one file here), by this process or another. That
// is what keeps an output from ever being its own input. Outputs are opened
// without truncation and emptied only once the handle is held and known to
// be a disk file, so a refused output is never damaged.
//
// Paths: the backslash is written between directory and name; the slash is
// accepted as well, and the colon of a drive ("C:pic.bmp") ends the directory
// part too, so a file name never reaches back into a drive prefix.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

struct PlatformFile {
  HANDLE handle;
};

struct PlatformListing {
  HANDLE search;             // INVALID_HANDLE_VALUE for a directory with no entries at all
  WIN32_FIND_DATAA pending;  // the entry FindFirstFileA delivered, not yet handed out
  bool hasPending;
};

const char kPathSeparator = '\\';

bool PlatformIsSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

namespace {

// ReadFile and WriteFile take a 32-bit count; larger requests go in pieces.
constexpr size_t kMaxTransfer = 0x40000000;

// A handle the tool may work on: a file on disk, not a directory. Devices
// (NUL, CON, COM1), pipes and consoles report another file type and are
// refused before anything is read from or written to them.
bool IsDiskFile(HANDLE handle) {
  if (GetFileType(handle) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(handle, &information)) return false;
  return (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

PlatformFile* WrapHandle(HANDLE handle) {
  auto* file = static_cast<PlatformFile*>(std::malloc(sizeof(PlatformFile)));
  if (file == nullptr) {
    CloseHandle(handle);
    return nullptr;
  }
  file->handle = handle;
  return file;
}

// Empties a file just opened for writing: moves to its start and cuts it there.
bool Truncate(HANDLE handle) {
  LARGE_INTEGER start;
  start.QuadPart = 0;
  return SetFilePointerEx(handle, start, nullptr, FILE_BEGIN) && SetEndOfFile(handle);
}

}  // namespace

PlatformFile* PlatformOpenForReading(const char* path) {
  HANDLE handle =
      CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  if (!IsDiskFile(handle)) {
    CloseHandle(handle);
    return nullptr;
  }
  return WrapHandle(handle);
}

PlatformFile* PlatformCreateForWriting(const char* path) {
  // OPEN_ALWAYS rather than CREATE_ALWAYS: the file is emptied only after it
  // is known to be a disk file held by this handle alone, and a file this
  // call brought into being can be removed again if it is refused.
  HANDLE handle =
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  bool created = GetLastError() != ERROR_ALREADY_EXISTS;
  if (!IsDiskFile(handle) || !Truncate(handle)) {
    CloseHandle(handle);
    if (created) DeleteFileA(path);
    return nullptr;
  }
  PlatformFile* file = WrapHandle(handle);
  if (file == nullptr && created) DeleteFileA(path);
  return file;
}

bool PlatformRead(PlatformFile* file, void* buffer, size_t count, size_t* delivered) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  size_t total = 0;
  while (total < count) {
    size_t want = count - total < kMaxTransfer ? count - total : kMaxTransfer;
    DWORD got = 0;
    if (!ReadFile(file->handle, bytes + total, DWORD(want), &got, nullptr)) {
      *delivered = total;
      return false;
    }
    if (got == 0) break;  // end of file
    total += got;
  }
  *delivered = total;
  return true;
}

bool PlatformWrite(PlatformFile* file, const void* buffer, size_t count) {
  auto* bytes = static_cast<const unsigned char*>(buffer);
  size_t total = 0;
  while (total < count) {
    size_t want = count - total < kMaxTransfer ? count - total : kMaxTransfer;
    DWORD put = 0;
    if (!WriteFile(file->handle, bytes + total, DWORD(want), &put, nullptr) || put == 0) {
      return false;
    }
    total += put;
  }
  return true;
}

bool PlatformClose(PlatformFile* file) {
  bool closed = CloseHandle(file->handle) != 0;
  std::free(file);
  return closed;
}

bool PlatformRemove(const char* path) { return DeleteFileA(path) != 0; }

PlatformListing* PlatformOpenListing(const char* directory) {
  // The directory plus "\*.*" matches every entry. Joined here, not by the
  // caller, because only this system lists through a pattern.
  static const char kMatchAll[] = "\\*.*";
  size_t length = std::strlen(directory);
  char pattern[MAX_PATH];
  if (length + sizeof kMatchAll > sizeof pattern) return nullptr;
  std::memcpy(pattern, directory, length);
  std::memcpy(pattern + length, kMatchAll, sizeof kMatchAll);

  auto* listing = static_cast<PlatformListing*>(std::malloc(sizeof(PlatformListing)));
  if (listing == nullptr) return nullptr;
  listing->search = FindFirstFileA(pattern, &listing->pending);
  listing->hasPending = listing->search != INVALID_HANDLE_VALUE;
  // A drive's root holds no "." or "..": when it is empty, the search finds
  // nothing at all, which is an empty listing, not a failure.
  if (!listing->hasPending && GetLastError() != ERROR_FILE_NOT_FOUND) {
    std::free(listing);
    return nullptr;
  }
  return listing;
}

bool PlatformNextEntry(PlatformListing* listing, PlatformEntry* entry) {
  if (!listing->hasPending) {
    if (listing->search == INVALID_HANDLE_VALUE) return false;
    if (!FindNextFileA(listing->search, &listing->pending)) return false;
  }
  listing->hasPending = false;
  const WIN32_FIND_DATAA& found = listing->pending;
  // cFileName holds MAX_PATH characters, terminating zero included, exactly
  // as many as the entry's name.
  static_assert(sizeof found.cFileName == sizeof entry->name, "names must fit");
  std::memcpy(entry->name, found.cFileName, sizeof entry->name);
  entry->name[sizeof entry->name - 1] = '\0';
  // A directory that is a reparse point (a symbolic link or a junction) may
  // lead back up the tree: it is reported as a link and never descended.
  if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    entry->kind = kEntryFile;
  } else if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    entry->kind = kEntryDirectoryLink;
  } else {
    entry->kind = kEntryDirectory;
  }
  return true;
}

void PlatformCloseListing(PlatformListing* listing) {
  if (listing->search != INVALID_HANDLE_VALUE) FindClose(listing->search);
  std::free(listing);
}
