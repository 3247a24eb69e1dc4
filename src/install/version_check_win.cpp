#include <windows.h>

#include <cstdlib>

#include "install/version_check.h"
#include "script/records.h"
#include "startup/compat.h"
#include "startup/state.h"

int IsInstalledCurrent(const char* path, uint32_t versionMS, uint32_t versionLS, uint64_t /*fileTime*/) {
  if (AllFiles) return 0;
  // Far cheaper than the version calls for the usual case of a file not installed yet.
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return 0;
  // The version library is not among the DLLs Windows always takes from its own folder: it
  // is loaded from there by path, so that no file of its name beside setup.exe stands in.
  typedef DWORD(WINAPI * InfoSize)(LPCSTR, LPDWORD);
  typedef BOOL(WINAPI * Info)(LPCSTR, DWORD, DWORD, LPVOID);
  typedef BOOL(WINAPI * Query)(LPCVOID, LPCSTR, LPVOID*, PUINT);
  auto infoSize = SystemFunction<InfoSize>("version.dll", "GetFileVersionInfoSizeA");
  auto info = SystemFunction<Info>("version.dll", "GetFileVersionInfoA");
  auto query = SystemFunction<Query>("version.dll", "VerQueryValueA");
  if (!infoSize || !info || !query) return 0;
  DWORD ignored = 0;
  DWORD size = infoSize(path, &ignored);
  if (size == 0) return 0;  // no file, or no version resource
  void* block = calloc(1, size);
  if (!block) return 0;
  int current = 0;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (info(path, 0, size, block) && query(block, "\\", reinterpret_cast<void**>(&fixed), &fixedSize) && fixed &&
      fixedSize >= sizeof(VS_FIXEDFILEINFO)) {
    current = VersionAtLeast(fixed->dwFileVersionMS, fixed->dwFileVersionLS, versionMS, versionLS);
  }
  free(block);
  return current;
}

int IsEntryInstalledCurrent(const char* path, const FileEntry* entry) {
  uint64_t fileTime = static_cast<uint64_t>(entry->FileTimeHigh) << 32 | entry->FileTimeLow;
  return IsInstalledCurrent(path, entry->VersionMS, entry->VersionLS, fileTime);
}
