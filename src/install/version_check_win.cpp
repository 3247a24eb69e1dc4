#include <windows.h>

#include <cstdlib>

#include "install/version_check.h"
#include "script/records.h"
#include "startup/state.h"

int IsInstalledCurrent(const char* path, uint32_t versionMS, uint32_t versionLS, uint64_t /*fileTime*/) {
  if (AllFiles) return 0;
  // Far cheaper than the version calls for the usual case of a file not installed yet.
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return 0;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return 0;  // no file, or no version resource
  void* info = calloc(1, size);
  if (!info) return 0;
  int current = 0;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (GetFileVersionInfoA(path, 0, size, info) &&
      VerQueryValueA(info, "\\", reinterpret_cast<void**>(&fixed), &fixedSize) && fixed &&
      fixedSize >= sizeof(VS_FIXEDFILEINFO)) {
    current = VersionAtLeast(fixed->dwFileVersionMS, fixed->dwFileVersionLS, versionMS, versionLS);
  }
  free(info);
  return current;
}

int IsEntryInstalledCurrent(const char* path, const FileEntry* entry) {
  uint64_t fileTime = static_cast<uint64_t>(entry->FileTimeHigh) << 32 | entry->FileTimeLow;
  return IsInstalledCurrent(path, entry->VersionMS, entry->VersionLS, fileTime);
}
