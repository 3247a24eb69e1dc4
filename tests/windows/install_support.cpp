#include "install_support.h"

#include <utility>

namespace installtest {

namespace {

const char kClassName[] = "InstallServicesTestWindow";

ATOM RegisterTestClass() {
  static ATOM atom = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = CreateSolidBrush(kTestBackground);
    wc.lpszClassName = kClassName;
    return RegisterClassA(&wc);
  }();
  return atom;
}

}  // namespace

TestWindow::TestWindow(int width, int height) {
  RegisterTestClass();
  window_ = CreateWindowExA(WS_EX_TOPMOST, kClassName, "Test", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr,
                            nullptr, GetModuleHandleA(nullptr), nullptr);
  UpdateWindow(window_);
  Pump();
}

TestWindow::~TestWindow() {
  DestroyWindow(window_);
  Pump();
}

void TestWindow::Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

OwnedBoxWatcher::OwnedBoxWatcher(std::string screenshot) : screenshot_(std::move(screenshot)) {
  InitializeCriticalSection(&lock_);
  thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

OwnedBoxWatcher::~OwnedBoxWatcher() {
  InterlockedExchange(&stop_, 1);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  DeleteCriticalSection(&lock_);
}

std::vector<OwnedBox> OwnedBoxWatcher::Boxes() {
  EnterCriticalSection(&lock_);
  std::vector<OwnedBox> copy = boxes_;
  LeaveCriticalSection(&lock_);
  return copy;
}

DWORD WINAPI OwnedBoxWatcher::Run(void* param) {
  auto* self = static_cast<OwnedBoxWatcher*>(param);
  std::vector<HWND> answered;
  while (!self->stop_) {
    for (HWND box : ui::TopWindows(GetCurrentProcessId())) {
      if (ui::ClassName(box) != "#32770" || !GetDlgItem(box, 65535)) continue;
      bool seen = false;
      for (HWND w : answered) seen |= w == box;
      if (seen) continue;
      OwnedBox record{ui::WindowText(box), ui::MessageBoxText(box), GetWindow(box, GW_OWNER), ui::ButtonIds(box),
                      static_cast<LONG>(GetWindowLongPtrA(box, GWL_STYLE))};
      EnterCriticalSection(&self->lock_);
      self->boxes_.push_back(record);
      LeaveCriticalSection(&self->lock_);
      answered.push_back(box);
      if (!self->screenshot_.empty()) {
        Sleep(300);  // let the screen show the painted box
        ui::SaveScreenshot(self->screenshot_);
        self->screenshot_.clear();
      }
      ui::Click(box, IDOK);
    }
    Sleep(10);
  }
  return 0;
}

std::string FreshFolder(const std::string& name) {
  std::string folder = ui::JoinPath(ui::TestRoot(), name);
  ui::RemoveTree(folder);
  ui::MakeFolders(folder);
  return folder;
}

}  // namespace installtest
