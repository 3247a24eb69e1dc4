#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "install/setup_log.h"
#include "install/undo_journal.h"
#include "startup/compat.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

struct Journal {
  int Active;
  HANDLE File;             // the record; null for the uninstaller's journal in memory
  char Path[kPathChars];
  char* Text;              // the run's notes from its RUN line on
  size_t Length;
  size_t Capacity;
  size_t Flushed;          // how much of Text the record holds
  DWORD RunOffset;         // where the run's RUN line starts in the record
  int32_t Run;
  uint64_t Time;
};

Journal Undo;

int Reserve(size_t more) {
  if (Undo.Length + more + 1 <= Undo.Capacity) return 1;
  size_t capacity = Undo.Capacity ? Undo.Capacity : 65536;
  while (capacity < Undo.Length + more + 1) capacity *= 2;
  char* text = static_cast<char*>(realloc(Undo.Text, capacity));
  if (!text) return 0;
  Undo.Text = text;
  Undo.Capacity = capacity;
  return 1;
}

int Append(const char* bytes, size_t n) {
  if (!Reserve(n)) return 0;
  memcpy(Undo.Text + Undo.Length, bytes, n);
  Undo.Length += n;
  Undo.Text[Undo.Length] = 0;
  return 1;
}

int WriteAll(HANDLE file, const char* bytes, size_t n) {
  while (n > 0) {
    DWORD written = 0;
    DWORD chunk = n > 0x100000 ? 0x100000 : static_cast<DWORD>(n);
    if (!WriteFile(file, bytes, chunk, &written, nullptr) || written == 0) return 0;
    bytes += written;
    n -= written;
  }
  return 1;
}

// The record as it stands on the disk; null when it cannot be read whole.
char* ReadWhole(HANDLE file, DWORD* size) {
  DWORD high = 0;
  *size = GetFileSize(file, &high);
  if ((*size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0 || *size > 0x10000000) return nullptr;
  char* bytes = static_cast<char*>(malloc(*size + 1));
  DWORD read = 0;
  if (!bytes || SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0 || !ReadFile(file, bytes, *size, &read, nullptr) ||
      read != *size) {
    free(bytes);
    return nullptr;
  }
  return bytes;
}

void ResetText() {
  free(Undo.Text);
  Undo.Text = nullptr;
  Undo.Length = Undo.Capacity = Undo.Flushed = 0;
}

// What an existing record tells about its runs.
struct RecordRuns {
  int Good;      // a record of this product in this folder
  int32_t Last;  // its last run's number
  int Open;      // ... which has no END line
};

RecordRuns RunsOf(char* bytes, DWORD size) {
  UndoPlace place = {CompanyName, ProductName, InstallDir, WindowsDir, SystemDir, {"", "", ""}};
  UndoRecord record;
  // Trusted: only the numbering is wanted here, and nothing is acted on.
  RecordRuns runs = {};
  runs.Good = ParseUndoRecord(bytes, size, place, 1, &record, nullptr, nullptr);
  runs.Last = record.LastRun;
  runs.Open = record.OpenRun != 0;
  FreeUndoRecord(&record);
  return runs;
}

}  // namespace

uint64_t UndoNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime;
}

