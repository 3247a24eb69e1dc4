// The welcome page: greeting, the warning to close running programs, the two notices.
#include "resources/resource_ids.h"
#include "startup/state.h"
#include "wizard/dialog_services.h"
#include "wizard/pages.h"

namespace {

INT_PTR OnCommand(HWND page, WPARAM wParam) {
  int id = LOWORD(wParam);
  if (id == IDCANCEL || id == IDC_CANCEL_SETUP) return AskCancelOnPage(page);
  return LeavePage(page, wParam);
}

}  // namespace

INT_PTR CALLBACK WelcomePageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      ExpandDialogTexts(page);
      if (Silent) PostMessageA(page, WM_COMMAND, IDC_NEXT, 0);
      return TRUE;  // the default focus lands on "Weiter"
    case WM_COMMAND:
      return OnCommand(page, wParam);
  }
  return FALSE;
}
