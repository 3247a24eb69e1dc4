// The frame window: the maximized background that paints the title, owns the wizard pages and
// walks the page table.
#pragma once
#include <windows.h>

// Wizard commands, carried in the low 16 bits of WizardCommand's wParam.
enum WizardCommandId : int {
  CmdNext = 1000,
  CmdBack = 1001,
  CmdCancel = 9,
};

// One page of the wizard: its dialog template and dialog procedure. A page that is not built
// has no procedure; the walk passes over it in both directions.
struct PageEntry {
  int DialogId;
  DLGPROC Procedure;
};

// Index of the finish page: every index below it has a page after it.
constexpr int kFinishPageIndex = 6;
constexpr int kPageCount = 7;

// The page table in page order (scan, welcome, options, program group, copy, system update,
// finish), ended by an entry with dialog id 0. Filled in page_table_win.cpp, the one place that
// knows every page.
extern PageEntry PageTable[kPageCount + 1];

// The window class SETUPFRAME; registration reports success.
int RegisterFrameClass();
void UnregisterFrameClass();

// Creates the frame window (not yet shown); null when it cannot be created.
HWND CreateFrameWindow();
// Creates the frame, shows it maximized and runs the message loop until the wizard has ended.
void RunFrame();