int BeginUndoRun() {
  CloseUndoJournal();
  if (!FormatWholeText(Undo.Path, "%s%s%s", InstallDir,
                       InstallDir[0] && InstallDir[strlen(InstallDir) - 1] != '\\' ? "\\" : "", kUndoRecordName))
    return 0;
  // No sharing: while the run goes on, nobody else writes its record.
  HANDLE file = CreateFileA(Undo.Path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD size = 0;
  char* bytes = ReadWhole(file, &size);
  if (!bytes) {
    // A record that cannot be read is never overwritten: what it knows would be lost.
    CloseHandle(file);
    return 0;
  }
  RecordRuns runs = {1, 0, 0};
  if (size > 0) runs = RunsOf(bytes, size);
  else free(bytes);
  Undo.File = file;
  Undo.Active = 1;
  int ok = 1;
  if (size == 0 || !runs.Good) {
    // No record yet, or one that is not this product's: it is begun anew.
    if (size > 0) WriteLogError("Das Protokoll der Installation ist beschädigt und wurde neu angelegt.");
    runs.Last = 0;
    char header[kPathChars * 3 + 64];
    size_t n = UndoHeaderN(header, sizeof header, CompanyName, ProductName, InstallDir);
    ok = n > 0 && SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 && SetEndOfFile(file) && WriteAll(file, header, n);
  } else {
    SetFilePointer(file, 0, nullptr, FILE_END);
    if (runs.Open) {
      // A run that could not be rolled back: it is closed, so its changes stay known to the
      // uninstaller.
      char end[32];
      FormatText(end, "END\t%ld\r\n", static_cast<long>(runs.Last));
      ok = WriteAll(file, end, strlen(end));
    }
  }
  Undo.RunOffset = SetFilePointer(file, 0, nullptr, FILE_CURRENT);
  Undo.Run = runs.Last + 1;
  Undo.Time = UndoNow();
  UndoLine run("RUN");
  run.Number(Undo.Run).Time(Undo.Time);
  if (!ok || Undo.RunOffset == INVALID_SET_FILE_POINTER || !UndoNoteNow(run)) {
    CloseUndoJournal();
    return 0;
  }
  return 1;
}

void BeginUndoMemory() {
  CloseUndoJournal();
  Undo.Active = 1;
  Undo.Run = 1;
  Undo.Time = UndoNow();
  UndoLine run("RUN");
  run.Number(1).Time(Undo.Time);
  UndoNote(run);
}

int UndoJournalActive() { return Undo.Active; }

int UndoNote(UndoLine& line) {
  if (!Undo.Active) return 1;
  size_t length = 0;
  const char* text = line.Finish(&length);
  return text && Append(text, length);
}

int UndoFlush() {
  if (!Undo.Active || !Undo.File || Undo.Flushed == Undo.Length) return 1;
  if (!WriteAll(Undo.File, Undo.Text + Undo.Flushed, Undo.Length - Undo.Flushed) || !FlushFileBuffers(Undo.File))
    return 0;
  Undo.Flushed = Undo.Length;
  return 1;
}

int UndoNoteNow(UndoLine& line) { return UndoNote(line) && UndoFlush(); }

const char* UndoRunText(size_t* length) {
  *length = Undo.Length;
  return Undo.Text ? Undo.Text : "";
}

char* UndoRecordBytes(size_t* size) {
  if (!Undo.File || !UndoFlush()) return nullptr;
  DWORD length = 0;
  char* bytes = ReadWhole(Undo.File, &length);
  SetFilePointer(Undo.File, 0, nullptr, FILE_END);
  *size = length;
  return bytes;
}

const char* UndoRecordPath() { return Undo.Path; }
int32_t UndoRunNumber() { return Undo.Run; }
uint64_t UndoRunTime() { return Undo.Time; }

void EndUndoNotes() {
  UndoFlush();
  Undo.Active = 0;
}

int FinishUndoRun() {
  if (!Undo.Active) return 0;
  UndoLine end("END");
  end.Number(Undo.Run);
  return UndoNoteNow(end);
}

void DropUndoRun() {
  if (Undo.File) {
    // The header alone left: nothing of the product is recorded any more.
    char header[kPathChars * 3 + 64];
    size_t headerLength = UndoHeaderN(header, sizeof header, CompanyName, ProductName, InstallDir);
    int empty = Undo.RunOffset <= headerLength;
    if (SetFilePointer(Undo.File, static_cast<LONG>(Undo.RunOffset), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER)
      SetEndOfFile(Undo.File);
    FlushFileBuffers(Undo.File);
    if (empty) {
      CloseHandle(Undo.File);
      Undo.File = nullptr;
      DeleteFileA(Undo.Path);
    }
  }
  CloseUndoJournal();
}

void CloseUndoJournal() {
  if (Undo.File) {
    UndoFlush();
    CloseHandle(Undo.File);
  }
  ResetText();
  Undo.File = nullptr;
  Undo.Active = 0;
  Undo.Run = 0;
}

int BeginNotedWrite(const char* path, char (&aside)[260], int* existed, int64_t size) {
  *existed = GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
  uint32_t variant = 0;
  while (AsidePathFor(aside, path, variant) && GetFileAttributesA(aside) != INVALID_FILE_ATTRIBUTES && variant < 8)
    ++variant;
  if (!aside[0]) return 0;
  UndoLine pending("P");
  pending.Text(path).Text(aside).Number(size).Time(UndoNow());
  if (!UndoNoteNow(pending)) return 0;
  return !*existed || MoveFileA(path, aside);
}

void EndNotedWrite(const char* path, const char* aside, int existed, int written) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!written || !ReadFileData(path, &data)) {
    if (existed) {
      DeleteFileA(path);
      MoveFileA(aside, path);
    }
    return;
  }
  UndoLine line(existed ? "R" : "N");
  line.Text(path);
  if (existed) line.Text(aside);
  line.Number(static_cast<int64_t>(static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow))
      .Time(static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime);
  UndoNote(line);
}
