// Small file-system services of the copy page and the system update page: whether a folder
// exists, creating a folder with every missing parent (each noted in the run's record first).
#pragma once

#include "script/records.h"

// Most directories one CreateDirectoryTree call creates; a path with more missing levels
// fails before anything is created.
constexpr int kMaxCreatedDirectories = 40;

// The directories the last CreateDirectoryTree call created, in the order of creation, each
// without a trailing backslash.
extern char CreatedDirectories[kMaxCreatedDirectories][kPathChars];
extern int CreatedDirectoryCount;

// 1 when the path can be made the current directory (the current directory is restored).
// 0 also when the current directory cannot be read.
int DirectoryExists(const char* path);

// Creates every missing directory of the path, outermost first, and records them in
// CreatedDirectories. 1 when the whole path was created by this call; 0 when it already
// existed, a level could not be created, or more than kMaxCreatedDirectories levels are
// missing. Then writes one "CreatedDir:" log line per created directory, deepest first (lost
// while no log is open).
int CreateDirectoryTree(const char* path);

// Writes the "CreatedDir:" lines of the last CreateDirectoryTree call, deepest first.
void LogCreatedDirectories();
