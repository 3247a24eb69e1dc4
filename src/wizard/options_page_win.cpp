// The options page: the top-level options in an owner-drawn list with check boxes and the room
// each needs, the description and folder of the selected one, the install folder and its drive
// with the free and the required space there.
#include <windows.h>

#include <cstring>

#include "install/drives.h"
#include "install/scan_page.h"
#include "resources/resource_ids.h"
#include "script/option_tree.h"
#include "script/records.h"
#include "startup/state.h"
#include "startup/text.h"
#include "wizard/dialog_services.h"
#include "wizard/dialog_text.h"
#include "wizard/folder_chooser.h"
#include "wizard/pages.h"

namespace {

// CheckBoxEvent: the list tells the page about its check box (same number as DM_SETDEFID).
constexpr UINT kCheckBoxEvent = WM_USER + 1;
enum : LPARAM { kShowNormal = 0, kShowPressed = 1, kToggle = 2 };

// The page exists once at a time.
HWND OptionsPage;
int ClickTracking;    // a press began on the selected item's box and the button is still down
int PressedShown;     // while tracking: the pressed picture is shown
int CheckCellWidth;   // one picture cell of bitmap 127, in pixels; 0 until an item was drawn
int CheckCellHeight;
int SilentNextPosted;  // a silent run has gone on once
int FiguresFresh;      // the drive combo's posted selection comes with figures just measured

// The selection state without the PressedMark; values the page has no picture for count as
// state 1 (selected) and cannot be toggled.
int32_t StateOf(const Option* option) {
  int32_t state = option->Install & ~kPressedMark;
  return state >= 0 && state <= 3 ? state : 1;
}

Option* SelectedOption(HWND list) {
  LRESULT item = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (item == LB_ERR) return nullptr;
  return reinterpret_cast<Option*>(SendMessageA(list, LB_GETITEMDATA, item, 0));
}

// No box may stay pressed once the mouse has gone elsewhere or the page ends: an option drawn
// as unselected must not count as chosen.
void ClearPressedMarks() {
  for (Option* option = OptionRoot; option; option = option->NextSibling) option->Install &= ~kPressedMark;
}

void StopTracking(HWND list) {
  if (!ClickTracking && !PressedShown) return;
  ClickTracking = PressedShown = 0;
  if (Option* option = SelectedOption(list)) {
    option->Install &= ~kPressedMark;
    InvalidateRect(list, nullptr, FALSE);
  }
}

// *HitCheckBox*: the box of the selected item, one pixel right of the drawn picture.
bool HitCheckBox(HWND list, LPARAM position) {
  LRESULT item = SendMessageA(list, LB_GETCURSEL, 0, 0);
  RECT r;
  if (item == LB_ERR || SendMessageA(list, LB_GETITEMRECT, item, reinterpret_cast<LPARAM>(&r)) == LB_ERR) return false;
  int left = r.left + CheckCellWidth / 2, top = r.top + (r.bottom - r.top - CheckCellHeight) / 2;
  int x = static_cast<short>(LOWORD(position)), y = static_cast<short>(HIWORD(position));
  return x >= left && x < left + CheckCellWidth && y >= top && y < top + CheckCellHeight;
}

LRESULT CallListClass(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  auto classProc = reinterpret_cast<WNDPROC>(GetClassLongPtrA(list, GCLP_WNDPROC));
  return CallWindowProcA(classProc, list, message, wParam, lParam);
}

// *OptionListProc*: a press on a box is tracked like a push button.
LRESULT CALLBACK OptionListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN: {
      ClickTracking = 0;
      LRESULT result = CallListClass(list, message, wParam, lParam);
      if (HitCheckBox(list, lParam)) {
        ClickTracking = PressedShown = 1;
        SendMessageA(OptionsPage, kCheckBoxEvent, 0, kShowPressed);
      }
      return result;
    }
    case WM_MOUSEMOVE:
      if (!ClickTracking) break;
      if (HitCheckBox(list, lParam) && !PressedShown) {
        SendMessageA(OptionsPage, kCheckBoxEvent, 0, kShowPressed);
        PressedShown = 1;
      } else if (!HitCheckBox(list, lParam) && PressedShown) {
        SendMessageA(OptionsPage, kCheckBoxEvent, 0, kShowNormal);
        PressedShown = 0;
      }
      return 0;  // the selection cannot be dragged while a box is held
    case WM_LBUTTONUP:
      if (!ClickTracking) break;
      if (HitCheckBox(list, lParam)) SendMessageA(OptionsPage, kCheckBoxEvent, 0, kToggle);
      PressedShown = ClickTracking = 0;
      break;
    case WM_CAPTURECHANGED:
      // Escape's question, Alt+Tab or anything else that takes the mouse away ends the press.
      StopTracking(list);
      break;
  }
  return CallListClass(list, message, wParam, lParam);
}

