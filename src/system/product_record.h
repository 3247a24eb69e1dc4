// The product's registration record below HKEY_LOCAL_MACHINE: where its program is (the value
// "Path" of the CurrentVersion key, written by the install script), which product data files
// are installed with which version and where (the Files key), and which issues they hold (the
// Issues key). Key paths are built from CompanyName, ProductName and SetupVersion.
#pragma once
#include <cstddef>

// Registers the installed product data file at path: its key below the Files key (default
// value the version number, "InstallPath" the path) and a value per registered issue below
// the Issues key. 1 when the file could be read and every registry write succeeded; 0 when the
// file cannot be read (nothing is written); -1 when a write was refused (the others are still
// made). Shows nothing and logs nothing: the caller reports a failure.
int WriteProductRecord(const char* path);

// "Software\<company>\<product>\<version>\Files", the key a failed product record is reported
// by. 0 when it does not fit cap (output then empty).
int ProductFilesKeyPathN(char* output, size_t cap);
template <size_t N> int ProductFilesKeyPath(char (&output)[N]) { return ProductFilesKeyPathN(output, N); }

// 1 when the product data file at the path in the buffer is not registered or is registered
// with a smaller version number; 0 when it is not newer or cannot be read. When the registered
// key names an "InstallPath" that fits the buffer, it replaces the path there.
int ProductDataIsNewerN(char* path, size_t cap);
template <size_t N> int ProductDataIsNewer(char (&path)[N]) { return ProductDataIsNewerN(path, N); }

// The registered program path ("Path" of the CurrentVersion key), or empty; with cut, its
// folder (a drive's root keeps its backslash).
void ReadInstalledProgramPathN(char* buffer, size_t cap, int cut);
template <size_t N> void ReadInstalledProgramPath(char (&buffer)[N], int cut) {
  ReadInstalledProgramPathN(buffer, N, cut);
}
