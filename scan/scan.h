// The directory scan: converts every "*.bmp" file of a tree.
#pragma once

// Converts every file below directory whose name ends in ".bmp" (case
// matters), depth first, in the order the listing delivers entries. Links to
// directories are not followed. Returns -1 when the directory cannot be
// listed, otherwise 0.
int ScanDirectory(const char* directory);
