// Services shared by every dialog of the wizard: name substitution, the cancel questions and
// closing notices, leaving a page, the create-folder question.
#pragma once
#include <windows.h>

// Replaces "$p" and "$c" in the text of the window and of every window below it. Only for
// the program's own texts: run it before values (paths, names, labels) are put in.
void ExpandDialogTexts(HWND window);

// A fixed wording of the program with "$p" and "$c" replaced, for texts that are put together
// with values afterwards ("... in das $p installiert werden soll."). The result is text, not
// a format: a "%" of the names stays as it is.
size_t ExpandWordingN(const char* wording, char* out, size_t cap);
template <size_t N> size_t ExpandWording(char (&out)[N], const char* wording) { return ExpandWordingN(wording, out, N); }

// Shows box dialogId (115, 121, 134, 114, 137) modally over owner, with disable (may be null)
// disabled while it is up. Returns -1 when a box is already up (nothing happens), 0 when the
// user goes on (or the box cannot be shown), 1 when the user stops the setup: the frame is
// then told to end the wizard and the owner page is ended.
int ConfirmCancel(HWND owner, int dialogId, HWND disable);

// Escape or "Setup abbrechen" on a page the user walks: asks dialog 115 over the page (the frame
// disabled meanwhile); when the user goes on, the focus is back on "&Weiter >". TRUE when the
// page goes on (the command is handled), FALSE when the setup ends or another box is up.
INT_PTR AskCancelOnPage(HWND page);

// Turns the command ids 1, 2, 9, 1000 and 1001 of a page into the wizard command for the frame
// and ends the page; returns false (and does nothing) for every other id.
bool LeavePage(HWND page, WPARAM commandId);

// Asks whether the missing folder path is to be created (dialog 104): 1 yes, 2 no.
int AskCreateFolder(HWND owner, const char* path);

// Creates the dialog of a template as a modeless one owned by owner. In a silent run it is
// created hidden: the template's WS_VISIBLE is taken away, so no window ever shows.
HWND CreatePageDialog(int dialogId, HWND owner, DLGPROC procedure, LPARAM parameter);

// Runs a dialog to its end as a modal one and gives its result. In a silent run it runs hidden,
// through a message loop of its own, until ended reports that it has ended.
INT_PTR RunModalDialog(int dialogId, HWND owner, DLGPROC procedure, LPARAM parameter, int (*ended)());
