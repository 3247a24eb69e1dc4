#include "ui_driver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <tlhelp32.h>

#include "png_writer.h"
#include "product_registry.h"

namespace ui {

std::string TestRoot() { return SETUP_TEST_ROOT; }

DWORD Scaled(DWORD ms) {
  static const DWORD scale = [] {
    char value[16] = "";
    DWORD length = GetEnvironmentVariableA("SETUP_TEST_WAIT_SCALE", value, sizeof value);
    DWORD n = length && length < sizeof value ? strtoul(value, nullptr, 10) : 0;
    return n ? n : 1;
  }();
  if (ms == INFINITE) return ms;
  return ms > (INFINITE - 1) / scale ? INFINITE - 1 : ms * scale;
}

void Settle(DWORD ms) { Sleep(Scaled(ms)); }

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '\\') return folder + name;
  return folder + "\\" + name;
}

bool RemoveTree(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str());
  }
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(JoinPath(path, "*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (strcmp(found.cFileName, ".") && strcmp(found.cFileName, ".."))
        RemoveTree(JoinPath(path, found.cFileName));
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  return RemoveDirectoryA(path.c_str());
}

bool MakeFolders(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return attributes & FILE_ATTRIBUTE_DIRECTORY;
  size_t slash = path.find_last_of('\\');
  if (slash != std::string::npos && slash > 2) MakeFolders(path.substr(0, slash));
  return CreateDirectoryA(path.c_str(), nullptr);
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

bool ReadFile(const std::string& path, std::string* bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes->clear();
  char buffer[65536];
  DWORD n = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes->append(buffer, n);
  CloseHandle(file);
  return true;
}

bool FileExists(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string FreshFolder(const std::string& name) {
  std::string folder = JoinPath(TestRoot(), name);
  RemoveTree(folder);
  MakeFolders(folder);
  return folder;
}

std::string MakeMedium(const std::string& name, const char* script) {
  std::string folder = FreshFolder(name);
  // No product counts as installed unless the scenario says so: a registered program path
  // left by an earlier run would move the install folder away from the script's.
  DeleteRegistryValue(ProductKey(CompanyName(), ProductName()) + "\\CurrentVersion", "Path");
  // Nor does an entry in the list of software, which would also lead the next start to a record
  // of an earlier scenario's run.
  DeleteKeyTree(UninstallKey(CompanyName(), ProductName()));
  CopyFileA(SETUP_EXE_PATH, JoinPath(folder, "setup.exe").c_str(), FALSE);
  if (script) WriteFile(JoinPath(folder, "SETUP.LST"), script);
  return folder;
}

bool StartSetup(Setup* setup, const std::string& medium, const std::string& arguments,
                const std::string& currentFolder, const std::string& standardError) {
  return StartProgram(setup, JoinPath(medium, "setup.exe"), arguments, currentFolder, standardError);
}

bool StartProgram(Setup* setup, const std::string& exe, const std::string& arguments, const std::string& currentFolder,
                  const std::string& standardError) {
  std::string command = "\"" + exe + "\"";
  if (!arguments.empty()) command += " " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  HANDLE error = INVALID_HANDLE_VALUE;
  if (!standardError.empty()) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    error = CreateFileA(standardError.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = error;
  }
  PROCESS_INFORMATION info = {};
  std::vector<char> line(command.begin(), command.end());
  line.push_back(0);
  // Started from another folder on purpose: the program must find its own.
  std::string folder = currentFolder.empty() ? TestRoot() : currentFolder;
  // Wine has been seen to refuse a start once in many hundred, before the program ran at all:
  // that is said, and the start tried again.
  BOOL started = FALSE;
  for (int attempt = 1; attempt <= 3 && !started; ++attempt) {
    started = CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, error != INVALID_HANDLE_VALUE, 0, nullptr,
                             folder.c_str(), &startup, &info);
    if (!started) {
      fprintf(stderr, "StartProgram: %s did not start (error %lu), attempt %d\n", exe.c_str(), GetLastError(), attempt);
      Sleep(500);
    }
  }
  if (error != INVALID_HANDLE_VALUE) CloseHandle(error);
  if (!started) return false;
  CloseHandle(info.hThread);
  setup->Process = info.hProcess;
  setup->Pid = info.dwProcessId;
  return true;
}

int WaitExit(Setup* setup, DWORD timeoutMs) {
  if (!setup->Process) return -1;
  if (WaitForSingleObject(setup->Process, Scaled(timeoutMs)) != WAIT_OBJECT_0) {
    TerminateProcess(setup->Process, 99);
    WaitForSingleObject(setup->Process, 5000);
    CloseHandle(setup->Process);
    setup->Process = nullptr;
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(setup->Process, &code);
  CloseHandle(setup->Process);
  setup->Process = nullptr;
  return static_cast<int>(code);
}

Setup::~Setup() { CloseSetup(this); }

int WaitExitWatching(Setup* setup, std::vector<std::string>* shown, const std::vector<HWND>& known, DWORD timeoutMs) {
  shown->clear();
  std::vector<HWND> seen = known;
  DWORD start = GetTickCount();
  while (setup->Process && WaitForSingleObject(setup->Process, 5) == WAIT_TIMEOUT && GetTickCount() - start < timeoutMs) {
    for (HWND window : TopWindows(setup->Pid)) {
      if (std::find(seen.begin(), seen.end(), window) != seen.end()) continue;
      seen.push_back(window);
      shown->push_back(ClassName(window) + " \"" + WindowText(window) + "\"");
      if (ClassName(window) == "#32770") SendCommand(window, IDOK);
      else PostMessageA(window, WM_CLOSE, 0, 0);
    }
  }
  return WaitExit(setup, 0);
}

void CloseSetup(Setup* setup) {
  if (!setup->Process) return;
  TerminateProcess(setup->Process, 99);
  // The next start of a scenario must not meet it still ending (it would find another setup).
  WaitForSingleObject(setup->Process, Scaled(10000));
  CloseHandle(setup->Process);
  setup->Process = nullptr;
}

namespace {

struct EnumState {
  DWORD Pid;
  std::vector<HWND>* Windows;
};

BOOL CALLBACK CollectTop(HWND window, LPARAM param) {
  auto* state = reinterpret_cast<EnumState*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if ((state->Pid == 0 || pid == state->Pid) && IsWindowVisible(window)) state->Windows->push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectChildren(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

template <class Found> HWND Poll(DWORD timeoutMs, Found found) {
  timeoutMs = Scaled(timeoutMs);
  DWORD start = GetTickCount();
  for (;;) {
    if (HWND window = found()) return window;
    if (GetTickCount() - start > timeoutMs) return nullptr;
    Sleep(20);
  }
}

}  // namespace

std::vector<HWND> TopWindows(DWORD pid) {
  std::vector<HWND> windows;
  EnumState state{pid, &windows};
  EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&state));
  return windows;
}

namespace {

struct FrameSearch {
  DWORD Pid;
  HWND Found;
};

BOOL CALLBACK FindFrame(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<FrameSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->Pid || ClassName(window) != "SETUPFRAME") return TRUE;
  search->Found = window;
  return FALSE;
}

}  // namespace

// Looked for among every top-level window, shown or not, by class name and process.
HWND FrameOf(DWORD pid) {
  FrameSearch search = {pid, nullptr};
  EnumWindows(FindFrame, reinterpret_cast<LPARAM>(&search));
  return search.Found;
}

HWND WaitWindow(DWORD pid, const char* caption, const char* className, DWORD timeoutMs) {
  return Poll(timeoutMs, [&]() -> HWND {
    for (HWND window : TopWindows(pid)) {
      if (caption && WindowText(window) != caption) continue;
      if (className && ClassName(window) != className) continue;
      return window;
    }
    return nullptr;
  });
}

HWND WaitMessageBox(DWORD pid, DWORD timeoutMs) {
  return Poll(timeoutMs, [&]() -> HWND {
    for (HWND window : TopWindows(pid))
      if (ClassName(window) == "#32770" && GetDlgItem(window, 65535)) return window;
    return nullptr;
  });
}

bool WaitGone(HWND window, DWORD timeoutMs) {
  timeoutMs = Scaled(timeoutMs);
  DWORD start = GetTickCount();
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(20);
  }
  return true;
}

std::string WindowsOf(DWORD pid) {
  std::string said;
  for (HWND window : TopWindows(pid)) {
    if (!IsWindowVisible(window)) continue;
    said += "window \"" + WindowText(window) + "\":";
    std::vector<HWND> children;
    EnumChildWindows(window, CollectChildren, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children)
      if (IsWindowVisible(child) && !WindowText(child).empty()) said += " \"" + WindowText(child) + "\"";
    said += "\n";
  }
  return said.empty() ? "no visible window\n" : said;
}

std::string WindowText(HWND window) {
  char text[4096] = "";
  // Sent with a time-out: a hung program must not hang the driver.
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                      &result);
  return text;
}

