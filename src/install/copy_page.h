// The copy page (wizard page 4, dialog 109): creates the install folder and the setup log, then
// copies the selected options' files in timer-driven steps and moves the wizard on.
#pragma once
#include <windows.h>

INT_PTR CALLBACK CopyPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// "Fehler beim Lesen der Datei %s!": a file that could not be read (also a product data file
// that the system update page cannot read).
extern const char kReadErrorText[];
