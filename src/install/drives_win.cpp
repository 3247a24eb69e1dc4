#include <windows.h>

#include "install/answers.h"
#include "install/drives.h"

void RefreshDrives() {
  DWORD mask = GetLogicalDrives();
  for (int i = 0; i < kDriveCount; ++i) {
    DriveInfo& drive = DriveTable[i];
    drive = DriveInfo{};
    if (!(mask & (1u << i))) continue;
    char root[] = "a:\\";
    root[0] = static_cast<char>('a' + i);
    UINT type = GetDriveTypeA(root);
    if (type != DRIVE_FIXED && type != DRIVE_REMOTE) continue;
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, totalClusters;
    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) continue;
    drive.Usable = 1;
    drive.FreeBytes = FreeSpaceBytes(bytesPerSector, sectorsPerCluster, freeClusters);
  }
}

int CheckFreeSpace(HWND owner) {
  if (FirstShortDrive() < 0) return 1;
  ShowMessage(owner, kFreeSpaceWarning, kFreeSpaceWarningCaption, MB_OK | MB_ICONSTOP);
  // The user may have made room meanwhile: the page shows fresh figures next.
  RefreshDrives();
  ComputeRequiredSpace();
  return 0;
}
