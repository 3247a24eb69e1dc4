#include <windows.h>

#include <cstring>

#include "install/setup_log.h"
#include "startup/platform.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

// Anything by that name (a file, or a folder called setup0.log) makes the name taken: only a
// name that is free can be created.
bool NameTaken(const char* path) {
  return FileExists(path) || GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int FileExists(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  CloseHandle(file);
  return 1;
}

int OpenSetupLogN(char* buffer, size_t cap) { return OpenLogFileN(InstallDir, "setup", buffer, cap); }

int OpenLogFileN(const char* folder, const char* stem, char* buffer, size_t cap) {
  if (cap == 0) return 0;
  buffer[0] = 0;
  CloseSetupLog();
  char name[kLogNameChars];
  for (int n = 0; n < kLogNumbers; ++n) {
    if (!BuildLogNameAs(name, sizeof name, folder, stem, n) || strlen(name) >= cap) {
      CopyTextN(buffer, cap, name);
      return 0;
    }
    CopyTextN(buffer, cap, name);
    if (NameTaken(name)) continue;
    // No sharing: no other program can open the log while the setup runs.
    HANDLE file = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      SetupLogHandle = file;
      return 1;
    }
    // Someone took the name since the test: try the next one.
    DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return 0;
  }
  return 0;
}

void CloseSetupLog() {
  if (!SetupLogHandle) return;
  CloseHandle(SetupLogHandle);
  SetupLogHandle = nullptr;
}

int PlatformWriteLogBytes(void* handle, const char* bytes, size_t count) {
  while (count > 0) {
    DWORD chunk = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
    DWORD written = 0;
    if (!WriteFile(handle, bytes, chunk, &written, nullptr) || written == 0) return 0;
    bytes += written;
    count -= written;
  }
  return 1;
}
