#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "install/drives.h"
#include "install/setup_log.h"
#include "resources/resource_ids.h"
#include "script/option_tree.h"
#include "script/reader.h"
#include "startup/arena.h"
#include "startup/paths.h"
#include "startup/startup.h"
#include "startup/state.h"
#include "startup/text.h"
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

}  // namespace

int RunSetup(HINSTANCE instance, const char* commandLine) {
  // One setup at a time: creating the event in one call leaves no gap between the test and
  // the creation for a second setup started at the same moment.
  SetupInstanceEvent = CreateEventA(nullptr, FALSE, FALSE, kInstanceEventName);
  if (!SetupInstanceEvent) return 0;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(SetupInstanceEvent);
    return 0;
  }

  Instance = instance;
  ResetRunFlags();
  EnterSetupFolder();
  if (!BuildScriptPath()) {
    MessageBoxA(nullptr, "Zu wenig Speicher um Setup auszuführen!", "", MB_ICONERROR);
    CloseHandle(SetupInstanceEvent);
    return 0;
  }
  LoadStringA(instance, IDS_COMPANY, CompanyName, sizeof CompanyName);
  LoadStringA(instance, IDS_PRODUCT, ProductName, sizeof ProductName);
  LoadStringA(instance, IDS_VERSION, SetupVersion, sizeof SetupVersion);

  AllFiles = StartsWith(commandLine, "/ALL");
  SetupLogHandle = nullptr;

  if (!ArenaCreate(kArenaBlockBytes)) {
    CloseHandle(SetupInstanceEvent);
    return 0;
  }
  RefreshDrives();
  InitCommonControls();
  if (!RegisterFrameClass()) {
    ArenaRelease();
    CloseHandle(SetupInstanceEvent);
    return 0;
  }

  GetWindowsDirectoryA(WindowsDir, sizeof WindowsDir);
  GetSystemDirectoryA(SystemDir, sizeof SystemDir);
  ReadScriptString("Settings", "Destination", InstallDir, sizeof InstallDir);
  ReadScriptString("Settings", "DefaultGroup", DefaultGroup, sizeof DefaultGroup);
  HasDefaultGroup = DefaultGroup[0] != 0;
  ReadScriptString("Settings", "Message", Message, sizeof Message);
  GetCurrentDirectoryA(sizeof SetupDir, SetupDir);

  OptionRoot = ReadOptionList("Section", nullptr, 0);
  if (OptionRoot) ReadSuccessRunList();
  if (ArenaFailed()) {
    // "IncreaseMem" has been shown: a script that did not fit is not installed in part.
  } else if (!OptionRoot) {
    MessageBoxA(nullptr, "Kann die Datei SETUP.LST nicht finden, oder SETUP.LST enthält keine Sections!", "Fehler",
                MB_ICONERROR);
  } else {
    TotalFileEntries = CountFileEntries(OptionRoot);
    RunFrame();
  }

  ShutDown();
  return 0;
}
