// Sprachtrainer: the sample product's program. It shows who it is and which word list it uses:
// the one it was opened with (a .wrt file), or the one the setup wrote into its INI file.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  char ini[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, ini, sizeof ini);
  char* dot = strrchr(ini, '.');
  if (dot) lstrcpyA(dot, ".ini");
  char list[MAX_PATH] = "";
  if (commandLine && *commandLine) lstrcpynA(list, commandLine, sizeof list);
  else GetPrivateProfileStringA("Optionen", "Woerterliste", "", list, sizeof list, ini);
  char text[2 * MAX_PATH];
  wsprintfA(text, "Sprachtrainer Beispiel\n\n%s%s", list[0] ? "Wörterliste: " : "Keine Wörterliste gefunden.", list);
  MessageBoxA(nullptr, text, "Sprachtrainer", MB_ICONINFORMATION);
  return 0;
}
