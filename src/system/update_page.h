// The system update page (wizard page 5, dialog 117): after the copy, applies every installed
// option's self-registrations, product records, shortcuts, registry keys, file types and INI
// entries, one record of each kind per step, and moves the wizard on by itself.
#pragma once
#include <windows.h>

INT_PTR CALLBACK UpdatePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
