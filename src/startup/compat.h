// Functions that not every Windows of the program's range has. Windows 95 and NT 4.0 must find
// every import of the program, so anything newer is looked up at run time and used with a
// fallback that gives the same result.
#pragma once
#include <windows.h>

#include "startup/state.h"

// The address of a function of a system DLL, or null when this Windows lacks it. A DLL not
// loaded yet is loaded from the system folder by its full path: a file of the same name beside
// setup.exe (in a download folder, say) must never be loaded in its place, least of all into
// the copy with administrator rights.
void* SystemFunctionAddress(const char* dll, const char* name);
template <class Function> Function SystemFunction(const char* dll, const char* name) {
  return reinterpret_cast<Function>(SystemFunctionAddress(dll, name));
}
// The same for a function that Windows 95 or NT 4.0 lacks: null also while OldestWindowsOnly
// (state.h) asks the program to act as there.
template <class Function> Function NewerSystemFunction(const char* dll, const char* name) {
  return OldestWindowsOnly ? nullptr : SystemFunction<Function>(dll, name);
}

// What GetFileAttributesExA tells of a file or folder; where that function is missing
// (Windows 95) the same from the file's directory entry. 0 when the path names nothing or
// holds wildcards.
int ReadFileData(const char* path, WIN32_FILE_ATTRIBUTE_DATA* data);

// A fact of this process's token (GetTokenInformation); 0 where the system cannot tell it:
// Windows 95 has no tokens, and Windows before Vista knows nothing of elevation.
int ReadProcessToken(TOKEN_INFORMATION_CLASS what, void* answer, DWORD size);
