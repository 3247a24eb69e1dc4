// The program group page: the folder that receives the shortcuts, a group of the Programs menu
// (new or existing) or the Programs menu, the Start menu or the desktop itself.
#include <windows.h>

#include <cstring>

#include "install/answers.h"
#include "resources/resource_ids.h"
#include "startup/paths.h"
#include "startup/state.h"
#include "startup/text.h"
#include "wizard/dialog_services.h"
#include "wizard/pages.h"

namespace {

// Adds the names of the folders the pattern finds (not files, not names beginning with ".").
void ListSubfolders(HWND list, const char* pattern) {
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && found.cFileName[0] != '.')
      SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(found.cFileName));
  } while (FindNextFileA(find, &found));
  FindClose(find);
}

bool GroupChosen(HWND page) { return IsDlgButtonChecked(page, IDC_GROUP_RADIO) == BST_CHECKED; }

void EnableGroupControls(HWND page) {
  bool group = GroupChosen(page);
  EnableWindow(GetDlgItem(page, IDC_GROUP_LIST), group);
  EnableWindow(GetDlgItem(page, IDC_GROUP_NAME), group);
}

void OnInit(HWND page) {
  ExpandDialogTexts(page);
  SetDlgItemTextA(page, IDC_GROUP_NAME, DefaultGroup);
  char pattern[kPathChars];
  CopyText(pattern, ProgramsFolder);
  AddBackslash(pattern);
  if (strlen(pattern) + 3 < sizeof pattern) {
    AppendText(pattern, "*.*");
    ListSubfolders(GetDlgItem(page, IDC_GROUP_LIST), pattern);
  }
  CheckRadioButton(page, IDC_STARTMENU_RADIO, IDC_PROGRAMS_RADIO, IDC_GROUP_RADIO);
  if (Silent) PostMessageA(page, WM_COMMAND, IDC_NEXT, 0);
}

void OnListSelection(HWND page) {
  HWND list = GetDlgItem(page, IDC_GROUP_LIST);
  LRESULT item = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (item == LB_ERR || SendMessageA(list, LB_GETTEXTLEN, item, 0) >= kPathChars) return;
  char name[kPathChars];
  SendMessageA(list, LB_GETTEXT, item, reinterpret_cast<LPARAM>(name));
  SetDlgItemTextA(page, IDC_GROUP_NAME, name);
}

// "&Weiter >": LinkFolder from the checked button. A group whose folder does not fit a path is
// refused on the page, where the user can still shorten it.
void OnNext(HWND page) {
  char groupName[kPathChars];
  GetDlgItemTextA(page, IDC_GROUP_NAME, groupName, sizeof groupName);
  char folder[kPathChars];
  if (GroupChosen(page)) {
    CopyText(folder, ProgramsFolder);
    AddBackslash(folder);
    if (strlen(folder) + strlen(groupName) >= sizeof folder) {
      char text[2 * kPathChars];
      FormatText(text, "Die Programmgruppe \"%s\" kann nicht erstellt werden!", groupName);
      ShowMessage(page, text, "Hinweis...", MB_ICONWARNING);
      // Nobody can shorten the name in a silent run: it ends before anything is changed.
      if (Silent) LeavePage(page, IDC_CANCEL_SETUP);
      return;
    }
    AppendText(folder, groupName);
    while (StripBackslash(folder)) {
    }
  } else if (IsDlgButtonChecked(page, IDC_STARTMENU_RADIO) == BST_CHECKED) {
    CopyText(folder, StartMenuFolder);
  } else if (IsDlgButtonChecked(page, IDC_DESKTOP_RADIO) == BST_CHECKED) {
    CopyText(folder, DesktopFolder);
  } else {
    CopyText(folder, ProgramsFolder);
  }
  CopyText(LinkFolder, folder);
  LeavePage(page, IDC_NEXT);
}

INT_PTR OnCommand(HWND page, WPARAM wParam) {
  switch (LOWORD(wParam)) {
    case IDC_GROUP_RADIO:
    case IDC_PROGRAMS_RADIO:
    case IDC_STARTMENU_RADIO:
    case IDC_DESKTOP_RADIO:
      EnableGroupControls(page);
      return TRUE;
    case IDC_GROUP_LIST:
      if (HIWORD(wParam) == LBN_SELCHANGE) OnListSelection(page);
      return TRUE;
    case IDC_NEXT:
      OnNext(page);
      return TRUE;
    case IDCANCEL:
      return AskCancelOnPage(page);
  }
  return LeavePage(page, wParam);
}

}  // namespace

INT_PTR CALLBACK GroupPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit(page);
      return TRUE;
    case WM_COMMAND:
      return OnCommand(page, wParam);
  }
  return FALSE;
}
