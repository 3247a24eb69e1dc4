// The journal of files the copy page writes straight under their own name (files that were
// not there before). A setup killed while writing one leaves it unfinished under its real name;
// the note it leaves tells the next run to copy that file again whatever version its unfinished
// copy may show, unless it has the noted length by then.
#pragma once
#include <cstddef>
#include <cstdint>

#include "script/records.h"

constexpr int kMaxPendingFiles = 4;

struct PendingFile {
  int64_t Size;  // the complete file's length
  char Path[kPathChars];
};

struct PendingFiles {
  int Count;
  PendingFile Files[kMaxPendingFiles];
};

// The journal holds the list as it stands in memory. 1 when bytes read from it are such a list:
// the whole of one, no more notes than it has room for, every path ended within its field.
int IsPendingFilesImage(const PendingFiles* list, size_t bytesRead);
// Notes a file; a path noted already (compared as Windows compares names) takes the new
// length, and when the list is full the oldest note goes.
void AddPendingFile(PendingFiles* list, const char* path, int64_t size);
// The index of the path's note, -1 when it has none.
int FindPendingFile(const PendingFiles* list, const char* path);
void RemovePendingFile(PendingFiles* list, int index);

// The copy page's journal, "stpnew.tmp" in the user's temporary folder, open without sharing
// from the copy's start to its end.
// Opens it and reads what a killed run left. 0 when it cannot be opened (another setup holds
// it, or there is no temporary folder): files then go the usual way, beside their target.
int OpenPendingJournal();
int PendingJournalOpen();
// Notes the new file about to be written under its own name. 0 when the note cannot be
// written: the file must not be written so.
int NotePendingFile(const char* path, int64_t size);
// 1 when a killed run noted the installed file and it still lacks the noted length.
int IsUnfinishedByKilledRun(const char* path);
// The file is complete now: what a killed run noted about it no longer holds.
void PendingFileDone(const char* path);
// At the copy's end: the notes of a killed run that are still needed stay, for files this run
// did not copy; with none, the journal goes.
void ClosePendingJournal();
