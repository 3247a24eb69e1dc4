// Starting a program of the installed product: the finish page's program and the autorun
// mode's. The setup never waits for it.
#pragma once
#include <cstddef>

// Writes the program path for a command line: in double quotes unless it holds a quote of its
// own, so "C:\Programme\Mein Produkt\start.exe" can never start "C:\Programme\Mein.exe", also
// when start.exe is missing (a path holds no arguments: they have a field of their own). 0 when
// the result does not fit cap; output is then empty.
int CommandLineProgramN(char* output, size_t cap, const char* programPath);
template <size_t N> int CommandLineProgram(char (&output)[N], const char* programPath) {
  return CommandLineProgramN(output, N, programPath);
}

// Starts the command line as a new process (no application name, no handle inheritance, the
// setup's environment and current directory, the system's default error mode) and closes the
// new process's handles at once.
// 1 when it started. A setup that runs elevated (with administrator rights given on request)
// has the desktop's shell start the program as the signed-in user, with the setup's current
// directory and the shell's environment; where that cannot be done, it starts it itself.
int StartProgram(const char* commandLine);