std::string ClassName(HWND window) {
  char name[256] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

HWND Control(HWND dialog, int id) { return GetDlgItem(dialog, id); }

std::string ControlText(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control ? WindowText(control) : std::string();
}

std::string MessageBoxText(HWND box) { return ControlText(box, 65535); }

bool IsControlEnabled(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control && IsWindowEnabled(control);
}

bool IsControlVisible(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control && IsWindowVisible(control);
}

bool IsChecked(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  DWORD_PTR result = 0;
  return control && SendMessageTimeoutA(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) &&
         result == BST_CHECKED;
}

std::vector<int> ButtonIds(HWND dialog) {
  std::vector<HWND> children;
  EnumChildWindows(dialog, CollectChildren, reinterpret_cast<LPARAM>(&children));
  std::vector<int> ids;
  for (HWND child : children)
    if (ClassName(child) == "Button") ids.push_back(GetDlgCtrlID(child));
  return ids;
}

bool Click(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control && PostMessageA(control, BM_CLICK, 0, 0);
}

namespace {

// The texts of a list's items, asked in wide characters: only that form crosses the process
// boundary whole.
std::vector<std::string> ItemTexts(HWND control, UINT countMessage, UINT textMessage, LRESULT error) {
  std::vector<std::string> items;
  DWORD_PTR count = 0;
  if (!control || !SendMessageTimeoutA(control, countMessage, 0, 0, SMTO_ABORTIFHUNG, 5000, &count)) return items;
  for (DWORD_PTR i = 0; i < count && count != static_cast<DWORD_PTR>(error); ++i) {
    WCHAR wide[1024] = L"";
    DWORD_PTR length = 0;
    SendMessageTimeoutW(control, textMessage, i, reinterpret_cast<LPARAM>(wide), SMTO_ABORTIFHUNG, 5000, &length);
    char text[2048] = "";
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    items.push_back(text);
  }
  return items;
}

}  // namespace

std::vector<std::string> ListItems(HWND dialog, int id) {
  return ItemTexts(GetDlgItem(dialog, id), LB_GETCOUNT, LB_GETTEXT, LB_ERR);
}

std::vector<std::string> ComboItems(HWND dialog, int id) {
  return ItemTexts(GetDlgItem(dialog, id), CB_GETCOUNT, CB_GETLBTEXT, CB_ERR);
}

// Selects an item of a list or combo box and tells the dialog with the box's notification.
bool SelectItem(HWND dialog, int id, int index, UINT select, WORD changed) {
  HWND box = GetDlgItem(dialog, id);
  DWORD_PTR result = 0;
  return box && SendMessageTimeoutA(box, select, index, 0, SMTO_ABORTIFHUNG, 5000, &result) &&
         static_cast<LRESULT>(result) == index &&
         PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, changed), reinterpret_cast<LPARAM>(box));
}

