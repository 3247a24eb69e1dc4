// The journal a run keeps while it changes the system: every change is noted in the undo record
// (undo_record.h) before it is made. A setup run writes its notes to "uninst.dat" in the install
// folder and makes them durable before each change; the uninstaller keeps its own notes in
// memory only, so that a cancel can put the product back.
#pragma once
#include <cstddef>
#include <cstdint>

#include "install/undo_record.h"

// Starts a setup run's record in InstallDir: reads the record there (a record that cannot be
// read is begun anew, with an "Error: " line), appends the RUN line and makes it durable. 0 when
// the record cannot be written: the run must not change anything then.
int BeginUndoRun();
// Starts the uninstaller's journal, in memory.
void BeginUndoMemory();
// 1 while a journal takes notes.
int UndoJournalActive();

// Adds a note; it reaches the record with the next UndoFlush. 0 when the line did not fit or
// the memory ran out: the change must not be made.
int UndoNote(UndoLine& line);
// Writes the notes added since the last flush to the record and waits until they are on the
// disk. 0 when that fails: the change must not be made. Nothing to do in memory.
int UndoFlush();
// UndoNote and UndoFlush.
int UndoNoteNow(UndoLine& line);

// The text of the run so far (from its RUN line; the uninstaller's whole journal), which this
// process wrote itself and may trust. Valid until the next note.
const char* UndoRunText(size_t* length);
// The whole record as it stands, through the journal's own handle (nobody else may open it
// while the run goes on), in memory from malloc; null when it cannot be read.
char* UndoRecordBytes(size_t* size);
// The record's folder, file and the run's number and start.
const char* UndoRecordPath();
int32_t UndoRunNumber();
uint64_t UndoRunTime();

// No more notes are taken (what was noted is being undone); the record stays open for
// DropUndoRun.
void EndUndoNotes();
// The run is complete: its END line is written and made durable. 1 on success.
int FinishUndoRun();
// Drops the run from the record (after it was undone): the record is cut back to what stood
// before the run, and deleted when nothing is left. Also for the uninstaller's journal.
void DropUndoRun();
// Closes the record (the program ends).
void CloseUndoJournal();

// A file that another writer writes whole (a shortcut, the uninstaller): before, it is noted as
// pending (at most size bytes) and an existing one moved aside; 0 when that fails (nothing may
// be written then). After, it is noted as written with its length and last write, or, when the
// writing failed, the file that stood there is put back.
int BeginNotedWrite(const char* path, char (&aside)[260], int* existed, int64_t size);
void EndNotedWrite(const char* path, const char* aside, int existed, int written);

// The current time as a FILETIME.
uint64_t UndoNow();
