// Run-wide state of the one user-interface thread. Every path buffer holds 260 characters
// including the terminating zero.
#pragma once
#include <cstdint>

#include "script/records.h"

struct HWND__;
struct HINSTANCE__;
typedef HWND__* HWND;
typedef HINSTANCE__* HINSTANCE;

// Start-up
extern HINSTANCE Instance;                // the program's module
extern void* SetupInstanceEvent;          // named event held for the whole run: one setup at a time
extern char ScriptPath[kPathChars];       // setup folder + "\setup.lst"
extern char CompanyName[kPathChars];      // string resource 103
extern char ProductName[kPathChars];      // string resource 104
extern char SetupVersion[30];             // string resource 109
extern int AllFiles;                      // "/ALL": every installed file counts as not current
extern char WindowsDir[kPathChars];       // the Windows folder
extern char SystemDir[kPathChars];        // the Windows system folder
extern char InstallDir[kPathChars];       // folder the product is installed into
extern char DefaultGroup[kPathChars];     // [Settings] DefaultGroup
extern int HasDefaultGroup;               // DefaultGroup is not empty: the program group page is shown
extern char Message[kPathChars];          // [Settings] Message, painted on the frame window
extern char SetupDir[kPathChars];         // the setup folder (source of the files)
extern char ProgramsFolder[kPathChars];   // shell folder CSIDL_PROGRAMS
extern char StartMenuFolder[kPathChars];  // shell folder CSIDL_STARTMENU
extern char DesktopFolder[kPathChars];    // shell folder CSIDL_DESKTOPDIRECTORY
extern char LinkFolder[kPathChars];       // folder for the shortcuts, set by the program group page
extern Option* OptionRoot;                // first top-level option
extern int32_t TotalFileEntries;          // file entries of all options and sub-options
extern int32_t SuccessRunCount;           // [SuccessRun] SuccessRunCount as read
extern SuccessRunRecord* SuccessRuns;     // the records, null when none could be stored

// Install script: disk labels (label n at index n - 1), each pointing into the arena
extern char* DiskLabels[kMaxDiskLabels];
extern int32_t DiskCount;                 // [Disks] DiskCount, clamped to 0..99

extern int64_t SetupProgramBytes;         // the size of setup.exe, which goes with the product as its uninstaller

// Unattended install (/S and its switches)
extern int Silent;                        // no window, no box: every question answered the safe way
extern int RunAtEnd;                      // /RUN: a silent run starts the finish page's program

// How the run ended, for the exit code
extern int FinishReached;                 // the finish page was shown
extern int FinishedWithErrors;            // ... and it reported that some parts failed
extern int EndedUnchanged;                // ended before any change: files in use or no room
extern int PageCreationFailed;            // the frame or a page could not be created

// An elevated run started by another account than its own
extern int OtherUserRecords;              // the user's folders and HKEY_CURRENT_USER are the starter's
extern void* UserHive;                    // ... its hive below HKEY_USERS; null when it cannot be opened
extern char UserHiveName[192];            // ... that hive's key below HKEY_USERS (the account's id)

// Wizard flags
extern HWND FrameWindow;                  // the SETUPFRAME window
extern HWND CurrentPage;                  // the page now shown, or null
extern int PageIndex;                     // index into the page table, -1 before the first
extern int FirstPaintDone;                // the first paint has started the wizard
extern int ChangesMade;                   // the system may have been changed
extern int ErrorsOccurred;                // something failed or the user stopped the setup
extern int PageClosable;                  // 1: the frame's close command asks the cancel question
extern int CancelRequested;               // the user asked to cancel while a busy page runs
extern int ModalActive;                   // a box of ConfirmCancel is on screen

// Platform
extern int OldestWindowsOnly;             // 1: act as on Windows 95 and NT 4.0, without the newer
                                          //    functions of compat.h (set by tests)

// Setup log
extern void* SetupLogHandle;              // open log file, or null
extern int LogEnabled;                    // off only while a shared-DLL count is written
