// Walks a setup run the way a patient user would, for `make demo` without a display: every
// window the program shows is captured to a PNG and answered with its forward button, until
// the program ends. Prints what it met and did.
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
int ForwardButton(HWND window, int preferred) {
  for (int id : {preferred, 1000, IDOK, IDYES, IDIGNORE, 1})
    if (id && ui::IsControlVisible(window, id) && ui::IsControlEnabled(window, id)) return id;
  return 0;
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
  std::set<std::pair<HWND, std::string>> seen;
  int shot = 0;
  DWORD start = GetTickCount();
  while (WaitForSingleObject(setup.Process, 300) == WAIT_TIMEOUT) {
    if (GetTickCount() - start > 180000) {
      printf("the run did not end within 3 minutes; stopping it\n");
      ui::CloseSetup(&setup);
      return 1;
    }
    for (HWND window : ui::TopWindows(setup.Pid)) {
      std::string caption = ui::WindowText(window);
      std::string cls = ui::ClassName(window);
      if (cls != "#32770") continue;  // the frame itself needs no answer
      auto key = std::make_pair(window, caption);
      if (seen.count(key)) continue;
      Sleep(400);  // let it paint
      char name[300];
      snprintf(name, sizeof name, "%02d-%s.png", ++shot, FileSafe(caption).c_str());
      std::string path = ui::JoinPath(shots, name);
      ui::SaveScreenshot(path);
      std::string text = ui::MessageBoxText(window);
      int button = ForwardButton(window, preferred);
      printf("window \"%s\"%s%s -> %s, %s\n", caption.c_str(), text.empty() ? "" : ": ", text.c_str(),
             name, button ? ("pressed " + std::to_string(button)).c_str() : "waiting (no forward button)");
      seen.insert(key);
      if (button) ui::Click(window, button);
    }
  }
  int code = ui::WaitExit(&setup);
  printf("setup.exe ended with exit code %d after %lu s; %d screenshots\n", code,
         static_cast<unsigned long>((GetTickCount() - start) / 1000), shot);
  return 0;
}
