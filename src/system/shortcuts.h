// Shell folders and shortcuts: the paths of the special folders, and shell link files for the
// shortcut records, through the shell's component objects.
#pragma once
#include <cstddef>

struct Option;

// Shell folder identifiers.
enum : int {
  kFolderPrograms = 2,       // CSIDL_PROGRAMS
  kFolderStartMenu = 11,     // CSIDL_STARTMENU
  kFolderDesktop = 16,       // CSIDL_DESKTOPDIRECTORY
};

// Fills buffer with the file-system path of the special folder; leaves it unchanged when the
// path cannot be found or does not fit (a cut path would be another folder). 1 when filled.
int SpecialFolderPathN(char* buffer, size_t cap, int folder);
template <size_t N> int SpecialFolderPath(char (&buffer)[N], int folder) { return SpecialFolderPathN(buffer, N, folder); }

// Makes sure the shortcut folder LinkFolder exists, creating it with its missing parents
// (logged as "CreatedDir:"). 1 when it exists now, or when there is no folder to check
// (LinkFolder is empty while no program group was chosen).
int EnsureLinkFolder();

// Writes the shell link of shortcut record index of the option: target and file expanded,
// "Link:" logged. A negative component-object result on failure, also for a record whose
// fields or expansions do not fit (then nothing is logged).
long CreateShortcut(const Option* option, int index);
