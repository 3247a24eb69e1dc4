// Whether an installed file is current: its version resource against the version a file
// entry states.
#pragma once
#include <cstdint>

struct FileEntry;

// 1 when the installed file's version (a.b.c.d packed as in a version resource: ms = a<<16|b,
// ls = c<<16|d) is at least the given one. 0 in "/ALL" mode, for a missing file, for a file
// without a version resource and on any failure. The entry's file time (low half in the low
// 32 bits) takes no part in the decision.
int IsInstalledCurrent(const char* path, uint32_t versionMS, uint32_t versionLS, uint64_t fileTime);
// The same for a file entry's stated version and date.
int IsEntryInstalledCurrent(const char* path, const FileEntry* entry);

// The comparison alone: 1 when installed ms.ls, read as one 64-bit number, is >= wanted ms.ls.
int VersionAtLeast(uint32_t installedMS, uint32_t installedLS, uint32_t wantedMS, uint32_t wantedLS);
