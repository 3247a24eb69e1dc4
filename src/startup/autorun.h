// The autorun mode: setup.exe as the medium's start program ("/AUTORUN"). It checks whether the
// product is installed, running and current, and offers to start the installed program or to
// run the setup.
#pragma once
#include <cstddef>

// What the check found, handed to start-up when the setup goes on.
enum : int {
  kAutorunCurrent = 0,      // everything current: the box offers to start the program
  kAutorunNewerData = 1,    // a product data file on the medium is newer: the setup skips its first option
  kAutorunOutdated = 2,     // an installed file is missing or outdated
};

// The name of the event the installed program holds while it runs: its path with backslashes
// as "/", ASCII letters in upper case, the character 127 as "_" and characters from 128 up as
// they are. 0 when the path is longer than the name may be (output then empty).
int RunningProductEventNameN(char* output, size_t cap, const char* programPath);
template <size_t N> int RunningProductEventName(char (&output)[N], const char* programPath) {
  return RunningProductEventNameN(output, N, programPath);
}

// The command line that starts the installed program with the product data file: the program
// as written for a command line, a blank and the argument in double quotes (two quotes when it
// is empty). 0 when it does not fit cap (output then empty).
int AutorunCommandLineN(char* output, size_t cap, const char* program, const char* argument);
template <size_t N> int AutorunCommandLine(char (&output)[N], const char* program, const char* argument) {
  return AutorunCommandLineN(output, N, program, argument);
}

// Runs the autorun mode. 0: the program is to end. 1: the setup goes on, *check holds what
// the check found (start-up drops the first top-level option for kAutorunNewerData).
int RunAutorun(int* check);

// Shows the autorun box (dialog 131) offering what check calls for; the id of the button that
// ended it (1 start or setup, 2 end), or -1 when it could not be shown.
int ShowAutorunBox(int check);
