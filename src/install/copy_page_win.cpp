#include <windows.h>

#include <cstring>

#include "install/answers.h"
#include "install/copy_blocks.h"
#include "install/copy_page.h"
#include "install/filesystem.h"
#include "install/progress_bar.h"
#include "install/setup_log.h"
#include "install/shared_dlls.h"
#include "install/undo_journal.h"
#include "install/version_check.h"
#include "resources/resource_ids.h"
#include "script/option_tree.h"
#include "startup/paths.h"
#include "startup/state.h"
#include "startup/text.h"
#include "system/rollback.h"
#include "system/uninstall_entry.h"
#include "wizard/busy_page.h"
#include "wizard/dialog_services.h"
#include "wizard/folder_chooser.h"
#include "wizard/frame.h"

const char kReadErrorText[] = "Fehler beim Lesen der Datei %s!";

namespace {

constexpr int kCancelDialog = IDD_CONFIRM_CANCEL_CHANGED;
const char kPlace[] = "copy";  // the page in a "Cancelled:" line

const char kUpToDateText[] = "Ist Up-To-Date";
const char kWriteErrorText[] = "Fehler beim Schreiben in die Datei %s!";
const char kTargetErrorText[] =
    "Die Datei \"%s\" kann nicht erzeugt werden! Bitte beenden Sie alle anderen Anwendungen und starten Sie Setup "
    "erneut!\nSoll Setup beendet werden?";
const char kSourcePromptTitle[] = "Quelldatei nicht gefunden!";
const char kSourcePromptText[] =
    "Bitte legen Sie den Datenträger mit der Bezeichnung \"%s\" in das angegebene Laufwerk ein, oder wählen Sie "
    "ein Laufwerk/Verzeichnis, in dem die Datei \"%s\" zu finden ist.";
const char kFolderErrorText[] = "Fehler beim Erzeugen des Verzeichnisses \"%s\"";
const char kLogErrorText[] = "Kann Log-Datei \"%s\" nicht erzeugen!";
const char kRecordErrorText[] = "Kann das Protokoll der Installation \"%s\" nicht anlegen!";

// Files whose notes are written to the record at once, before the first of them is touched:
// one wait for the disk for many files.
constexpr int kDeclaredFiles = 256;

// A file handle that closes itself.
class FileHandle {
 public:
  FileHandle() = default;
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  void Reset(HANDLE handle) {
    Close();
    handle_ = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
  }
  void Close() {
    if (handle_) CloseHandle(handle_);
    handle_ = nullptr;
  }
  HANDLE Get() const { return handle_; }
  bool IsOpen() const { return handle_ != nullptr; }

