#include <windows.h>

#include <cstring>

#include "script/placeholders.h"
#include "script/records.h"
#include "startup/state.h"
#include "startup/text.h"
#include "system/ini_entries.h"

namespace {

// The file the profile writer will write: a bare name lies in the Windows folder.
void ResolvedIniPath(char (&path)[kPathChars], const char* file) {
  if (strpbrk(file, "\\/:")) {
    CopyText(path, file);
    return;
  }
  CopyText(path, WindowsDir);
  if (path[0] && path[strlen(path) - 1] != '\\') AppendText(path, "\\");
  AppendText(path, file);
}

}  // namespace

int ApplyIniEntry(const Option* option, int index) {
  const IniRecord& record = option->Inis[index];
  if (record.TooLong) return 0;
  char file[kPathChars], section[kPathChars], key[kPathChars], value[kPathChars];
  if (!ExpandPlaceholders(file, record.IniFile) || !ExpandPlaceholders(section, record.IniSection) ||
      !ExpandPlaceholders(key, record.IniKey) || !ExpandPlaceholders(value, record.IniValue))
    return 0;
  // A read-only file is not changed, also where the system would let this process write it.
  char path[kPathChars];
  ResolvedIniPath(path, file);
  DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return 0;
  // Empty fields go as empty texts: a null key or value would delete the section or the key.
  return WritePrivateProfileStringA(section, key, value, file) != 0;
}
