#include "wizard/dialog_services.h"

#include <cstring>

#include "install/answers.h"
#include "resources/resource_ids.h"
#include "startup/state.h"
#include "wizard/busy_page.h"
#include "wizard/dialog_text.h"
#include "wizard/frame.h"

namespace {

// Icons and bitmaps of static controls keep their resource name as window text; rewriting it
// would replace the picture, so they are left alone.
bool IsPictureStatic(HWND window) {
  char className[16] = "";
  GetClassNameA(window, className, sizeof className);
  if (lstrcmpiA(className, "Static") != 0) return false;
  LONG_PTR type = GetWindowLongPtrA(window, GWL_STYLE) & SS_TYPEMASK;
  return type == SS_ICON || type == SS_BITMAP || type == SS_ENHMETAFILE;
}

void ExpandWindowText(HWND window) {
  if (IsPictureStatic(window)) return;
  char text[kWindowTextChars] = "";
  char expanded[kWindowTextChars];
  GetWindowTextA(window, text, sizeof text);
  ExpandDialogText(text, ProductName, CompanyName, expanded, sizeof expanded);
  // Most texts name no placeholder: setting them again would only lay them out anew.
  if (strcmp(text, expanded) != 0) SetWindowTextA(window, expanded);
}

BOOL CALLBACK ExpandChild(HWND child, LPARAM) {
  ExpandWindowText(child);
  return TRUE;
}

// The boxes of ConfirmCancel. While one is up the frame's close command must not ask again,
// so PageClosable is 0 and its value is kept in the box until the box ends.
INT_PTR CALLBACK CancelBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(box, DWLP_USER, PageClosable);
      PageClosable = 0;
      ExpandDialogTexts(box);
      return TRUE;  // the default button takes the focus
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      if (id != 1 && id != 2) return FALSE;
      PageClosable = static_cast<int>(GetWindowLongPtrA(box, DWLP_USER));
      CancelRequested = 0;
      ModalActive = 0;
      EndDialog(box, id);
      return TRUE;
    }
  }
  return FALSE;
}

INT_PTR CALLBACK CreateFolderProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemTextA(dialog, IDC_PATH_LINE, reinterpret_cast<const char*>(lParam));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) != 1 && LOWORD(wParam) != 2) return FALSE;
      EndDialog(dialog, LOWORD(wParam));
      return TRUE;
  }
  return FALSE;
}

}  // namespace

size_t ExpandWordingN(const char* wording, char* out, size_t cap) {
  return ExpandDialogText(wording, ProductName, CompanyName, out, cap);
}

void ExpandDialogTexts(HWND window) {
  ExpandWindowText(window);
  // EnumChildWindows visits the children's children too.
  EnumChildWindows(window, ExpandChild, 0);
}

namespace {

// A silent run's answer to a box of ConfirmCancel: installed files in use end the run before
// anything is changed; a cancel request (from outside: nobody sees the run) is taken.
INT_PTR SilentBoxAnswer(int dialogId) {
  if (dialogId == IDD_FILES_IN_USE) {
    NoteAnswer("Laufende Anwendungen...",
               "Setup muß auf Dateien zugreifen, die zur Zeit von anderen Anwendungen genutzt werden.",
               "Setup beenden");
  } else {
    NoteAnswer("Setup abbrechen", "Sind Sie sicher, daß Sie das Setup-Programm abbrechen möchten?",
               "Setup abbrechen");
  }
  return 2;
}

}  // namespace

int ConfirmCancel(HWND owner, int dialogId, HWND disable) {
  if (ModalActive) return -1;
  ModalActive = 1;
  if (disable) EnableWindow(disable, FALSE);
  INT_PTR result = Silent ? SilentBoxAnswer(dialogId)
                          : DialogBoxParamA(Instance, MAKEINTRESOURCEA(dialogId), owner, CancelBoxProc, 0);
  // Ended because installed files are in use: nothing has been changed.
  if (dialogId == IDD_FILES_IN_USE && result == 2) EndedUnchanged = 1;
  if (result != 2) {
    ModalActive = 0;
    if (disable) EnableWindow(disable, TRUE);
    return 0;
  }
  ErrorsOccurred = 1;
  PostMessageA(FrameWindow, WM_WIZARD_COMMAND, CmdCancel, 0);
  // The frame itself is no dialog: when it asked, it destroys itself on the answer.
  if (owner != FrameWindow) EndDialog(owner, CmdCancel);
  CurrentPage = nullptr;
  ModalActive = 0;
  if (disable) EnableWindow(disable, TRUE);
  return 1;
}

