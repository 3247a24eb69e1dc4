#include <windows.h>

#include <cstring>

#include "install/filesystem.h"
#include "install/setup_log.h"
#include "startup/compat.h"
#include "startup/text.h"

char CreatedDirectories[kMaxCreatedDirectories][kPathChars];
int CreatedDirectoryCount;

int DirectoryExists(const char* path) {
  char saved[kPathChars];
  DWORD n = GetCurrentDirectoryA(sizeof saved, saved);
  if (n == 0 || n >= sizeof saved) return 0;
  int exists = SetCurrentDirectoryA(path) != 0;
  SetCurrentDirectoryA(saved);
  return exists;
}

namespace {

// The levels still to create when the prefix ending at index end is the first missing one:
// that prefix and every later backslash-ended prefix up to the whole path.
int MissingLevels(const char* path, size_t end, size_t length) {
  int levels = 1;
  for (size_t i = end + 1; i < length; ++i)
    if (path[i] == '\\' && i + 1 < length) ++levels;
  if (end + 1 < length) ++levels;  // the whole path, when the missing prefix was not it
  return levels;
}

// Walks the prefixes of path (C:\, C:\Programme\, C:\Programme\Neu) and creates the missing
// ones. Every prefix is tested against the caller's current directory, so a relative path works.
int CreateMissingLevels(char* path, size_t length) {
  for (size_t end = 0; end < length; ++end) {
    if (path[end] != '\\' && end + 1 < length) continue;
    char prefix[kPathChars];
    memcpy(prefix, path, end + 1);
    prefix[end + 1] = 0;
    if (DirectoryExists(prefix)) continue;
    // All remaining levels are missing: refuse before creating any that the list cannot hold.
    if (CreatedDirectoryCount + MissingLevels(path, end, length) > kMaxCreatedDirectories) return 0;
    if (!CreateDirectoryA(prefix, nullptr)) return 0;
    if (end > 0 && prefix[end] == '\\') prefix[end] = 0;
    CopyText(CreatedDirectories[CreatedDirectoryCount++], prefix);
    if (end + 1 == length) return 1;
  }
  return 0;  // the whole path already existed
}

}  // namespace

int CreateDirectoryTree(const char* path) {
  CreatedDirectoryCount = 0;
  char saved[kPathChars];
  DWORD n = GetCurrentDirectoryA(sizeof saved, saved);
  if (n == 0 || n >= sizeof saved) return 0;
  // A cut path would name another folder.
  if (!path || strlen(path) >= kPathChars) return 0;
  char walk[kPathChars];
  CopyText(walk, path);
  size_t length = strlen(walk);
  while (length > 0 && walk[length - 1] == '\\') walk[--length] = 0;
  int created = length > 0 && CreateMissingLevels(walk, length);
  SetCurrentDirectoryA(saved);
  LogCreatedDirectories();
  return created;
}

void LogCreatedDirectories() {
  for (int i = CreatedDirectoryCount - 1; i >= 0; --i) {
    WriteLogLine(kLogCreatedDir, CreatedDirectories[i]);
  }
}

namespace {

// The name the installed file waits under while its replacement is moved in: the new file's
// own name with ".old" for its extension, so it lies in the same folder.
int AsideName(char (&aside)[kPathChars], const char* file) {
  if (CopyText(aside, file) != strlen(file)) return 0;
  char* name = strrchr(aside, '\\');
  char* dot = strrchr(name ? name : aside, '.');
  if (dot) *dot = 0;
  return strlen(aside) + 4 < sizeof aside && AppendText(aside, ".old");
}

}  // namespace

int PutFileInPlace(const char* file, const char* target) {
  typedef BOOL(WINAPI * MoveFileEx)(LPCSTR, LPCSTR, DWORD);
  if (auto moveEx = NewerSystemFunction<MoveFileEx>("kernel32.dll", "MoveFileExA")) {
    if (moveEx(file, target, MOVEFILE_REPLACE_EXISTING)) return 1;
    // Windows 95, 98 and ME have the function but do not implement it.
    if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return 0;
  }
  if (GetFileAttributesA(target) == INVALID_FILE_ATTRIBUTES) return MoveFileA(file, target);
  char aside[kPathChars];
  if (!AsideName(aside, file)) return 0;
  DeleteFileA(aside);  // left by a run that ended between the two moves
  if (!MoveFileA(target, aside)) return 0;
  if (MoveFileA(file, target)) {
    DeleteFileA(aside);
    return 1;
  }
  DWORD error = GetLastError();
  MoveFileA(aside, target);
  SetLastError(error);
  return 0;
}
