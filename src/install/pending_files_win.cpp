#include <windows.h>

#include "install/pending_files.h"
#include "startup/text.h"

namespace {

const char kJournalName[] = "stpnew.tmp";

struct Journal {
  HANDLE File;
  char Path[kPathChars];
  PendingFiles Earlier;  // what a killed run left and this run has not mended yet
  PendingFiles Written;  // the journal as it stands
};

Journal Pending;

int WriteJournal(const PendingFiles* notes) {
  DWORD written = 0;
  return SetFilePointer(Pending.File, 0, nullptr, FILE_BEGIN) == 0 &&
         WriteFile(Pending.File, notes, sizeof *notes, &written, nullptr) && written == sizeof *notes;
}

// The file is gone, or has the length noted: nothing left to mend.
int IsMended(const PendingFile& note) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(note.Path, &found);
  if (find == INVALID_HANDLE_VALUE) return 1;
  FindClose(find);
  return (static_cast<int64_t>(found.nFileSizeHigh) << 32 | found.nFileSizeLow) == note.Size;
}

}  // namespace

int OpenPendingJournal() {
  ClosePendingJournal();
  // The folder comes with its final backslash.
  DWORD n = GetTempPathA(sizeof Pending.Path, Pending.Path);
  if (n == 0 || n + sizeof kJournalName > sizeof Pending.Path) return 0;
  AppendText(Pending.Path, kJournalName);
  HANDLE file = CreateFileA(Pending.Path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD read = 0;
  if (!ReadFile(file, &Pending.Earlier, sizeof Pending.Earlier, &read, nullptr) ||
      !IsPendingFilesImage(&Pending.Earlier, read))
    Pending.Earlier.Count = 0;
  Pending.File = file;
  return 1;
}

int PendingJournalOpen() { return Pending.File != nullptr; }

int NotePendingFile(const char* path, int64_t size) {
  if (!Pending.File) return 0;
  Pending.Written = Pending.Earlier;
  AddPendingFile(&Pending.Written, path, size);
  return WriteJournal(&Pending.Written);
}

int IsUnfinishedByKilledRun(const char* path) {
  int at = FindPendingFile(&Pending.Earlier, path);
  return at >= 0 && !IsMended(Pending.Earlier.Files[at]);
}

void PendingFileDone(const char* path) { RemovePendingFile(&Pending.Earlier, FindPendingFile(&Pending.Earlier, path)); }

void ClosePendingJournal() {
  if (!Pending.File) return;
  for (int i = Pending.Earlier.Count - 1; i >= 0; --i)
    if (IsMended(Pending.Earlier.Files[i])) RemovePendingFile(&Pending.Earlier, i);
  if (Pending.Earlier.Count > 0) WriteJournal(&Pending.Earlier);
  CloseHandle(Pending.File);
  Pending.File = nullptr;
  if (Pending.Earlier.Count == 0) DeleteFileA(Pending.Path);
}