bool SelectListItem(HWND dialog, int id, int index) { return SelectItem(dialog, id, index, LB_SETCURSEL, LBN_SELCHANGE); }

bool SelectComboItem(HWND dialog, int id, int index) {
  return SelectItem(dialog, id, index, CB_SETCURSEL, CBN_SELCHANGE);
}

bool MouseDown(HWND control, int x, int y) { return PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
bool MouseMove(HWND control, int x, int y) { return PostMessageA(control, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y)); }
bool MouseUp(HWND control, int x, int y) { return PostMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }

bool PressKey(HWND window, WORD key) {
  HWND target = FocusOf(window);
  if (!target) target = window;
  return PostMessageA(target, WM_KEYDOWN, key, 1) && PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

bool SendCommand(HWND dialog, int id) { return PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

bool PressEscape(HWND dialog) {
  HWND target = FocusOf(dialog);
  if (!target || (target != dialog && !IsChild(dialog, target))) target = dialog;
  return PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 1) && PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0000001);
}

bool CloseWindowCommand(HWND window) { return PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

ProcessThreads::ProcessThreads(DWORD pid) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != pid) continue;
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, entry.th32ThreadID);
    if (thread) threads_.push_back(thread);
  }
  CloseHandle(snapshot);
}

ProcessThreads::~ProcessThreads() {
  for (HANDLE thread : threads_) CloseHandle(thread);
}

