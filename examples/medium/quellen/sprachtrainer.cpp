// Sprachtrainer: the sample product's program. It shows who it is and which word list it found.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char folder[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, folder, sizeof folder);
  char* slash = strrchr(folder, '\\');
  if (slash) slash[1] = 0;
  char list[MAX_PATH + 32];
  wsprintfA(list, "%sDaten\\Kurzliste.dat", folder);
  const char* text = GetFileAttributesA(list) != INVALID_FILE_ATTRIBUTES
                         ? "Sprachtrainer Beispiel\n\nDie kurze Wörterliste ist installiert."
                         : "Sprachtrainer Beispiel\n\nKeine Wörterliste gefunden.";
  MessageBoxA(nullptr, text, "Sprachtrainer", MB_ICONINFORMATION);
  return 0;
}
