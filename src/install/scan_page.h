// The scan page (wizard page 0, dialog 126): measures the installed copies that will be kept,
// warns about installed files held open by other programs, and checks the medium's file sizes.
// The options page runs it again as a modal dialog in the options page's mode.
#pragma once
#include <windows.h>

// Creation argument: bit 0 set keeps the page from moving the wizard on when done; bit 1 set
// examines only the files in the option folders.
enum : int { kScanAsWizardPage = 0, kScanForOptionsPage = 3 };

INT_PTR CALLBACK ScanPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// 1 once the scan last started has walked every option.
int ScanEnded();
