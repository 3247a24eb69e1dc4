#include "wizard/frame.h"

#include "install/answers.h"
#include "install/undo_journal.h"
#include "resources/resource_ids.h"
#include "startup/state.h"
#include "system/rollback.h"
#include "wizard/busy_page.h"
#include "wizard/dialog_services.h"

namespace {

const char kFrameClass[] = "SETUPFRAME";

// Posted to the frame when it has become active: activation goes on to the page.
constexpr UINT kHandOnActivation = WM_APP + 1;

// The page the frame created last. An ended page is only hidden by EndDialog; the frame
// destroys it when it acts on the page's wizard command, after the page's handler has returned.
HWND ShownPage;

// Set once the frame is being destroyed. The closing notice runs a modal loop inside the
// destruction; a wizard command still queued for the frame (a confirmed cancel posts one even
// when the frame asked and destroys itself) must not destroy it a second time from in there.
int Ending;

// Holds a GDI object selected into a device context and deletes it on the way out.
class SelectedFont {
 public:
  SelectedFont(HDC dc, HFONT font) : dc_(dc), font_(font), old_(font ? SelectObject(dc, font) : nullptr) {}
  ~SelectedFont() {
    if (!font_) return;
    SelectObject(dc_, old_);
    DeleteObject(font_);
  }
  SelectedFont(const SelectedFont&) = delete;
  SelectedFont& operator=(const SelectedFont&) = delete;

 private:
  HDC dc_;
  HFONT font_;
  HGDIOBJ old_;
};

void ResetPageFlags() {
  PageClosable = 1;
  CancelRequested = 0;
}

// A page is passed over while it is not built, and the program group page also when the
// script names no default group.
bool PassOver(int index) {
  const PageEntry& entry = PageTable[index];
  return !entry.Procedure || (entry.DialogId == IDD_PROGRAM_GROUP && !HasDefaultGroup);
}

void DropShownPage() {
  if (ShownPage && IsWindow(ShownPage)) DestroyWindow(ShownPage);
  ShownPage = nullptr;
  CurrentPage = nullptr;
}

int CreatePage(int index) {
  PageIndex = index;
  const PageEntry& entry = PageTable[index];
  CurrentPage = CreatePageDialog(entry.DialogId, FrameWindow, entry.Procedure, 0);
  ShownPage = CurrentPage;
  if (!CurrentPage) {
    PageCreationFailed = 1;  // the run could not go on: it ends as one that could not start
    ShowMessage(FrameWindow, "Kann Dialog nicht erstellen", "Schwerer Fehler", MB_ICONERROR);
    return 0;
  }
  return 1;
}

int OpenNextPage() {
  ResetPageFlags();
  ModalActive = 0;
  int index = PageIndex;
  if (index < 0 || index >= kPageCount || PageTable[index].DialogId == 0) return 0;
  while (PassOver(index)) {
    ++index;
    ResetPageFlags();
    ModalActive = 0;
    if (index >= kPageCount || PageTable[index].DialogId == 0) {
      PageIndex = index;
      return 0;
    }
  }
  return CreatePage(index);
}

int OpenPreviousPage() {
  ResetPageFlags();
  int index = PageIndex;
  if (index < 0) return 0;
  if (index >= kPageCount) index = kPageCount - 1;
  while (PassOver(index)) {
    --index;
    ResetPageFlags();
    if (index < 0) {
      PageIndex = index;
      return 0;
    }
  }
  return CreatePage(index);
}

// Dialog 102: the walk went back before the first page. The wizard ends whatever is pressed.
INT_PTR CALLBACK BackBeforeFirstProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      ExpandDialogTexts(dialog);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == 1) EndDialog(dialog, CmdNext);
      else if (LOWORD(wParam) == 2) EndDialog(dialog, CmdBack);
      else return FALSE;
      return TRUE;
  }
  return FALSE;
}

void OnCreate(HWND frame) {
  ChangesMade = 0;
  ErrorsOccurred = 0;
  PageIndex = -1;
  CurrentPage = nullptr;
  ShownPage = nullptr;
  Ending = 0;
  PageCreationFailed = 0;
  FrameWindow = frame;
  FirstPaintDone = 0;
  ExpandDialogTexts(frame);
}

void OnPaint(HWND frame) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(frame, &paint);
  {
    HFONT font = CreateFontA(-50, 0, 0, 0, 700, TRUE, FALSE, FALSE, 0, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, 48, "Times New Roman");
    int oldMode = SetBkMode(dc, TRANSPARENT);
    UINT oldAlign = SetTextAlign(dc, 0);
    SelectedFont selected(dc, font);
    int length = lstrlenA(Message);
    // Black first, then white 3 pixels up and left: white text with a shadow.
    COLORREF oldColor = SetTextColor(dc, RGB(0, 0, 0));
    TextOutA(dc, 20, 20, Message, length);
    SetTextColor(dc, RGB(255, 255, 255));
    TextOutA(dc, 17, 17, Message, length);
    SetTextColor(dc, oldColor);
    SetTextAlign(dc, oldAlign);
    SetBkMode(dc, oldMode);
  }
  EndPaint(frame, &paint);
  // The wizard starts once the frame has been painted for the first time.
  if (!FirstPaintDone) {
    PostMessageA(frame, WM_WIZARD_COMMAND, CmdNext, 0);
    FirstPaintDone = 1;
  }
}

