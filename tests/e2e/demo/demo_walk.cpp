// Walks a setup run the way a patient user would, for `make demo` without a display: every
// window the program shows is captured to a PNG and answered with its forward button, until
// the program ends. Pages that work by themselves (scan, copy, system update) are held for the
// moment of their picture. Prints what it met and did.
//   demo_walk <medium folder> <screenshot folder> [--press ID] [setup arguments]
//     --press ID   answer with button ID first where a window has it (the autorun box's "&Ende")
//   demo_walk --register <program path>
//     names the program as the installed product's ("Path" of its CurrentVersion key) unless the
//     install has done so, so that "/AUTORUN" finds the product installed
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <utility>

#include "product_registry.h"
#include "ui_driver.h"

namespace {

std::string FileSafe(const std::string& text) {
  std::string out;
  for (unsigned char c : text) out += (isalnum(c) || c == '-') ? static_cast<char>(c) : '_';
  return out.empty() ? "ohne-titel" : out.substr(0, 40);
}

int Register(const std::string& program) {
  std::string key = ui::ProductKey(ui::CompanyName(), ui::ProductName()) + "\\CurrentVersion";
  std::string registered = ui::RegistryValue(key, "Path");
  if (registered != "<none>") {
    printf("The program is registered: %s\n", registered.c_str());
    return 0;
  }
  printf("The install did not register the program; registering %s for the autorun demo\n", program.c_str());
  return ui::SetRegistryString(key, "Path", program) ? 0 : 1;
}

// The button that takes the run forward, in the order a user would look for it.
int ForwardButton(HWND window, int preferred = 0) {
  for (int id : {preferred, 1000, IDOK, IDYES, IDIGNORE, 1})
    if (id && ui::IsControlVisible(window, id) && ui::IsControlEnabled(window, id)) return id;
  return 0;
}

bool IsBusyPage(HWND window) { return GetDlgItem(window, 1008) && !ForwardButton(window); }

// Whether the page's texts are on the screen: dark pixels right of its icon.
bool TextPainted(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  RECT text = {r.left + 60, r.top + 4, r.right - 4, r.bottom - 4};
  int dark = 0;
  for (COLORREF c : ui::ScreenPixels(text))
    if (((c >> 16) & 0xFF) < 80 && ((c >> 8) & 0xFF) < 80 && (c & 0xFF) < 80) ++dark;
  return dark > 160;  // as 40 of every fourth pixel
}

// Whether the page's bar shows progress: its left part in the highlight colour.
bool BarFilled(HWND window) {
  RECT bar;
  GetWindowRect(GetDlgItem(window, 1008), &bar);
  COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  COLORREF c = ui::ScreenPixel(bar.left + 4, (bar.top + bar.bottom) / 2);
  return c == (static_cast<COLORREF>(GetRValue(highlight)) << 16 | GetGValue(highlight) << 8 | GetBValue(highlight));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--register") return Register(argv[2]);
  if (argc < 3) {
    fprintf(stderr, "usage: demo_walk <medium> <screenshot folder> [--press ID] [setup arguments]\n");
    return 2;
  }
  std::string medium = argv[1], shots = argv[2], arguments;
  int preferred = 0;
  for (int i = 3; i < argc; ++i) {
    if (std::string(argv[i]) == "--press" && i + 1 < argc) preferred = atoi(argv[++i]);
    else arguments += (arguments.empty() ? "" : " ") + std::string(argv[i]);
  }
  ui::MakeFolders(shots);
  ui::Setup setup;
  if (!ui::StartSetup(&setup, medium, arguments)) {
    fprintf(stderr, "cannot start %s\\setup.exe\n", medium.c_str());
    return 1;
  }
  printf("setup.exe %s started from %s\n", arguments.c_str(), medium.c_str());
  ui::ProcessThreads threads(setup.Pid);
  std::set<std::pair<HWND, std::string>> seen;
  int shot = 0;
  DWORD start = GetTickCount();
  while (WaitForSingleObject(setup.Process, 2) == WAIT_TIMEOUT) {
    if (GetTickCount() - start > ui::Scaled(180000)) {
      printf("the run did not end within %lu minutes; stopping it\n", static_cast<unsigned long>(ui::Scaled(3)));
      ui::CloseSetup(&setup);
      return 1;
    }
    for (HWND window : ui::TopWindows(setup.Pid)) {
      if (ui::ClassName(window) != "#32770") continue;  // the frame itself needs no answer
      std::string caption = ui::WindowText(window);
      auto key = std::make_pair(window, caption);
      if (seen.count(key)) continue;
      bool busy = IsBusyPage(window);
      // Read before a hold: a held program answers no message.
      std::string text = ui::MessageBoxText(window);
      if (text.empty()) text = ui::ControlText(window, 257);
      int button = busy ? 0 : ForwardButton(window, preferred);
      char name[300];
      snprintf(name, sizeof name, "%02d-%s.png", shot + 1, FileSafe(caption.empty() ? text : caption).c_str());
      std::string path = ui::JoinPath(shots, name);
      if (busy) {
        // Held in short steps: pictured once its texts are painted, and again once its bar
        // shows progress; a quick page may be done before either.
        bool pictured = false;
        for (int i = 0; i < 500 && IsWindow(window) && IsWindowVisible(window); ++i) {
          threads.Suspend();
          bool filled = false;
          if (IsWindowVisible(window) && TextPainted(window)) {
            filled = BarFilled(window);
            if (!pictured || filled) pictured = ui::SaveScreenshot(path);
          }
          threads.Resume();
          if (filled) break;
          Sleep(1);
        }
        if (!pictured) continue;
      } else {
        Sleep(ui::Scaled(400));  // let it paint
        if (!IsWindow(window) || !IsWindowVisible(window)) continue;  // a box on its way out
        ui::SaveScreenshot(path);
      }
      ++shot;
      printf("window \"%s\"%s%s -> %s, %s\n", caption.c_str(), text.empty() ? "" : ": ", text.c_str(), name,
             busy ? "works by itself" : button ? ("pressed " + std::to_string(button)).c_str() : "waiting");
      seen.insert(key);
      if (button) ui::Click(window, button);
    }
  }
  int code = ui::WaitExit(&setup);
  printf("setup.exe ended with exit code %d after %lu s; %d screenshots\n", code,
         static_cast<unsigned long>((GetTickCount() - start) / 1000), shot);
  return 0;
}
