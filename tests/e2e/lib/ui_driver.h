// The UI driver: prepares a medium folder, starts setup.exe from it, finds its windows and
// message boxes, reads and presses their controls, and captures the screen. It drives the
// program from outside, as a user would, through window messages across processes.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace ui {

constexpr DWORD kWait = 10000;  // default time to wait for a window, in milliseconds
// A time to wait for something the program does, stretched by the whole number in the
// environment variable SETUP_TEST_WAIT_SCALE (make test32's guest emulates its processor and
// runs every program many times slower). Every wait of the driver goes through it.
DWORD Scaled(DWORD ms);
// Gives the program that long (stretched as above) to answer what the driver just did.
void Settle(DWORD ms);

// Test folders (Windows paths).
std::string TestRoot();                                   // scratch folder of the test run
std::string JoinPath(const std::string& folder, const std::string& name);
bool RemoveTree(const std::string& path);                 // deletes a folder and everything in it
bool MakeFolders(const std::string& path);                // creates a folder and its parents
bool WriteFile(const std::string& path, const std::string& bytes);
bool ReadFile(const std::string& path, std::string* bytes);
bool FileExists(const std::string& path);
// A fresh, empty folder below TestRoot(); its path.
std::string FreshFolder(const std::string& name);

// A fresh medium folder below TestRoot() holding a copy of setup.exe and, unless script is
// null, SETUP.LST with the given text (written as it stands, Windows-1252).
std::string MakeMedium(const std::string& name, const char* script);

// A started setup; one that is still running when this goes (a scenario that failed half
// way) is ended, so it cannot hold the single-instance lock against the next scenario.
struct Setup {
  HANDLE Process = nullptr;
  DWORD Pid = 0;
  Setup() = default;
  ~Setup();
  Setup(const Setup&) = delete;
  Setup& operator=(const Setup&) = delete;
};
// Starts setup.exe of the medium with the given command line, from the given current folder
// (the test root when empty); false when it cannot start. With standardError, the program's
// standard error handle writes into that file.
bool StartSetup(Setup* setup, const std::string& medium, const std::string& arguments = "",
                const std::string& currentFolder = "", const std::string& standardError = "");
// The same for any copy of the program (the uninstaller, say).
bool StartProgram(Setup* setup, const std::string& exe, const std::string& arguments = "",
                  const std::string& currentFolder = "", const std::string& standardError = "");
// Waits for the process to end; its exit code, or -1 on time-out (the process is then killed).
int WaitExit(Setup* setup, DWORD timeoutMs = kWait);
// The same, watching the process's windows meanwhile: every visible top-level window that is
// not among those given is listed in shown by class and caption, and answered (a dialog with
// OK, any other window closed) so the run can end. A check that no window comes can fail only
// while the process runs.
int WaitExitWatching(Setup* setup, std::vector<std::string>* shown, const std::vector<HWND>& known = {},
                     DWORD timeoutMs = kWait);
void CloseSetup(Setup* setup);                            // kills it if still running

// Visible top-level windows of the process (all processes when pid is 0).
std::vector<HWND> TopWindows(DWORD pid);
// The frame window of the process, shown or not.
HWND FrameOf(DWORD pid);
// Waits for a visible top-level window of the process whose caption and class match (null:
// any); null on time-out.
HWND WaitWindow(DWORD pid, const char* caption, const char* className = nullptr, DWORD timeoutMs = kWait);
// Waits for a message box (dialog class with the text control 65535) of the process.
HWND WaitMessageBox(DWORD pid, DWORD timeoutMs = kWait);
// Waits until the window is gone; false on time-out.
bool WaitGone(HWND window, DWORD timeoutMs = kWait);

std::string WindowText(HWND window);
// The visible top windows of a process, each with its caption and its controls' texts, one a
// line: what a failed wait had before it.
std::string WindowsOf(DWORD pid);
std::string ClassName(HWND window);
HWND Control(HWND dialog, int id);
std::string ControlText(HWND dialog, int id);
std::string MessageBoxText(HWND box);                    // the text of a message box
bool IsControlEnabled(HWND dialog, int id);
bool IsControlVisible(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);
std::vector<int> ButtonIds(HWND dialog);                  // ids of the dialog's buttons, in child order
// Presses a button (posted, so a handler that opens a modal box does not block the driver).
// A radio button pressed so is checked and tells its dialog, as a click would.
bool Click(HWND dialog, int id);

