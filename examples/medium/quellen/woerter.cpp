// Woerter.dll: the sample product's library; its version resource lets a second setup run
// find it current.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

// Number of entries of a word list held in memory, one per line.
extern "C" __declspec(dllexport) int WINAPI WortAnzahl(const char* text) {
  int lines = 0;
  for (; text && *text; ++text)
    if (*text == '\n') ++lines;
  return lines;
}
