// The drive table: free room and the room the selected options need, per drive letter.
// The options page reads the table directly.
#pragma once
#include <cstdint>

struct HWND__;
typedef HWND__* HWND;

constexpr int kDriveCount = 26;  // index 0 is drive A, 25 is drive Z

struct DriveInfo {
  uint64_t FreeBytes;     // free bytes; 0 when the drive is not usable
  int64_t RequiredBytes;  // the most the copy of the selection needs here at any moment
  int Usable;             // exists, is fixed or remote, and its free space could be read
};

extern DriveInfo DriveTable[kDriveCount];

// Rebuilds FreeBytes and Usable of every drive and clears every RequiredBytes.
void RefreshDrives();
// Room the record of a run takes per file at most: its notes before and after the copy.
constexpr int64_t kUndoNoteBytes = 640;

// Clears every RequiredBytes and sums the current selection into the table, with the record of
// the run and the uninstaller (SetupProgramBytes) on the install folder's drive.
void ComputeRequiredSpace();
// 1 when no drive is short of room; otherwise warns (box owned by owner), refreshes the table
// and its requirements, and returns 0.
int CheckFreeSpace(HWND owner);

// Portable pieces of the above.
// Free bytes from the figures of the free-space query, in full 64 bits (saturating).
uint64_t FreeSpaceBytes(uint32_t bytesPerSector, uint32_t sectorsPerCluster, uint32_t freeClusters);
// Index of the drive a path lies on: 0..25 when it starts with a letter and a colon, else -1.
int DriveIndexOfPath(const char* path);
// Index of the first drive that needs more than it has free, or -1 when none is short.
int FirstShortDrive();
// Kilobytes shown for a number of bytes still needed: rounded up, never below 0.
int64_t RequiredKilobytes(int64_t bytes);
// Kilobytes shown for the free bytes of a drive: the bytes shifted down by 10 bits, whole
// (a drive with more than 2 TiB free is shown as it is, not through 32 bits).
int64_t FreeKilobytes(uint64_t bytes);
// "<n>KB" for the figures of the options page.
void FormatKilobytes(char (&text)[32], int64_t kilobytes);

// The text of the warning shown when a drive is short.
extern const char kFreeSpaceWarning[];
extern const char kFreeSpaceWarningCaption[];