// The items of a list box, in their order.
std::vector<std::string> ListItems(HWND dialog, int id);
// Selects an item of a list box and tells the dialog, as a click on it would.
bool SelectListItem(HWND dialog, int id, int index);
// The items of a combo box, and the selection of one as the user's choice would make it.
std::vector<std::string> ComboItems(HWND dialog, int id);
bool SelectComboItem(HWND dialog, int id, int index);

// The left mouse button at a point of a control (its client coordinates): pressed, moved and
// released as the mouse does it, through the control's own mouse messages.
bool MouseDown(HWND control, int x, int y);
bool MouseMove(HWND control, int x, int y);
bool MouseUp(HWND control, int x, int y);
// A key pressed and released in the control that has the focus in the window's thread.
bool PressKey(HWND window, WORD key);

// Posts a command to a dialog as its button or Escape would send it.
bool SendCommand(HWND dialog, int id);
// Presses Escape: the key goes to the control that has the focus in the dialog's thread (or to
// the dialog), so the program's own dialog-message handling turns it into IDCANCEL.
bool PressEscape(HWND dialog);
// The frame's close command (title bar close button, Alt+F4), posted.
bool CloseWindowCommand(HWND window);

// The threads of a process, opened in advance so they can be held still at a moment's notice:
// a fast copy is stopped while the driver posts its input, so the input is served at a known
// point of the copy.
class ProcessThreads {
 public:
  explicit ProcessThreads(DWORD pid);
  ~ProcessThreads();
  ProcessThreads(const ProcessThreads&) = delete;
  ProcessThreads& operator=(const ProcessThreads&) = delete;
  bool Suspend();  // returns once the threads stand still; false when none could be held
  void Resume();

 private:
  std::vector<HANDLE> threads_;
};

// The window with the keyboard focus in the thread that owns the given window.
HWND FocusOf(HWND window);
HWND Owner(HWND window);
bool IsEnabled(HWND window);

// Visible top-level dialogs (class #32770) of the process with this caption (any when null).
std::vector<HWND> Dialogs(DWORD pid, const char* caption = nullptr);
// Waits for a visible dialog of the process with this caption that has every control id given.
HWND WaitDialog(DWORD pid, const char* caption, const std::vector<int>& ids = {}, DWORD timeoutMs = kWait);
// The texts of the window and of all windows below it, in child order.
std::vector<std::string> AllTexts(HWND window);

// The company and product names (strings 103 and 104) of the setup.exe under test.
std::string CompanyName();
std::string ProductName();

// The wizard: the frame window (class SETUPFRAME) and the welcome page.
HWND WaitFrame(DWORD pid, DWORD timeoutMs = kWait);
HWND WaitWelcomePage(DWORD pid, DWORD timeoutMs = kWait);
// Presses a button of a dialog and waits for the dialog to go; false when it stays.
bool Answer(HWND dialog, int id, DWORD timeoutMs = kWait);
// Ends a run on a page that asks before cancelling, as a user would: Escape, "Setup abbrechen",
// then OK on the closing notice 137. Returns the exit code, or -1 when a step fails.
int CancelFromPage(Setup* setup, HWND page);
int CancelFromWelcomePage(Setup* setup);

// Saves the whole screen as a PNG file (24-bit); false when it cannot be captured or written.
bool SaveScreenshot(const std::string& path);
// Reads one pixel of the screen as 0xRRGGBB (after the windows have painted).
COLORREF ScreenPixel(int x, int y);
// Reads a rectangle of the screen in one go, row by row, as 0xRRGGBB values (empty when it
// cannot be read): one request to the display instead of one per pixel.
std::vector<COLORREF> ScreenPixels(const RECT& area);

}  // namespace ui
