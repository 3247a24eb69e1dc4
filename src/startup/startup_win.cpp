#include <windows.h>

#include <cstring>

#include "install/answers.h"
#include "install/drives.h"
#include "install/setup_log.h"
#include "resources/resource_ids.h"
#include "script/option_tree.h"
#include "script/reader.h"
#include "startup/arena.h"
#include "startup/autorun.h"
#include "startup/command_line.h"
#include "startup/compat.h"
#include "startup/elevation.h"
#include "startup/paths.h"
#include "startup/startup.h"
#include "startup/state.h"
#include "startup/text.h"
#include "system/shortcuts.h"
#include "system/product_record.h"
#include "system/rollback.h"
#include "system/uninstall.h"
#include "system/uninstall_entry.h"
#include "wizard/dialog_services.h"
#include "wizard/frame.h"

namespace {

const char kInstanceEventName[] = "{D8191700-73A7-11d0-9A6E-000100000000}";

// Makes the folder of the program's own file the current directory.
void EnterSetupFolder() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return;
  char* slash = strrchr(path, '\\');
  if (!slash) return;
  // At a drive's root the backslash stays: "D:" alone would select that drive's current
  // folder, which need not be its root.
  if (slash > path && slash[-1] == ':') slash[1] = 0;
  else *slash = 0;
  if (path[0]) SetCurrentDirectoryA(path);
}

int BuildScriptPath() {
  char dir[MAX_PATH];
  DWORD n = GetCurrentDirectoryA(sizeof dir, dir);
  if (n == 0 || n >= sizeof dir) return 0;
  CopyText(ScriptPath, dir);
  AddBackslash(ScriptPath);
  // A cut path would name another file.
  return strlen(ScriptPath) + strlen("setup.lst") < sizeof ScriptPath && AppendText(ScriptPath, "setup.lst");
}

void ResetRunFlags() {
  ErrorsOccurred = 0;
  CancelRequested = 0;
  PageClosable = 1;
}

void ShutDown() {
  UnregisterFrameClass();
  ArenaRelease();
  CloseSetupLog();
  CloseHandle(SetupInstanceEvent);
  SetupInstanceEvent = nullptr;
}

// A command line the setup cannot take: said on the standard error handle (and, in a run that
// may show boxes, in a box), nothing is changed.
int RefuseCommandLine(const char* reason) {
  WriteStandardError(reason);
  if (!Silent) MessageBoxA(nullptr, reason, "Setup", MB_ICONERROR);
  return kExitCannotStart;
}

// The switches of an unattended install that change what the script says. 0 with the reason
// when a value does not fit the script or the machine (then nothing is changed).
int ApplySwitches(const CommandLine& line, char (&reason)[kValueChars]) {
  if (line.HasDir) {
    // A silent run installs where it was told or not at all: the options page would move a
    // folder on a drive that cannot take it to another drive.
    int drive = DriveIndexOfPath(line.Dir);
    if (Silent && drive >= 0 && !DriveTable[drive].Usable) {
      FormatText(reason, "Laufwerk nicht verwendbar: /DIR=%s", line.Dir);
      return 0;
    }
    CopyText(InstallDir, line.Dir);
  }
  if (line.HasGroup) {
    CopyText(DefaultGroup, line.Group);
    HasDefaultGroup = 1;
  }
  // The group's folder must fit a path beside the Programs folder; nobody can shorten it on
  // the hidden page of a silent run.
  bool groupTooLong = HasDefaultGroup && strlen(ProgramsFolder) + 1 + strlen(DefaultGroup) >= kPathChars;
  if ((line.HasGroup || Silent) && groupTooLong) {
    FormatText(reason, "Die Programmgruppe \"%s\" kann nicht erstellt werden!", DefaultGroup);
    return 0;
  }
  if (!line.HasOptions) return 1;
  int32_t count = 0;
  for (Option* option = OptionRoot; option; option = option->NextSibling) ++count;
  CopyText(reason, "Der Wert eines Schalters passt nicht zu SETUP.LST");
  for (int i = 0; i < line.OptionCount; ++i)
    if (line.Options[i] > count) return 0;
  int32_t n = 0;
  for (Option* option = OptionRoot; option; option = option->NextSibling) option->Install = OptionChosen(line, ++n);
  return 1;
}

