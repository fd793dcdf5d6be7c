// The thin layer between grizzen's logic and the operating system: files,
// directory listings and path separators. Nothing above this header includes
// a system header; each system has one backend file that implements it.
#pragma once

#include <cstddef>

// An open file. Opaque: only the backend knows what it holds.
struct PlatformFile;

// Opens an existing regular file for reading, exclusively: while it is open,
// no other open of the same file (by this process or another) succeeds.
// Fails, without blocking, for anything that is not a regular file.
// Returns nullptr on failure.
PlatformFile* PlatformOpenForReading(const char* path);

// Creates a regular file for writing, or empties an existing one, exclusively
// as above. Fails when the file is already held open (the input itself under
// another name, or another run converting the same file); in that case
// nothing of the existing file is truncated. Returns nullptr on failure.
PlatformFile* PlatformCreateForWriting(const char* path);

// Reads up to count bytes. At end of file it succeeds delivering fewer bytes
// or none; bytes not delivered leave the buffer as it was. Returns false only
// on an error.
bool PlatformRead(PlatformFile* file, void* buffer, size_t count, size_t* delivered);

// Writes all count bytes. Returns false when any of them could not be written
// (a full disk, an I/O error).
bool PlatformWrite(PlatformFile* file, const void* buffer, size_t count);

// Closes the file. Returns false when data written to it could not be
// stored; the handle is released either way.
bool PlatformClose(PlatformFile* file);

// Removes the file at path; used to take back an output that could not be
// written in full. Returns false when it could not be removed.
bool PlatformRemove(const char* path);

// One open directory listing.
struct PlatformListing;

enum PlatformEntryKind {
  kEntryFile,            // anything that is not a directory, links to files included
  kEntryDirectory,       // a real directory
  kEntryDirectoryLink,   // a link to a directory: never followed
};

// One entry of a listing: its bare name and what it is.
struct PlatformEntry {
  char name[260];
  PlatformEntryKind kind;
};

// Starts listing every entry of a directory, "." and ".." included, in the
// file system's own order. Returns nullptr when the directory cannot be listed.
PlatformListing* PlatformOpenListing(const char* directory);

// Delivers the next entry; false at the end of the listing.
bool PlatformNextEntry(PlatformListing* listing, PlatformEntry* entry);

void PlatformCloseListing(PlatformListing* listing);

// The separator this system puts between a directory and a name.
extern const char kPathSeparator;

// Whether c separates directories in a path on this system.
bool PlatformIsSeparator(char c);
