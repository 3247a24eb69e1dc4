#include <windows.h>

#include <cstring>

#include "install/answers.h"
#include "install/setup_log.h"
#include "resources/resource_ids.h"
#include "script/placeholders.h"
#include "script/records.h"
#include "startup/state.h"
#include "startup/text.h"
#include "system/finish_page.h"
#include "system/program_start.h"
#include "wizard/dialog_services.h"
#include "wizard/frame.h"

namespace {

const char kNoProgram[] = "Keine Exe-Datei in Setup.LST";

bool HasRunRecord() { return SuccessRunCount != 0 && SuccessRuns; }

// The command line of the first record: the expanded program path (quoted when it names an
// existing file), a blank, the expanded arguments. 0 when a field or an expansion does not fit:
// a cut program path would start another program. The line holds what was built either way.
int BuildCommandLine(char (&line)[2 * kPathChars + 4]) {
  CopyText(line, kNoProgram);
  if (!HasRunRecord()) return 0;
  const SuccessRunRecord& run = SuccessRuns[0];
  char program[kPathChars], arguments[kPathChars];
  int fits = ExpandPlaceholders(program, run.RunProgram);
  fits &= ExpandPlaceholders(arguments, run.RunArguments);
  char quoted[kPathChars + 2];
  if (!CommandLineProgram(quoted, program)) CopyText(quoted, program);
  FormatText(line, "%s %s", quoted, arguments);
  return fits && !run.TooLong;
}

void StartRunProgram() {
  char line[2 * kPathChars + 4];
  if (BuildCommandLine(line) && StartProgram(line)) return;
  char text[kValueChars];
  FormatText(text, "Fehler beim Ausführen der Anwendung \"%s\"!", line);
  // The run finished, but a part of it failed: the exit code and the log say so.
  FinishedWithErrors = 1;
  WriteLogError(text);
  ShowMessage(FrameWindow, text, "Fehler", MB_ICONERROR);
}

void Finish(HWND page) {
  // The frame shows no closing notice after this page.
  ErrorsOccurred = 0;
  ChangesMade = 1;
  LeavePage(page, IDC_NEXT);
}

// Without a program to offer only "&Beenden" stays, centred in the page.
void CentreFinishButton(HWND page) {
  HWND button = GetDlgItem(page, IDOK);
  RECT box, client;
  GetWindowRect(button, &box);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&box), 2);
  GetClientRect(page, &client);
  int width = box.right - box.left;
  MoveWindow(button, (client.right - width) / 2, box.top, width, box.bottom - box.top, TRUE);
}

void OnInit(HWND page) {
  FinishReached = 1;
  FinishedWithErrors = ErrorsOccurred;
  if (HasRunRecord()) {
    SetDlgItemTextA(page, IDC_START_PROGRAM, SuccessRuns[0].RunCaption);
  } else {
    ShowWindow(GetDlgItem(page, IDC_START_PROGRAM), SW_HIDE);
    CentreFinishButton(page);
  }
  ShowWindow(GetDlgItem(page, IDC_TEXT_2), ErrorsOccurred ? SW_SHOW : SW_HIDE);
  ShowWindow(GetDlgItem(page, IDC_TEXT_1), ErrorsOccurred ? SW_HIDE : SW_SHOW);
  // The button's caption is the script's wording for display: it may say "$p" too.
  ExpandDialogTexts(page);
  if (!HasRunRecord()) SendMessageA(page, DM_SETDEFID, IDOK, 0);
  // A silent run starts the program only when asked to.
  if (Silent) PostMessageA(page, WM_COMMAND, RunAtEnd && HasRunRecord() ? IDC_START_PROGRAM : IDOK, 0);
}

}  // namespace

INT_PTR CALLBACK FinishPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit(page);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_START_PROGRAM:
          StartRunProgram();
          Finish(page);
          return TRUE;
        case IDOK:
        case IDCANCEL:
          Finish(page);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}
