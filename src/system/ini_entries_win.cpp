#include <windows.h>

#include <cstring>

#include "install/undo_journal.h"
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
  if (!NoteIniChange(path, section, key)) return 0;
  // Empty fields go as empty texts: a null key or value would delete the section or the key.
  return WritePrivateProfileStringA(section, key, value, path) != 0;
}

namespace {

// A text no INI value holds, to tell a missing key from an empty one.
const char kMissing[] = "\x01\x02missing";

int ReadIniValue(const char* path, const char* section, const char* key, char (&value)[kValueChars]) {
  GetPrivateProfileStringA(section, key, kMissing, value, sizeof value, path);
  return strcmp(value, kMissing) != 0;
}

int SectionHasKeys(const char* path, const char* section) {
  char keys[4];
  return GetPrivateProfileStringA(section, nullptr, "", keys, sizeof keys, path) > 0;
}

// Nothing but blanks and line ends.
int IsBlankFile(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  char bytes[512];
  DWORD read = 0;
  int blank = ReadFile(file, bytes, sizeof bytes, &read, nullptr) && read < sizeof bytes;
  for (DWORD i = 0; blank && i < read; ++i) blank = bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n';
  CloseHandle(file);
  return blank;
}

}  // namespace

int NoteIniChange(const char* path, const char* section, const char* key) {
  if (!UndoJournalActive()) return 1;
  char value[kValueChars];
  int present = ReadIniValue(path, section, key, value);
  int fileExisted = GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
  int sectionExisted = fileExisted && SectionHasKeys(path, section);
  UndoLine line("I");
  line.Text(path).Text(section).Text(key).Prior(present ? value : nullptr).Number(fileExisted).Number(sectionExisted);
  return UndoNoteNow(line);
}

int RestoreIniEntry(const char* path, const char* section, const char* key, const char* prior, int flags,
                    int* fileLeftOver) {
  *fileLeftOver = 0;
  if (!NoteIniChange(path, section, key)) return 0;
  // "=" and the text, or "-" for a key that was not there.
  if (!WritePrivateProfileStringA(section, key, prior[0] == '=' ? prior + 1 : nullptr, path)) {
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) return 1;  // nothing left to restore in
    return 0;
  }
  if (!(flags & 2) && !SectionHasKeys(path, section)) WritePrivateProfileStringA(section, nullptr, nullptr, path);
  // The system may hold the file's text for a while: it is written out before the file is looked at.
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path);
  *fileLeftOver = !(flags & 1) && IsBlankFile(path);
  return 1;
}
