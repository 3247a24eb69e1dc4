// The finish page (wizard page 6, dialog 112): success or partial success, and the start of
// the installed program named by the script's first SuccessRun record.
#pragma once
#include <windows.h>

INT_PTR CALLBACK FinishPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
