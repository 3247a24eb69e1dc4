#include "startup/state.h"

HINSTANCE Instance;
void* SetupInstanceEvent;
char ScriptPath[kPathChars];
char CompanyName[kPathChars];
char ProductName[kPathChars];
char SetupVersion[30] = "2.0";
int AllFiles;
char WindowsDir[kPathChars];
char SystemDir[kPathChars];
char InstallDir[kPathChars];
char DefaultGroup[kPathChars];
int HasDefaultGroup;
char Message[kPathChars];
char SetupDir[kPathChars];
char ProgramsFolder[kPathChars];
char StartMenuFolder[kPathChars];
char DesktopFolder[kPathChars];
char LinkFolder[kPathChars];
Option* OptionRoot;
int32_t TotalFileEntries;
int32_t SuccessRunCount;
SuccessRunRecord* SuccessRuns;

static char DefaultDiskLabel[kDiskLabelChars] = "CD";
char* DiskLabels[kMaxDiskLabels] = {DefaultDiskLabel};
int32_t DiskCount;

int64_t SetupProgramBytes;
int Silent;
int RunAtEnd;
int FinishReached;
int FinishedWithErrors;
int EndedUnchanged;
int PageCreationFailed;
int OtherUserRecords;
void* UserHive;
char UserHiveName[192];

HWND FrameWindow;
HWND CurrentPage;
int PageIndex = -1;
int FirstPaintDone;
int ChangesMade;
int ErrorsOccurred;
int PageClosable = 1;
int CancelRequested;
int ModalActive;

int OldestWindowsOnly;

void* SetupLogHandle;
int LogEnabled = 1;