// A setup of this product that was killed while it changed the system is rolled back before
// anything else: its record is found where the system's list of software says, and in the
// folder this run starts with.
void RollBackKilledRuns() {
  char location[kPathChars];
  ReadUninstallValue("InstallLocation", location);
  UndoTally tally;
  int32_t failed = 0;
  if (location[0] && RollBackKilledRun(location, &tally)) failed += tally.Failed;
  if (InstallDir[0] && !SamePath(InstallDir, location) && RollBackKilledRun(InstallDir, &tally)) failed += tally.Failed;
  if (!failed) return;
  char text[kValueChars];
  ExpandWording(text,
                "Eine abgebrochene Installation von $p konnte nicht vollständig rückgängig gemacht werden. Einzelheiten "
                "stehen im Protokoll jener Installation.");
  ShowMessage(nullptr, text, "Hinweis...", MB_ICONWARNING);
}

}  // namespace

int WizardOutcome() {
  if (PageCreationFailed) return kExitCannotStart;
  if (FinishReached) return FinishedWithErrors ? kExitFinishedWithErrors : kExitFinished;
  if (EndedUnchanged) return kExitUnchanged;
  return ChangesMade ? kExitIncomplete : kExitCancelled;
}

int RunSetup(HINSTANCE instance, const char* commandLine) {
  // An empty floppy or CD drive is the setup's own question (the source prompt), never the
  // system's box beside it, which nobody answers in a silent run.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  // The copy that its first copy started with administrator rights: that one holds the event
  // while it waits, has done the autorun check, and hands on what this copy reports.
  int autorunCheck = 0;
  unsigned long firstCopy = 0;
  int elevatedCopy = TakeElevatedMarker(&commandLine, &autorunCheck, &firstCopy);
  StarterAccount starter;
  if (elevatedCopy) ConnectFirstCopy(firstCopy, &starter);
  CommandLine line;
  int lineGood = ParseCommandLine(commandLine, &line);
  Silent = line.Silent;
  RunAtEnd = line.RunProgram;
  if (!lineGood) return RefuseCommandLine(line.Error);
  // One setup at a time: creating the event in one call leaves no gap between the test and
  // the creation for a second setup started at the same moment.
  if (!elevatedCopy) {
    SetupInstanceEvent = CreateEventA(nullptr, FALSE, FALSE, kInstanceEventName);
    if (!SetupInstanceEvent) return line.Autorun ? 0 : kExitCannotStart;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
      CloseHandle(SetupInstanceEvent);
      return line.Autorun ? 0 : kExitOtherSetup;
    }
  }

  Instance = instance;
  ResetRunFlags();
  EnterSetupFolder();
  if (!BuildScriptPath()) {
    ShowMessage(nullptr, "Zu wenig Speicher um Setup auszuführen!", "", MB_ICONERROR);
    CloseHandle(SetupInstanceEvent);
    return kExitCannotStart;
  }
  LoadStringA(instance, IDS_COMPANY, CompanyName, sizeof CompanyName);
  LoadStringA(instance, IDS_PRODUCT, ProductName, sizeof ProductName);
  LoadStringA(instance, IDS_VERSION, SetupVersion, sizeof SetupVersion);
  RemoveStaleRemovalCopies();
  if (line.Uninstall) {
    int code = RunUninstall(line.UninstallDir, line.Silent, elevatedCopy ? &starter : nullptr, firstCopy);
    CloseHandle(SetupInstanceEvent);
    return code;
  }

  if (!elevatedCopy && StartsWith(commandLine, "/AUTORUN") && !RunAutorun(&autorunCheck)) {
    CloseHandle(SetupInstanceEvent);
    return 0;
  }

  // From here on the setup writes below HKEY_LOCAL_MACHINE and into shared folders: where
  // Windows gives administrator rights on request, a copy with them does the work, and this
  // one ends with its exit code. Where that copy cannot be started, this one goes on.
  unsigned long elevatedExitCode;
  if (!elevatedCopy && CanAskForAdministrator() &&
      RunElevatedCopy(autorunCheck, StartsWith(commandLine, "/AUTORUN") ? "" : commandLine, &elevatedExitCode)) {
    CloseHandle(SetupInstanceEvent);
    return static_cast<int>(elevatedExitCode);
  }

  AllFiles = line.AllFiles;
  SetupLogHandle = nullptr;

  if (!ArenaCreate(kArenaBlockBytes)) {
    CloseHandle(SetupInstanceEvent);
    return kExitCannotStart;
  }
  RefreshDrives();
  // From the system folder by path, as every DLL that Windows does not always take from there.
  if (auto initCommonControls = SystemFunction<void(WINAPI*)()>("comctl32.dll", "InitCommonControls"))
    initCommonControls();
  if (!RegisterFrameClass()) {
    ArenaRelease();
    CloseHandle(SetupInstanceEvent);
    return kExitCannotStart;
  }

  GetWindowsDirectoryA(WindowsDir, sizeof WindowsDir);
  GetSystemDirectoryA(SystemDir, sizeof SystemDir);
  // An installed product is set up again where its program is.
  ReadInstalledProgramPath(InstallDir, 1);
  if (!InstallDir[0]) ReadScriptString("Settings", "Destination", InstallDir, sizeof InstallDir);
  ReadScriptString("Settings", "DefaultGroup", DefaultGroup, sizeof DefaultGroup);
  HasDefaultGroup = DefaultGroup[0] != 0;
  ReadScriptString("Settings", "Message", Message, sizeof Message);
  GetCurrentDirectoryA(sizeof SetupDir, SetupDir);
  // The program goes with the product as its uninstaller: its size is charged with the files.
  char self[kPathChars];
  WIN32_FILE_ATTRIBUTE_DATA program;
  DWORD selfLength = GetModuleFileNameA(nullptr, self, sizeof self);
  if (selfLength > 0 && selfLength < sizeof self && ReadFileData(self, &program)) SetupProgramBytes = program.nFileSizeLow;
  // A folder that cannot be resolved stays empty; its placeholder then expands to nothing.
  SpecialFolderPath(ProgramsFolder, kFolderPrograms);
  SpecialFolderPath(StartMenuFolder, kFolderStartMenu);
  SpecialFolderPath(DesktopFolder, kFolderDesktop);
  if (elevatedCopy) UseStarterAccount(starter);
  RollBackKilledRuns();

  OptionRoot = ReadOptionList("Section", nullptr, 0);
  // Newer data on the medium: the setup runs without its first option.
  if (autorunCheck == kAutorunNewerData && OptionRoot) OptionRoot = OptionRoot->NextSibling;
  if (OptionRoot) ReadSuccessRunList();
  int exitCode = kExitCannotStart;
  char reason[kValueChars];
  if (ArenaFailed()) {
    // "IncreaseMem" has been shown: a script that did not fit is not installed in part.
  } else if (!OptionRoot) {
    ShowMessage(nullptr, "Kann die Datei SETUP.LST nicht finden, oder SETUP.LST enthält keine Sections!", "Fehler",
                MB_ICONERROR);
  } else if (!ApplySwitches(line, reason)) {
    RefuseCommandLine(reason);
  } else {
    TotalFileEntries = CountFileEntries(OptionRoot);
    RunFrame();
    exitCode = WizardOutcome();
  }

  ShutDown();
  return exitCode;
}
