// Resource and control ids: the interface between the code and the resource scripts.
#pragma once

// Strings
#define IDS_COMPANY 103
#define IDS_PRODUCT 104
#define IDS_VERSION 109
#define IDS_NOTICE_1 259
#define IDS_NOTICE_2 260

// Icons and bitmaps
#define IDI_SETUP 7
#define IDI_NOTICE 133
#define IDB_AUTORUN 100
#define IDB_CHECKBOXES 127

// Dialogs
#define IDD_WELCOME 101
#define IDD_BACK_BEFORE_FIRST 102
#define IDD_CREATE_FOLDER 104
#define IDD_COPY 109
#define IDD_FINISH 112
#define IDD_NOTICE_INCOMPLETE 114
#define IDD_CONFIRM_CANCEL 115
#define IDD_SYSTEM_UPDATE 117
#define IDD_FOLDER_CHOOSER 118
#define IDD_PROGRAM_GROUP 119
#define IDD_CONFIRM_CANCEL_CHANGED 121
#define IDD_OPTIONS 122
#define IDD_SCAN 126
#define IDD_AUTORUN 131
#define IDD_FILES_IN_USE 134
#define IDD_NOTICE_INTERRUPTED 137
#define IDD_UNINSTALL 140

// Wizard commands and buttons
#define IDC_NEXT 1000
#define IDC_BACK 1001
#define IDC_CANCEL_SETUP 9
#define IDC_SEPARATOR 2000
#define IDC_WELCOME_ICON 1280

// Texts shared by several dialogs
#define IDC_TEXT_1 257
#define IDC_TEXT_2 258
#define IDC_TEXT_3 259
#define IDC_TEXT_4 260
#define IDC_PATH_LINE 1002

// Copy page, scan page, system update page
#define IDC_SOURCE_PATH 1005
#define IDC_TARGET_PATH 1006
#define IDC_PROGRESS 1008

// Options page
#define IDC_OPTION_LIST 768
#define IDC_DESCRIPTION 288
#define IDC_OPTIONS_LABEL 296
#define IDC_DESCRIPTION_LABEL 259
#define IDC_DESCRIPTION_FRAME 1536
#define IDC_FOLDER_FRAME 1537
#define IDC_CHANGE_FOLDER 12
#define IDC_FREE_SPACE 1016
#define IDC_REQUIRED_SPACE 1017
#define IDC_DRIVE_COMBO 1015
#define IDC_SELECT_ALL 37
#define IDC_SUB_OPTIONS 38
#define IDC_PREVIOUS_OPTION 3

// Folder chooser (ids from 1037 upwards are the open-file dialog's standard ids)
#define IDC_CHOOSER_TEXT 288
#define IDC_CHOOSER_PATH 1002
#define IDC_CHOOSER_FOLDER_LABEL 1023
#define IDC_CHOOSER_SKIP 5

// Program group page
#define IDC_GROUP_RADIO 1017
#define IDC_PROGRAMS_RADIO 1020
#define IDC_STARTMENU_RADIO 1011
#define IDC_DESKTOP_RADIO 1012
#define IDC_GROUP_NAME 515
#define IDC_GROUP_LIST 768

// Finish page
#define IDC_START_PROGRAM 100

// Autorun box
#define IDC_AUTORUN_PICTURE 1021
#define IDC_AUTORUN_TEXT 1022  // says what the box offers when the build has no picture

// Private messages
#define WM_WIZARD_COMMAND (0x0400 + 1)      // WizardCommand, to the frame
#define WM_STEP_NEXT_OPTION (0x0400 + 2)    // StepNextOption
#define WM_STEP_NEXT_FILE (0x0400 + 3)      // StepNextFile
#define WM_STEP_COPY_CHUNK (0x0400 + 4)     // StepCopyChunk
#define WM_SYNC_PATH (0x0400 + 200)         // SyncPathFromCurrentDir
