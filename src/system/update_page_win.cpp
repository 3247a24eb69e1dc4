#include <windows.h>

#include <cstring>

#include "install/answers.h"
#include "install/copy_page.h"
#include "install/progress_bar.h"
#include "install/setup_log.h"
#include "install/undo_journal.h"
#include "resources/resource_ids.h"
#include "script/option_tree.h"
#include "script/records.h"
#include "startup/state.h"
#include "startup/text.h"
#include "system/file_types.h"
#include "system/ini_entries.h"
#include "system/product_record.h"
#include "system/registry.h"
#include "system/shortcuts.h"
#include "system/uninstall_entry.h"
#include "system/update_page.h"
#include "wizard/busy_page.h"
#include "wizard/frame.h"

namespace {

constexpr int kCancelDialog = IDD_CONFIRM_CANCEL_CHANGED;
const char kNoticeCaption[] = "Hinweis...";
const char kFatalCaption[] = "Schwerer Fehler";

// The page's state; reset when the page starts.
struct UpdateState {
  Option* CurrentOption;
  int32_t RecordIndex;              // index into the option's five record lists
  int32_t StepCount;                // steps that did work: the bar's figure
  char LibraryPath[kPathChars];     // the file entry being registered
  int64_t LastDrawUs;               // when the bar was last drawn
};

UpdateState Update;

// Draws the bar's figure: when forced (before a box, at the end), else when the last drawing is
// old enough.
void DrawSteps(HWND page, bool force) {
  if (!force && BusyClockUs() - Update.LastDrawUs < kDrawIntervalUs) return;
  SetProgress(GetDlgItem(page, IDC_PROGRESS), Update.StepCount, TotalFileEntries, 0);
  Update.LastDrawUs = BusyClockUs();
}

// A failed record: its box (owned by the page, steps held off while it is up), the error flag
// and its "Error: " line.
void ReportFailure(HWND page, const char* text, const char* caption, LogLineKind line, const char* field) {
  DrawSteps(page, true);
  BusyPageMessage(page, text, caption, MB_ICONWARNING);
  ErrorsOccurred = 1;
  WriteLogLine(line, field);
}

template <class... Args> void ReportFormatted(HWND page, const char* caption, LogLineKind line, const char* field,
                                              const char* format, Args... args) {
  char text[kValueChars];
  FormatText(text, format, args...);
  ReportFailure(page, text, caption, line, field);
}

// "Dateiendung...": owned by the frame window; the page's steps wait meanwhile.
int ConfirmFileTypeChange(const char* question) {
  PagePromptGuard guard;
  // A silent run keeps the other program's association.
  return ShowMessage(FrameWindow, question, "Dateiendung...", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

typedef HRESULT(STDAPICALLTYPE* RegisterServerProc)();

// Loads the library beside its own folder's DLLs (not those of the medium or the current
// folder), calls its DllRegisterServer when it has one, and frees it again.
void SelfRegister(HWND page, const char* path) {
  HMODULE library = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!library) {
    ReportFormatted(page, kFatalCaption, kLogErrorLoadLibrary, path, "LoadLibrary() failed! %s.", path);
    return;
  }
  auto registerServer = reinterpret_cast<RegisterServerProc>(
      reinterpret_cast<void (*)()>(GetProcAddress(library, "DllRegisterServer")));
  // Noted before it is called: what it registers goes again with its DllUnregisterServer.
  UndoLine note("G");
  note.Text(path);
  if (registerServer && !UndoNoteNow(note)) {
    FreeLibrary(library);
    ReportFormatted(page, kFatalCaption, kLogErrorRegistering, path, "Fehler beim Registrieren von %s. (0x%08lX)", path,
                    static_cast<unsigned long>(E_FAIL));
    return;
  }
  if (registerServer) {
    HRESULT result = registerServer();
    if (FAILED(result))
      ReportFormatted(page, kFatalCaption, kLogErrorRegistering, path, "Fehler beim Registrieren von %s. (0x%08lX)", path,
                      static_cast<unsigned long>(result));
    else
      WriteLogLine(kLogDllSelfRegister, path);
  }
  FreeLibrary(library);
}

// A product data file that cannot be read is reported by its name, unless the copy page has
// reported it already (skipped, say); one whose record the registry refuses, as a registry key
// that could not be written, the Files key.
void RecordProductData(HWND page, const FileEntry& entry, const char* path) {
  int recorded = path[0] ? WriteProductRecord(path) : 0;
  if (recorded > 0) return;
  if (recorded == 0) {
    if (entry.Reported & kReportedCopy) return;
    char text[kValueChars];
    FormatText(text, kReadErrorText, path[0] ? path : entry.TargetName);
    ReportFailure(page, text, kNoticeCaption, kLogError, text);
    return;
  }
  char filesKey[kPathChars];
  ProductFilesKeyPath(filesKey);
  ReportFormatted(page, kNoticeCaption, kLogErrorCreatingRegistryKey, filesKey,
                  "Fehler beim Schreiben von \"%s\" in Registraturdatenbank!", filesKey);
}

void ApplyFileEntry(HWND page, const Option* option, const FileEntry& entry) {
  if (entry.FileKind != kKindDllSelfRegister && entry.FileKind != kKindProductData) return;
  Update.LibraryPath[0] = 0;
  int fits = FileEntryPath(Update.LibraryPath, option, &entry);
  if (entry.FileKind == kKindProductData) {
    RecordProductData(page, entry, Update.LibraryPath);
  } else if (!fits) {
    // A path that does not fit cannot be loaded: the library counts as not loadable.
    ReportFormatted(page, kFatalCaption, kLogErrorLoadLibrary, entry.TargetName, "LoadLibrary() failed! %s.",
                    entry.TargetName);
  } else {
    SelfRegister(page, Update.LibraryPath);
  }
}

void ApplyLink(HWND page, const Option* option, int index) {
  const LinkRecord& record = option->Links[index];
  if (!EnsureLinkFolder())
    ReportFormatted(page, kNoticeCaption, kLogErrorCreatingGroup, LinkFolder,
                    "Die Programmgruppe \"%s\" kann nicht erstellt werden!", LinkFolder);
  if (CreateShortcut(option, index) < 0)
    ReportFormatted(page, kNoticeCaption, kLogErrorCreatingLink, record.LinkFile,
                    "Verknüpfung mit \"%s\" kann nicht erstellt werden", record.LinkTarget);
}

// *StepNextOption*
void StepNextOption(HWND page) {
  Option* option = Update.CurrentOption;
  if (!option) {
    DrawSteps(page, true);
    // The run is complete: the uninstaller and the entry in the system's list of software.
    if (!FinishInstallRun()) ReportFailure(page, "Das Deinstallationsprogramm kann nicht eingerichtet werden!", kNoticeCaption, kLogError, "Das Deinstallationsprogramm kann nicht eingerichtet werden!");
    EndBusyPage(page, CmdNext);
    return;
  }
  Update.RecordIndex = 0;
  if (IsSelected(option)) {
    ScheduleStep(page, kStepNextFile);
  } else if (option->NoCopyNode) {
    Update.CurrentOption = option->NoCopyNode;
    ScheduleStep(page, kStepNextFile);
  } else {
    Update.CurrentOption = option->NextSibling;
    ScheduleStep(page, kStepNextOption);
  }
}

// *StepNextFile*: record a of each of the five lists.
void StepNextRecord(HWND page) {
  const Option* option = Update.CurrentOption;
  int a = Update.RecordIndex;
  bool worked = false;
  if (a < option->FileCount && option->FileEntries) {
    worked = true;
    ApplyFileEntry(page, option, option->FileEntries[a]);
  }
  if (a < option->LinkCount && option->Links) {
    worked = true;
    ApplyLink(page, option, a);
  }
  if (a < option->RegisterKeyCount && option->RegisterKeys) {
    worked = true;
    const RegisterKeyRecord& record = option->RegisterKeys[a];
    if (!ApplyRegistryKey(option, a))
      ReportFormatted(page, kNoticeCaption, kLogErrorCreatingRegistryKey, record.KeyPath,
                      "Fehler beim Schreiben von \"%s\" in Registraturdatenbank!", record.KeyPath);
  }
  if (a < option->RegisterFileTypeCount && option->RegisterFileTypes) {
    worked = true;
    const FileTypeRecord& record = option->RegisterFileTypes[a];
    if (!ApplyFileType(option, a, ConfirmFileTypeChange))
      ReportFormatted(page, kNoticeCaption, kLogErrorCreatingFileType, record.Extension,
                      "Fehler beim Erzeugen des Dateityps \"%s\"!", record.Extension);
  }
  if (a < option->IniCount && option->Inis) {
    worked = true;
    const IniRecord& record = option->Inis[a];
    if (!ApplyIniEntry(option, a))
      ReportFormatted(page, kNoticeCaption, kLogErrorCreatingIniSetting, record.IniFile,
                      "Fehler beim Erzeugen des IniEintrags \"%s\" in die Datei  \"%s\"!", record.IniSection,
                      record.IniFile);
  }
  if (!IsWindow(page)) return;
  Update.RecordIndex += 1;
  Update.StepCount += 1;
  if (!worked) {
    Update.CurrentOption = option->NextSibling;
    ScheduleStep(page, kStepNextOption);
    return;
  }
  DrawSteps(page, false);
  ScheduleStep(page, kStepNextFile);
}

void RunStep(HWND page, unsigned message) {
  if (message == kStepNextOption) StepNextOption(page);
  else if (message == kStepNextFile) StepNextRecord(page);
}

void OnInit(HWND page) {
  ChangesMade = 1;
  memset(&Update, 0, sizeof Update);
  Update.CurrentOption = OptionRoot;
  ScheduleStep(page, kStepNextOption);
  HWND bar = GetDlgItem(page, IDC_PROGRESS);
  SetProgress(bar, 0, 1, 0);
  AttachProgressBar(bar);
  PageClosable = 0;
}

}  // namespace

INT_PTR CALLBACK UpdatePageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  // The option in hand: the one whose records are being applied.
  if (!PassBusyGate(page, message, kCancelDialog, "system update", Update.CurrentOption ? Update.CurrentOption->Name : ""))
    return TRUE;
  if (HandleBusyStep(page, message, wParam, RunStep)) return TRUE;
  if (message != WM_INITDIALOG) return FALSE;
  OnInit(page);
  return TRUE;
}
