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

// Self-registration: the library records where it is installed.
extern "C" __declspec(dllexport) HRESULT WINAPI DllRegisterServer() {
  char path[MAX_PATH];
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&DllRegisterServer), &self);
  GetModuleFileNameA(self, path, sizeof path);
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Sprachtrainer\\Woerter", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return E_FAIL;
  LONG status = RegSetValueExA(key, "Bibliothek", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), lstrlenA(path) + 1);
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? S_OK : E_FAIL;
}

// And takes that record away again when it is removed.
extern "C" __declspec(dllexport) HRESULT WINAPI DllUnregisterServer() {
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Sprachtrainer\\Woerter");
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Sprachtrainer");  // not while another key is left below it
  return S_OK;
}
