// Helpers of the install scenarios: media with product files, the walk to the copy page, the
// installed files, the setup log and the shared-file counts.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "ui_driver.h"

namespace ui {

// size bytes of a pattern that differs per seed, so a misplaced block shows.
std::string PatternBytes(size_t size, unsigned seed);

// Writes files into a folder (created when missing); false when one cannot be written.
struct NamedBytes {
  std::string Name;
  std::string Bytes;
};
bool WriteFiles(const std::string& folder, const std::vector<NamedBytes>& files);

// The copy page (dialog 109) of the run, once the walk has reached it.
HWND WaitCopyPage(DWORD pid, DWORD timeoutMs = kWait);
// Starts the setup of the medium and presses "&Weiter >" on the welcome page; the options page
// is next. Null when the welcome page does not come (the run is then killed).
HWND StartToOptions(Setup* setup, const std::string& medium, const std::string& arguments = "");
// From the welcome page to the copy: "&Weiter >" on the welcome and the options page.
bool WalkToCopy(Setup* setup);
// The same and "&Weiter >" on the options page, which leads to the program group page when the
// script names a group and to the copy page otherwise; false when a page does not come.
bool StartAndInstall(Setup* setup, const std::string& medium, const std::string& arguments = "");
HWND WaitOptionsPage(DWORD pid, DWORD timeoutMs = kWait);

// The closing notice 114 ("$p-Setup wurde nicht vollständig ausgeführt..."), or null.
HWND WaitIncompleteNotice(DWORD pid, DWORD timeoutMs = kWait);
// The closing notice 137 ("... unterbrochen, bevor eine Änderung ... durchgeführt wurde"): also
// the end of a run that was cancelled after changes and has taken them all back.
HWND WaitInterruptedNotice(DWORD pid, DWORD timeoutMs = kWait);
// The pages a user goes on from with "&Weiter >" and the last page.
HWND WaitGroupPage(DWORD pid, DWORD timeoutMs = kWait);
HWND WaitFinishPage(DWORD pid, DWORD timeoutMs = kWait);
// Walks the rest of the run as a user who agrees to everything: "&Weiter >" on the options and
// program group pages, "&Beenden" on the finish page, which must report success. Fails on any
// other window (a box, a notice). The exit code, -1 when the run hangs or goes wrong.
int WaitCleanExit(Setup* setup, DWORD timeoutMs = 30000);
// Ends a run that went through with errors: the finish page shows its partial-success text,
// "&Beenden" ends the run without a closing notice. The exit code, -1 when that does not happen.
int FinishWithErrors(Setup* setup);

// setup<n>.log of the install folder, or "" when missing.
std::string ReadSetupLog(const std::string& installDir, int n = 0);

// The shared-file count of a path under HKLM\...\SharedDLLs; -1 when it has none.
long SharedCount(const std::string& path);
void ClearSharedCount(const std::string& path);

// Windows path of a fixture file built by the project.
std::string FixturePath(const std::string& name);

// A REG_SZ value (the default value for an empty name); "<none>" when it cannot be read.
std::string RegString(HKEY root, const std::string& key, const std::string& name = "");
// Deletes a key with everything below it.
void DeleteRegTree(HKEY root, const std::string& key);
// The target path of a shell link file, read through the shell's link object; "" when none.
std::string LinkTarget(const std::string& linkFile);
// The value of a key in an INI file; "<none>" when it has none.
std::string IniValue(const std::string& file, const std::string& section, const std::string& key);
// [Section<n>] with the given keys and File<1..> values.
std::string Section(int n, const std::string& keys, const std::vector<std::string>& entries);
// The file holds exactly these bytes.
bool Holds(const std::string& path, const std::string& bytes);
// Every name in a folder (files and folders) that matches the pattern, sorted.
std::vector<std::string> Listing(const std::string& folder, const char* pattern = "*");

// Lets the setup run in 0.1 ms steps until the file the pattern names in the install folder has
// grown beyond the given size after the small first file "zuerst.txt" is in (and, for a
// replacement, while the installed file waits aside as "stp*.old"), and holds it there: however
// fast the copy, it is caught.
bool HoldCopy(ProcessThreads* threads, const std::string& install, const char* pattern, DWORD beyond, bool replacing);

// The room the options page charges for files of bytes in all: their own, the run's record of
// them (at most 640 bytes each) and the program itself, which goes with the product as its
// uninstaller; as the page shows it ("<n>KB").
std::string ChargedKilobytes(long long bytes, int files);

// The shell's Programs folder of this user.
std::string ProgramsFolder();

// Waits for the run's end while watching that it never shows a window: every visible top-level
// window of the process (of any process with anyProcess: a run may go on in a copy of itself) is
// a failure of the test, counted once. The exit code, -1 when the run hangs.
int WaitExitUnseen(Setup* setup, int* windowsSeen, bool anyProcess = false);

// The sample medium (build/<tree>/medium) on a medium folder of its own, installed into its
// script's folder, and everything an install of it leaves behind.
struct SampleInstall {
  std::string Medium, Install = "C:\\Programme\\Sprachtrainer", Group = ProgramsFolder() + "\\Sprachtrainer";
  std::string ProductKey;
  explicit SampleInstall(const char* name = "unattended-sample");
  ~SampleInstall() { Clean(); }
  void Clean();
  // What the run changed, in one text to compare.
  std::string State() const;
};

}  // namespace ui
