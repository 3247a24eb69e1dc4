#include "box_watcher.h"

#include <utility>

#include "ui_driver.h"

namespace ui {

BoxWatcher::BoxWatcher(int button, std::string screenshot) : button_(button), screenshot_(std::move(screenshot)) {
  InitializeCriticalSection(&lock_);
  thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

BoxWatcher::~BoxWatcher() {
  InterlockedExchange(&stop_, 1);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  DeleteCriticalSection(&lock_);
}

std::vector<SeenBox> BoxWatcher::Boxes() {
  EnterCriticalSection(&lock_);
  std::vector<SeenBox> copy = boxes_;
  LeaveCriticalSection(&lock_);
  return copy;
}

DWORD WINAPI BoxWatcher::Run(void* param) {
  auto* self = static_cast<BoxWatcher*>(param);
  std::vector<HWND> answered;
  while (!self->stop_) {
    for (HWND window : TopWindows(GetCurrentProcessId())) {
      if (ClassName(window) != "#32770" || !GetDlgItem(window, 65535)) continue;
      bool seen = false;
      for (HWND w : answered) seen |= w == window;
      if (seen && IsWindow(window)) continue;
      // A box can turn visible a moment before its text is set: let it settle.
      for (int tries = 0; MessageBoxText(window).empty() && tries < 50; ++tries) Sleep(10);
      SeenBox box{WindowText(window), MessageBoxText(window), GetWindow(window, GW_OWNER), ButtonIds(window),
                  static_cast<LONG>(GetWindowLongPtrA(window, GWL_STYLE))};
      EnterCriticalSection(&self->lock_);
      self->boxes_.push_back(box);
      LeaveCriticalSection(&self->lock_);
      answered.push_back(window);
      if (!self->screenshot_.empty()) {
        Sleep(300);  // let the box paint
        SaveScreenshot(self->screenshot_);
        self->screenshot_.clear();
      }
      Click(window, self->button_);
    }
    Sleep(10);
  }
  return 0;
}

}  // namespace ui
