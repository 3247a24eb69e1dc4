// Entry point of setup.exe.
#include <windows.h>

#include "startup/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  RunSetup(instance, commandLine);
  return 0;
}
