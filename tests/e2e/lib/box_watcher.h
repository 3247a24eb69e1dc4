// Answers the message boxes that the test's own process shows (for Windows tests that call
// code which reports through MessageBox): records each box's caption and text and presses
// the chosen button.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace ui {

struct SeenBox {
  std::string Caption;
  std::string Text;
  HWND Owner;
  std::vector<int> Buttons;
  LONG Style;
};

class BoxWatcher {
 public:
  // With a screenshot path, the screen is saved as a PNG while the first box is up.
  explicit BoxWatcher(int button = IDOK, std::string screenshot = "");
  ~BoxWatcher();
  BoxWatcher(const BoxWatcher&) = delete;
  BoxWatcher& operator=(const BoxWatcher&) = delete;
  // The boxes answered so far.
  std::vector<SeenBox> Boxes();

 private:
  static DWORD WINAPI Run(void* self);
  int button_;
  std::string screenshot_;
  HANDLE thread_;
  volatile LONG stop_ = 0;
  CRITICAL_SECTION lock_;
  std::vector<SeenBox> boxes_;
};

}  // namespace ui