void RunModalScan(HWND page) { RunModalDialog(IDD_SCAN, page, ScanPageProc, kScanForOptionsPage, ScanEnded); }

// *FillDriveCombo*: the usable drives; the given one (or the first) is selected afterwards.
void FillDriveCombo(HWND page, int comboId, char letter) {
  HWND combo = GetDlgItem(page, comboId);
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  WPARAM select = 0;
  for (int d = 0; d < kDriveCount; ++d) {
    if (!DriveTable[d].Usable) continue;
    char root[] = "A:\\";
    root[0] = static_cast<char>('A' + d);
    LRESULT item = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(root));
    SendMessageA(combo, CB_SETITEMDATA, item, d);
    if (root[0] == letter) select = item;
  }
  // Posted: the figures follow once the current handler is done.
  PostMessageA(combo, CB_SETCURSEL, select, 0);
  PostMessageA(page, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

char UpperDrive() {
  char c = InstallDir[0];
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

void RefreshFigures() {
  RefreshDrives();
  ComputeRequiredSpace();
}

// Measures the drives and the required space again and lists the usable drives anew; the
// combo's posted selection shows these figures without measuring a second time (each drive
// asked costs a few milliseconds on some systems).
void RefreshDriveCombo(HWND page) {
  RefreshFigures();
  FillDriveCombo(page, IDC_DRIVE_COMBO, InstallDir[0]);
  FiguresFresh = 1;
}

void RedrawList(HWND page) {
  HWND list = GetDlgItem(page, IDC_OPTION_LIST);
  InvalidateRect(list, nullptr, FALSE);
  UpdateWindow(list);
}

// *ShowOptionFigures*: the drive chosen in the combo box.
void ShowOptionFigures(HWND page) {
  HWND combo = GetDlgItem(page, IDC_DRIVE_COMBO);
  LRESULT item = SendMessageA(combo, CB_GETCURSEL, 0, 0);
  if (item == CB_ERR) return;  // no usable drive at all
  LRESULT d = SendMessageA(combo, CB_GETITEMDATA, item, 0);
  if (d < 0 || d >= kDriveCount) return;
  int fresh = FiguresFresh;
  FiguresFresh = 0;
  char old = UpperDrive();
  // Only a drive letter is replaced: a network folder or an empty one keeps its text.
  if (InstallDir[0] && InstallDir[1] == ':') InstallDir[0] = static_cast<char>('A' + d);
  SetDlgItemTextA(page, IDC_PATH_LINE, InstallDir);
  if (UpperDrive() != old) RunModalScan(page);
  if (UpperDrive() != old || !fresh) RefreshFigures();
  char text[32];
  FormatKilobytes(text, RequiredKilobytes(DriveTable[d].RequiredBytes));
  SetDlgItemTextA(page, IDC_REQUIRED_SPACE, text);
  FormatKilobytes(text, FreeKilobytes(DriveTable[d].FreeBytes));
  SetDlgItemTextA(page, IDC_FREE_SPACE, text);
  RedrawList(page);
}

// A silent run goes on once the page has its figures, as a user would after reading them, and
// also where there are none (no usable drive): "&Weiter >" then decides.
void GoOnSilently(HWND page) {
  if (!Silent || SilentNextPosted) return;
  SilentNextPosted = 1;
  PostMessageA(page, WM_COMMAND, IDC_NEXT, 0);
}

// The description and folder of the selected option.
void ShowSelectedOption(HWND page) {
  const Option* option = SelectedOption(GetDlgItem(page, IDC_OPTION_LIST));
  if (!option) return;
  const char* description = option->Description;
  if (StateOf(option) == 0 && option->NoCopyNode && option->NoCopyNode->Description[0])
    description = option->NoCopyNode->Description;
  // The multi-line box lays its text out anew whenever it is set, which takes milliseconds
  // on some systems: the same text (a click on a check box selects its option again) is kept.
  char shown[kDescriptionChars + 1] = "";
  GetDlgItemTextA(page, IDC_DESCRIPTION, shown, sizeof shown);
  if (strcmp(shown, description) != 0) SetDlgItemTextA(page, IDC_DESCRIPTION, description);
  char folder[kPathChars] = "";
  OptionFolder(folder, option);
  SetDlgItemTextA(page, IDC_PATH_LINE, folder);
}

void NotifySelection(HWND page) {
  HWND list = GetDlgItem(page, IDC_OPTION_LIST);
  SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_OPTION_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

// *CheckBoxEvent*
void OnCheckBoxEvent(HWND page, LPARAM event) {
  HWND list = GetDlgItem(page, IDC_OPTION_LIST);
  LRESULT item = SendMessageA(list, LB_GETCURSEL, 0, 0);
  Option* option = SelectedOption(list);
  if (!option) return;
  if (event == kShowNormal) {
    option->Install &= ~kPressedMark;
  } else if (event == kShowPressed) {
    option->Install |= kPressedMark;
  } else if (event == kToggle) {
    option->Install &= ~kPressedMark;
    int32_t state = option->Install;
    if (state == 1) {
      option->Install = 0;
    } else if (state == 0) {
      option->Install = 1;
      // The option's folders may hold copies that will be kept: measure them first.
      RunModalScan(page);
    }
    RefreshDriveCombo(page);
  }
  RECT r;
  if (SendMessageA(list, LB_GETITEMRECT, item, reinterpret_cast<LPARAM>(&r)) != LB_ERR) InvalidateRect(list, &r, FALSE);
  UpdateWindow(list);
  NotifySelection(page);
}

void OnMeasureItem(HWND page, MEASUREITEMSTRUCT* measure) {
  HDC dc = GetDC(page);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(page, WM_GETFONT, 0, 0)));
  SIZE extent = {0, 0};
  GetTextExtentPoint32A(dc, "W", 1, &extent);
  SelectObject(dc, old);
  ReleaseDC(page, dc);
  measure->itemHeight = extent.cy;
}

// Bitmap 127 in a memory device context for one drawing.
class CheckBitmap {
 public:
  explicit CheckBitmap(HDC compatible)
      : dc_(CreateCompatibleDC(compatible)),
        bitmap_(static_cast<HBITMAP>(LoadImageA(Instance, MAKEINTRESOURCEA(IDB_CHECKBOXES), IMAGE_BITMAP, 0, 0, 0))),
        old_(dc_ && bitmap_ ? SelectObject(dc_, bitmap_) : nullptr) {}
  ~CheckBitmap() {
    if (old_) SelectObject(dc_, old_);
    if (bitmap_) DeleteObject(bitmap_);
    if (dc_) DeleteDC(dc_);
  }
  CheckBitmap(const CheckBitmap&) = delete;
  CheckBitmap& operator=(const CheckBitmap&) = delete;
  HDC Dc() const { return old_ ? dc_ : nullptr; }
  SIZE Size() const {
    BITMAP info = {};
    GetObjectA(bitmap_, sizeof info, &info);
    return {info.bmWidth, info.bmHeight};
  }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
};

void OnDrawItem(const DRAWITEMSTRUCT* draw) {
  if (draw->itemID == static_cast<UINT>(-1)) return;
  const Option* option = reinterpret_cast<const Option*>(draw->itemData);
  HDC dc = draw->hDC;
  RECT r = draw->rcItem;
  CheckBitmap picture(dc);
  if (!picture.Dc()) return;
  SIZE cells = picture.Size();
  CheckCellWidth = cells.cx / 4;
  CheckCellHeight = cells.cy / 2;

  char size[32];
  FormatKilobytes(size, RequiredKilobytes(SelectedSize(option, false, false)));
  bool selected = draw->itemState & ODS_SELECTED;
  COLORREF oldText = SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  COLORREF oldBack = SetBkColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  SIZE extent = {0, 0};
  GetTextExtentPoint32A(dc, size, static_cast<int>(strlen(size)), &extent);
  RECT name = {r.left, r.top, r.right - extent.cx - 2, r.bottom};
  ExtTextOutA(dc, r.left + 2 * CheckCellWidth, r.top, ETO_OPAQUE | ETO_CLIPPED, &name, option->Name,
              static_cast<UINT>(strlen(option->Name)), nullptr);
  int row = option->Install & kPressedMark ? 1 : 0;
  BitBlt(dc, r.left + (20 - CheckCellWidth) / 2, r.top + (r.bottom - r.top - CheckCellHeight) / 2, CheckCellWidth,
         CheckCellHeight, picture.Dc(), StateOf(option) * CheckCellWidth, row * CheckCellHeight, SRCCOPY);
  RECT figure = {r.right - extent.cx - 2, r.top, r.right, r.bottom};
  ExtTextOutA(dc, figure.left, r.top, ETO_OPAQUE | ETO_CLIPPED, &figure, size, static_cast<UINT>(strlen(size)), nullptr);
  if ((draw->itemState & ODS_FOCUS) && (draw->itemAction & (ODA_DRAWENTIRE | ODA_FOCUS))) DrawFocusRect(dc, &r);
  SetTextColor(dc, oldText);
  SetBkColor(dc, oldBack);
}

void OnInit(HWND page) {
  OptionsPage = page;
  ExpandDialogTexts(page);
  SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(OptionRoot));  // ShownLevel
  ClickTracking = PressedShown = CheckCellWidth = CheckCellHeight = SilentNextPosted = FiguresFresh = 0;
  ClearPressedMarks();
  HWND list = GetDlgItem(page, IDC_OPTION_LIST);
  SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(OptionListProc));
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (Option* option = OptionRoot; option; option = option->NextSibling)
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(option));
  SendMessageA(list, LB_SETCURSEL, 0, 0);
  PostMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_OPTION_LIST, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  RefreshDriveCombo(page);
  PageClosable = 1;
}

