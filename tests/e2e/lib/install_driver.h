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
// Starts the setup of the medium and presses "&Weiter >" on the welcome page, which leads to
// the copy page; false when the welcome page does not come (the run is then killed).
bool StartAndInstall(Setup* setup, const std::string& medium, const std::string& arguments = "");

// The closing notice 114 ("$p-Setup wurde nicht vollständig ausgeführt..."), or null.
HWND WaitIncompleteNotice(DWORD pid, DWORD timeoutMs = kWait);
// Waits for the run to end without any further window; its exit code, -1 when it hangs.
int WaitCleanExit(Setup* setup, DWORD timeoutMs = 30000);

// setup<n>.log of the install folder, or "" when missing.
std::string ReadSetupLog(const std::string& installDir, int n = 0);

// The shared-file count of a path under HKLM\...\SharedDLLs; -1 when it has none.
long SharedCount(const std::string& path);
void ClearSharedCount(const std::string& path);

// Windows path of a fixture file built by the project.
std::string FixturePath(const std::string& name);

// [Section<n>] with the given keys and File<1..> values.
std::string Section(int n, const std::string& keys, const std::vector<std::string>& entries);
// The file holds exactly these bytes.
bool Holds(const std::string& path, const std::string& bytes);
// Every name in a folder (files and folders) that matches the pattern, sorted.
std::vector<std::string> Listing(const std::string& folder, const char* pattern = "*");

}  // namespace ui
