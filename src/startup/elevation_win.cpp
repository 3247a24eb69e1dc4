#include <windows.h>
#include <shellapi.h>

#include "script/records.h"
#include "startup/compat.h"
#include "startup/elevation.h"
#include "startup/text.h"

int CanAskForAdministrator() {
  TOKEN_ELEVATION elevation;
  return ReadProcessToken(TokenElevation, &elevation, sizeof elevation) && !elevation.TokenIsElevated;
}

int RunAsAdministrator(const char* program, const char* parameters, unsigned long* exitCode) {
  SHELLEXECUTEINFOA run = {};
  run.cbSize = sizeof run;
  // No error box of the shell: where the copy cannot be started, this one goes on itself.
  run.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  run.lpVerb = "runas";
  run.lpFile = program;
  run.lpParameters = parameters;
  run.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExA(&run)) {
    if (GetLastError() != ERROR_CANCELLED) return 0;
    *exitCode = ERROR_CANCELLED;
    return 1;
  }
  *exitCode = 0;
  // Without a process to wait for (the system did not say which), the copy runs on alone.
  if (!run.hProcess) return 1;
  WaitForSingleObject(run.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(run.hProcess, &code);
  CloseHandle(run.hProcess);
  *exitCode = code;
  return 1;
}

int RunElevatedCopy(int autorunCheck, const char* arguments, unsigned long* exitCode) {
  char program[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, program, sizeof program);
  char parameters[kValueChars];
  if (n == 0 || n >= sizeof program || !ElevatedArgumentsN(parameters, sizeof parameters, autorunCheck, arguments))
    return 0;
  return RunAsAdministrator(program, parameters, exitCode);
}
