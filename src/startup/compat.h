// Functions that not every Windows of the program's range has. Windows 95 and NT 4.0 must find
// every import of the program, so anything newer is looked up at run time and used with a
// fallback that gives the same result.
#pragma once
#include <windows.h>

// The address of a function of a system DLL (loaded when it is not yet), or null when this
// Windows lacks it or when OldestWindowsOnly (state.h) asks the program to act as if it did.
void* SystemFunctionAddress(const char* dll, const char* name);
template <class Function> Function SystemFunction(const char* dll, const char* name) {
  return reinterpret_cast<Function>(SystemFunctionAddress(dll, name));
}

// What GetFileAttributesExA tells of a file or folder; where that function is missing
// (Windows 95) the same from the file's directory entry. 0 when the path names nothing or
// holds wildcards.
int ReadFileData(const char* path, WIN32_FILE_ATTRIBUTE_DATA* data);

// A fact of this process's token (GetTokenInformation); 0 where the system cannot tell it:
// Windows 95 has no tokens, and Windows before Vista knows nothing of elevation.
int ReadProcessToken(TOKEN_INFORMATION_CLASS what, void* answer, DWORD size);
