// The UI driver: prepares a medium folder, starts setup.exe from it, finds its windows and
// message boxes, reads and presses their controls, and captures the screen. It drives the
// program from outside, as a user would, through window messages across processes.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace ui {

constexpr DWORD kWait = 10000;  // default time to wait for a window, in milliseconds

// Test folders (Windows paths).
std::string TestRoot();                                   // scratch folder of the test run
std::string JoinPath(const std::string& folder, const std::string& name);
bool RemoveTree(const std::string& path);                 // deletes a folder and everything in it
bool MakeFolders(const std::string& path);                // creates a folder and its parents
bool WriteFile(const std::string& path, const std::string& bytes);
bool ReadFile(const std::string& path, std::string* bytes);
bool FileExists(const std::string& path);

// A fresh medium folder below TestRoot() holding a copy of setup.exe and, unless script is
// null, SETUP.LST with the given text (written as it stands, Windows-1252).
std::string MakeMedium(const std::string& name, const char* script);

struct Setup {
  HANDLE Process = nullptr;
  DWORD Pid = 0;
};
// Starts setup.exe of the medium with the given command line; false when it cannot start.
bool StartSetup(Setup* setup, const std::string& medium, const std::string& arguments = "");
// Waits for the process to end; its exit code, or -1 on time-out (the process is then killed).
int WaitExit(Setup* setup, DWORD timeoutMs = kWait);
void CloseSetup(Setup* setup);                            // kills it if still running

// Visible top-level windows of the process (all processes when pid is 0).
std::vector<HWND> TopWindows(DWORD pid);
// Waits for a visible top-level window of the process whose caption and class match (null:
// any); null on time-out.
HWND WaitWindow(DWORD pid, const char* caption, const char* className = nullptr, DWORD timeoutMs = kWait);
// Waits for a message box (dialog class with the text control 65535) of the process.
HWND WaitMessageBox(DWORD pid, DWORD timeoutMs = kWait);
// Waits until the window is gone; false on time-out.
bool WaitGone(HWND window, DWORD timeoutMs = kWait);

std::string WindowText(HWND window);
std::string ClassName(HWND window);
HWND Control(HWND dialog, int id);
std::string ControlText(HWND dialog, int id);
std::string MessageBoxText(HWND box);                    // the text of a message box
bool IsControlEnabled(HWND dialog, int id);
bool IsControlVisible(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);
std::vector<int> ButtonIds(HWND dialog);                  // ids of the dialog's buttons, in child order
// Presses a button (posted, so a handler that opens a modal box does not block the driver).
bool Click(HWND dialog, int id);

// Saves the whole screen as a PNG file (24-bit); false when it cannot be captured or written.
bool SaveScreenshot(const std::string& path);
// Reads one pixel of the screen as 0xRRGGBB (after the windows have painted).
COLORREF ScreenPixel(int x, int y);

}  // namespace ui
