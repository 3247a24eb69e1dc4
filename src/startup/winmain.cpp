// Entry point of setup.exe. The program is linked without the C runtime's start-up code and
// without its library (the few pieces it needs are in runtime_win.cpp): Windows enters here.
#include <windows.h>

#include "startup/elevation.h"
#include "startup/startup.h"

// Constructors of objects with static storage: the linker gathers them between a -1 and a 0.
extern "C" void (*__CTOR_LIST__[])();

namespace {

void RunConstructors() {
  int count = 0;
  while (__CTOR_LIST__[count + 1]) ++count;
  // Last first, as the linker's order expects.
  for (int i = count; i >= 1; --i) __CTOR_LIST__[i]();
}

// The command line without the program's own name, as WinMain would have it.
const char* Arguments(const char* line) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(line);
  if (*p == '"') {
    for (++p; *p && *p != '"'; ++p) {
    }
    if (*p) ++p;
  } else {
    while (*p > ' ') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return reinterpret_cast<const char*>(p);
}

}  // namespace

extern "C" void SetupEntry() {
  RunConstructors();
  int exitCode = RunSetup(GetModuleHandleA(nullptr), Arguments(GetCommandLineA()));
  // A copy with administrator rights tells its first copy how it ended.
  EndElevatedReport(exitCode);
  ExitProcess(static_cast<UINT>(exitCode));
}
