// The autorun box (dialog 131): the product's picture, bitmap 100, with "&Starten" or "&Setup"
// and "&Ende" right-aligned below it. A build without the picture keeps the template's layout
// and says in words what the box offers.
#include <windows.h>

#include "resources/resource_ids.h"
#include "startup/autorun.h"
#include "startup/state.h"
#include "wizard/dialog_services.h"

namespace {

const char* const kOfferTexts[] = {
    "$p ist auf diesem Computer installiert.\n\nMit „Starten“ rufen Sie das Programm auf, mit „Ende“ "
    "schließen Sie dieses Fenster.",
    "Auf diesem Datenträger befinden sich neuere Daten für $p als auf Ihrem Computer.\n\nMit „Setup“ "
    "installieren Sie sie, mit „Ende“ schließen Sie dieses Fenster.",
    "$p ist auf diesem Computer nicht vollständig oder nicht in der aktuellen Fassung installiert.\n\nMit "
    "„Setup“ bringen Sie die Installation auf den neuesten Stand, mit „Ende“ schließen Sie dieses Fenster.",
};

SIZE WindowSize(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

// Lays the box out from the picture: the picture at the top left in its own size, the two
// buttons below it at the right, 8 pixels apart and from the edge; the box centred on the
// screen.
void LayOutFromPicture(HWND box, HWND picture, const BITMAP& bitmap) {
  int width = bitmap.bmWidth, height = bitmap.bmHeight;
  MoveWindow(picture, 0, 0, width, height, FALSE);
  HWND first = GetDlgItem(box, 1), second = GetDlgItem(box, 2);
  SIZE button = WindowSize(first);
  MoveWindow(first, width - 2 * button.cx - 16, height + 5, button.cx, button.cy, FALSE);
  MoveWindow(second, width - button.cx - 8, height + 5, button.cx, button.cy, FALSE);

  RECT frame = {0, 0, width, height + button.cy + 10};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(box, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrA(box, GWL_EXSTYLE)));
  int frameWidth = frame.right - frame.left, frameHeight = frame.bottom - frame.top;
  MoveWindow(box, (GetSystemMetrics(SM_CXSCREEN) - frameWidth) / 2, (GetSystemMetrics(SM_CYSCREEN) - frameHeight) / 2,
             frameWidth, frameHeight, FALSE);
}

void OnInitDialog(HWND box, int check) {
  SetDlgItemTextA(box, 1, check == kAutorunCurrent ? "&Starten" : "&Setup");
  HWND picture = GetDlgItem(box, IDC_AUTORUN_PICTURE);
  HBITMAP image = reinterpret_cast<HBITMAP>(SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
  BITMAP bitmap;
  if (image && GetObjectA(image, sizeof bitmap, &bitmap)) {
    ShowWindow(GetDlgItem(box, IDC_AUTORUN_TEXT), SW_HIDE);
    LayOutFromPicture(box, picture, bitmap);
  } else {
    ShowWindow(picture, SW_HIDE);
    int offer = check >= 0 && check <= 2 ? check : kAutorunOutdated;
    SetDlgItemTextA(box, IDC_AUTORUN_TEXT, kOfferTexts[offer]);
  }
  ExpandDialogTexts(box);
}

INT_PTR CALLBACK AutorunBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(box, static_cast<int>(lParam));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == 1 || LOWORD(wParam) == 2) {
        EndDialog(box, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

int ShowAutorunBox(int check) {
  return static_cast<int>(
      DialogBoxParamA(Instance, MAKEINTRESOURCEA(IDD_AUTORUN), nullptr, AutorunBoxProc, static_cast<LPARAM>(check)));
}
