#include <windows.h>

#include <cstring>

#include "install/version_check.h"
#include "script/option_tree.h"
#include "script/reader.h"
#include "script/records.h"
#include "startup/arena.h"
#include "startup/autorun.h"
#include "startup/paths.h"
#include "startup/state.h"
#include "startup/text.h"
#include "system/product_record.h"
#include "system/program_start.h"

namespace {

// 1 while the installed program runs: it holds the event named after its path. An event that
// exists but may not be opened by this user counts as held too.
int ProductIsRunning(const char* programPath) {
  char name[kPathChars];
  if (!RunningProductEventName(name, programPath)) return 0;
  HANDLE event = OpenEventA(SYNCHRONIZE, FALSE, name);
  if (event) {
    CloseHandle(event);
    return 1;
  }
  return GetLastError() == ERROR_ACCESS_DENIED;
}

// The medium's copy of the entry: the setup folder and its source name. 0 when that does not
// fit (a cut path would name another file).
int SourcePath(char (&output)[kPathChars], const FileEntry& entry) {
  CopyText(output, SetupDir);
  AddBackslash(output);
  size_t length = strlen(output);
  if (length + strlen(entry.SourceName) >= sizeof output) return 0;
  AppendText(output, entry.SourceName);
  return 1;
}

// Walks the [AutoRun] entries until one decides; the product data file's path to hand to the
// program goes to startArgument.
int CheckAutorunEntries(const Option* autorun, char (&startArgument)[kPathChars]) {
  for (int32_t i = 0; i < autorun->FileCount; ++i) {
    const FileEntry& entry = autorun->FileEntries[i];
    // Paths that do not fit count as not current: cut, they would name other files.
    if (entry.TooLong) return kAutorunOutdated;
    if (entry.FileKind == kKindProductData) {
      char path[kPathChars];
      if (!SourcePath(path, entry)) return kAutorunOutdated;
      if (ProductDataIsNewer(path)) return kAutorunNewerData;
      if (!startArgument[0]) CopyText(startArgument, path);
    } else {
      char installed[kPathChars] = "";
      if (!FileEntryPath(installed, autorun, &entry) || !IsEntryInstalledCurrent(installed, &entry))
        return kAutorunOutdated;
    }
  }
  return kAutorunCurrent;
}

void StartInstalledProgram(const char* programPath, const char* startArgument) {
  char program[kPathChars + 2];
  char commandLine[2 * kPathChars + 8];
  if (CommandLineProgram(program, programPath) && AutorunCommandLine(commandLine, program, startArgument) &&
      StartProgram(commandLine))
    return;
  char text[kValueChars];
  FormatText(text,
             "Die Datei %s kann nicht gestartet werden! Bitte überprüfen Sie Laufwerk und Verzeichnis!\n"
             "Nach einer versehentlichen Löschung des Programms müssen Sie Setup erneut aufrufen!",
             programPath);
  MessageBoxA(nullptr, text, "Setup", MB_ICONERROR);
}

}  // namespace

int RunAutorun(int* check) {
  *check = kAutorunCurrent;
  char programPath[kPathChars];
  ReadInstalledProgramPath(programPath, 0);
  if (!programPath[0]) return 1;  // not installed: straight into the setup
  if (ProductIsRunning(programPath)) return 0;

  ReadInstalledProgramPath(InstallDir, 1);
  // Entries bound for the system folder or kept on the medium are checked where they are.
  GetWindowsDirectoryA(WindowsDir, sizeof WindowsDir);
  GetSystemDirectoryA(SystemDir, sizeof SystemDir);
  GetCurrentDirectoryA(sizeof SetupDir, SetupDir);

  char startArgument[kPathChars] = "";
  if (ArenaCreate(kArenaBlockBytes)) {
    const Option* autorun = ReadOptionList("AutoRun", nullptr, 1);
    if (autorun) *check = CheckAutorunEntries(autorun, startArgument);
    ArenaRelease();
  }

  int answer = ShowAutorunBox(*check);
  if (*check == kAutorunCurrent) {
    if (answer == 1) StartInstalledProgram(programPath, startArgument);
    return 0;
  }
  return answer != 2;
}
