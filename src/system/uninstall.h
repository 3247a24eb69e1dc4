// The uninstaller: "uninst.exe /UNINSTALL [/S]", the copy of setup.exe in the install folder
// that the system's list of installed software starts. It copies itself into the temporary
// folder and runs from there (with administrator rights where Windows gives them on request),
// asks, removes what every run of the product recorded, and ends with an exit code as the
// setup's: 0 removed, 2 cancelled (nothing changed), 4 removed with parts kept or failed,
// 5 nothing changed because a file of the product is in use.
#pragma once

struct StarterAccount;

// installDir empty: the uninstaller as started from the install folder (it starts its copy and
// waits for its report); else the copy, removing the product of that folder (with the folders
// and hive of the account that started the uninstaller, where starter names one); firstCopy is
// the process id of that uninstaller, whose file goes once it has ended.
int RunUninstall(const char* installDir, int silent, const StarterAccount* starter, unsigned long firstCopy);

// Copies of the uninstaller that an earlier removal left in the temporary folder go.
void RemoveStaleRemovalCopies();
