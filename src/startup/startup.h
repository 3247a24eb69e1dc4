// Start-up and shut-down of the setup program.
#pragma once

struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;

// The exit codes of setup.exe (the autorun mode ends with 0 when it does not go on into the
// setup; a setup that starts a copy of itself with administrator rights ends with the copy's).
enum : int {
  kExitFinished = 0,          // the finish page reported success
  kExitCannotStart = 1,       // no script, a bad command line, no memory
  kExitCancelled = 2,         // cancelled before anything was changed
  kExitIncomplete = 3,        // cancelled or aborted after changes
  kExitFinishedWithErrors = 4,  // finished, but some parts failed
  kExitUnchanged = 5,         // nothing changed: installed files in use, or a drive short of room
  kExitOtherSetup = 6,        // another setup is running
  kExitOutcomeUnknown = 7,    // the copy with administrator rights could not be waited for
};

// How the wizard ended, as an exit code.
int WizardOutcome();

// Runs the whole program: start sequence, wizard, shut-down. Returns the exit code.
int RunSetup(HINSTANCE instance, const char* commandLine);
