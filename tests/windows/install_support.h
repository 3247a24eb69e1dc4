// Scaffolding of the Windows tests: a visible test window, and a thread that answers the
// dialogs the code under test shows modally on the test's thread.
#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui_driver.h"

namespace installtest {

constexpr COLORREF kTestBackground = RGB(0, 160, 0);

// A visible top-level window with a plain green background, destroyed with the object.
class TestWindow {
 public:
  TestWindow(int width, int height);
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  HWND Handle() const { return window_; }
  static void Pump();  // handles the window messages waiting for this thread

 private:
  HWND window_;
};

// What one dialog showed when it came up.
struct SeenDialog {
  std::map<int, std::string> Texts;  // by control id (65535: a message box's text)
  std::vector<int> Buttons;
  HWND Owner = nullptr;
  bool WatchedEnabled = true;  // the watched window, while the dialog was up
  int PageClosableSeen = -1, ModalActiveSeen = -1;
};

struct Step {
  std::string Caption;
  int Button;
  DWORD TimeoutMs = 5000;
};

// Answers the dialogs of this process in the given order, each found by its caption; a step
// whose dialog does not come is skipped. whileUp runs while each dialog is up.
class DialogAnswerer {
 public:
  DialogAnswerer(std::vector<Step> steps, HWND watched = nullptr, std::function<void(HWND)> whileUp = {});
  ~DialogAnswerer() { Seen(); }
  DialogAnswerer(const DialogAnswerer&) = delete;
  DialogAnswerer& operator=(const DialogAnswerer&) = delete;
  // Waits until the steps are done and returns what was seen.
  const std::vector<SeenDialog>& Seen();

 private:
  static DWORD WINAPI Run(void* self);
  std::vector<Step> steps_;
  HWND watched_;
  std::function<void(HWND)> whileUp_;
  std::vector<SeenDialog> seen_;
  HANDLE thread_ = nullptr;
};

}  // namespace installtest
