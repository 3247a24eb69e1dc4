#include "install/drives.h"

#include <cstring>

#include "script/option_tree.h"
#include "script/records.h"
#include "startup/state.h"
#include "startup/text.h"

DriveInfo DriveTable[kDriveCount];

const char kFreeSpaceWarning[] =
    "Auf einem der Ziellaufwerke steht nicht genügend Speicherplatz zur Verfügung! Die hier errechneten Werte "
    "sind Absolutwerte und beziehen den durch Überschreiben bestehender Dateien freiwerdenden Speicherplatz mit "
    "ein! Das Setup-Programm kann erst dann fortgesetzt werden, wenn genügend freier Speicherplatz bereitsteht!";
const char kFreeSpaceWarningCaption[] = "Warnung";

uint64_t FreeSpaceBytes(uint32_t bytesPerSector, uint32_t sectorsPerCluster, uint32_t freeClusters) {
  // Each factor widened first: a 32-bit product of large clusters would wrap.
  uint64_t cluster = static_cast<uint64_t>(bytesPerSector) * sectorsPerCluster;
  if (cluster != 0 && freeClusters > UINT64_MAX / cluster) return UINT64_MAX;
  return cluster * freeClusters;
}

int64_t RequiredKilobytes(int64_t bytes) {
  if (bytes <= 0) return 0;
  return bytes / 1024 + (bytes % 1024 != 0);
}

int64_t FreeKilobytes(uint64_t bytes) { return static_cast<int64_t>(bytes >> 10); }

void FormatKilobytes(char (&text)[32], int64_t kilobytes) {
  FormatText(text, "%lldKB", static_cast<long long>(kilobytes));
}

int DriveIndexOfPath(const char* path) {
  if (!path) return -1;
  char c = path[0];
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  // "prog.exe" (an empty install folder) or "\\server\share" names no drive.
  if (c < 'A' || c > 'Z' || path[1] != ':') return -1;
  return c - 'A';
}

void ComputeRequiredSpace() {
  for (DriveInfo& drive : DriveTable) drive.RequiredBytes = 0;
  int64_t notes = 0;
  // The same entries as the copy's progress total: what is charged is what is copied.
  ForEachCountedEntry(OptionRoot, true, [&notes](const Option* option, const FileEntry* entry) {
    char path[kPathChars] = "";
    if (!FileEntryPath(path, option, entry)) return;
    int drive = DriveIndexOfPath(path);
    if (drive < 0) return;
    notes += kUndoNoteBytes;
    // An installed file that is replaced waits aside until the run is complete (a cancel puts it
    // back), so the new one takes its whole size; a product data file is always replaced (it
    // has no version to be current by). Only a copy that is current and kept takes the room of
    // its entry, and one larger than the new file frees none for the files around it.
    int64_t growth = CountedSize(entry) - (entry->FileKind == kKindProductData ? 0 : entry->PresentSize);
    if (growth > 0) DriveTable[drive].RequiredBytes += growth;
  });
  // The run's record and the uninstaller go into the install folder.
  int drive = DriveIndexOfPath(InstallDir);
  if (drive >= 0) DriveTable[drive].RequiredBytes += notes + SetupProgramBytes;
}

int FirstShortDrive() {
  for (int i = 0; i < kDriveCount; ++i) {
    const DriveInfo& drive = DriveTable[i];
    if (drive.RequiredBytes > 0 && drive.FreeBytes < static_cast<uint64_t>(drive.RequiredBytes)) return i;
  }
  return -1;
}
