// Administrator rights for the setup on Windows with user account control (Vista and later).
// The program is started as the user who starts it, so the autorun box asks for nothing. When
// it goes on into the setup, which writes below HKEY_LOCAL_MACHINE and into shared folders, it
// starts a copy of itself with administrator rights (Windows asks the user), waits for it and
// ends with its exit code. That copy finds a marker in front of its command line.
#pragma once
#include <cstddef>

#include "script/records.h"

// "/ELEVATED:" with the autorun check's result (0, 1 or 2) and ":" with the first copy's process
// id, then a blank and the setup's own arguments: the elevated copy skips the single-instance
// test, since its first copy holds the event for it while it waits, goes on with the setup
// where its first copy left off, and reports to it through the pipe named after that id.
constexpr char kElevatedMarker[] = "/ELEVATED:";

// The elevated copy's command line; 0 when it does not fit cap.
int ElevatedArgumentsN(char* output, size_t cap, int autorunCheck, unsigned long firstCopy, const char* arguments);

// When *commandLine begins with the marker: *autorunCheck and *firstCopy (0 when the marker
// names none) are set from it, *commandLine moves past it to the setup's own arguments, and
// the result is 1. Otherwise 0 and nothing changes.
int TakeElevatedMarker(const char** commandLine, int* autorunCheck, unsigned long* firstCopy);

// The pipe through which the elevated copy reports to the first copy of that process id.
void ReportPipeName(char (&name)[64], unsigned long firstCopy);

// What the first copy tells the elevated copy at its start: the account that started the setup
// and that account's shell folders (2, 11 and 16), as it resolved them itself.
struct StarterAccount {
  char Sid[192];         // "S-1-5-21-...", empty where the system has no accounts
  char Name[kPathChars];
  char Programs[kPathChars];
  char StartMenu[kPathChars];
  char Desktop[kPathChars];
};

// 1 when this process lacks administrator rights on a Windows that can give them on request.
// 0 on Windows before Vista (nothing to ask for) and where the rights are there.
int CanAskForAdministrator();

// Runs program with parameters with administrator rights (Windows asks the user), waits for it
// (AwaitElevatedCopy) and puts its exit code in *exitCode. 1 when it ran or the user refused
// (*exitCode is then ERROR_CANCELLED, 1223); 0 when it could not be started otherwise. With
// reportOnly, the wait ends with the copy's report, while the copy may still go on.
int RunAsAdministrator(const char* program, const char* parameters, unsigned long* exitCode, int reportOnly = 0);

// RunAsAdministrator for a copy of this program with the marker before arguments.
int RunElevatedCopy(int autorunCheck, const char* arguments, unsigned long* exitCode);

// The first copy's side. The pipe named after this process, made before the elevated copy is
// started; null when it cannot be made.
void* OpenElevatedReport();
// Tells the copy on the other end of report this process's account, hands on what the copy
// writes to its standard error handle to this one's, and waits for the copy's end. Its exit
// code: the process's when there is one to wait for, else the one the copy reported, else
// kExitOutcomeUnknown (startup.h). Closes report and process; either may be null.
unsigned long AwaitElevatedCopy(void* report, void* process);

// The elevated copy's side. Connects to the first copy's pipe (when the server is that very
// process), takes its account and makes the pipe this copy's standard error handle. 1 when
// connected.
int ConnectFirstCopy(unsigned long firstCopy, StarterAccount* account);
// Reports the exit code to the first copy and closes the pipe; nothing without one.
void EndElevatedReport(int exitCode);
// Where the account that started the setup is another than this copy's (a standard user typed
// an administrator's password), the user's shell folders (ProgramsFolder, StartMenuFolder,
// DesktopFolder) and HKEY_CURRENT_USER are that account's: its folders as it resolved them, and
// its hive below HKEY_USERS. The log names the account ("UserAccount:" name "," id).
void UseStarterAccount(const StarterAccount& account);

// An account id (a SID as the system holds it) as text, "S-1-5-21-..."; 0 when it does not fit.
int FormatSidN(char* output, size_t cap, const unsigned char* sid);
