#include <windows.h>

#include <cstring>

#include "install/filesystem.h"
#include "install/setup_log.h"
#include "install/undo_journal.h"
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

// The prefixes of path (C:\, C:\Programme\, C:\Programme\Neu) are looked for from the deepest
// upwards, so a folder below an existing one costs one look rather than one per level; the
// missing ones are then created outermost first. Every prefix is tested against the caller's
// current directory, so a relative path works.
int CreateMissingLevels(const char* path, size_t length) {
  unsigned short ends[kPathChars];  // where each prefix ends
  int count = 0;
  for (size_t end = 0; end < length; ++end)
    if (path[end] == '\\' || end + 1 == length) ends[count++] = static_cast<unsigned short>(end);
  auto prefixOf = [&](int level, char (&prefix)[kPathChars]) {
    memcpy(prefix, path, ends[level] + 1u);
    prefix[ends[level] + 1] = 0;
  };
  char prefix[kPathChars];
  int missing = count;  // the first missing level
  for (; missing > 0; --missing) {
    prefixOf(missing - 1, prefix);
    if (DirectoryExists(prefix)) break;
  }
  if (missing == count) return 0;  // the whole path already existed
  // Refused before any level is created that the list could not hold.
  if (count - missing > kMaxCreatedDirectories) return 0;
  // Every folder about to be made is noted in the run's record first.
  for (int level = missing; level < count && UndoJournalActive(); ++level) {
    prefixOf(level, prefix);
    size_t end = ends[level];
    if (end > 0 && prefix[end] == '\\') prefix[end] = 0;
    UndoLine note("C");
    note.Text(prefix);
    if (!UndoNote(note)) return 0;
  }
  if (!UndoFlush()) return 0;
  for (int level = missing; level < count; ++level) {
    prefixOf(level, prefix);
    if (!CreateDirectoryA(prefix, nullptr)) return 0;
    size_t end = ends[level];
    if (end > 0 && prefix[end] == '\\') prefix[end] = 0;
    CopyText(CreatedDirectories[CreatedDirectoryCount++], prefix);
  }
  return 1;
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
