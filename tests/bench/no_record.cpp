// The journal of a run with no record at all, for the benchmark's program without the undo
// record (setup-ohne-protokoll.exe): the same program, every note left out.
#include <windows.h>

#include "install/undo_journal.h"

int BeginUndoRun() { return 1; }
void BeginUndoMemory() {}
int UndoJournalActive() { return 0; }
int UndoNote(UndoLine&) { return 1; }
int UndoFlush() { return 1; }
int UndoNoteNow(UndoLine&) { return 1; }
const char* UndoRunText(size_t* length) {
  *length = 0;
  return "";
}
char* UndoRecordBytes(size_t*) { return nullptr; }
const char* UndoRecordPath() { return ""; }
int32_t UndoRunNumber() { return 0; }
uint64_t UndoRunTime() { return 0; }
void EndUndoNotes() {}
int FinishUndoRun() { return 1; }
void DropUndoRun() {}
void CloseUndoJournal() {}

uint64_t UndoNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime;
}

int BeginNotedWrite(const char*, char (&aside)[260], int* existed, int64_t) {
  aside[0] = 0;
  *existed = 0;
  return 1;
}

void EndNotedWrite(const char*, const char*, int, int) {}
