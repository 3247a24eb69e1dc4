// The command line of setup.exe. "/AUTORUN" and "/ALL" are tested as prefixes at its very start
// (an autorun.inf or a script may give them so); the switches of an unattended install follow
// anywhere after the program name, in any letter case:
//   /S                 silent: no window, no box; every question answered the safe way
//   /DIR=<folder>      the install folder, in full ("C:\..." or "\\server\...")
//   /GROUP=<name>      the program group
//   /OPTIONS=<n>,...   the numbers of the top-level options to install, all others not
//   /RUN               start the program of the finish page at the end of a silent run
//   /UNINSTALL         the uninstaller (uninst.exe in the install folder); /UNINSTALL=<folder>
//                      its copy in the temporary folder, which removes that folder's product
// Values may be quoted ("/DIR=C:\Mein Produkt" or /DIR="C:\Mein Produkt").
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int kMaxChosenOptions = 256;

struct CommandLine {
  int Autorun;                       // starts with "/AUTORUN": the medium's start program
  int AllFiles;                      // starts with "/ALL": every installed file counts as not current
  int Silent;                        // /S
  int RunProgram;                    // /RUN
  int HasDir;                        // /DIR= was given
  char Dir[260];
  int HasGroup;                      // /GROUP= was given
  char Group[260];
  int HasOptions;                    // /OPTIONS= was given
  int OptionCount;
  int32_t Options[kMaxChosenOptions];  // option numbers from 1, as given
  int Uninstall;                     // /UNINSTALL: the uninstaller
  char UninstallDir[260];            // /UNINSTALL=<folder>: its copy that removes that folder's product
  char Error[300];                   // why the line was refused
};

// Reads the command line (the arguments without the program name). 1 when it is good; 0 with
// the reason in Error for a bad value, or for an unknown word in a silent run (a run with
// windows ignores words that are no switches of the setup). Silent tells the whole line's
// answer also when the line is refused, whatever the order of the words.
int ParseCommandLine(const char* text, CommandLine* line);

// Whether option number n (from 1) is among the chosen ones.
int OptionChosen(const CommandLine& line, int32_t n);
