// Helpers of the install services' Windows tests: a visible test window.
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

}  // namespace installtest
