// The folder prompt: the classic open-file dialog with the program's own template, used to
// choose a folder (the install folder, or where a missing source file can be found).
#pragma once
#include "script/records.h"

struct HWND__;
typedef HWND__* HWND;

enum : int {
  kPromptOpen = 0,     // the chooser is still open, or could not be shown
  kPromptOk = 1,
  kPromptCancel = 2,
  kPromptSkip = 5,     // "&Ignorieren"
};

// Title and Text are shown exactly as given: a caller expands its own fixed wording first
// (ExpandWording) and only then puts values such as paths or labels in.
struct FolderPrompt {
  const char* Title;         // caption of the chooser
  char Folder[kPathChars];   // start folder on entry; the chosen folder after OK
  const char* Text;          // explanation above the path field
  int ShowSkip;              // show "&Ignorieren"
  int Result;                // kPrompt*
};

// Shows the chooser owned by owner and returns the prompt's Result (0 when it could not be
// shown). On OK, Folder holds the chosen folder, made absolute against the folder shown.
int ChooseFolder(HWND owner, FolderPrompt* prompt);
