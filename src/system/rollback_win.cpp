#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "install/setup_log.h"
#include "install/shared_dlls.h"
#include "install/undo_journal.h"
#include "startup/codepage.h"
#include "startup/compat.h"
#include "startup/merge_sort.h"
#include "startup/state.h"
#include "startup/text.h"
#include "startup/win_guards.h"
#include "system/ini_entries.h"
#include "system/registry.h"
#include "system/rollback.h"
#include "system/uninstall_entry.h"

namespace {

// --- Files ----------------------------------------------------------------------------------

struct FileFacts {
  int Exists;
  int64_t Size;
  uint64_t Time;  // last write
};

FileFacts FactsOf(const char* path) {
  FileFacts facts = {};
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!ReadFileData(path, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return facts;
  facts.Exists = 1;
  facts.Size = static_cast<int64_t>(static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
  facts.Time = static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
  return facts;
}

// The files of one folder as a listing of it tells, for planning a removal: one walk of the
// folder answers for all its files (a look for each would cost a walk each where the system
// compares names without case, as Wine does).
struct ListedFile {
  char* Name;
  FileFacts Facts;
};

struct FolderListing {
  char Folder[kPathChars];
  ListedFile* Files;
  int32_t Count;
  char* Names;
};

FolderListing Listed;

void ForgetListing() {
  free(Listed.Files);
  free(Listed.Names);
  memset(&Listed, 0, sizeof Listed);
}

int FoldedCompare(const char* a, const char* b) {
  for (; *a && FoldCp1252(static_cast<unsigned char>(*a)) == FoldCp1252(static_cast<unsigned char>(*b)); ++a, ++b) {
  }
  return FoldCp1252(static_cast<unsigned char>(*a)) - FoldCp1252(static_cast<unsigned char>(*b));
}

void ListFolder(const char* folder) {
  ForgetListing();
  CopyText(Listed.Folder, folder);
  char pattern[kPathChars];
  if (!FormatWholeText(pattern, "%s\\*", folder)) return;
  int32_t capacity = 0;
  size_t namesUsed = 0, namesCapacity = 0;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    size_t length = strlen(found.cFileName) + 1;
    if (Listed.Count == capacity) {
      capacity = capacity ? capacity * 2 : 256;
      Listed.Files = static_cast<ListedFile*>(realloc(Listed.Files, capacity * sizeof(ListedFile)));
    }
    if (namesUsed + length > namesCapacity) {
      namesCapacity = (namesCapacity ? namesCapacity * 2 : 8192) + length;
      Listed.Names = static_cast<char*>(realloc(Listed.Names, namesCapacity));
    }
    if (!Listed.Files || !Listed.Names) break;
    memcpy(Listed.Names + namesUsed, found.cFileName, length);
    ListedFile& file = Listed.Files[Listed.Count++];
    file.Name = reinterpret_cast<char*>(namesUsed);  // an offset until the names stop moving
    file.Facts.Exists = 1;
    file.Facts.Size = static_cast<int64_t>(static_cast<uint64_t>(found.nFileSizeHigh) << 32 | found.nFileSizeLow);
    file.Facts.Time = static_cast<uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32 | found.ftLastWriteTime.dwLowDateTime;
    namesUsed += length;
  } while (FindNextFileA(find, &found));
  FindClose(find);
  if (!Listed.Files || !Listed.Names) {
    ForgetListing();
    return;
  }
  for (int32_t i = 0; i < Listed.Count; ++i)
    Listed.Files[i].Name = Listed.Names + reinterpret_cast<size_t>(Listed.Files[i].Name);
  // Sorted by name as the system compares names, for the look-ups below.
  int32_t n = Listed.Count;
  int32_t* order = static_cast<int32_t*>(malloc((n ? n : 1) * 2 * sizeof(int32_t)));
  ListedFile* sorted = static_cast<ListedFile*>(malloc((n ? n : 1) * sizeof(ListedFile)));
  if (!order || !sorted) {
    free(order);
    free(sorted);
    ForgetListing();
    return;
  }
  for (int32_t i = 0; i < n; ++i) order[i] = i;
  MergeSortIndices(order, order + n, n,
                   [](int32_t a, int32_t b) { return FoldedCompare(Listed.Files[a].Name, Listed.Files[b].Name) < 0; });
  for (int32_t i = 0; i < n; ++i) sorted[i] = Listed.Files[order[i]];
  free(order);
  free(Listed.Files);
  Listed.Files = sorted;
}

// FactsOf for planning, from the listing of the file's folder.
FileFacts ListedFactsOf(const char* path) {
  FileFacts none = {};
  const char* slash = strrchr(path, '\\');
  if (!slash) return none;
  char folder[kPathChars];
  CopyText(folder, path);
  folder[slash - path] = 0;
  if (!SamePath(folder, Listed.Folder) || !Listed.Folder[0]) ListFolder(folder);
  for (int32_t low = 0, high = Listed.Count - 1; low <= high;) {
    int32_t middle = low + (high - low) / 2;
    int order = FoldedCompare(Listed.Files[middle].Name, slash + 1);
    if (order == 0) return Listed.Files[middle].Facts;
    if (order < 0) low = middle + 1;
    else high = middle - 1;
  }
  return none;
}

// The file is as the run left it: the same length, and its last write within two seconds of the
// one noted (a FAT disk keeps the time to two seconds).
bool Matches(const FileFacts& facts, int64_t size, uint64_t time) {
  const uint64_t kTwoSeconds = 20000000;
  uint64_t apart = facts.Time > time ? facts.Time - time : time - facts.Time;
  return facts.Exists && facts.Size == size && apart <= kTwoSeconds;
}

// Deletes a file, also a read-only one; 1 when it is gone.
int RemoveFile(const char* path) {
  if (DeleteFileA(path)) return 1;
  DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return 1;
  return error == ERROR_ACCESS_DENIED && SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL) && DeleteFileA(path);
}

// A file that is held open goes when Windows starts next; 1 when that could be arranged.
int RemoveAtRestart(const char* path) {
  typedef BOOL(WINAPI * MoveFileEx)(LPCSTR, LPCSTR, DWORD);
  auto moveEx = NewerSystemFunction<MoveFileEx>("kernel32.dll", "MoveFileExA");
  return moveEx && moveEx(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// An untrusted record is followed into no folder that leads elsewhere: a junction or a symbolic
// link at or below the install folder could point anywhere. Above the install folder the path
// is where the product was installed to, links and all (a drive mounted into a folder, the
// system's junctions for the old folder names): the record's paths are bound to the install
// folder by their text, and the install folder itself is looked at. A path outside it is looked
// at from its drive on. Folders looked at are remembered.
char CheckedFolder[kPathChars];
char LinkBase[kPathChars];  // the install folder of the record being followed, no final '\\'

// A record of the install folder is followed from here on.
void FollowRecordOf(const char* installDir) {
  size_t n = CopyText(LinkBase, installDir);
  if (n > 3 && LinkBase[n - 1] == '\\') LinkBase[n - 1] = 0;
  CheckedFolder[0] = 0;
}

int NoLinkOnTheWay(const char* path) {
  char folder[kPathChars];
  if (CopyText(folder, path) != strlen(path)) return 0;
  char* slash = strrchr(folder, '\\');
  if (!slash) return 0;
  *slash = 0;
  if (CheckedFolder[0] && SamePath(folder, CheckedFolder)) return 1;
  char* from = folder + 3;
  size_t n = strlen(LinkBase);
  if (n > 3 && (SamePath(folder, LinkBase) || IsBelow(folder, LinkBase))) from = folder + n;
  for (char* p = strchr(from, '\\');; p = strchr(p + 1, '\\')) {
    if (p) *p = 0;
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return 0;
    if (!p) break;
    *p = '\\';
  }
  CopyText(CheckedFolder, folder);
  return 1;
}

// --- Registry -------------------------------------------------------------------------------

HKEY RootOf(const UndoEntry& e) { return RootKey(e.Root); }

void KeyText(char (&text)[kPathChars + 24], const UndoEntry& e) {
  const char* name = e.Root == kRootClassesRoot    ? "HKEY_CLASSES_ROOT"
                     : e.Root == kRootCurrentUser  ? "HKEY_CURRENT_USER"
                     : e.Root == kRootLocalMachine ? "HKEY_LOCAL_MACHINE"
                                                   : "HKEY_USERS";
  FormatText(text, "%s\\%s", name, e.Path);
}

// Puts a value back as noted ("-": it goes); the value as it stands is noted first.
int RestoreValue(HKEY root, const char* keyPath, const char* name, const char* prior) {
  static unsigned char data[16384];
  uint32_t type = 0;
  size_t size = 0;
  int present = 0;
  if (!DecodeUndoData(prior, &type, data, sizeof data, &size, &present)) return 0;
  if (!present) {
    RegKey key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_SET_VALUE | KEY_QUERY_VALUE, key.Out()) != ERROR_SUCCESS) return 1;
    if (RegQueryValueExA(key.Get(), name[0] ? name : nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      return 1;
    if (!NoteValueChange(root, keyPath, name) || !UndoFlush()) return 0;
    return RegDeleteValueA(key.Get(), name[0] ? name : nullptr) == ERROR_SUCCESS;
  }
  return SetRegistryValue(root, keyPath, name, type, data, static_cast<unsigned long>(size));
}

// A key the run created goes when nothing is left in it.
int RemoveKeyIfEmpty(HKEY root, const char* keyPath, int* removed) {
  *removed = 0;
  DWORD subKeys = 0, values = 0;
  {
    RegKey key;
    LONG status = RegOpenKeyExA(root, keyPath, 0, KEY_READ, key.Out());
    if (status == ERROR_FILE_NOT_FOUND) return 1;
    if (status != ERROR_SUCCESS) return 0;
    if (RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
      return 0;
  }
  if (subKeys > 0 || values > 0) return 1;  // someone else's now: it stays
  *removed = DeleteRegistryKey(root, keyPath);
  return *removed;
}

// A key that was deleted comes back with every value it held.
int RecreateKey(const UndoEntry& e) {
  HKEY root = RootOf(e);
  if (!NoteKeyCreation(root, e.Path) || !UndoFlush()) return 0;
  {
    RegKey key;
    if (RegCreateKeyExA(root, e.Path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.Out(),
                        nullptr) != ERROR_SUCCESS)
      return 0;
  }
  int ok = 1;
  const char* nameData;
  const char* data;
  static unsigned char nameBytes[16384];
  for (int32_t i = 0; DeletedValueAt(e, i, &nameData, &data); ++i) {
    uint32_t type = 0;
    size_t size = 0;
    int present = 0;
    char name[16385];
    if (!DecodeUndoData(nameData, &type, nameBytes, sizeof nameBytes - 1, &size, &present)) {
      ok = 0;
      continue;
    }
    memcpy(name, nameBytes, size);
    name[size] = 0;
    ok = RestoreValue(root, e.Path, name, data) && ok;
  }
  return ok;
}

// --- Libraries ------------------------------------------------------------------------------

typedef HRESULT(STDAPICALLTYPE* RegistrationEntry)();

// Calls a library's DllRegisterServer or DllUnregisterServer; a library without it counts as
// done. 1 on success.
int CallRegistration(const char* path, const char* entry) {
  HMODULE library = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!library) return 0;
  auto call = reinterpret_cast<RegistrationEntry>(reinterpret_cast<void (*)()>(GetProcAddress(library, entry)));
  HRESULT result = call ? call() : S_OK;
  FreeLibrary(library);
  return SUCCEEDED(result);
}

// --- One entry --------------------------------------------------------------------------------

void Failed(UndoTally* tally, const char* format, const char* what) {
  char text[kValueChars];
  FormatText(text, format, what);
  WriteLogError(text);
  tally->Failed += 1;
}

void Done(UndoTally* tally, LogLineKind kind, const char* first, const char* second = nullptr) {
  if (second) WriteLogLine(kind, first, second);
  else WriteLogLine(kind, first);
  tally->Undone += 1;
}

// Moves the file noted at aside back to path (whatever stands at path now is the run's).
int PutBack(const char* path, const char* aside, UndoTally* tally) {
  if (GetFileAttributesA(aside) == INVALID_FILE_ATTRIBUTES) return 0;
  if (!RemoveFile(path) || !MoveFileA(aside, path)) {
    Failed(tally, "Die Datei \"%s\" kann nicht wiederhergestellt werden.", path);
    return 1;
  }
  Done(tally, kLogRestored, path);
  return 1;
}

void DeleteWritten(const char* path, UndoTally* tally) {
  if (RemoveFile(path)) Done(tally, kLogRemoved, path);
  else Failed(tally, "Die Datei \"%s\" kann nicht gelöscht werden.", path);
}

// Puts an INI entry back as the record tells; leftOver: the file the run made holds nothing now.
int UndoIniEntry(const UndoEntry& e, UndoTally* tally, int* leftOver) {
  *leftOver = 0;
  if (!RestoreIniEntry(e.Path, e.Name, e.Key, e.Prior, e.Flags, leftOver)) {
    Failed(tally, "Der Eintrag der Datei \"%s\" kann nicht wiederhergestellt werden.", e.Path);
    return 0;
  }
  Done(tally, kLogIniRestored, e.Path, e.Name);
  return 1;
}

// Rolls back one entry of a run that did not finish. An untrusted record's files are only
// followed where no link leads elsewhere.
void RollBackEntry(const UndoEntry& e, int trusted, UndoTally* tally) {
  switch (e.Kind) {
    case kUndoPending: {
      if (!trusted && !NoLinkOnTheWay(e.Path)) {
        Failed(tally, "Der Pfad \"%s\" führt über eine Verknüpfung und wird nicht verändert.", e.Path);
        return;
      }
      // The run was at this file when it ended: the installed one waits aside, or a new one
      // may have been begun (written after the note, never longer than the entry).
      if (PutBack(e.Path, e.Aside, tally)) return;
      FileFacts facts = FactsOf(e.Path);
      if (facts.Exists && facts.Time >= e.Time && facts.Size <= e.Size) DeleteWritten(e.Path, tally);
      return;
    }
    case kUndoNewFile:
    case kUndoReplaced: {
      if (!trusted && !NoLinkOnTheWay(e.Path)) {
        Failed(tally, "Der Pfad \"%s\" führt über eine Verknüpfung und wird nicht verändert.", e.Path);
        return;
      }
      if (e.Kind == kUndoReplaced && PutBack(e.Path, e.Aside, tally)) return;
      FileFacts facts = FactsOf(e.Path);
      if (!facts.Exists) return;
      if (!Matches(facts, e.Size, e.Time)) {
        // Changed by someone else while the run went on: not the run's to delete.
        WriteLogLine(kLogKept, e.Path);
        tally->Kept += 1;
        return;
      }
      DeleteWritten(e.Path, tally);
      return;
    }
    case kUndoOwnFile:
    case kUndoCurrent:
      return;  // the run's setup log keeps its lines; a file found current was not touched
    case kUndoFolder:
      // A folder that is not empty holds something that is not the run's: it stays.
      if (RemoveDirectoryA(e.Path)) Done(tally, kLogRemovedDir, e.Path);
      return;
    case kUndoShared:
      if (RestoreSharedCount(e.Path, e.Prior)) Done(tally, kLogSharedCount, e.Path);
      else Failed(tally, "Der Zähler der gemeinsam genutzten Datei \"%s\" kann nicht zurückgesetzt werden.", e.Path);
      return;
    case kUndoRegistered:
      // Before the library itself goes (it comes earlier in the record).
      if (GetFileAttributesA(e.Path) == INVALID_FILE_ATTRIBUTES) return;
      if (CallRegistration(e.Path, "DllUnregisterServer")) Done(tally, kLogDllUnregister, e.Path);
      else Failed(tally, "Fehler beim Abmelden von %s.", e.Path);
      return;
    case kUndoUnregistered:
      if (!CallRegistration(e.Path, "DllRegisterServer")) Failed(tally, "Fehler beim Registrieren von %s.", e.Path);
      else tally->Undone += 1;
      return;
    case kUndoKey: {
      int removed = 0;
      char key[kPathChars + 24];
      KeyText(key, e);
      if (!RemoveKeyIfEmpty(RootOf(e), e.Path, &removed))
        Failed(tally, "Der Schlüssel \"%s\" kann nicht gelöscht werden.", key);
      else if (removed)
        Done(tally, kLogRemovedKey, key);
      return;
    }
    case kUndoValue: {
      char key[kPathChars + 24];
      KeyText(key, e);
      if (RestoreValue(RootOf(e), e.Path, e.Name, e.Prior)) Done(tally, kLogRegistryRestored, key, e.Name);
      else Failed(tally, "Der Wert in \"%s\" kann nicht wiederhergestellt werden.", key);
      return;
    }
    case kUndoKeyDeleted: {
      char key[kPathChars + 24];
      KeyText(key, e);
      if (RecreateKey(e)) Done(tally, kLogRegistryRestored, key);
      else Failed(tally, "Der Schlüssel \"%s\" kann nicht wiederhergestellt werden.", key);
      return;
    }
    case kUndoIni: {
      int leftOver = 0;
      if (UndoIniEntry(e, tally, &leftOver) && leftOver) DeleteWritten(e.Path, tally);
      return;
    }
  }
}

// Paths whose outcome a run noted (written, replaced, found current), as hashes: a pending note
// of such a path is settled. A hash shared by two paths only leaves a pending note unused.
struct Settled {
  uint32_t* Hashes;
  uint32_t Mask;
};

uint32_t FoldedHash(const char* path) {
  uint32_t hash = 2166136261u;
  for (const char* p = path; *p; ++p) hash = (hash ^ FoldCp1252(static_cast<unsigned char>(*p))) * 16777619u;
  return hash | 1;  // 0 marks a free slot
}

bool SettledFind(const Settled& set, uint32_t hash, bool add) {
  if (!set.Hashes) return false;
  for (uint32_t slot = hash & set.Mask;; slot = (slot + 1) & set.Mask) {
    if (set.Hashes[slot] == hash) return true;
    if (set.Hashes[slot] == 0) {
      if (add) set.Hashes[slot] = hash;
      return false;
    }
  }
}

// Every entry from the last to the first.
void RollBackEntries(const UndoRecord& record, int trusted, UndoTally* tally) {
  CheckedFolder[0] = 0;
  Settled settled = {nullptr, 0};
  uint32_t slots = 16;
  while (slots < 2u * static_cast<uint32_t>(record.Count) + 16) slots *= 2;
  settled.Hashes = static_cast<uint32_t*>(calloc(slots, sizeof(uint32_t)));
  settled.Mask = slots - 1;
  for (int32_t i = record.Count - 1; i >= 0; --i) {
    const UndoEntry& e = record.Entries[i];
    if (e.Kind == kUndoNewFile || e.Kind == kUndoReplaced || e.Kind == kUndoCurrent) {
      SettledFind(settled, FoldedHash(e.Path), true);
    } else if (e.Kind == kUndoPending && SettledFind(settled, FoldedHash(e.Path), false) &&
               GetFileAttributesA(e.Aside) == INVALID_FILE_ATTRIBUTES) {
      continue;
    }
    RollBackEntry(e, trusted, tally);
  }
  free(settled.Hashes);
}

// A record of this product with the run's own notes, for the parser.
char* TrustedRecordText(const char* installDir, const char* runText, size_t runLength, size_t* size) {
  char header[kPathChars * 3 + 64];
  size_t headerLength = UndoHeaderN(header, sizeof header, CompanyName, ProductName, installDir);
  char* bytes = static_cast<char*>(malloc(headerLength + runLength + 1));
  if (!bytes || headerLength == 0) {
    free(bytes);
    return nullptr;
  }
  memcpy(bytes, header, headerLength);
  memcpy(bytes + headerLength, runText, runLength);
  *size = headerLength + runLength;
  return bytes;
}

struct Refusals {
  UndoTally* Tally;
};

void RefuseToLog(void* context, int32_t line, const char* reason) {
  char text[kValueChars];
  FormatText(text, "Protokoll der Installation, Zeile %ld: %s; der Eintrag wird übergangen.", static_cast<long>(line),
             reason);
  WriteLogError(text);
  static_cast<Refusals*>(context)->Tally->Failed += 1;
}

// The line for the next run's log, kept until that log exists.
char RolledBackLine[kValueChars];

}  // namespace

UndoPlace PlaceFor(const char* installDir) {
  UndoPlace place = {CompanyName, ProductName, installDir, WindowsDir, SystemDir,
                     {ProgramsFolder, StartMenuFolder, DesktopFolder}};
  return place;
}

char* ReadRecordFile(const char* path, size_t* size) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  DWORD high = 0, low = GetFileSize(file, &high);
  char* bytes = nullptr;
  if (high == 0 && low != INVALID_FILE_SIZE && low < 0x10000000) {
    bytes = static_cast<char*>(malloc(low + 1));
    DWORD read = 0;
    if (bytes && (!ReadFile(file, bytes, low, &read, nullptr) || read != low)) {
      free(bytes);
      bytes = nullptr;
    }
  }
  CloseHandle(file);
  *size = low;
  return bytes;
}

namespace {

// Undoes what this process noted, the newest first; 0 when its notes could not be read back.
int UndoOwnNotes(UndoTally* tally) {
  size_t length = 0, size = 0;
  const char* text = UndoRunText(&length);
  char* bytes = TrustedRecordText(InstallDir, text, length, &size);
  // From here on nothing is noted: the notes are being undone.
  EndUndoNotes();
  UndoRecord record;
  UndoPlace place = PlaceFor(InstallDir);
  int read = ParseUndoRecord(bytes, size, place, 1, &record, nullptr, nullptr);
  if (read) RollBackEntries(record, 1, tally);
  FreeUndoRecord(&record);
  return read;
}

}  // namespace

int RollBackThisRun(UndoTally* tally) {
  memset(tally, 0, sizeof *tally);
  if (!UndoJournalActive()) return 1;
  if (!UndoOwnNotes(tally)) {
    tally->Failed += 1;
    return 0;
  }
  DropUndoRun();
  return tally->Failed == 0;
}

int RollBackKilledRun(const char* installDir, UndoTally* tally) {
  memset(tally, 0, sizeof *tally);
  char path[kPathChars];
  if (!installDir[0] || !FormatWholeText(path, "%s%s%s", installDir,
                                         installDir[strlen(installDir) - 1] == '\\' ? "" : "\\", kUndoRecordName))
    return 0;
  size_t size = 0;
  char* bytes = ReadRecordFile(path, &size);
  if (!bytes) return 0;
  // The usual case, a record whose last run ended, is told by its last lines alone.
  if (UndoRecordEndsClosed(bytes, size)) {
    free(bytes);
    return 0;
  }
  UndoPlace place = PlaceFor(installDir);
  UndoRecord record;
  Refusals refusals = {tally};
  // The run's own log takes the lines (it is named in the record); refusals are counted first.
  void* ownLog = SetupLogHandle;
  SetupLogHandle = nullptr;
  int good = ParseUndoRecord(bytes, size, place, 0, &record, nullptr, nullptr);
  if (!good || !record.OpenRun) {
    FreeUndoRecord(&record);
    SetupLogHandle = ownLog;
    return 0;
  }
  size_t keep = record.OpenRunOffset;
  int32_t first = record.Count;
  while (first > 0 && record.Entries[first - 1].Run == record.OpenRun) --first;
  for (int32_t i = first; i < record.Count; ++i) {
    if (record.Entries[i].Kind != kUndoOwnFile) continue;
    HANDLE log = CreateFileA(record.Entries[i].Path, FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (log != INVALID_HANDLE_VALUE) SetupLogHandle = log;
    break;
  }
  FreeUndoRecord(&record);
  // Read again, now with the log to tell of what is refused.
  bytes = ReadRecordFile(path, &size);
  if (bytes && ParseUndoRecord(bytes, size, place, 0, &record, RefuseToLog, &refusals) && record.OpenRun) {
    FollowRecordOf(installDir);
    UndoRecord open = record;
    open.Entries = record.Entries + first;
    open.Count = record.Count - first;
    RollBackEntries(open, 0, tally);
  }
  FreeUndoRecord(&record);
  FormatText(RolledBackLine, "%s,%ld", installDir, static_cast<long>(tally->Undone));
  WriteLogLine(kLogRolledBack, RolledBackLine);
  if (SetupLogHandle) CloseHandle(SetupLogHandle);
  SetupLogHandle = ownLog;
  // The record keeps what the finished runs did; with none, it goes.
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    SetFilePointer(file, static_cast<LONG>(keep), nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    CloseHandle(file);
  }
  bytes = ReadRecordFile(path, &size);
  if (bytes && ParseUndoRecord(bytes, size, place, 1, &record, nullptr, nullptr) && record.LastRun == 0)
    DeleteFileA(path);
  FreeUndoRecord(&record);
  return 1;
}

void WriteRolledBackLine() {
  if (!RolledBackLine[0]) return;
  WriteLogLine(kLogRolledBack, RolledBackLine);
  RolledBackLine[0] = 0;
}

// --- Removal ----------------------------------------------------------------------------------

namespace {

// The index of the oldest N or R entry of path; -1 when there is none.
int32_t OldestFileEntry(const RemovalPlan* plan, const char* path) {
  for (int32_t i = 0; i < plan->Record.Count; ++i)
    if (plan->Oldest[i] && SamePath(plan->Record.Entries[i].Path, path)) return i;
  return -1;
}

}  // namespace

int PlanRemoval(const char* installDir, RemovalPlan* plan, AskSharedFile ask, UndoRefusal refuse, void* context) {
  memset(plan, 0, sizeof *plan);
  FollowRecordOf(installDir);
  char path[kPathChars];
  if (!installDir[0] || !FormatWholeText(path, "%s%s%s", installDir,
                                         installDir[strlen(installDir) - 1] == '\\' ? "" : "\\", kUndoRecordName))
    return 0;
  size_t size = 0;
  char* bytes = ReadRecordFile(path, &size);
  UndoPlace place = PlaceFor(installDir);
  if (!bytes || !ParseUndoRecord(bytes, size, place, 0, &plan->Record, refuse, context)) return 0;
  UndoRecord& record = plan->Record;
  int32_t n = record.Count;
  plan->Newest = static_cast<int32_t*>(malloc((n ? n : 1) * sizeof(int32_t)));
  plan->Oldest = static_cast<unsigned char*>(malloc(n ? n : 1));
  plan->Verdict = static_cast<unsigned char*>(calloc(n ? n : 1, 1));
  if (!plan->Newest || !plan->Oldest || !plan->Verdict || !FoldFileEntries(record, plan->Newest, plan->Oldest)) return 0;
  for (int32_t i = 0; i < n; ++i) {
    const UndoEntry& e = record.Entries[i];
    // A run that never finished has been rolled back before: its entries count for nothing.
    if (e.Run == record.OpenRun) {
      plan->Oldest[i] = 0;
      continue;
    }
    if (e.Kind == kUndoOwnFile) {
      plan->Verdict[i] = ListedFactsOf(e.Path).Exists ? kVerdictRemove : kVerdictNone;
      continue;
    }
    if (!plan->Oldest[i]) continue;
    FileFacts facts = ListedFactsOf(e.Path);
    const UndoEntry& newest = record.Entries[plan->Newest[i]];
    // Only what the product wrote where nothing stood is its to remove, and only as it wrote it.
    if (!facts.Exists || e.Kind != kUndoNewFile) plan->Verdict[i] = kVerdictNone;
    else if (!Matches(facts, newest.Size, newest.Time)) plan->Verdict[i] = kVerdictChanged;
    else plan->Verdict[i] = kVerdictRemove;
  }
  // Shared files: each finished run took one reference; where no other program's is left the
  // user decides. The decision is asked now, before anything is changed.
  for (int32_t i = 0; i < n; ++i) {
    const UndoEntry& e = record.Entries[i];
    if (e.Kind != kUndoShared || e.Run == record.OpenRun) continue;
    int32_t references = 0;
    int decided = 0;
    for (int32_t j = 0; j < n && !decided; ++j) {
      const UndoEntry& other = record.Entries[j];
      if (other.Kind != kUndoShared || other.Run == record.OpenRun || !SamePath(other.Path, e.Path)) continue;
      decided = j < i;  // at the path's first entry
      ++references;
    }
    if (decided) continue;
    int32_t file = OldestFileEntry(plan, e.Path);
    if (file < 0 || plan->Verdict[file] != kVerdictRemove) continue;
    uint32_t count = 0;
    ReadRegistryDword(HKEY_LOCAL_MACHINE, kSharedDllsKey, e.Path, &count);
    if (count > static_cast<uint32_t>(references)) {
      plan->Verdict[file] = kVerdictShared;  // another program counts it too
      continue;
    }
    // A file the product itself made, with a count the product itself began, was never anybody
    // else's: it goes without a question. Otherwise the user decides (a silent removal keeps it).
    if (strcmp(e.Prior, "-") == 0) continue;
    if (!ask || !ask(e.Path)) plan->Verdict[file] = kVerdictShared;
  }
  // A library is unregistered once, and only when it goes.
  for (int32_t i = n - 1; i >= 0; --i) {
    const UndoEntry& e = record.Entries[i];
    if (e.Kind != kUndoRegistered || e.Run == record.OpenRun) continue;
    int32_t file = OldestFileEntry(plan, e.Path);
    if (file < 0 || plan->Verdict[file] != kVerdictRemove) continue;
    int later = 0;
    for (int32_t j = i + 1; j < n && !later; ++j)
      later = record.Entries[j].Kind == kUndoRegistered && plan->Verdict[j] && SamePath(record.Entries[j].Path, e.Path);
    if (!later) plan->Verdict[i] = kVerdictRemove;
  }
  ForgetListing();
  for (int32_t i = 0; i < n; ++i) {
    char kind = record.Entries[i].Kind;
    if (plan->Verdict[i] == kVerdictRemove && kind != kUndoRegistered) plan->Files += 1;
  }
  FindFilesInUse(plan);
  return 1;
}

void FindFilesInUse(RemovalPlan* plan) {
  plan->InUse = 0;
  plan->FirstInUse[0] = 0;
  for (int32_t i = 0; i < plan->Record.Count; ++i) {
    const UndoEntry& e = plan->Record.Entries[i];
    if (plan->Verdict[i] != kVerdictRemove || e.Kind == kUndoRegistered) continue;
    // The uninstaller that started the removal runs from its file: it goes once it has ended.
    const char* name = strrchr(e.Path, '\\');
    if (name && SamePath(name + 1, kUninstallerName)) continue;
    // What a running program holds is its code: programs and libraries are looked at, each.
    const char* dot = name ? strrchr(name, '.') : nullptr;
    static const char* const kCode[] = {".exe", ".dll", ".ocx", ".cpl", ".scr", ".com", ".sys", ".drv", ".tlb"};
    int code = 0;
    for (const char* extension : kCode) code |= dot && SamePath(dot, extension);
    if (!code) continue;
    // The open a deletion needs, with everyone else allowed everything: refused only where a
    // program runs from the file or holds it without sharing.
    HANDLE file = CreateFileA(e.Path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      continue;
    }
    if (GetLastError() != ERROR_SHARING_VIOLATION) continue;
    if (plan->InUse++ == 0) CopyText(plan->FirstInUse, e.Path);
  }
}

void RemoveEntry(RemovalPlan* plan, int32_t index, UndoTally* tally) {
  const UndoEntry& e = plan->Record.Entries[index];
  if (e.Run == plan->Record.OpenRun) return;
  unsigned char verdict = plan->Verdict[index];
  switch (e.Kind) {
    case kUndoNewFile:
    case kUndoReplaced:
      // Files go after the point of return (DeleteEntry); what stays is said now.
      if (!plan->Oldest[index] || (verdict != kVerdictChanged && verdict != kVerdictShared)) return;
      WriteLogLine(kLogKept, e.Path);
      if (verdict == kVerdictShared) {
        if (tally->Shared++ < static_cast<int32_t>(sizeof tally->SharedNames / sizeof tally->SharedNames[0]))
          CopyText(tally->SharedNames[tally->SharedListed++], e.Path);
      } else if (tally->Kept++ < static_cast<int32_t>(sizeof tally->Names / sizeof tally->Names[0])) {
        CopyText(tally->Names[tally->Listed++], e.Path);
      }
      return;
    case kUndoRegistered:
      if (verdict != kVerdictRemove) return;
      {
        UndoLine line("U");
        line.Text(e.Path);
        if (!UndoNote(line)) return;
      }
      if (CallRegistration(e.Path, "DllUnregisterServer")) Done(tally, kLogDllUnregister, e.Path);
      else Failed(tally, "Fehler beim Abmelden von %s.", e.Path);
      return;
    case kUndoShared: {
      uint64_t left = 0;
      if (!ReleaseSharedCount(e.Path, &left)) return;
      char count[24];
      FormatText(count, "%llu", static_cast<unsigned long long>(left));
      Done(tally, kLogSharedCount, e.Path, count);
      return;
    }
    case kUndoPending:
    case kUndoFolder:
    case kUndoCurrent:
    case kUndoOwnFile:
      return;  // nothing was written, or it goes at the end
    case kUndoIni: {
      int leftOver = 0;
      if (!UndoIniEntry(e, tally, &leftOver)) return;
      // A file the run made that holds nothing now goes with the product's files.
      plan->Verdict[index] = leftOver ? kVerdictRemove : kVerdictNone;
      return;
    }
    default:
      RollBackEntry(e, 0, tally);  // the registry: put back as the run found it
      return;
  }
}

// Files that a program still held when they were to go (the uninstaller that started the
// removal runs from its own): FinishRemoval tries again.
char HeldFiles[4][kPathChars];
int HeldCount;

void CommitRemoval() {
  EndUndoNotes();
  CloseUndoJournal();
  HeldCount = 0;
  char record[kPathChars];
  FormatText(record, "%s%s%s", InstallDir, InstallDir[strlen(InstallDir) - 1] == '\\' ? "" : "\\", kUndoRecordName);
  RemoveFile(record);
}

void DeleteEntry(RemovalPlan* plan, int32_t index, UndoTally* tally) {
  const UndoEntry& e = plan->Record.Entries[index];
  if (plan->Verdict[index] != kVerdictRemove || e.Run == plan->Record.OpenRun) return;
  if (e.Kind == kUndoNewFile || e.Kind == kUndoReplaced) {
    if (!plan->Oldest[index]) return;
  } else if (e.Kind != kUndoOwnFile && e.Kind != kUndoIni) {
    return;  // a library to unregister, done already
  }
  if (!NoLinkOnTheWay(e.Path)) {
    Failed(tally, "Der Pfad \"%s\" führt über eine Verknüpfung und wird nicht verändert.", e.Path);
    return;
  }
  if (RemoveFile(e.Path)) {
    Done(tally, kLogRemoved, e.Path);
  } else if (HeldCount < static_cast<int>(sizeof HeldFiles / sizeof HeldFiles[0])) {
    CopyText(HeldFiles[HeldCount++], e.Path);
  } else if (RemoveAtRestart(e.Path)) {
    WriteLogLine(kLogRemoved, e.Path);
  } else {
    Failed(tally, "Die Datei \"%s\" kann nicht gelöscht werden.", e.Path);
  }
}

void FinishRemoval(RemovalPlan* plan, const char* installDir, int* installDirLeft) {
  for (int i = 0; i < HeldCount; ++i) {
    if (RemoveFile(HeldFiles[i]) || RemoveAtRestart(HeldFiles[i])) WriteLogLine(kLogRemoved, HeldFiles[i]);
  }
  HeldCount = 0;
  for (int32_t i = plan->Record.Count - 1; i >= 0; --i) {
    const UndoEntry& e = plan->Record.Entries[i];
    if (e.Kind == kUndoFolder && e.Run != plan->Record.OpenRun && RemoveDirectoryA(e.Path))
      WriteLogLine(kLogRemovedDir, e.Path);
  }
  *installDirLeft = GetFileAttributesA(installDir) != INVALID_FILE_ATTRIBUTES;
}

void CancelRemoval(UndoTally* tally) {
  memset(tally, 0, sizeof *tally);
  UndoOwnNotes(tally);
  CloseUndoJournal();
}

void FreeRemovalPlan(RemovalPlan* plan) {
  FreeUndoRecord(&plan->Record);
  free(plan->Newest);
  free(plan->Oldest);
  free(plan->Verdict);
  memset(plan, 0, sizeof *plan);
}