INT_PTR AskCancelOnPage(HWND page) {
  if (ConfirmCancel(page, IDD_CONFIRM_CANCEL, FrameWindow) != 0) return FALSE;
  SendMessageA(page, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(page, IDC_NEXT)), TRUE);
  return TRUE;
}

// The mark of a page that has left, in its window's user data.
constexpr LONG_PTR kPageLeft = 1;

bool LeavePage(HWND page, WPARAM commandId) {
  int command = 0;
  switch (LOWORD(commandId)) {
    case 1:
    case 1000:
      command = CmdNext;
      break;
    case 2:
    case 1001:
      command = CmdBack;
      break;
    case 9:
      command = CmdCancel;
      break;
    default:
      return false;
  }
  // A page leaves once: a second press that was queued before the first one was handled (a
  // double click on a slow machine) would move the wizard on by one more page.
  if (GetWindowLongPtrA(page, GWLP_USERDATA) == kPageLeft) return true;
  SetWindowLongPtrA(page, GWLP_USERDATA, kPageLeft);
  PostMessageA(FrameWindow, WM_WIZARD_COMMAND, command, 0);
  EndDialog(page, command);
  CurrentPage = nullptr;
  return true;
}

int AskCreateFolder(HWND owner, const char* path) {
  INT_PTR result = DialogBoxParamA(Instance, MAKEINTRESOURCEA(IDD_CREATE_FOLDER), owner, CreateFolderProc,
                                   reinterpret_cast<LPARAM>(path));
  return result == 1 ? 1 : 2;
}

namespace {

// The template of a dialog with WS_VISIBLE taken away, in memory of its own (freed by the caller
// with GlobalFree); null when the template cannot be had.
HGLOBAL HiddenTemplate(int dialogId) {
  HRSRC found = FindResourceA(Instance, MAKEINTRESOURCEA(dialogId), MAKEINTRESOURCEA(5));  // RT_DIALOG
  HGLOBAL loaded = found ? LoadResource(Instance, found) : nullptr;
  const void* source = loaded ? LockResource(loaded) : nullptr;
  DWORD size = found ? SizeofResource(Instance, found) : 0;
  if (!source || size < sizeof(DLGTEMPLATE)) return nullptr;
  HGLOBAL copy = GlobalAlloc(GMEM_FIXED, size);
  if (!copy) return nullptr;
  memcpy(copy, source, size);
  // An extended template starts with its version 1 and 0xFFFF; its style follows at byte 12.
  const WORD* words = static_cast<const WORD*>(source);
  DWORD* style = words[0] == 1 && words[1] == 0xFFFF ? reinterpret_cast<DWORD*>(static_cast<char*>(copy) + 12)
                                                     : static_cast<DWORD*>(copy);
  *style &= ~WS_VISIBLE;
  return copy;
}

}  // namespace

HWND CreatePageDialog(int dialogId, HWND owner, DLGPROC procedure, LPARAM parameter) {
  if (!Silent) return CreateDialogParamA(Instance, MAKEINTRESOURCEA(dialogId), owner, procedure, parameter);
  HGLOBAL hidden = HiddenTemplate(dialogId);
  if (!hidden) return nullptr;
  HWND dialog =
      CreateDialogIndirectParamA(Instance, static_cast<LPCDLGTEMPLATEA>(hidden), owner, procedure, parameter);
  GlobalFree(hidden);
  return dialog;
}

INT_PTR RunModalDialog(int dialogId, HWND owner, DLGPROC procedure, LPARAM parameter, int (*ended)()) {
  if (!Silent) return DialogBoxParamA(Instance, MAKEINTRESOURCEA(dialogId), owner, procedure, parameter);
  HWND dialog = CreatePageDialog(dialogId, owner, procedure, parameter);
  MSG message;
  while (dialog && IsWindow(dialog) && !ended()) {
    int got = GetWizardMessage(&message);
    if (got <= 0) {
      // The run ends meanwhile: the quit message belongs to the frame's loop.
      if (got == 0) PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  if (dialog && IsWindow(dialog)) DestroyWindow(dialog);
  return 0;
}