// The window that takes the keyboard while the wizard is active: the current page, or the box
// it shows (the popup last active over it, which keeps the page disabled while it is up).
HWND KeyboardWindow() {
  HWND window = CurrentPage;
  for (int depth = 0; window && !IsWindowEnabled(window); ++depth) {
    HWND popup = GetLastActivePopup(window);
    if (popup == window || depth == 8) return nullptr;
    window = popup;
  }
  return window && IsWindowVisible(window) ? window : nullptr;
}

// The frame itself takes no keys: Enter and Escape belong to the page. A click on its
// background, or the end of a box it owned, hands activation on to the page (or its box), so
// the page also stays above the frame.
void HandOnActivation(HWND frame) {
  if (GetActiveWindow() != frame) return;
  HWND window = KeyboardWindow();
  if (!window) return;
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetActiveWindow(window);
}

// Returns true when the close command was taken care of here.
bool OnClose(HWND frame) {
  if (PageIndex >= kFinishPageIndex) return false;  // the finish page closes without a question
  if (PageClosable) {
    if (ConfirmCancel(frame, ChangesMade ? IDD_CONFIRM_CANCEL_CHANGED : IDD_CONFIRM_CANCEL, CurrentPage) == 1)
      DestroyWindow(frame);
  } else if (!ModalActive) {
    CancelRequested = 1;  // the busy page asks at its next step
  }
  return true;
}

void OnWizardCommand(HWND frame, WPARAM command) {
  switch (LOWORD(command)) {
    case CmdNext:
      DropShownPage();
      ++PageIndex;
      if (!OpenNextPage()) DestroyWindow(frame);
      break;
    case CmdBack:
      DropShownPage();
      --PageIndex;
      if (!OpenPreviousPage()) {
        DialogBoxParamA(Instance, MAKEINTRESOURCEA(IDD_BACK_BEFORE_FIRST), frame, BackBeforeFirstProc, 0);
        DestroyWindow(frame);
      }
      break;
    case CmdCancel:
      DestroyWindow(frame);
      break;
  }
}

void OnDestroy(HWND frame) {
  Ending = 1;
  if (CurrentPage) DestroyWindow(CurrentPage);
  DropShownPage();
  // A run that ends before it is complete takes back what it changed; when all of it could be
  // undone, it ends as one that changed nothing.
  UndoTally tally;
  if (UndoJournalActive() && RollBackThisRun(&tally)) ChangesMade = 0;
  // A silent run tells how it ended by its exit code alone.
  if (!Silent) {
    if (!ChangesMade) ConfirmCancel(frame, IDD_NOTICE_INTERRUPTED, nullptr);
    else if (ErrorsOccurred) ConfirmCancel(frame, IDD_NOTICE_INCOMPLETE, nullptr);
  }
  PostQuitMessage(0);
}

LRESULT CALLBACK FrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate(frame);
      break;
    case WM_PAINT:
      OnPaint(frame);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE && (Ending || OnClose(frame))) return 0;
      break;
    case WM_WIZARD_COMMAND:
      if (!Ending) OnWizardCommand(frame, wParam);
      return 0;
    case WM_ACTIVATE:
      // Posted: a box that ends activates the frame before its caller enables the page again.
      if (LOWORD(wParam) != WA_INACTIVE) PostMessageA(frame, kHandOnActivation, 0, 0);
      break;
    case kHandOnActivation:
      if (!Ending) HandOnActivation(frame);
      return 0;
    case WM_DESTROY:
      OnDestroy(frame);
      return 0;
  }
  return DefWindowProcA(frame, message, wParam, lParam);
}

}  // namespace

int RegisterFrameClass() {
  WNDCLASSA frameClass = {};
  frameClass.style = CS_HREDRAW | CS_VREDRAW;
  frameClass.lpfnWndProc = FrameProc;
  frameClass.hInstance = Instance;
  frameClass.hIcon = LoadIconA(Instance, MAKEINTRESOURCEA(IDI_SETUP));
  frameClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  // The system deletes a class's background brush when the class is unregistered.
  frameClass.hbrBackground = CreateSolidBrush(RGB(0, 128, 128));
  frameClass.lpszClassName = kFrameClass;
  return RegisterClassA(&frameClass) != 0;
}

void UnregisterFrameClass() { UnregisterClassA(kFrameClass, Instance); }

HWND CreateFrameWindow() {
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  return CreateWindowExA(0, kFrameClass, "$p-Setup", WS_OVERLAPPEDWINDOW, 0, height / 8, width, height / 8 * 6,
                         nullptr, nullptr, Instance, nullptr);
}

void RunFrame() {
  HWND frame = CreateFrameWindow();
  PageCreationFailed = !frame;
  if (!frame) return;
  // A silent run shows no window: the wizard starts at once instead of at the first paint.
  if (Silent) {
    FirstPaintDone = 1;
    PostMessageA(frame, WM_WIZARD_COMMAND, CmdNext, 0);
  } else {
    ShowWindow(frame, SW_SHOWMAXIMIZED);
  }
  MSG msg;
  while (GetWizardMessage(&msg) > 0) {
    // Keyboard navigation of the modeless page.
    if (CurrentPage && IsDialogMessageA(CurrentPage, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  FrameWindow = nullptr;
}
