#include <windows.h>

#include <cstring>

#include "system/program_start.h"
#include "startup/text.h"

int CommandLineProgramN(char* output, size_t cap, const char* programPath) {
  if (cap == 0) return 0;
  output[0] = 0;
  DWORD attributes = GetFileAttributesA(programPath);
  bool quote = !strchr(programPath, '"') && attributes != INVALID_FILE_ATTRIBUTES &&
               !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  size_t need = strlen(programPath) + (quote ? 2 : 0);
  if (need >= cap) return 0;
  if (quote) {
    FormatTextN(output, cap, "\"%s\"", programPath);
  } else {
    CopyTextN(output, cap, programPath);
  }
  return 1;
}

int StartProgram(const char* commandLine) {
  // CreateProcessA may write into the command line: it gets a copy of its own.
  char line[32768];
  if (strlen(commandLine) >= sizeof line) return 0;
  CopyText(line, commandLine);
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return 0;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 1;
}
