#include <windows.h>

#include <cstring>

#include "install/answers.h"
#include "install/progress_bar.h"
#include "install/setup_log.h"
#include "install/undo_journal.h"
#include "resources/resource_ids.h"
#include "startup/compat.h"
#include "startup/elevation.h"
#include "startup/startup.h"
#include "startup/state.h"
#include "startup/text.h"
#include "system/rollback.h"
#include "system/shortcuts.h"
#include "system/uninstall.h"
#include "system/uninstall_entry.h"
#include "wizard/busy_page.h"
#include "wizard/dialog_services.h"

namespace {

const char kQuestion[] = "Möchten Sie $p und alle zugehörigen Komponenten von Ihrem Computer entfernen?";
const char kCaption[] = "$p entfernen";
const char kCancelQuestion[] =
    "Möchten Sie das Entfernen von $p abbrechen?\n\nWas bisher entfernt wurde, wird wiederhergestellt.";
const char kSharedQuestion[] =
    "Die folgende gemeinsam genutzte Datei wird von keinem Programm mehr verwendet. Soll sie entfernt werden?\n\n%s\n\n"
    "Wenn noch ein Programm sie benötigt, wird es danach nicht mehr funktionieren. Wählen Sie im Zweifel \"Nein\".";
const char kSharedCaption[] = "Gemeinsam genutzte Datei entfernen?";
const char kNoRecord[] = "In \"%s\" ist keine Installation von $p verzeichnet.";
const char kTempStem[] = "stpun";
constexpr UINT kRemovalStep = WM_APP + 1;  // the next slice of the removal, posted

// The uninstaller's copy in the temporary folder, from which the removal runs: the one in the
// install folder goes with it.
int TemporaryCopy(char (&copy)[kPathChars]) {
  char self[kPathChars], temp[kPathChars];
  DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  DWORD t = GetTempPathA(sizeof temp, temp);
  if (n == 0 || n >= sizeof self || t == 0 || t >= sizeof temp) return 0;
  for (DWORD attempt = 0; attempt < 64; ++attempt) {
    if (!FormatWholeText(copy, "%s%s%04lX.exe", temp, kTempStem,
                         static_cast<unsigned long>((GetTickCount() + attempt * 7919) & 0xFFFF)))
      return 0;
    if (CopyFileA(self, copy, TRUE)) return 1;
  }
  return 0;
}

// Starts the copy and waits for its report (what it writes to its standard error handle comes
// through to this one's, and its exit code at the end of its work); 0 when it could not be
// started. The copy goes on a moment after: it removes this program, once it has ended.
int RunCopy(const char* copy, const char* parameters, unsigned long* exitCode) {
  if (CanAskForAdministrator()) return RunAsAdministrator(copy, parameters, exitCode, 1);
  char line[kValueChars];
  if (!FormatWholeText(line, "\"%s\" %s", copy, parameters)) return 0;
  void* report = OpenElevatedReport();
  STARTUPINFOA start = {};
  start.cb = sizeof start;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(copy, line, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process)) {
    if (report) CloseHandle(report);
    return 0;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  *exitCode = AwaitElevatedCopy(report, nullptr);
  return 1;
}

// The uninstaller as the user starts it, from the install folder: a copy of it in the temporary
// folder does the work (with administrator rights where Windows gives them on request), and
// this one waits for it, removes it and ends with its exit code.
int StartRemovalCopy(int silent) {
  char self[kPathChars];
  DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  if (n == 0 || n >= sizeof self) return kExitCannotStart;
  char* slash = strrchr(self, '\\');
  if (!slash) return kExitCannotStart;
  *slash = 0;
  char copy[kPathChars], arguments[kValueChars], parameters[kValueChars];
  if (!TemporaryCopy(copy) ||
      !FormatWholeText(arguments, "%s=\"%s\"%s", kUninstallSwitch, self, silent ? " /S" : "") ||
      !ElevatedArgumentsN(parameters, sizeof parameters, 0, GetCurrentProcessId(), arguments)) {
    WriteStandardError("Das Deinstallationsprogramm kann nicht in den temporären Ordner kopiert werden.");
    return kExitCannotStart;
  }
  unsigned long code = kExitCannotStart;
  if (!RunCopy(copy, parameters, &code)) {
    WriteStandardError("Das Deinstallationsprogramm kann nicht gestartet werden.");
    DeleteFileA(copy);
  }
  // The copy outlives this program; the next start of setup.exe or of an uninstaller removes it
  // from the temporary folder (RemoveStaleRemovalCopies).
  return static_cast<int>(code);
}

// --- The removal ------------------------------------------------------------------------------

struct Removal {
  RemovalPlan Plan;
  int Phase;           // 1 the changes a cancel puts back, 2 past the point of return: the files
  int32_t Next;        // the entry undone next, from the last down
  UndoTally Tally;
  int CancelAsked;     // "Abbrechen" was pressed: the question comes before the next step
  int Result;          // 1 done, 2 cancelled
  int Ended;
  char Refusals[kValueChars];
  int32_t RefusalCount;
};

Removal Undoing;

int Ask(HWND owner, const char* wording, UINT style, int silentAnswer) {
  char text[kValueChars], caption[kPathChars];
  ExpandWording(text, wording);
  ExpandWording(caption, kCaption);
  return ShowMessage(owner, text, caption, style, silentAnswer);
}

int AskSharedFile(const char* path) {
  char text[kValueChars];
  FormatText(text, kSharedQuestion, path);
  // A silent removal keeps the file: another program may still need it.
  return ShowMessage(nullptr, text, kSharedCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void NoteRefusal(void*, int32_t line, const char* reason) {
  char text[kPathChars];
  FormatText(text, "Protokoll der Installation, Zeile %ld: %s; der Eintrag wird übergangen.", static_cast<long>(line),
             reason);
  WriteLogError(text);
  if (Undoing.RefusalCount++ < 6) {
    AppendText(Undoing.Refusals, "\n");
    AppendText(Undoing.Refusals, text);
  }
}

INT_PTR CALLBACK FilesInUseProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    ExpandDialogTexts(dialog);
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == 1 || LOWORD(wParam) == 2)) {
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

// Files of the product that a program holds open: asked about until they are free (1) or the
// user ends the removal (0). A silent removal ends at once.
int WaitForFilesInUse() {
  for (FindFilesInUse(&Undoing.Plan); Undoing.Plan.InUse; FindFilesInUse(&Undoing.Plan)) {
    if (Silent) {
      NoteAnswer("Laufende Anwendungen...", Undoing.Plan.FirstInUse, "Setup beenden");
      return 0;
    }
    if (DialogBoxParamA(Instance, MAKEINTRESOURCEA(IDD_FILES_IN_USE), nullptr, FilesInUseProc, 0) != 1) return 0;
  }
  return 1;
}

// One entry of the current phase; phase 1 then the point of return, phase 2.
void RemoveNext() {
  if (Undoing.Next >= 0) {
    if (Undoing.Phase == 1) RemoveEntry(&Undoing.Plan, Undoing.Next, &Undoing.Tally);
    else DeleteEntry(&Undoing.Plan, Undoing.Next, &Undoing.Tally);
    --Undoing.Next;
  }
  if (Undoing.Next >= 0 || Undoing.Phase == 2) return;
  CommitRemoval();
  Undoing.Phase = 2;
  Undoing.Next = Undoing.Plan.Record.Count - 1;
}

int RemovalDone() { return Undoing.Phase == 2 && Undoing.Next < 0; }

// Something waits for the page's thread: input, paint, a timer or a message, new or left from
// before (the word of what is new forgets what a look has seen once).
int ThreadWaits() { return GetQueueStatus(QS_INPUT | QS_PAINT | QS_TIMER | QS_POSTMESSAGE | QS_SENDMESSAGE) != 0; }

// The next slice: posted at once while nothing waits (the least interval of a timer would leave
// the thread idle a third of the time), through a 0 ms timer otherwise, so input and paint go
// first (a posted message would come before them).
void NextSlice(HWND page) {
  if (ThreadWaits() || !PostMessageA(page, kRemovalStep, 0, 0)) SetTimer(page, 1, 0, nullptr);
}

void Step(HWND page) {
  int64_t started = BusyClockUs(), looked = started;
  for (int64_t now = started; !RemovalDone() && now - started < 50000; now = BusyClockUs()) {
    RemoveNext();
    // A click on "Abbrechen" or a paint ends the slice within a few milliseconds.
    if (now - looked < 2000) continue;
    looked = now;
    if (ThreadWaits()) break;
  }
  int32_t count = Undoing.Plan.Record.Count;
  SetProgress(GetDlgItem(page, IDC_PROGRESS), (Undoing.Phase - 1) * count + count - 1 - Undoing.Next, 2 * count, 1);
  // Nothing is put back once the files go.
  if (Undoing.Phase == 2) EnableWindow(GetDlgItem(page, IDCANCEL), FALSE);
  if (!RemovalDone()) {
    NextSlice(page);
    return;
  }
  Undoing.Result = 1;
  Undoing.Ended = 1;
  EndDialog(page, 1);
}

// The question comes between steps; "Ja" puts back what was removed so far.
void AskCancel(HWND page) {
  Undoing.CancelAsked = 0;
  if (Ask(page, kCancelQuestion, MB_YESNO | MB_ICONQUESTION, IDNO) != IDYES) {
    SetTimer(page, 1, 0, nullptr);
    return;
  }
  CancelRemoval(&Undoing.Tally);
  Undoing.Result = 2;
  Undoing.Ended = 1;
  EndDialog(page, 2);
}

INT_PTR CALLBACK RemovalPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      ExpandDialogTexts(page);
      HWND bar = GetDlgItem(page, IDC_PROGRESS);
      SetProgress(bar, 0, 1, 1);
      AttachProgressBar(bar);
      // A modal dialog shows itself once its thread's queue runs empty: the first step's timer
      // can come before that, and a library that takes a while to unregister would leave the
      // user without a page meanwhile.
      if (!Silent) ShowWindow(page, SW_SHOWNORMAL);
      SetTimer(page, 1, 0, nullptr);
      return TRUE;
    }
    case WM_TIMER:
    case kRemovalStep:
      KillTimer(page, 1);
      if (Undoing.CancelAsked && Undoing.Phase == 1) AskCancel(page);
      else Step(page);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) Undoing.CancelAsked = 1;
      return TRUE;
  }
  return FALSE;
}

