#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "install/setup_log.h"
#include "install/undo_journal.h"
#include "script/script_profile.h"
#include "startup/compat.h"
#include "startup/state.h"
#include "startup/text.h"
#include "system/product_record.h"
#include "system/registry.h"
#include "system/rollback.h"
#include "system/uninstall_entry.h"

namespace {

const char kUninstallRoot[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

int SetText(const char* key, const char* name, const char* text) {
  return SetRegistryValue(HKEY_LOCAL_MACHINE, key, name, REG_SZ, text, static_cast<unsigned long>(strlen(text) + 1));
}

int SetNumber(const char* key, const char* name, DWORD number) {
  return SetRegistryValue(HKEY_LOCAL_MACHINE, key, name, REG_DWORD, &number, sizeof number);
}

// The path of a file in the install folder.
int InstallFolderPath(char (&path)[kPathChars], const char* name) {
  return FormatWholeText(path, "%s%s%s", InstallDir, InstallDir[0] && InstallDir[strlen(InstallDir) - 1] == '\\' ? "" : "\\",
                         name);
}

// Copies this program into the install folder as the uninstaller, noted as any file the run
// writes: an uninstaller there before waits aside until the run is complete.
int InstallUninstaller(char (&target)[kPathChars]) {
  char self[kPathChars], aside[kPathChars];
  DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  WIN32_FILE_ATTRIBUTE_DATA source;
  int existed = 0;
  if (n == 0 || n >= sizeof self || !InstallFolderPath(target, kUninstallerName) || !ReadFileData(self, &source) ||
      !BeginNotedWrite(target, aside, &existed, source.nFileSizeLow))
    return 0;
  int copied = CopyFileA(self, target, TRUE);
  EndNotedWrite(target, aside, existed, copied);
  return copied;
}

// KB of the files the product installed over all its runs, as the record tells.
DWORD InstalledKilobytes() {
  size_t size = 0;
  char* bytes = UndoRecordBytes(&size);
  // A record that cannot be read back (a full disk, a failed flush) gives no figure; the parse
  // is what sets up the record that is freed below.
  if (!bytes) return 0;
  UndoRecord record;
  UndoPlace place = PlaceFor(InstallDir);
  uint64_t total = 0;
  if (ParseUndoRecord(bytes, size, place, 1, &record, nullptr, nullptr)) {
    int32_t* newest = static_cast<int32_t*>(malloc((record.Count + 1) * sizeof(int32_t)));
    unsigned char* oldest = static_cast<unsigned char*>(malloc(record.Count + 1));
    if (newest && oldest && FoldFileEntries(record, newest, oldest))
      for (int32_t i = 0; i < record.Count; ++i)
        if (oldest[i]) total += static_cast<uint64_t>(record.Entries[newest[i]].Size);
    free(newest);
    free(oldest);
  }
  FreeUndoRecord(&record);
  return static_cast<DWORD>(DivideWide(total + 1023, 1024));
}

// The entry's values; each write is noted, so the uninstaller takes them away again.
int WriteEntry(const char* uninstaller) {
  char key[kPathChars];
  if (!UninstallKeyPath(key)) return 0;
  char text[kValueChars];
  int ok = SetText(key, "DisplayName", ProductName) && SetText(key, "Publisher", CompanyName) &&
           SetText(key, "InstallLocation", InstallDir);
  char version[kPathChars] = "";
  ReadScriptString("Settings", "Version", version, sizeof version);
  if (version[0]) ok = SetText(key, "DisplayVersion", version) && ok;
  SYSTEMTIME today;
  GetLocalTime(&today);
  FormatText(text, "%04u%02u%02u", today.wYear, today.wMonth, today.wDay);
  ok = SetText(key, "InstallDate", text) && ok;
  ok = SetNumber(key, "EstimatedSize", InstalledKilobytes()) && ok;
  // The product's program gives the list its picture; without one, the uninstaller's.
  char program[kPathChars];
  ReadInstalledProgramPath(program, 0);
  if (program[0] && GetFileAttributesA(program) != INVALID_FILE_ATTRIBUTES) FormatText(text, "%s,0", program);
  else FormatText(text, "%s,0", uninstaller);
  ok = SetText(key, "DisplayIcon", text) && ok;
  FormatText(text, "\"%s\" %s", uninstaller, kUninstallSwitch);
  ok = SetText(key, "UninstallString", text) && ok;
  FormatText(text, "\"%s\" %s /S", uninstaller, kUninstallSwitch);
  ok = SetText(key, "QuietUninstallString", text) && ok;
  ok = SetNumber(key, "NoModify", 1) && SetNumber(key, "NoRepair", 1) && ok;
  return ok;
}

}  // namespace

int UninstallKeyPathN(char* output, size_t cap) {
  char key[kPathChars];
  if (!FormatWholeText(key, "%s%s %s", kUninstallRoot, CompanyName, ProductName) || strlen(key) >= cap) return 0;
  // A backslash of the names would make the key a path of several.
  for (char* p = key + strlen(kUninstallRoot); *p; ++p)
    if (*p == '\\') *p = '-';
  CopyTextN(output, cap, key);
  return 1;
}

int RecordInstallLocation() {
  char key[kPathChars];
  return UninstallKeyPath(key) && SetText(key, "InstallLocation", InstallDir);
}

void ReadUninstallValueN(const char* name, char* buffer, size_t cap) {
  if (cap) buffer[0] = 0;
  char key[kPathChars];
  if (UninstallKeyPath(key)) ReadRegistryText(HKEY_LOCAL_MACHINE, key, name, buffer, cap);
}

int FinishInstallRun() {
  char uninstaller[kPathChars];
  int ok = InstallUninstaller(uninstaller);
  if (!ok) {
    char text[kValueChars];
    FormatText(text, "Das Deinstallationsprogramm \"%s\" kann nicht angelegt werden!", uninstaller);
    WriteLogError(text);
  }
  if (!WriteEntry(uninstaller)) {
    WriteLogError("Der Eintrag unter \"Programme und Features\" kann nicht geschrieben werden!");
    ok = 0;
  }
  // From here on the run is complete: what it replaced is no longer needed.
  if (!FinishUndoRun()) return 0;
  size_t length = 0, size = 0;
  const char* text = UndoRunText(&length);
  char header[kPathChars * 3 + 64];
  size_t headerLength = UndoHeaderN(header, sizeof header, CompanyName, ProductName, InstallDir);
  char* bytes = static_cast<char*>(malloc(headerLength + length + 1));
  if (!bytes) return ok;
  memcpy(bytes, header, headerLength);
  memcpy(bytes + headerLength, text, length);
  size = headerLength + length;
  UndoRecord record;
  UndoPlace place = PlaceFor(InstallDir);
  if (ParseUndoRecord(bytes, size, place, 1, &record, nullptr, nullptr)) {
    for (int32_t i = 0; i < record.Count; ++i) {
      const UndoEntry& e = record.Entries[i];
      if (e.Kind != kUndoReplaced) continue;
      if (!DeleteFileA(e.Aside)) {
        typedef BOOL(WINAPI * MoveFileEx)(LPCSTR, LPCSTR, DWORD);
        // Held open by a program (a library it still runs): it goes at the next start of Windows.
        auto moveEx = NewerSystemFunction<MoveFileEx>("kernel32.dll", "MoveFileExA");
        if (moveEx) moveEx(e.Aside, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
      }
    }
  }
  FreeUndoRecord(&record);
  CloseUndoJournal();
  return ok;
}
