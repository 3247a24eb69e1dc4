#include "install_support.h"

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


}  // namespace installtest
