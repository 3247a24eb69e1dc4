#include "install_support.h"

#include "resources/resource_ids.h"
#include "startup/state.h"

namespace installtest {

TestWindow::TestWindow(int width, int height) {
  static ATOM atom = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = CreateSolidBrush(kTestBackground);
    wc.lpszClassName = "InstallServicesTestWindow";
    return RegisterClassA(&wc);
  }();
  window_ = CreateWindowExA(WS_EX_TOPMOST, MAKEINTATOM(atom), "Test", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                            nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
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

DialogAnswerer::DialogAnswerer(std::vector<Step> steps, HWND watched, std::function<void(HWND)> whileUp)
    : steps_(std::move(steps)), watched_(watched), whileUp_(std::move(whileUp)) {
  thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

const std::vector<SeenDialog>& DialogAnswerer::Seen() {
  if (thread_) {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  return seen_;
}

DWORD WINAPI DialogAnswerer::Run(void* param) {
  auto* self = static_cast<DialogAnswerer*>(param);
  HWND last = nullptr;
  for (const Step& step : self->steps_) {
    HWND box = nullptr;
    for (DWORD start = GetTickCount(); (!box || box == last) && GetTickCount() - start < step.TimeoutMs; Sleep(10))
      box = ui::WaitDialog(GetCurrentProcessId(), step.Caption.c_str(), {}, 0);
    if (!box || box == last) continue;
    Sleep(50);  // let the dialog finish its initialisation
    SeenDialog seen;
    for (int id : {1, 2, IDC_TEXT_1, IDC_TEXT_2, IDC_PATH_LINE, 65535})
      if (GetDlgItem(box, id)) seen.Texts[id] = ui::ControlText(box, id);
    seen.Buttons = ui::ButtonIds(box);
    seen.Owner = ui::Owner(box);
    if (self->watched_) seen.WatchedEnabled = IsWindowEnabled(self->watched_);
    seen.PageClosableSeen = PageClosable;
    seen.ModalActiveSeen = ModalActive;
    if (self->whileUp_) self->whileUp_(box);
    self->seen_.push_back(seen);
    last = box;
    ui::Click(box, step.Button);
    ui::WaitGone(box, 5000);
  }
  return 0;
}

}  // namespace installtest
