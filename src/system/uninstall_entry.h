// The product's entry under "Programme und Features" (the system's list of installed software):
// HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\<company> <product>,
// one key for the product however often it is installed or updated. The uninstaller is this
// program itself, copied into the install folder as "uninst.exe" and started with /UNINSTALL.
#pragma once
#include <cstddef>

constexpr char kUninstallerName[] = "uninst.exe";
constexpr char kUninstallSwitch[] = "/UNINSTALL";

// The entry's key path below HKEY_LOCAL_MACHINE; 0 when it does not fit.
int UninstallKeyPathN(char* output, size_t cap);
template <size_t N> int UninstallKeyPath(char (&output)[N]) { return UninstallKeyPathN(output, N); }

// At the start of a run's changes: the entry's "InstallLocation" names the folder whose record
// tells what the run does, so that a setup started after this one was killed finds it. Written
// before anything else into the new run's record; 1 when written. The entry stays invisible in
// the list until the run has finished (Windows lists only entries with a "DisplayName").
int RecordInstallLocation();

// A value of the entry as it stands (InstallLocation), or empty.
void ReadUninstallValueN(const char* name, char* buffer, size_t cap);
template <size_t N> void ReadUninstallValue(const char* name, char (&buffer)[N]) {
  ReadUninstallValueN(name, buffer, N);
}

// The run has done its work: the uninstaller is put into the install folder, the entry gets
// its values, the run is marked finished in its record, and the files it replaced, kept aside
// until now, are deleted. 0 when a part of it failed (the run is still complete; the failure
// is reported, logged and counted).
int FinishInstallRun();
