#include <windows.h>

#include <cstring>

#include "install/answers.h"
#include "install/progress_bar.h"
#include "install/scan_page.h"
#include "install/version_check.h"
#include "resources/resource_ids.h"
#include "script/option_tree.h"
#include "script/records.h"
#include "startup/state.h"
#include "startup/text.h"
#include "wizard/busy_page.h"
#include "wizard/dialog_services.h"
#include "wizard/frame.h"

namespace {

// The page's state; the page exists once at a time.
struct ScanState {
  Option* CurrentOption;
  int32_t CurrentFile;
  int32_t EntriesDone;   // counted for the bar
  int AutoAdvance;       // move the wizard on when the walk ends
  int AppFolderOnly;     // examine only entries bound for the option folders
  int FilesInUse;        // an installed file that is kept is held open by another program
  int KeptClosable;      // PageClosable as the options page had it (modal mode)
  int Ended;             // the walk is done
};

ScanState Scan;

// Opens a file for reading; others may read, and also write when othersWrite is set.
HANDLE OpenForReading(const char* path, bool othersWrite) {
  return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | (othersWrite ? FILE_SHARE_WRITE : 0), nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int64_t FileSizeOf(HANDLE file) {
  DWORD high = 0;
  DWORD low = GetFileSize(file, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
  return static_cast<int64_t>(static_cast<uint64_t>(high) << 32 | low);
}

// *CheckSourceSize*: a file of the medium whose size differs from the script's, once per file.
// A file that is not there (it may lie on another disk) passes silently.
void CheckSourceSize(FileEntry* entry) {
  if (entry->Reported & kReportedSize) return;
  char path[kPathChars];
  CopyText(path, SetupDir);
  if (path[0] && path[strlen(path) - 1] != '\\') AppendText(path, "\\");
  if (strlen(path) + strlen(entry->SourceName) >= sizeof path) return;
  AppendText(path, entry->SourceName);
  HANDLE file = OpenForReading(path, false);
  if (file == INVALID_HANDLE_VALUE) return;
  int64_t size = FileSizeOf(file);
  CloseHandle(file);
  if (size == entry->Size) return;
  entry->Reported |= kReportedSize;
  char text[kValueChars];
  FormatText(text, "Fehlerhafte Dateigröße für Datei: %s", entry->SourceName);
  PagePromptGuard guard;
  ShowMessage(nullptr, text, "", MB_OK);
}

// Measures the installed copy of the entry that will be kept; notes a kept file held open.
void MeasureInstalledCopy(const Option* option, FileEntry* entry) {
  entry->PresentSize = 0;
  char target[kPathChars];
  if (!FileEntryPath(target, option, entry)) return;
  HANDLE file;
  if (entry->FileKind == kKindProductData) {
    // A data file is measured whatever its version: it is replaced, and the drive table charges
    // the replacement while it stands (nobody's use of it matters here).
    file = OpenForReading(target, true);
  } else {
    if (!IsEntryInstalledCurrent(target, entry)) return;
    // Kept files must not be open for writing elsewhere: that program may still change them.
    file = OpenForReading(target, false);
    if (file == INVALID_HANDLE_VALUE) {
      Scan.FilesInUse = GetLastError() == ERROR_SHARING_VIOLATION;
      if (Scan.FilesInUse) EndBusySlice();  // the question comes before the next step
      return;
    }
  }
  if (file == INVALID_HANDLE_VALUE) return;
  int64_t size = FileSizeOf(file);
  CloseHandle(file);
  if (size > 0) entry->PresentSize = size;
}

void ShowProgress(HWND page) { SetProgress(GetDlgItem(page, IDC_PROGRESS), Scan.EntriesDone, TotalFileEntries, 0); }

void EndScan(HWND page) {
  Scan.Ended = 1;
  if (Scan.AutoAdvance) {
    EndBusyPage(page, CmdNext);
  } else {
    PageClosable = Scan.KeptClosable;
    EndDialog(page, CmdNext);
  }
}

// *StepNextOption*
void StepNextOption(HWND page) {
  Option* option = Scan.CurrentOption;
  if (!option) {
    EndScan(page);
    return;
  }
  Scan.CurrentFile = 0;
  if (!IsSelected(option)) {
    if (!option->NoCopyNode) {
      Scan.CurrentOption = option->NextSibling;
      ScheduleStep(page, kStepNextOption);
      return;
    }
    option = Scan.CurrentOption = option->NoCopyNode;
  }
  if (option->FileCount <= 0 || !option->FileEntries) {
    Scan.CurrentOption = option->NextSibling;
    ScheduleStep(page, kStepNextOption);
    return;
  }
  ScheduleStep(page, kStepNextFile);
}

// *StepNextFile*
void StepNextFile(HWND page) {
  Option* option = Scan.CurrentOption;
  if (Scan.AppFolderOnly) {
    while (Scan.CurrentFile < option->FileCount && option->FileEntries[Scan.CurrentFile].DestKind != kDestOptionFolder) {
      ++Scan.CurrentFile;
      ++Scan.EntriesDone;
    }
    ShowProgress(page);
  }
  if (Scan.CurrentFile < option->FileCount) {
    FileEntry* entry = &option->FileEntries[Scan.CurrentFile];
    CheckSourceSize(entry);
    MeasureInstalledCopy(option, entry);
    ++Scan.CurrentFile;
    ++Scan.EntriesDone;
    ShowProgress(page);
  }
  if (Scan.CurrentFile >= option->FileCount) {
    Scan.CurrentOption = option->NextSibling;
    ScheduleStep(page, kStepNextOption);
  } else {
    ScheduleStep(page, kStepNextFile);
  }
}

void RunStep(HWND page, unsigned message) {
  if (message == kStepNextOption) StepNextOption(page);
  else if (message == kStepNextFile) StepNextFile(page);
}

void OnInit(HWND page, LPARAM mode) {
  memset(&Scan, 0, sizeof Scan);
  Scan.CurrentOption = OptionRoot;
  Scan.AutoAdvance = !(mode & 1);
  Scan.AppFolderOnly = (mode & 2) != 0;
  HWND bar = GetDlgItem(page, IDC_PROGRESS);
  SetProgress(bar, 0, 1, 0);
  AttachProgressBar(bar);
  Scan.KeptClosable = PageClosable;
  PageClosable = 0;
  ScheduleStep(page, kStepNextOption);
}

// The question of dialog 134 comes with the next step after a kept file was found in use.
int PassFilesInUseGate(HWND page, unsigned message) {
  if (!IsStepMessage(message) || !Scan.FilesInUse) return 1;
  Scan.FilesInUse = 0;
  return ConfirmCancel(page, IDD_FILES_IN_USE, FrameWindow) != 1;
}

}  // namespace

int ScanEnded() { return Scan.Ended; }

INT_PTR CALLBACK ScanPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!PassBusyGate(page, message, IDD_CONFIRM_CANCEL)) return TRUE;
  if (!PassFilesInUseGate(page, message)) return TRUE;
  if (HandleBusyStep(page, message, wParam, RunStep)) return TRUE;
  if (message != WM_INITDIALOG) return FALSE;
  OnInit(page, lParam);
  return TRUE;
}
