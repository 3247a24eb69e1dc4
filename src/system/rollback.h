// Undoing what the undo record holds (install/undo_record.h): the run in progress after a
// cancel, a run a killed setup left unfinished, and the uninstaller's removal of a product.
#pragma once
#include <cstdint>

#include "install/undo_record.h"

struct UndoTally {
  int32_t Undone;  // changes undone
  int32_t Failed;  // changes that could not be undone (each an "Error: " line)
  int32_t Kept;    // files kept: changed since they were written
  int32_t Shared;  // shared files kept: another program still counts them, or the user keeps them
  int32_t Listed;  // the first of the kept files, for the closing notice
  char Names[4][kUndoPathChars];
  int32_t SharedListed;  // ... and of the shared files kept
  char SharedNames[2][kUndoPathChars];
};

// Every undone change is a line of the setup log (SetupLogHandle), every failure an "Error: "
// line.

// Rolls back the run in progress after a cancel or an abort, in reverse order, from the notes
// this process wrote itself; the run is then dropped from the record. 1 when everything was
// undone.
int RollBackThisRun(UndoTally* tally);

// Rolls back a run that a killed setup left unfinished in the record of installDir (the record
// is read as untrusted bytes); its lines go to that run's own setup log. 1 when there was one
// (tally says how it went), 0 when the record holds none.
int RollBackKilledRun(const char* installDir, UndoTally* tally);

// Writes the "RolledBack:" line of RollBackKilledRun into the setup log, once it is open.
void WriteRolledBackLine();

// The place a record of this product in installDir is read against.
UndoPlace PlaceFor(const char* installDir);

// Reads the record file at path whole; null when it cannot be read.
char* ReadRecordFile(const char* path, size_t* size);

// --- The removal of a product (the uninstaller) ---------------------------------------------

// What the removal will do with each entry of a record's finished runs, decided before anything
// is changed.
struct RemovalPlan {
  UndoRecord Record;
  int32_t* Newest;          // FoldFileEntries
  unsigned char* Oldest;
  unsigned char* Verdict;   // per entry: kRemoveFile and the like, below
  int32_t Files;            // files to remove
  int32_t InUse;            // ... of which another program holds one open
  char FirstInUse[260];
};

enum : unsigned char {
  kVerdictNone = 0,
  kVerdictRemove = 1,       // the file goes (its oldest entry carries this)
  kVerdictChanged = 2,      // the user changed it: kept
  kVerdictShared = 3,       // a shared file still counted, or one the user keeps: kept
};

// Asked when a shared file's count falls to 0: 1 removes it.
typedef int (*AskSharedFile)(const char* path);

// Reads and checks the record of installDir and decides per file (asking about shared files
// whose count will fall to 0). Refused entries are told through refuse. 0 when there is no
// record of this product to remove.
int PlanRemoval(const char* installDir, RemovalPlan* plan, AskSharedFile ask, UndoRefusal refuse, void* context);
// Looks again which files to remove another program holds open (plan->InUse, FirstInUse).
void FindFilesInUse(RemovalPlan* plan);
// Undoes entry index of the plan's record (called from the last entry to the first), but for
// the product's files: registrations, shared counts, registry values and keys, INI entries.
// Every change is noted in the uninstaller's journal, so a cancel can put it back.
void RemoveEntry(RemovalPlan* plan, int32_t index, UndoTally* tally);
// The point of no return: the journal is closed and the record goes.
void CommitRemoval();
// Deletes the file of entry index, when the plan removes it (again from the last to the first).
// One that a program still holds waits for FinishRemoval.
void DeleteEntry(RemovalPlan* plan, int32_t index, UndoTally* tally);
// Once the uninstaller that started the removal has ended: what it held goes (or, still held,
// at the next start of Windows), and the folders the product made are removed when empty.
// installDirLeft is 1 when the install folder is still there (something not of the product is in
// it).
void FinishRemoval(RemovalPlan* plan, const char* installDir, int* installDirLeft);
// Puts back what the removal changed so far (a cancel): from the uninstaller's journal.
void CancelRemoval(UndoTally* tally);
void FreeRemovalPlan(RemovalPlan* plan);
