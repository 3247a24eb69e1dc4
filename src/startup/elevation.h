// Administrator rights for the setup on Windows with user account control (Vista and later).
// The program is started as the user who starts it, so the autorun box asks for nothing. When
// it goes on into the setup, which writes below HKEY_LOCAL_MACHINE and into shared folders, it
// starts a copy of itself with administrator rights (Windows asks the user), waits for it and
// ends with its exit code. That copy finds a marker in front of its command line.
#pragma once
#include <cstddef>

// "/ELEVATED:" with the autorun check's result (0, 1 or 2), then a blank and the setup's own
// arguments: the elevated copy skips the single-instance test, since its first copy holds the
// event for it while it waits, and goes on with the setup where its first copy left off.
constexpr char kElevatedMarker[] = "/ELEVATED:";

// The elevated copy's command line; 0 when it does not fit cap.
int ElevatedArgumentsN(char* output, size_t cap, int autorunCheck, const char* arguments);

// When *commandLine begins with the marker: *autorunCheck is set from it, *commandLine moves
// past it to the setup's own arguments, and the result is 1. Otherwise 0 and nothing changes.
int TakeElevatedMarker(const char** commandLine, int* autorunCheck);

// 1 when this process lacks administrator rights on a Windows that can give them on request.
// 0 on Windows before Vista (nothing to ask for) and where the rights are there.
int CanAskForAdministrator();

// Runs program with parameters with administrator rights (Windows asks the user), waits for it
// and puts its exit code in *exitCode. 1 when it ran or the user refused (*exitCode is then
// ERROR_CANCELLED, 1223); 0 when it could not be started otherwise.
int RunAsAdministrator(const char* program, const char* parameters, unsigned long* exitCode);

// RunAsAdministrator for a copy of this program with the marker before arguments.
int RunElevatedCopy(int autorunCheck, const char* arguments, unsigned long* exitCode);