bool ProcessThreads::Suspend() {
  int held = 0;
  for (HANDLE thread : threads_)
    if (SuspendThread(thread) != static_cast<DWORD>(-1)) ++held;
  // A suspension takes effect a moment later; asking for a thread's registers waits for it.
  for (HANDLE thread : threads_) {
    alignas(16) CONTEXT context = {};
    context.ContextFlags = CONTEXT_CONTROL;
    GetThreadContext(thread, &context);
  }
  return held > 0;
}

void ProcessThreads::Resume() {
  for (HANDLE thread : threads_) ResumeThread(thread);
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

HWND Owner(HWND window) { return GetWindow(window, GW_OWNER); }

bool IsEnabled(HWND window) { return IsWindowEnabled(window); }

std::vector<HWND> Dialogs(DWORD pid, const char* caption) {
  std::vector<HWND> found;
  for (HWND window : TopWindows(pid))
    if (ClassName(window) == "#32770" && (!caption || WindowText(window) == caption)) found.push_back(window);
  return found;
}

HWND WaitDialog(DWORD pid, const char* caption, const std::vector<int>& ids, DWORD timeoutMs) {
  return Poll(timeoutMs, [&]() -> HWND {
    for (HWND window : Dialogs(pid, caption)) {
      bool all = true;
      for (int id : ids) all = all && GetDlgItem(window, id);
      if (all) return window;
    }
    return nullptr;
  });
}

std::vector<std::string> AllTexts(HWND window) {
  std::vector<HWND> children;
  EnumChildWindows(window, CollectChildren, reinterpret_cast<LPARAM>(&children));
  std::vector<std::string> texts{WindowText(window)};
  for (HWND child : children) texts.push_back(WindowText(child));
  return texts;
}

namespace {

std::string SetupString(UINT id) {
  HMODULE module = LoadLibraryExA(SETUP_EXE_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  char text[1024] = "";
  if (module) {
    LoadStringA(module, id, text, sizeof text);
    FreeLibrary(module);
  }
  return text;
}

}  // namespace

std::string CompanyName() { return SetupString(103); }
std::string ProductName() { return SetupString(104); }

HWND WaitFrame(DWORD pid, DWORD timeoutMs) { return WaitWindow(pid, nullptr, "SETUPFRAME", timeoutMs); }

HWND WaitWelcomePage(DWORD pid, DWORD timeoutMs) {
  return WaitDialog(pid, (ProductName() + "-Setup").c_str(), {257, 258, 259, 260, 1000, 9}, timeoutMs);
}

bool Answer(HWND dialog, int id, DWORD timeoutMs) { return Click(dialog, id) && WaitGone(dialog, timeoutMs); }

int CancelFromWelcomePage(Setup* setup) { return CancelFromPage(setup, WaitWelcomePage(setup->Pid)); }

int CancelFromPage(Setup* setup, HWND page) {
  HWND box = page && PressEscape(page) ? WaitDialog(setup->Pid, "Setup abbrechen", {1, 2}) : nullptr;
  HWND notice = box && Answer(box, 2) ? WaitDialog(setup->Pid, (ProductName() + "-Setup").c_str(), {1, 257, 258})
                                      : nullptr;
  if (!notice || !Answer(notice, 1)) {
    CloseSetup(setup);  // a run left behind would make the next one end at once
    return -1;
  }
  return WaitExit(setup);
}

std::vector<COLORREF> ScreenPixels(const RECT& area) {
  int width = area.right - area.left, height = area.bottom - area.top;
  std::vector<COLORREF> pixels;
  if (width <= 0 || height <= 0) return pixels;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  if (HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0)) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY)) {
      const COLORREF* source = static_cast<const COLORREF*>(bits);  // 0x00RRGGBB in a 32-bit DIB
      pixels.assign(source, source + static_cast<size_t>(width) * height);
      for (COLORREF& c : pixels) c &= 0xFFFFFF;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

bool SaveScreenshot(const std::string& path) {
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  std::vector<COLORREF> pixels = ScreenPixels({0, 0, width, height});
  if (pixels.empty()) return false;
  std::vector<unsigned char> rgb(pixels.size() * 3);
  for (size_t i = 0; i < pixels.size(); ++i) {
    rgb[i * 3] = static_cast<unsigned char>(pixels[i] >> 16);
    rgb[i * 3 + 1] = static_cast<unsigned char>(pixels[i] >> 8);
    rgb[i * 3 + 2] = static_cast<unsigned char>(pixels[i]);
  }
  return WritePng(path, width, height, rgb);
}

COLORREF ScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  COLORREF c = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return RGB(GetBValue(c), GetGValue(c), GetRValue(c));
}

}  // namespace ui