int RemovalEnded() { return Undoing.Ended; }

void AppendLine(char (&text)[kValueChars], const char* format, const char* value) {
  char line[kValueChars];
  FormatText(line, format, value);
  AppendText(text, line);
}

// The closing notice: what was removed, what had to be kept, where the log is.
void ShowClosingNotice(const char* logName, int folderLeft) {
  char text[kValueChars], caption[kPathChars];
  ExpandWording(text, Undoing.Tally.Failed ? "$p wurde von Ihrem Computer entfernt, einige Komponenten jedoch nicht."
                                           : "$p wurde von Ihrem Computer entfernt.");
  const UndoTally& tally = Undoing.Tally;
  if (tally.Kept) {
    AppendText(text, "\n\nSeit der Installation geänderte Dateien wurden nicht entfernt:");
    for (int32_t i = 0; i < tally.Listed; ++i) AppendLine(text, "\n%s", tally.Names[i]);
    if (tally.Kept > tally.Listed) AppendText(text, "\n...");
  }
  if (tally.Shared) {
    AppendText(text, "\n\nGemeinsam genutzte Dateien, die noch verwendet werden, bleiben erhalten:");
    for (int32_t i = 0; i < tally.SharedListed; ++i) AppendLine(text, "\n%s", tally.SharedNames[i]);
    if (tally.Shared > tally.SharedListed) AppendText(text, "\n...");
  }
  if (folderLeft)
    AppendLine(text, "\n\nDer Ordner \"%s\" enthält Dateien, die nicht von Setup stammen, und bleibt erhalten.",
               InstallDir);
  if (logName[0]) AppendLine(text, "\n\nDas Protokoll steht in \"%s\".", logName);
  ExpandWording(caption, kCaption);
  ShowMessage(nullptr, text, caption, tally.Failed || tally.Kept ? MB_ICONWARNING : MB_ICONINFORMATION);
}

