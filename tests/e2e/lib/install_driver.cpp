#include "install_driver.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <set>

#include "product_registry.h"

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

HWND WaitOptionsPage(DWORD pid, DWORD timeoutMs) {
  return WaitDialog(pid, (ProductName() + "-Benutzerdefinierte Optionen").c_str(), {768, 288, 1002, 1015, 1000},
                    timeoutMs);
}

HWND StartToOptions(Setup* setup, const std::string& medium, const std::string& arguments) {
  if (!StartSetup(setup, medium, arguments)) return nullptr;
  HWND welcome = WaitWelcomePage(setup->Pid);
  HWND options = welcome && Click(welcome, 1000) ? WaitOptionsPage(setup->Pid) : nullptr;
  if (!options) CloseSetup(setup);
  return options;
}

bool WalkToCopy(Setup* setup) {
  HWND welcome = WaitWelcomePage(setup->Pid);
  HWND options = welcome && Click(welcome, 1000) ? WaitOptionsPage(setup->Pid) : nullptr;
  if (options && Click(options, 1000)) return true;
  CloseSetup(setup);
  return false;
}

bool StartAndInstall(Setup* setup, const std::string& medium, const std::string& arguments) {
  return StartSetup(setup, medium, arguments) && WalkToCopy(setup);
}

HWND WaitIncompleteNotice(DWORD pid, DWORD timeoutMs) {
  return WaitDialog(pid, (ProductName() + "-Setup").c_str(), {1, 257}, timeoutMs);
}

HWND WaitInterruptedNotice(DWORD pid, DWORD timeoutMs) {
  return WaitDialog(pid, (ProductName() + "-Setup").c_str(), {1, 257, 258}, timeoutMs);
}

HWND WaitGroupPage(DWORD pid, DWORD timeoutMs) {
  return WaitDialog(pid, (ProductName() + " - Programmgruppe ausw\xE4hlen").c_str(), {1017, 515, 768, 1000}, timeoutMs);
}

HWND WaitFinishPage(DWORD pid, DWORD timeoutMs) {
  return WaitDialog(pid, (ProductName() + "-Setup").c_str(), {100, 1, 257, 258}, timeoutMs);
}

namespace {

enum PageKind { kOtherWindow, kPassingPage, kForwardPage, kFinishPage };

PageKind KindOf(HWND window) {
  if (ClassName(window) != "#32770") return kPassingPage;  // the frame
  std::string caption = WindowText(window), product = ProductName();
  bool busy = caption.empty() && GetDlgItem(window, 1008);
  if (busy || caption == "Kopieren") return kPassingPage;
  if (caption == product + "-Setup" && GetDlgItem(window, 1000) && GetDlgItem(window, 259)) return kPassingPage;
  if ((caption == product + " - Programmgruppe ausw\xE4hlen" || caption == product + "-Benutzerdefinierte Optionen") &&
      GetDlgItem(window, 1000))
    return kForwardPage;
  if (caption == product + "-Setup" && GetDlgItem(window, 100) && GetDlgItem(window, 258)) return kFinishPage;
  return kOtherWindow;
}

}  // namespace

int WaitCleanExit(Setup* setup, DWORD timeoutMs) {
  timeoutMs = Scaled(timeoutMs);
  DWORD start = GetTickCount();
  std::vector<HWND> pressed;
  while (GetTickCount() - start < timeoutMs) {
    if (WaitForSingleObject(setup->Process, 50) == WAIT_OBJECT_0) return WaitExit(setup, 0);
    for (HWND window : TopWindows(setup->Pid)) {
      if (std::find(pressed.begin(), pressed.end(), window) != pressed.end()) continue;
      switch (KindOf(window)) {
        case kPassingPage:
          break;
        case kForwardPage:
          Click(window, 1000);
          pressed.push_back(window);
          break;
        case kFinishPage:
          if (IsControlVisible(window, 258)) {
            ADD_FAILURE_AT(__FILE__, __LINE__) << "the finish page reports errors";
            CloseSetup(setup);
            return -1;
          }
          Click(window, 1);
          pressed.push_back(window);
          break;
        case kOtherWindow:
          // A page being destroyed loses its controls a moment before it goes.
          Sleep(200);
          if (!IsWindow(window) || !IsWindowVisible(window) || KindOf(window) != kOtherWindow) break;
          ADD_FAILURE_AT(__FILE__, __LINE__) << "unexpected window \"" << WindowText(window)
                                             << "\": " << MessageBoxText(window) << ControlText(window, 257);
          CloseSetup(setup);
          return -1;
      }
    }
  }
  CloseSetup(setup);
  return -1;
}

int FinishWithErrors(Setup* setup) {
  HWND finish = WaitFinishPage(setup->Pid);
  if (!finish || !IsControlVisible(finish, 258) || IsControlVisible(finish, 257) || !Answer(finish, 1)) {
    ADD_FAILURE_AT(__FILE__, __LINE__) << "no finish page with its partial-success text";
    CloseSetup(setup);
    return -1;
  }
  return WaitExit(setup);
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

std::string RegString(HKEY root, const std::string& key, const std::string& name) {
  DWORD type = REG_NONE;
  std::string value = RegistryValue(root, key, name, &type);
  return type == REG_SZ ? value : "<none>";
}

void DeleteRegTree(HKEY root, const std::string& key) { DeleteKeyTree(root, key); }

std::string LinkTarget(const std::string& linkFile) {
  std::string target;
  if (FAILED(CoInitialize(nullptr))) return target;
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      WCHAR wide[MAX_PATH];
      MultiByteToWideChar(CP_ACP, 0, linkFile.c_str(), -1, wide, MAX_PATH);
      char path[MAX_PATH] = "";
      if (SUCCEEDED(file->Load(wide, STGM_READ)) && SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, 0)))
        target = path;
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return target;
}

