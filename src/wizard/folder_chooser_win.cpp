#include <windows.h>
#include <commdlg.h>
#include <dlgs.h>

#include <cstring>

#include "install/answers.h"
#include "install/filesystem.h"
#include "resources/resource_ids.h"
#include "startup/state.h"
#include "startup/text.h"
#include "wizard/dialog_services.h"
#include "wizard/folder_chooser.h"

namespace {

// One chooser at a time: the prompt it works on.
FolderPrompt* ActivePrompt;

// A path that names its drive and root ("C:\...") or a network share ("\\server\...").
bool IsAbsolutePath(const char* path) {
  if (path[0] == '\\' && path[1] == '\\') return true;
  return ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':' &&
         path[2] == '\\';
}

// The chooser's growth for its explanatory text: two text heights for a text that fits one
// line of the control, one more for every further full control width. Word wrapping can need
// more lines than that (long words pushed to the next line); then it grows by the lines the
// wrapped text takes plus one, so the text never runs under the path label.
int TextGrowth(HWND dialog) {
  HWND text = GetDlgItem(dialog, IDC_CHOOSER_TEXT);
  if (!text) return 0;
  char buffer[kValueChars];
  int length = GetWindowTextA(text, buffer, sizeof buffer);
  RECT client;
  GetClientRect(text, &client);
  int controlWidth = client.right - client.left;
  if (controlWidth <= 0) return 0;
  HDC dc = GetDC(text);
  if (!dc) return 0;
  HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageA(text, WM_GETFONT, 0, 0));
  HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
  SIZE extent = {0, 0};
  GetTextExtentPoint32A(dc, buffer, length, &extent);
  RECT wrapped = {0, 0, controlWidth, 0};
  DrawTextA(dc, buffer, length, &wrapped, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
  if (oldFont) SelectObject(dc, oldFont);
  ReleaseDC(text, dc);
  int lines = extent.cx / controlWidth + 1;
  if (extent.cy > 0 && wrapped.bottom / extent.cy > lines) lines = wrapped.bottom / extent.cy;
  return (lines + 1) * extent.cy;
}

// Moves every child down by growth, the text control growing in place, and makes the chooser
// that much taller, centred on the screen by its height before growing.
void GrowForText(HWND dialog, int growth) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    if (GetDlgCtrlID(child) == IDC_CHOOSER_TEXT)
      MoveWindow(child, r.left, r.top, r.right - r.left, r.bottom - r.top + growth, FALSE);
    else
      MoveWindow(child, r.left, r.top + growth, r.right - r.left, r.bottom - r.top, FALSE);
  }
  RECT frame;
  GetWindowRect(dialog, &frame);
  int width = frame.right - frame.left;
  int height = frame.bottom - frame.top;
  MoveWindow(dialog, (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width,
             height + growth, FALSE);
}

void OnInit(HWND dialog, const OPENFILENAMEA* request) {
  ActivePrompt = reinterpret_cast<FolderPrompt*>(request->lCustData);
  ActivePrompt->Result = kPromptOpen;
  // The template's own texts are expanded before any value goes in: a "$" in a path, a file
  // name or a disk label is the value's own. The caption and the text are shown as given.
  ExpandDialogTexts(dialog);
  SetWindowTextA(dialog, ActivePrompt->Title ? ActivePrompt->Title : "");
  SetDlgItemTextA(dialog, IDC_CHOOSER_PATH, ActivePrompt->Folder);
  SetDlgItemTextA(dialog, IDC_CHOOSER_TEXT, ActivePrompt->Text ? ActivePrompt->Text : "");
  GrowForText(dialog, TextGrowth(dialog));
  ShowWindow(GetDlgItem(dialog, IDC_CHOOSER_SKIP), ActivePrompt->ShowSkip ? SW_SHOW : SW_HIDE);
}

// OK: the typed path, made absolute against the folder shown (the current directory while the
// chooser runs), is taken when it exists or the user agrees to have it created.
void OnOk(HWND dialog) {
  ActivePrompt->Result = kPromptOk;
  char typed[kPathChars];
  GetDlgItemTextA(dialog, IDC_CHOOSER_PATH, typed, sizeof typed);
  char path[kPathChars];
  if (IsAbsolutePath(typed)) {
    CopyText(path, typed);
  } else {
    DWORD n = GetFullPathNameA(typed, sizeof path, path, nullptr);
    if (n == 0 || n >= sizeof path) {
      MessageBeep(MB_ICONWARNING);
      return;
    }
  }
  if (!DirectoryExists(path) && AskCreateFolder(dialog, path) == 2) return;  // "&Nein"
  CopyText(ActivePrompt->Folder, path);
  EndDialog(dialog, kPromptOk);
}

void OnCommand(HWND dialog, WPARAM wParam) {
  int id = LOWORD(wParam);
  int code = HIWORD(wParam);
  switch (id) {
    case IDOK:
      if (code == BN_CLICKED) OnOk(dialog);
      break;
    case IDCANCEL:
    case IDC_CHOOSER_SKIP:
      if (code == BN_CLICKED) {
        ActivePrompt->Result = id;
        EndDialog(dialog, id);
      }
      break;
    case IDC_CHOOSER_PATH:
      if (code == EN_CHANGE)
        EnableWindow(GetDlgItem(dialog, IDOK), GetWindowTextLengthA(GetDlgItem(dialog, IDC_CHOOSER_PATH)) > 0);
      break;
    case lst2:  // the folder list
      // Posted, so the dialog's own handling opens the folder and makes it current first.
      if (code == LBN_DBLCLK) PostMessageA(dialog, WM_SYNC_PATH, 0, 0);
      break;
  }
}

void SyncPathFromCurrentDir(HWND dialog) {
  char current[kPathChars];
  DWORD n = GetCurrentDirectoryA(sizeof current, current);
  if (n > 0 && n < sizeof current) SetDlgItemTextA(dialog, IDC_CHOOSER_PATH, current);
}

}  // namespace

UINT_PTR CALLBACK FolderChooserHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit(dialog, reinterpret_cast<const OPENFILENAMEA*>(lParam));
      break;
    case WM_COMMAND:
      if (ActivePrompt) OnCommand(dialog, wParam);
      break;
    case WM_SYNC_PATH:
      SyncPathFromCurrentDir(dialog);
      break;
  }
  return 0;
}

int ChooseFolder(HWND owner, FolderPrompt* prompt) {
  // A silent run has nobody to choose: a missing source is skipped where that is offered.
  if (Silent) {
    prompt->Result = prompt->ShowSkip ? kPromptSkip : kPromptCancel;
    NoteAnswer(prompt->Title, prompt->Text ? prompt->Text : "", prompt->ShowSkip ? "Ignorieren" : "Abbrechen");
    return prompt->Result;
  }
  prompt->Result = kPromptOpen;
  char fileName[kPathChars] = "";
  OPENFILENAMEA request;
  memset(&request, 0, sizeof request);
  request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  request.hwndOwner = owner;
  request.hInstance = Instance;
  request.lpstrFile = fileName;
  request.nMaxFile = sizeof fileName;
  request.lpstrInitialDir = prompt->Folder;
  request.lpstrTitle = prompt->Title;
  request.Flags = OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  request.lpTemplateName = MAKEINTRESOURCEA(IDD_FOLDER_CHOOSER);
  request.lCustData = reinterpret_cast<LPARAM>(prompt);
  request.lpfnHook = FolderChooserHook;
  GetOpenFileNameA(&request);
  ActivePrompt = nullptr;
  return prompt->Result;
}
