#include "install_driver.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace ui {

namespace {
const char kSharedDllsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
}

std::string PatternBytes(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  unsigned x = seed * 2654435761u + 12345u;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(x >> 24);
  }
  return bytes;
}

bool WriteFiles(const std::string& folder, const std::vector<NamedBytes>& files) {
  MakeFolders(folder);
  for (const NamedBytes& file : files)
    if (!WriteFile(JoinPath(folder, file.Name), file.Bytes)) return false;
  return true;
}

HWND WaitCopyPage(DWORD pid, DWORD timeoutMs) {
  return WaitDialog(pid, "Kopieren", {1005, 1006, 1008, IDCANCEL}, timeoutMs);
}

bool StartAndInstall(Setup* setup, const std::string& medium, const std::string& arguments) {
  if (!StartSetup(setup, medium, arguments)) return false;
  HWND welcome = WaitWelcomePage(setup->Pid);
  if (welcome && Click(welcome, 1000)) return true;
  CloseSetup(setup);
  return false;
}

HWND WaitIncompleteNotice(DWORD pid, DWORD timeoutMs) {
  return WaitDialog(pid, (ProductName() + "-Setup").c_str(), {1, 257}, timeoutMs);
}

int WaitCleanExit(Setup* setup, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    if (WaitForSingleObject(setup->Process, 50) == WAIT_OBJECT_0) return WaitExit(setup, 0);
    // Any window other than the wizard's own pages is an unexpected box.
    for (HWND window : TopWindows(setup->Pid)) {
      std::string caption = WindowText(window);
      if (ClassName(window) == "#32770" && caption != "Kopieren" && caption != ProductName() + "-Setup") {
        ADD_FAILURE_AT(__FILE__, __LINE__) << "unexpected window \"" << caption << "\": " << MessageBoxText(window);
        CloseSetup(setup);
        return -1;
      }
      if (ClassName(window) == "#32770" && caption == ProductName() + "-Setup" && GetDlgItem(window, 257) &&
          !GetDlgItem(window, 1000)) {
        ADD_FAILURE_AT(__FILE__, __LINE__) << "closing notice: " << ControlText(window, 257);
        CloseSetup(setup);
        return -1;
      }
    }
  }
  CloseSetup(setup);
  return -1;
}

std::string ReadSetupLog(const std::string& installDir, int n) {
  std::string bytes;
  if (!ReadFile(JoinPath(installDir, "setup" + std::to_string(n) + ".log"), &bytes)) return "";
  return bytes;
}

long SharedCount(const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return -1;
  DWORD value = 0, size = sizeof value, type = 0;
  LONG rc = RegQueryValueExA(key, path.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS && type == REG_DWORD ? static_cast<long>(value) : -1;
}

void ClearSharedCount(const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, path.c_str());
  RegCloseKey(key);
}

std::string FixturePath(const std::string& name) { return JoinPath(SETUP_FIXTURES_DIR, name); }

std::string Section(int n, const std::string& keys, const std::vector<std::string>& entries) {
  std::string text = "[Section" + std::to_string(n) + "]\r\n" + keys + "FileCount=" + std::to_string(entries.size()) + "\r\n";
  for (size_t i = 0; i < entries.size(); ++i) text += "File" + std::to_string(i + 1) + "=" + entries[i] + "\r\n";
  return text;
}

bool Holds(const std::string& path, const std::string& bytes) {
  std::string read;
  return ReadFile(path, &read) && read == bytes;
}

std::vector<std::string> Listing(const std::string& folder, const char* pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(JoinPath(folder, pattern).c_str(), &found);
  for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &found))
    if (found.cFileName[0] != '.') names.push_back(found.cFileName);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace ui