// "&Ordner wechseln...": the chooser writes the chosen folder into the install folder.
void ChangeFolder(HWND page) {
  char old[kPathChars];
  CopyText(old, InstallDir);
  char text[kValueChars];
  ExpandDialogText("Wählen Sie das Verzeichnis, in das $p installiert werden soll.", ProductName, CompanyName, text,
                   sizeof text);
  FolderPrompt prompt;
  memset(&prompt, 0, sizeof prompt);
  prompt.Title = "Zielverzeichnis auswählen";
  CopyText(prompt.Folder, InstallDir);
  prompt.Text = text;
  if (ChooseFolder(page, &prompt) == kPromptOk) {
    CopyText(InstallDir, prompt.Folder);
    // Another folder holds other installed copies (or none), on the same drive too.
    if (strcmp(InstallDir, old) != 0) RunModalScan(page);
    RefreshDriveCombo(page);
    RedrawList(page);
  }
  UpdateWindow(page);
}

INT_PTR OnCommand(HWND page, WPARAM wParam) {
  switch (LOWORD(wParam)) {
    case IDC_OPTION_LIST:
      if (HIWORD(wParam) == LBN_SELCHANGE) ShowSelectedOption(page);
      return TRUE;
    case IDC_DRIVE_COMBO:
      if (HIWORD(wParam) == CBN_SELCHANGE) {
        ShowOptionFigures(page);
        GoOnSilently(page);
      }
      return TRUE;
    case IDC_CHANGE_FOLDER:
      ChangeFolder(page);
      return TRUE;
    case IDC_NEXT:
      if (CheckFreeSpace(page)) {
        LeavePage(page, IDC_NEXT);
      } else if (Silent) {
        // Nobody can make room: the run ends before anything is changed.
        EndedUnchanged = 1;
        LeavePage(page, IDC_CANCEL_SETUP);
      }
      return TRUE;
    case IDCANCEL:
      return AskCancelOnPage(page);
  }
  return LeavePage(page, wParam);
}

// A dialog procedure's answer to a message that carries a result of its own.
INT_PTR Handled(HWND page, LRESULT result) {
  SetWindowLongPtrA(page, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace

INT_PTR CALLBACK OptionsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit(page);
      return TRUE;
    case WM_MEASUREITEM:
      OnMeasureItem(page, reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_DRAWITEM:
      OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case kCheckBoxEvent:
      // Handled in every case: passed on, the dialog would take it as DM_SETDEFID and "&Weiter >"
      // would stop being the default button.
      OnCheckBoxEvent(page, lParam);
      return Handled(page, 0);
    case WM_COMMAND:
      return OnCommand(page, wParam);
    case WM_DESTROY:
      ClearPressedMarks();
      OptionsPage = nullptr;
      return FALSE;
  }
  return FALSE;
}
