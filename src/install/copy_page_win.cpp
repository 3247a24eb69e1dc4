#include <windows.h>

#include <cstring>

#include "install/answers.h"
#include "install/copy_blocks.h"
#include "install/copy_page.h"
#include "install/filesystem.h"
#include "install/pending_files.h"
#include "install/progress_bar.h"
#include "install/setup_log.h"
#include "install/shared_dlls.h"
#include "install/temp_name.h"
#include "install/version_check.h"
#include "resources/resource_ids.h"
#include "script/option_tree.h"
#include "startup/paths.h"
#include "startup/state.h"
#include "startup/text.h"
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
  // An installed file's replacement is written under a temporary name beside it and put in
  // place only when complete, so an installed file is never left half rewritten. A new file is
  // written under its own name (and noted in the journal); then this is the target's path.
  char TempPath[kPathChars];
  DWORD TargetAttributes;  // of the installed file, INVALID_FILE_ATTRIBUTES when there is none
  DWORD KeptAttributes;    // attributes of the file being replaced, 0 for a new file
  uint32_t BlockBytes;     // the next read and write
  char ReadyFolder[kPathChars];  // the folder the last temporary file was created in
  char BlockFolder[kPathChars];  // the source folder BlockBytes was measured on
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

// Drops the unfinished copy: the temporary file goes, the installed file stays as it was.
void DiscardTarget() {
  TargetHandle.Close();
  if (Copy.TempPath[0]) {
    DeleteFileA(Copy.TempPath);
    Copy.TempPath[0] = 0;
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

// Creates the temporary file beside the target; one that a killed run left is replaced.
int CreateTempTarget() {
  if (!TemporaryPathFor(Copy.TempPath, Copy.TargetPath)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return 0;
  }
  // A copy a killed run left is rewritten; one it left hidden or read-only is made plain first.
  // (One open in the usual case: on a large folder each name looked up costs a walk of it.)
  HANDLE file = CreateFileA(Copy.TempPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED &&
      SetFileAttributesA(Copy.TempPath, FILE_ATTRIBUTE_NORMAL))
    file = CreateFileA(Copy.TempPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Copy.TempPath[0] = 0;
    return 0;
  }
  TargetHandle.Reset(file);
  return 1;
}

// Creates the target under its own name where no file of that name is there yet, and notes it
// in the journal; the copy is then written straight into it. 0 when the name is taken or cannot
// be created or noted: the usual way (folder made, installed file checked, temporary file)
// takes over.
int CreateNewTarget(const FileEntry* entry) {
  if (!PendingJournalOpen()) return 0;
  HANDLE file = CreateFileA(Copy.TargetPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  TargetHandle.Reset(file);
  if (!NotePendingFile(Copy.TargetPath, entry->Size)) {
    TargetHandle.Close();
    DeleteFileA(Copy.TargetPath);
    return 0;
  }
  CopyText(Copy.TempPath, Copy.TargetPath);  // a copy left unfinished goes
  Copy.KeptAttributes = 0;
  return 1;
}

// Makes the target's folder, checks that an installed file may be replaced, and opens the
// temporary file beside it. 0 when the target cannot be written.
int OpenTarget() {
  char folder[kPathChars];
  if (!FolderOfPath(folder, Copy.TargetPath)) return 0;
  // The folder of the last file is not looked for again; should it have gone since, the
  // temporary file cannot be created and the folder is made once more.
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
  }
  if (!CreateTempTarget()) {
    if (!known || GetLastError() != ERROR_PATH_NOT_FOUND) return 0;
    if (!MakeFolder(folder)) return 0;
    if (!CreateTempTarget()) return 0;
  }
  CopyText(Copy.ReadyFolder, folder);
  return 1;
}

// Puts the complete temporary file in place of the target.
int PlaceTarget() {
  if (strcmp(Copy.TempPath, Copy.TargetPath) == 0) {  // written under its own name
    Copy.TempPath[0] = 0;
    return 1;
  }
  if (Copy.KeptAttributes) SetFileAttributesA(Copy.TempPath, Copy.KeptAttributes & ~FILE_ATTRIBUTE_READONLY);
  if (!PutFileInPlace(Copy.TempPath, Copy.TargetPath)) return 0;
  Copy.TempPath[0] = 0;
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
  // A file not installed yet is created under its own name at once (one look for the name, as
  // a plain copy takes); only an installed file is copied beside itself and replaced.
  int created = sourceFits && CreateNewTarget(entry);
  // Otherwise looked up once: the version test and the target's checks both need it.
  Copy.TargetAttributes = created ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(Copy.TargetPath);
  // A file a killed run left unfinished is copied again, whatever version it shows.
  if (Copy.TargetAttributes != INVALID_FILE_ATTRIBUTES && !IsUnfinishedByKilledRun(Copy.TargetPath) &&
      IsEntryInstalledCurrent(Copy.TargetPath, entry)) {
    SetTargetLine(kUpToDateText);
    Copy.BytesDone += CountedSize(entry);
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

// The file is complete: put it in place, check its length, count and log it.
void FinishFile(HWND page) {
  const FileEntry* entry = CurrentEntry();
  uint64_t time = (static_cast<uint64_t>(entry->FileTimeHigh) << 32) | entry->FileTimeLow;
  if (time) {
    FILETIME created = {entry->FileTimeLow, entry->FileTimeHigh};
    SetFileTime(TargetHandle.Get(), &created, nullptr, nullptr);
  }
  SourceHandle.Close();
  // A source that ended early never takes the place of an intact installed file.
  if (Copy.FileBytesDone < entry->Size && Copy.TargetAttributes != INVALID_FILE_ATTRIBUTES) {
    DiscardTarget();
    ReportFailure(page, kReadErrorText, Copy.SourcePath, "Schwerer Fehler");
    ErrorsOccurred = 1;
    NextEntry(page);
    return;
  }
  TargetHandle.Close();
  if (!PlaceTarget()) {
    AskAboutTarget(page, Copy.TargetPath, Copy.FileBytesDone);
    return;
  }
  PendingFileDone(Copy.TargetPath);
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
  OpenPendingJournal();
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
      ClosePendingJournal();
      return FALSE;
  }
  return FALSE;
}