int RemoveProduct(const char* installDir, const StarterAccount* starter, unsigned long firstCopy) {
  CopyText(InstallDir, installDir);
  size_t length = strlen(InstallDir);
  if (length > 3 && InstallDir[length - 1] == '\\') InstallDir[length - 1] = 0;
  GetWindowsDirectoryA(WindowsDir, sizeof WindowsDir);
  GetSystemDirectoryA(SystemDir, sizeof SystemDir);
  SpecialFolderPath(ProgramsFolder, kFolderPrograms);
  SpecialFolderPath(StartMenuFolder, kFolderStartMenu);
  SpecialFolderPath(DesktopFolder, kFolderDesktop);
  // The user's own folders and hive, where an administrator's account runs this copy.
  if (starter) UseStarterAccount(*starter);
  // The log goes where it outlives the install folder: the temporary folder.
  char temp[kPathChars], logName[kLogNameChars] = "";
  DWORD t = GetTempPathA(sizeof temp, temp);
  if (t == 0 || t >= sizeof temp || !OpenLogFileN(temp, "uninst", logName, sizeof logName)) logName[0] = 0;
  WritePendingAnswers();
  // A setup that was killed is rolled back first, as at every start.
  UndoTally rolledBack;
  RollBackKilledRun(InstallDir, &rolledBack);
  WriteRolledBackLine();

  if (Ask(nullptr, kQuestion, MB_YESNO | MB_ICONQUESTION, IDYES) != IDYES) return kExitCancelled;
  memset(&Undoing, 0, sizeof Undoing);
  if (!PlanRemoval(InstallDir, &Undoing.Plan, AskSharedFile, NoteRefusal, nullptr)) {
    char text[kValueChars], wording[kValueChars];
    FormatText(wording, kNoRecord, InstallDir);
    ExpandWording(text, wording);
    WriteLogError(text);
    WriteStandardError(text);
    char caption[kPathChars];
    ExpandWording(caption, kCaption);
    ShowMessage(nullptr, text, caption, MB_ICONERROR);
    FreeRemovalPlan(&Undoing.Plan);
    return kExitCannotStart;
  }
  // Each refused entry is a part of the removal that failed.
  Undoing.Tally.Failed += Undoing.RefusalCount;
  if (Undoing.RefusalCount) {
    char text[kValueChars];
    FormatText(text, "Das Protokoll der Installation enthält %ld Einträge, die nicht ausgeführt werden:%s",
               static_cast<long>(Undoing.RefusalCount), Undoing.Refusals);
    ShowMessage(nullptr, text, "Hinweis...", MB_ICONWARNING);
  }
  if (!WaitForFilesInUse()) {
    FreeRemovalPlan(&Undoing.Plan);
    return kExitUnchanged;
  }
  BeginUndoMemory();
  Undoing.Phase = 1;
  Undoing.Next = Undoing.Plan.Record.Count - 1;
  RunModalDialog(IDD_UNINSTALL, nullptr, RemovalPageProc, 0, RemovalEnded);
  if (!Undoing.Ended) {
    // The page could not be shown (or a silent run's hidden one ended early): done here.
    while (!RemovalDone()) RemoveNext();
    Undoing.Result = 1;
  }
  if (Undoing.Result == 2) {
    FreeRemovalPlan(&Undoing.Plan);
    char caption[kPathChars], text[kValueChars];
    ExpandWording(caption, kCaption);
    ExpandWording(text, "Das Entfernen wurde abgebrochen. $p bleibt installiert.");
    ShowMessage(nullptr, text, caption, MB_ICONINFORMATION);
    return Undoing.Tally.Failed ? kExitFinishedWithErrors : kExitCancelled;
  }
  Undoing.Tally.Failed += rolledBack.Failed;
  int code = Undoing.Tally.Failed || Undoing.Tally.Kept ? kExitFinishedWithErrors : kExitFinished;
  // The uninstaller that started this copy runs from the install folder: it is told the outcome
  // and ends, and only then can its file go, and with it the folder.
  EndElevatedReport(code);
  if (firstCopy) {
    HANDLE starter = OpenProcess(SYNCHRONIZE, FALSE, firstCopy);
    if (starter) {
      WaitForSingleObject(starter, 30000);
      CloseHandle(starter);
    }
  }
  int folderLeft = 0;
  FinishRemoval(&Undoing.Plan, InstallDir, &folderLeft);
  FreeRemovalPlan(&Undoing.Plan);
  if (!Silent) ShowClosingNotice(logName, folderLeft);
  return code;
}

}  // namespace

void RemoveStaleRemovalCopies() {
  char pattern[kPathChars];
  DWORD t = GetTempPathA(sizeof pattern, pattern);
  if (t == 0 || t + 16 >= sizeof pattern) return;
  AppendText(pattern, kTempStem);
  AppendText(pattern, "*.exe");
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    char path[kPathChars];
    CopyText(path, pattern);
    path[t] = 0;  // the temporary folder, with its backslash
    AppendText(path, found.cFileName);
    DeleteFileA(path);  // one that still runs stays
  } while (FindNextFileA(find, &found));
  FindClose(find);
}

int RunUninstall(const char* installDir, int silent, const StarterAccount* starter, unsigned long firstCopy) {
  if (!installDir || !installDir[0]) return StartRemovalCopy(silent);
  int code = RemoveProduct(installDir, starter, firstCopy);
  CloseSetupLog();
  return code;
}
