// Helpers of the install services' Windows tests: a visible test window, and a watcher that
// answers the message boxes of this process and remembers their owner.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "ui_driver.h"

namespace installtest {

// A visible top-level window with a plain green background, destroyed with the object.
class TestWindow {
 public:
  TestWindow(int width, int height);
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  HWND Handle() const { return window_; }
  // Handles the window messages waiting for this thread.
  static void Pump();

 private:
  HWND window_;
};

constexpr COLORREF kTestBackground = RGB(0, 160, 0);

struct OwnedBox {
  std::string Caption;
  std::string Text;
  HWND Owner;
  std::vector<int> Buttons;
  LONG Style;
};

// Answers every message box of this process with OK, recording what it saw; with a path, it
// first saves a screenshot of the first box as a PNG.
class OwnedBoxWatcher {
 public:
  explicit OwnedBoxWatcher(std::string screenshot = "");
  ~OwnedBoxWatcher();
  OwnedBoxWatcher(const OwnedBoxWatcher&) = delete;
  OwnedBoxWatcher& operator=(const OwnedBoxWatcher&) = delete;
  std::vector<OwnedBox> Boxes();

 private:
  static DWORD WINAPI Run(void* self);
  std::string screenshot_;
  HANDLE thread_;
  volatile LONG stop_ = 0;
  CRITICAL_SECTION lock_;
  std::vector<OwnedBox> boxes_;
};

// A fresh, empty folder below the test root.
std::string FreshFolder(const std::string& name);

}  // namespace installtest
