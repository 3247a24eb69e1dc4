#include "startup/compat.h"

#include <cstring>

#include "startup/paths.h"
#include "startup/state.h"
#include "startup/text.h"

void* SystemFunctionAddress(const char* dll, const char* name) {
  HMODULE module = GetModuleHandleA(dll);
  if (!module) {
    char path[MAX_PATH];
    UINT n = GetSystemDirectoryA(path, sizeof path);
    if (n == 0 || n + 1 + strlen(dll) >= sizeof path) return nullptr;
    AddBackslash(path);
    AppendText(path, dll);
    module = LoadLibraryA(path);
  }
  return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
}

int ReadFileData(const char* path, WIN32_FILE_ATTRIBUTE_DATA* data) {
  typedef BOOL(WINAPI * AttributesEx)(LPCSTR, GET_FILEEX_INFO_LEVELS, LPVOID);
  if (auto attributesEx = NewerSystemFunction<AttributesEx>("kernel32.dll", "GetFileAttributesExA"))
    return attributesEx(path, GetFileExInfoStandard, data) != 0;
  // A wildcard would find some other file.
  if (strchr(path, '*') || strchr(path, '?')) {
    SetLastError(ERROR_INVALID_NAME);
    return 0;
  }
  memset(data, 0, sizeof *data);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path, &found);
  if (search != INVALID_HANDLE_VALUE) {
    FindClose(search);
    data->dwFileAttributes = found.dwFileAttributes;
    data->ftCreationTime = found.ftCreationTime;
    data->ftLastAccessTime = found.ftLastAccessTime;
    data->ftLastWriteTime = found.ftLastWriteTime;
    data->nFileSizeHigh = found.nFileSizeHigh;
    data->nFileSizeLow = found.nFileSizeLow;
    return 1;
  }
  // A drive's root has no directory entry; its attributes are all there is to tell.
  data->dwFileAttributes = GetFileAttributesA(path);
  return data->dwFileAttributes != INVALID_FILE_ATTRIBUTES;
}

int ReadProcessToken(TOKEN_INFORMATION_CLASS what, void* answer, DWORD size) {
  typedef BOOL(WINAPI * OpenToken)(HANDLE, DWORD, PHANDLE);
  typedef BOOL(WINAPI * TokenInformation)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
  auto openToken = NewerSystemFunction<OpenToken>("advapi32.dll", "OpenProcessToken");
  auto tokenInformation = NewerSystemFunction<TokenInformation>("advapi32.dll", "GetTokenInformation");
  HANDLE token;
  if (!openToken || !tokenInformation || !openToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return 0;
  DWORD returned;
  BOOL known = tokenInformation(token, what, answer, size, &returned);
  CloseHandle(token);
  return known != 0;
}