std::string IniValue(const std::string& file, const std::string& section, const std::string& key) {
  char value[1024];
  GetPrivateProfileStringA(section.c_str(), key.c_str(), "<none>", value, sizeof value, file.c_str());
  return value;
}

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

bool HoldCopy(ProcessThreads* threads, const std::string& install, const char* pattern, DWORD beyond, bool replacing) {
  if (!threads->Suspend()) return false;
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  for (int i = 0; i < 100000; ++i) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((install + "\\" + pattern).c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      FindClose(find);
      if (FileExists(install + "\\zuerst.txt") && found.nFileSizeLow > beyond &&
          (!replacing || !Listing(install, "stp*.old").empty()))
        return true;
    }
    threads->Resume();
    QueryPerformanceCounter(&start);
    do QueryPerformanceCounter(&now);
    while ((now.QuadPart - start.QuadPart) * 10000 < frequency.QuadPart * Scaled(1));
    threads->Suspend();
  }
  threads->Resume();
  return false;
}

std::string ChargedKilobytes(long long bytes, int files) {
  WIN32_FILE_ATTRIBUTE_DATA setup = {};
  GetFileAttributesExA(SETUP_EXE_PATH, GetFileExInfoStandard, &setup);
  long long all = bytes + files * 640LL + setup.nFileSizeLow;
  return std::to_string((all + 1023) / 1024) + "KB";
}

std::string ProgramsFolder() {
  char path[MAX_PATH] = "";
  SHGetSpecialFolderPathA(nullptr, path, CSIDL_PROGRAMS, FALSE);
  return path;
}

int WaitExitUnseen(Setup* setup, int* windowsSeen, bool anyProcess) {
  *windowsSeen = 0;
  DWORD start = GetTickCount();
  std::set<HWND> seen;
  while (WaitForSingleObject(setup->Process, 2) == WAIT_TIMEOUT) {
    for (HWND window : TopWindows(anyProcess ? 0 : setup->Pid))
      if (seen.insert(window).second) ADD_FAILURE() << "a window: " << WindowText(window), ++*windowsSeen;
    if (GetTickCount() - start > Scaled(60000)) return WaitExit(setup, 0);
  }
  return WaitExit(setup, 0);
}

SampleInstall::SampleInstall(const char* name) : ProductKey(ui::ProductKey(CompanyName(), ProductName())) {
  std::string exe = SETUP_EXE_PATH;
  Medium = MakeMedium(name, nullptr);
  std::string built = exe.substr(0, exe.find_last_of('\\')) + "\\medium";
  for (const char* file : {"SETUP.LST", "Sprachtrainer.exe", "Woerter.dll", "Hilfe.txt", "Woerter.dat", "Kurzliste.dat",
                           "Woerterbuch.hlp"})
    CopyFileA((built + "\\" + file).c_str(), (Medium + "\\" + file).c_str(), FALSE);
  // The install folder's parent stands before either run (in a new prefix the first run would
  // make it and log one more "CreatedDir:" line than the second).
  CreateDirectoryA(Install.substr(0, Install.find_last_of('\\')).c_str(), nullptr);
  Clean();
}

void SampleInstall::Clean() {
  RemoveTree(Install);
  RemoveTree(Group);
  ClearSharedCount(Install + "\\Woerter.dll");
  DeleteKeyTree(ProductKey);
  DeleteKeyTree(UninstallKey(CompanyName(), ProductName()));
  DeleteRegTree(HKEY_CURRENT_USER, "Software\\Sprachtrainer");
  DeleteRegTree(HKEY_CLASSES_ROOT, ".wrt");
  DeleteRegTree(HKEY_CLASSES_ROOT, "Sprachtrainer.Woerterliste");
}

std::string SampleInstall::State() const {
  std::string state = "log:" + ReadSetupLog(Install);
  for (const char* name : {"Sprachtrainer.exe", "Woerter.dll", "Hilfe.txt", "Woerterbuch.hlp", "Daten\\Kurzliste.wrt",
                           "Daten\\Woerter.wrt"})
    state += std::string("\nfile ") + name + ": " + (FileExists(Install + "\\" + name) ? "da" : "fehlt");
  state += "\nini:" + IniValue(Install + "\\Sprachtrainer.ini", "Optionen", "Woerterliste");
  state += "\nlink:" + LinkTarget(Group + "\\Sprachtrainer.lnk");
  state += "\npath:" + RegString(HKEY_LOCAL_MACHINE, ProductKey + "\\CurrentVersion", "Path");
  state += "\ntype:" + RegString(HKEY_CLASSES_ROOT, ".wrt");
  state += "\nlib:" + RegString(HKEY_CURRENT_USER, "Software\\Sprachtrainer\\Woerter", "Bibliothek");
  state += "\ndata:" + RegString(HKEY_LOCAL_MACHINE,
                                 ProductKey + "\\2.0\\Files\\{5A7C0E21-9B3D-4f60-8E11-2C4B6D8F0A13}", "InstallPath");
  state += "\nshared:" + std::to_string(SharedCount(Install + "\\Woerter.dll"));
  return state;
}

}  // namespace ui