 private:
  HANDLE handle_ = nullptr;
};

// The page's state; the page exists once per run.
struct CopyState {
  Option* CurrentOption;
  int32_t CurrentFile;
  int64_t BytesDone;       // counted for the bar
  int64_t FileBytesDone;   // copied of the current file
  int64_t TotalBytes;      // 100 percent
  char SourcePath[kPathChars];
  char TargetPath[kPathChars];
  // The file being written: the target under its own name. An installed file it replaces waits
  // under AsidePath meanwhile (empty for a new file), and goes back when the copy fails.
  int Writing;
  char AsidePath[kPathChars];
  DWORD TargetAttributes;  // of the installed file, INVALID_FILE_ATTRIBUTES when there is none
  DWORD KeptAttributes;    // attributes of the file being replaced, 0 for a new file
  uint32_t BlockBytes;     // the next read and write
  char ReadyFolder[kPathChars];  // the folder the last target was created in
  char BlockFolder[kPathChars];  // the source folder BlockBytes was measured on
  // The files of the current option already noted in the record: up to DeclaredEnd, each with
  // the variant of its aside name.
  Option* DeclaredOption;
  int32_t DeclaredStart;
  int32_t DeclaredEnd;
  unsigned char Variant[kDeclaredFiles];
};

CopyState Copy;
FileHandle SourceHandle;
FileHandle TargetHandle;  // the temporary file
char CopyBuffer[kLargestBlockBytes];

struct Display {
  char Source[kPathChars];
  char Target[kPathChars];
  int SourceChanged;
  int TargetChanged;
  int64_t LastDrawUs;
  int Copying;  // 0 until the first step: the bar shows no figures before
};

Display Shown;

void SetLine(char (&line)[kPathChars], int* changed, const char* text) {
  if (strcmp(line, text) == 0) return;
  CopyText(line, text);
  *changed = 1;
}

void SetSourceLine(const char* text) { SetLine(Shown.Source, &Shown.SourceChanged, text); }
void SetTargetLine(const char* text) { SetLine(Shown.Target, &Shown.TargetChanged, text); }

// Draws the lines that changed and the bar at once; a paint left pending would end the time
// slice.
void DrawLine(HWND page, int id, const char* text, int* changed) {
  if (!*changed) return;
  *changed = 0;
  SetDlgItemTextA(page, id, text);
  UpdateWindow(GetDlgItem(page, id));
}

void DrawProgress(HWND page) {
  if (!Shown.Copying || !IsWindow(page)) return;
  DrawLine(page, IDC_SOURCE_PATH, Shown.Source, &Shown.SourceChanged);
  DrawLine(page, IDC_TARGET_PATH, Shown.Target, &Shown.TargetChanged);
  SetProgress(GetDlgItem(page, IDC_PROGRESS), Copy.BytesDone, Copy.TotalBytes, 1);
  Shown.LastDrawUs = BusyClockUs();
}

// After a step: draws when the last drawing is old enough.
void RefreshProgress(HWND page) {
  if (BusyClockUs() - Shown.LastDrawUs >= kDrawIntervalUs) DrawProgress(page);
}

// Drops the unfinished copy: the file written so far goes, an installed file it replaced comes
// back as it was.
void DiscardTarget() {
  TargetHandle.Close();
  if (!Copy.Writing) return;
  Copy.Writing = 0;
  DeleteFileA(Copy.TargetPath);
  if (Copy.AsidePath[0] && MoveFileA(Copy.AsidePath, Copy.TargetPath)) {
    Copy.AsidePath[0] = 0;
    WriteLogLine(kLogRestored, Copy.TargetPath);
  }
}

void CloseFiles() {
  SourceHandle.Close();
  DiscardTarget();
}

void CancelSetup(HWND page, int markErrors) {
  if (markErrors) ErrorsOccurred = 1;
  CloseFiles();
  EndBusyPage(page, CmdCancel);
}

// A box about the path in hand, over the page as it stands; its text stays in text.
int ShowPathBox(HWND page, char (&text)[kValueChars], const char* format, const char* path, const char* caption,
                UINT style) {
  FormatText(text, format, path);
  DrawProgress(page);
  return BusyPageMessage(page, text, caption, style);
}

FileEntry* CurrentEntry() { return &Copy.CurrentOption->FileEntries[Copy.CurrentFile]; }

// A failure of the copy: the log gets the box's text first (the unfinished copy is gone by
// now, so even a full disk has room for the line), then the box comes up. The system update
// page does not report the entry's file again.
void ReportFailure(HWND page, const char* format, const char* path, const char* caption) {
  CurrentEntry()->Reported |= kReportedCopy;
  char text[kValueChars];
  FormatText(text, format, path);
  WriteLogError(text);
  DrawProgress(page);
  BusyPageMessage(page, text, caption, MB_ICONWARNING);
}

void NextEntry(HWND page) {
  Copy.CurrentFile += 1;
  ScheduleStep(page, kStepNextFile);
}

// The target cannot be written: Abort ends the setup, Retry tries the entry again from the
// start, Ignore skips it. takeBack is what this entry already added to the bar.
void AskAboutTarget(HWND page, const char* shownPath, int64_t takeBack) {
  CloseFiles();
  // The bar no longer counts the abandoned copy while the box is up.
  Copy.BytesDone -= takeBack;
  char text[kValueChars];
  int answer =
      ShowPathBox(page, text, kTargetErrorText, shownPath, "Schwerer Fehler!", MB_ICONWARNING | MB_ABORTRETRYIGNORE);
  if (answer != IDRETRY) {
    WriteLogError(text);
    CurrentEntry()->Reported |= kReportedCopy;
  }
  switch (answer) {
    case IDRETRY:
      ScheduleStep(page, kStepNextFile);
      break;
    case IDIGNORE:
      ErrorsOccurred = 1;
      Copy.BytesDone += CountedSize(CurrentEntry());
      NextEntry(page);
      break;
    default:  // Abort, or no box at all
      WriteLogLine(kLogCancelled, kPlace, shownPath);
      CancelSetup(page, 1);
      return;
  }
  DrawProgress(page);
}

// The label of a disk number; empty for a number outside the labels read. Disk 1 always has
// one: the script's, or the table's default while the script names none.
const char* DiskLabel(int32_t disk) {
  int32_t labels = DiskCount > 0 ? DiskCount : 1;
  if (disk < 1 || disk > labels || !DiskLabels[disk - 1]) return "";
  return DiskLabels[disk - 1];
}

void AskForSource(HWND page) {
  FileEntry* entry = CurrentEntry();
  char text[kValueChars];
  FormatText(text, kSourcePromptText, DiskLabel(entry->Disk), entry->SourceName);
  FolderPrompt prompt;
  memset(&prompt, 0, sizeof prompt);
  prompt.Title = kSourcePromptTitle;
  CopyText(prompt.Folder, SetupDir);
  prompt.Text = text;
  prompt.ShowSkip = 1;
  int result;
  DrawProgress(page);
  {
    PagePromptGuard guard;
    result = ChooseFolder(page, &prompt);
  }
  Copy.BlockFolder[0] = 0;
  if (result != kPromptOk) entry->Reported |= kReportedCopy;
  switch (result) {
    case kPromptOk:
      // The chosen folder stands in for the setup folder from now on.
      CopyText(SetupDir, prompt.Folder);
      ScheduleStep(page, kStepNextFile);
      break;
    case kPromptSkip:
      WriteLogError(text);
      ErrorsOccurred = 1;
      Copy.BytesDone += CountedSize(entry);
      NextEntry(page);
      break;
    default:  // cancel, or the chooser could not be shown: nothing left to go on with
      WriteLogError(text);
      WriteLogLine(kLogCancelled, kPlace, Copy.TargetPath);
      CancelSetup(page, 1);
      return;
  }
  RedrawWindow(page, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  DrawProgress(page);
}

// Folder part of a path, without the final backslash ("C:\" stays whole); 0 when there is none.
int FolderOfPath(char (&folder)[kPathChars], const char* path) {
  CopyText(folder, path);
  char* slash = strrchr(folder, '\\');
  if (!slash) return 0;
  if (slash == folder || slash[-1] == ':') slash[1] = 0;
  else *slash = 0;
  return 1;
}

// The folder exists, or has just been made with every missing level.
int MakeFolder(const char* folder) { return DirectoryExists(folder) || CreateDirectoryTree(folder); }

// The aside name of the current entry, as the record noted it.
int AsideOfCurrent(char (&aside)[kPathChars]) {
  int32_t at = Copy.CurrentFile - Copy.DeclaredStart;
  return AsidePathFor(aside, Copy.TargetPath, Copy.Variant[at]);
}

// Notes the next files of the option in the record before any of them is touched: each may be
// written from now on, and an installed one would wait under its aside name. One wait for the
// disk covers them all. 0 when the notes cannot be written: nothing may be changed then.
int DeclareFiles(Option* option) {
  if (Copy.DeclaredOption == option && Copy.CurrentFile >= Copy.DeclaredStart && Copy.CurrentFile < Copy.DeclaredEnd)
    return 1;
  Copy.DeclaredOption = option;
  Copy.DeclaredStart = Copy.CurrentFile;
  Copy.DeclaredEnd = Copy.CurrentFile;
  uint64_t now = UndoNow();
  uint32_t hashes[kDeclaredFiles];
  for (int32_t i = Copy.CurrentFile; i < option->FileCount && i - Copy.CurrentFile < kDeclaredFiles; ++i) {
    int32_t at = i - Copy.DeclaredStart;
    Copy.Variant[at] = 0;
    hashes[at] = 0;
    Copy.DeclaredEnd = i + 1;
    const FileEntry* entry = &option->FileEntries[i];
    char target[kPathChars], aside[kPathChars];
    if (entry->DestKind == kDestNoCopy || !FileEntryPath(target, option, entry)) continue;
    // Two targets of one folder whose names would share an aside name take the next variant.
    for (;;) {
      if (!AsidePathFor(aside, target, Copy.Variant[at])) break;
      hashes[at] = AsideHash(target, Copy.Variant[at]);
      int taken = 0;
      for (int32_t j = 0; j < at && !taken; ++j) taken = hashes[j] == hashes[at];
      if (!taken || Copy.Variant[at] == 255) break;
      Copy.Variant[at] += 1;
    }
    UndoLine line("P");
    line.Text(target).Text(aside).Number(entry->Size).Time(now);
    if (!UndoNote(line)) return 0;
  }
  return UndoFlush();
}

// Creates the target under its own name where no file of that name is there yet; the copy is
// then written straight into it. 0 when the name is taken or cannot be created: the usual way
// (folder made, installed file checked and moved aside) takes over.
int CreateNewTarget() {
  HANDLE file = CreateFileA(Copy.TargetPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  TargetHandle.Reset(file);
  Copy.Writing = 1;
  Copy.AsidePath[0] = 0;
  Copy.KeptAttributes = 0;
  return 1;
}

// Moves the installed file aside under the name the record noted (another, noted first, when
// that one is taken) and creates the target new in its place.
int ReplaceTarget() {
  if (!AsideOfCurrent(Copy.AsidePath)) return 0;
  if (!MoveFileA(Copy.TargetPath, Copy.AsidePath)) {
    DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return 0;
    // The name is taken by a file that is not this run's: another one, noted before the move.
    int32_t at = Copy.CurrentFile - Copy.DeclaredStart;
    const FileEntry* entry = CurrentEntry();
    int moved = 0;
    while (!moved && Copy.Variant[at] < 255) {
      Copy.Variant[at] += 1;
      if (!AsideOfCurrent(Copy.AsidePath)) return 0;
      if (GetFileAttributesA(Copy.AsidePath) != INVALID_FILE_ATTRIBUTES) continue;
      UndoLine line("P");
      line.Text(Copy.TargetPath).Text(Copy.AsidePath).Number(entry->Size).Time(UndoNow());
      if (!UndoNoteNow(line)) return 0;
      moved = MoveFileA(Copy.TargetPath, Copy.AsidePath);
    }
    if (!moved) return 0;
  }
  HANDLE file = CreateFileA(Copy.TargetPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    MoveFileA(Copy.AsidePath, Copy.TargetPath);
    Copy.AsidePath[0] = 0;
    return 0;
  }
  TargetHandle.Reset(file);
  Copy.Writing = 1;
  return 1;
}

// Makes the target's folder, checks that an installed file may be replaced, and opens the
// target. 0 when the target cannot be written.
int OpenTarget() {
  char folder[kPathChars];
  if (!FolderOfPath(folder, Copy.TargetPath)) return 0;
  // The folder of the last file is not looked for again; should it have gone since, the
  // target cannot be created and the folder is made once more.
  int known = strcmp(folder, Copy.ReadyFolder) == 0;
  Copy.ReadyFolder[0] = 0;
  if (!known && !MakeFolder(folder)) return 0;
  Copy.KeptAttributes = 0;
  DWORD attributes = Copy.TargetAttributes;
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    // A read-only file is never replaced, even where the system would let this process write it.
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return 0;
    // The same open that rewriting in place would need: refused for a read-only file and for
    // one held open without write sharing. Nothing is changed by it.
    HANDLE probe = CreateFileA(Copy.TargetPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return 0;
    CloseHandle(probe);
    Copy.KeptAttributes = attributes;
    if (!ReplaceTarget()) return 0;
  } else if (!CreateNewTarget()) {
    if (!known || GetLastError() != ERROR_PATH_NOT_FOUND) return 0;
    if (!MakeFolder(folder) || !CreateNewTarget()) return 0;
  }
  CopyText(Copy.ReadyFolder, folder);
  return 1;
}

// *StepNextOption*
void StepNextOption(HWND page) {
  if (!Copy.CurrentOption) {
    DrawProgress(page);
    EndBusyPage(page, CmdNext);
    return;
  }
  Copy.CurrentFile = 0;
  CloseFiles();
  if (IsSelected(Copy.CurrentOption)) {
    ScheduleStep(page, kStepNextFile);
  } else if (Copy.CurrentOption->NoCopyNode) {
    Copy.CurrentOption = Copy.CurrentOption->NoCopyNode;
    ScheduleStep(page, kStepNextFile);
  } else {
    Copy.CurrentOption = Copy.CurrentOption->NextSibling;
    ScheduleStep(page, kStepNextOption);
  }
}

// *StepNextFile*
void StepNextFile(HWND page) {
  Copy.FileBytesDone = 0;
  Option* option = Copy.CurrentOption;
  if (!option->FileEntries || Copy.CurrentFile >= option->FileCount) {
    Copy.CurrentOption = option->NextSibling;
    ScheduleStep(page, kStepNextOption);
    RefreshProgress(page);
    return;
  }
  const FileEntry* entry = CurrentEntry();
  if (entry->DestKind == kDestNoCopy) {
    NextEntry(page);
    RefreshProgress(page);
    return;
  }
  // A path that does not fit is not cut: it would name another file.
  int sourceFits = strlen(SetupDir) + 1 + strlen(entry->SourceName) < sizeof Copy.SourcePath;
  CopyText(Copy.SourcePath, SetupDir);
  AddBackslash(Copy.SourcePath);
  AppendText(Copy.SourcePath, entry->SourceName);
  SetSourceLine(Copy.SourcePath);
  // A file goes on with the blocks the last one ended with when it comes from the same folder:
  // small files of a fast disk then take one read each. From anywhere else (or after the source
  // prompt, when another disk may be in the drive) it starts small again.
  char sourceFolder[kPathChars];
  FolderOfPath(sourceFolder, Copy.SourcePath);
  if (strcmp(sourceFolder, Copy.BlockFolder) != 0) {
    Copy.BlockBytes = kFirstBlockBytes;
    CopyText(Copy.BlockFolder, sourceFolder);
  }
  Copy.TargetPath[0] = 0;
  if (!FileEntryPath(Copy.TargetPath, option, entry)) {
    SetTargetLine(entry->TargetName);
    AskAboutTarget(page, Copy.TargetPath[0] ? Copy.TargetPath : entry->TargetName, 0);
    return;
  }
  if (!DeclareFiles(option)) {
    AskAboutTarget(page, Copy.TargetPath, 0);
    return;
  }
  // A file not installed yet is created under its own name at once (one look for the name, as
  // a plain copy takes); only an installed file is looked at and moved aside.
  int created = sourceFits && CreateNewTarget();
  // Otherwise looked up once: the version test and the target's checks both need it.
  Copy.TargetAttributes = created ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(Copy.TargetPath);
  if (Copy.TargetAttributes != INVALID_FILE_ATTRIBUTES && IsEntryInstalledCurrent(Copy.TargetPath, entry)) {
    SetTargetLine(kUpToDateText);
    Copy.BytesDone += CountedSize(entry);
    UndoLine current("Q");
    current.Text(Copy.TargetPath);
    UndoNote(current);
    if (entry->Shared) AddSharedDllReference(Copy.TargetPath);
    WriteLogLine(kLogUpToDate, Copy.TargetPath);
    NextEntry(page);
    RefreshProgress(page);
    return;
  }
  SetTargetLine(Copy.TargetPath);
  SourceHandle.Close();
  if (sourceFits)
    SourceHandle.Reset(
        CreateFileA(Copy.SourcePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!SourceHandle.IsOpen()) {
    DiscardTarget();
    AskForSource(page);
    return;
  }
  if (!created && !OpenTarget()) {
    AskAboutTarget(page, Copy.TargetPath, 0);
    return;
  }
  ScheduleStep(page, kStepCopyChunk);
}

// The file is complete: check its length, note it, count and log it.
void FinishFile(HWND page) {
  const FileEntry* entry = CurrentEntry();
  if (Copy.FileBytesDone < entry->Size && Copy.AsidePath[0]) {
    // A source that ended early never takes the place of an intact installed file: that one
    // comes back as it was.
    SourceHandle.Close();
    DiscardTarget();
    ReportFailure(page, kReadErrorText, Copy.SourcePath, "Schwerer Fehler");
    ErrorsOccurred = 1;
    NextEntry(page);
    return;
  }
  // Its creation time is the entry's; its last write is set here, so the record knows it to
  // the tick and the uninstaller can tell whether the file was changed since.
  uint64_t time = (static_cast<uint64_t>(entry->FileTimeHigh) << 32) | entry->FileTimeLow;
  uint64_t now = UndoNow();
  FILETIME created = {entry->FileTimeLow, entry->FileTimeHigh};
  FILETIME written = {static_cast<DWORD>(now), static_cast<DWORD>(now >> 32)};
  SetFileTime(TargetHandle.Get(), time ? &created : nullptr, nullptr, &written);
  SourceHandle.Close();
  TargetHandle.Close();
  Copy.Writing = 0;
  if (Copy.KeptAttributes) SetFileAttributesA(Copy.TargetPath, Copy.KeptAttributes & ~FILE_ATTRIBUTE_READONLY);
  UndoLine line(Copy.AsidePath[0] ? "R" : "N");
  line.Text(Copy.TargetPath);
  if (Copy.AsidePath[0]) line.Text(Copy.AsidePath);
  line.Number(Copy.FileBytesDone).Time(now);
  UndoNote(line);
  Copy.AsidePath[0] = 0;
  if (Copy.FileBytesDone != entry->Size) {
    ReportFailure(page, kReadErrorText, Copy.SourcePath, "Schwerer Fehler");
    ErrorsOccurred = 1;
  }
  if (entry->Shared) AddSharedDllReference(Copy.TargetPath);
  WriteLogLine(kLogCopied, Copy.TargetPath);
  NextEntry(page);
}

// *StepCopyChunk*: blocks through the one buffer, as many as the time slice holds while nothing
// else waits, so copying runs at the speed of the disk and the page still answers between steps.
void StepCopyChunk(HWND page) {
  for (;;) {
    DWORD wanted = Copy.BlockBytes;
    int64_t started = BusyClockUs();
    DWORD read = 0;
    if (!ReadFile(SourceHandle.Get(), CopyBuffer, wanted, &read, nullptr)) {
      CloseFiles();
      ReportFailure(page, kReadErrorText, Copy.SourcePath, "Schwerer Fehler");
      // The entry is abandoned; the installed file, if any, stays as it was.
      ErrorsOccurred = 1;
      NextEntry(page);
      break;
    }
    DWORD written = 0;
    if (!WriteFile(TargetHandle.Get(), CopyBuffer, read, &written, nullptr) || written != read) {
      CloseFiles();
      ReportFailure(page, kWriteErrorText, Copy.TargetPath, "Schwerer Fehler");
      CancelSetup(page, 1);
      return;
    }
    Copy.BytesDone += read;
    Copy.FileBytesDone += read;
    if (read < wanted) {
      FinishFile(page);
      break;
    }
    Copy.BlockBytes = NextBlockBytes(wanted, BusyClockUs() - started);
    if (!BusySliceLeft()) {
      ScheduleStep(page, kStepCopyChunk);
      break;
    }
  }
  if (IsWindow(page)) RefreshProgress(page);
}

void OnInit(HWND page) {
  memset(&Shown, 0, sizeof Shown);
  Copy.ReadyFolder[0] = 0;
  Copy.BlockFolder[0] = 0;
  Copy.CurrentOption = OptionRoot;
  PageClosable = 0;
  Copy.CurrentFile = 0;
  CloseFiles();
  Copy.BytesDone = 0;
  Copy.FileBytesDone = 0;
  ChangesMade = 1;
  Copy.TotalBytes = SelectedSize(OptionRoot, true, true);
  HWND bar = GetDlgItem(page, IDC_PROGRESS);
  SetProgress(bar, 0, 1, 0);
  AttachProgressBar(bar);

  char text[kValueChars];
  CreatedDirectoryCount = 0;
  if (!MakeFolder(InstallDir)) {
    ShowPathBox(page, text, kFolderErrorText, InstallDir, "Fehler", MB_ICONSTOP);
    CancelSetup(page, 1);
    return;
  }
  char logName[kLogNameChars];
  if (!OpenSetupLog(logName)) {
    ShowPathBox(page, text, kLogErrorText, logName, "Fehler", MB_ICONSTOP);
    // Nothing will be installed: the run is reported as incomplete.
    CancelSetup(page, 1);
    return;
  }
  LogCreatedDirectories();
  WritePendingAnswers();
  WriteRolledBackLine();
  // From here on every change is noted before it is made. The folders just created and the log
  // are noted first, then where the record is, for a setup that starts after this one was
  // killed.
  int noted = BeginUndoRun();
  for (int i = 0; noted && i < CreatedDirectoryCount; ++i) {
    UndoLine folder("C");
    folder.Text(CreatedDirectories[i]);
    noted = UndoNote(folder);
  }
  UndoLine log("O");
  log.Text(logName);
  if (!noted || !UndoNote(log) || !RecordInstallLocation()) {
    ShowPathBox(page, text, kRecordErrorText, UndoRecordPath(), "Fehler", MB_ICONSTOP);
    CloseUndoJournal();
    CancelSetup(page, 1);
    return;
  }
  // The first step only now: scheduled earlier, it would fire inside an error box above. It is
  // posted rather than timed: the timer's least interval would leave the copy idle at its start.
  Shown.Copying = 1;
  PostMessageA(page, kStepNextOption, 0, 0);
}

void RunStep(HWND page, unsigned message) {
  switch (message) {
    case kStepNextOption:
      StepNextOption(page);
      break;
    case kStepNextFile:
      StepNextFile(page);
      break;
    case kStepCopyChunk:
      StepCopyChunk(page);
      break;
  }
}

}  // namespace

INT_PTR CALLBACK CopyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  // The cancel question shows the page as it stands.
  if (CancelRequested && IsStepMessage(message)) DrawProgress(page);
  // The file in hand is the one whose copy is open; between files there is none.
  if (!PassBusyGate(page, message, kCancelDialog, kPlace, TargetHandle.IsOpen() ? Copy.TargetPath : ""))
    return TRUE;
  switch (message) {
    case WM_INITDIALOG:
      OnInit(page);
      return TRUE;
    case WM_TIMER:
      return OnStepTimer(page, wParam);
    case WM_COMMAND:
      // "Abbrechen", Escape and the close box: the question comes with the next step.
      if (LOWORD(wParam) == IDCANCEL) {
        CancelRequested = 1;
        return TRUE;
      }
      return FALSE;
    case kStepNextOption:
    case kStepNextFile:
    case kStepCopyChunk:
      RunBusySteps(page, message, RunStep);
      return TRUE;
    case WM_DESTROY:
      CloseFiles();
      return FALSE;
  }
  return FALSE;
}
