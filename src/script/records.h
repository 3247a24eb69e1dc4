// The records of the install script, as the reader carves them from the arena. Field widths
// are those of the script's layout; every text is cut to its field, never overflowing it, and
// a record whose field had to be cut says so in TooLong: a cut key path or program path would
// name something other than what the script names.
#pragma once
#include <cstdint>

constexpr int kPathChars = 260;         // paths and most text fields, terminating zero included
constexpr int kValueChars = 1024;       // a script value or a window text
constexpr int kDescriptionChars = 520;  // an option's description
constexpr int kDiskLabelChars = 100;    // one disk label
constexpr int kMaxDiskLabels = 99;      // labels kept; DiskCount is clamped to 0..99

// Destination classes of a file entry.
enum : int32_t { kDestOptionFolder = 0, kDestWinPath = 1, kDestWinSysPath = 2, kDestNoCopy = 6 };
// File kinds of a file entry.
enum : int32_t {
  kKindNone = 0,
  kKindDllSelfRegister = 1,
  kKindExeSelfRegister = 2,
  kKindRemote = 3,
  kKindOther = 4,
  kKindProductData = 5,
};

struct FileEntry {
  int32_t Number;                // n of File<n>; 0 when the key is missing
  int32_t Disk;                  // 1-based index into DiskLabels
  int32_t Split;                 // "SPLIT" marker, kept but not acted on
  char SourceName[kPathChars];   // name on the medium, relative to the setup folder
  char TargetName[kPathChars];   // name of the installed file
  int32_t DestKind;              // kDest*
  int32_t FileKind;              // kKind*
  int32_t Shared;                // reference-counted in SharedDLLs
  char KindText[kPathChars];     // field 6 when FileKind is kKindOther
  uint32_t FileTimeLow;          // file time of the entry's date, 0 when none
  uint32_t FileTimeHigh;
  int64_t Size;                  // bytes, above 0 in a valid entry
  int64_t PresentSize;           // bytes of an installed copy that is kept (scan page)
  uint32_t VersionLS;            // c * 65536 + d of version a.b.c.d
  uint32_t VersionMS;            // a * 65536 + b
  int32_t TooLong;               // a name or the kind text was cut to its field
  int32_t Reported;              // kReported* bits: what a page has already told the user
};

enum : int32_t {
  kReportedSize = 1,  // the scan page: the medium's file has another size
  kReportedCopy = 2,  // the copy page: the file could not be copied as it should
};

struct RegisterKeyRecord {
  uint32_t Root;                 // predefined root key (RootKeyFromName), 0 when unknown
  char KeyPath[100];
  char DefaultValue[kPathChars];
  char ValueName[kPathChars];
  char ValueData[kPathChars];
  int32_t TooLong;               // a field did not fit its width: the record is refused
};

struct FileTypeEntry {
  char SubKey[kPathChars];
  char SubKeyDefault[kPathChars];
  char SubValueName[kPathChars];
  char SubValueData[kPathChars];
};

constexpr int kFileTypeEntries = 10;

struct FileTypeRecord {
  char Extension[10];
  char TypeName[40];
  char TypeDescription[kPathChars];
  FileTypeEntry Entries[kFileTypeEntries];
  int32_t TooLong;               // a field did not fit its width: the record is refused
};

struct IniRecord {
  char IniFile[kPathChars];
  char IniSection[kPathChars];
  char IniKey[kPathChars];
  char IniValue[kPathChars];
  int32_t TooLong;               // a field did not fit its width: the record is refused
};

struct LinkRecord {
  char LinkTarget[kPathChars];
  char LinkFile[kPathChars];
  int32_t TooLong;               // a field did not fit its width: the record is refused
};

struct SuccessRunRecord {
  char RunProgram[kPathChars];
  char RunArguments[kPathChars];
  char RunCaption[kPathChars];
  int32_t TooLong;               // a field did not fit its width: the program is not started
};

struct Option {
  char Description[kDescriptionChars];
  char Name[kPathChars];
  char Destination[kPathChars];
  int32_t Install;               // selection state; bit 15 is the options page's PressedMark
  Option* NoCopyNode;            // companion standing in when this option is not selected
  Option* FirstChild;            // first sub-option
  Option* NextSibling;           // next option on this level (for a companion: after its option)
  Option* Parent;
  int32_t FileCount;
  FileEntry* FileEntries;
  int32_t RegisterKeyCount;
  RegisterKeyRecord* RegisterKeys;
  int32_t RegisterFileTypeCount;
  FileTypeRecord* RegisterFileTypes;
  int32_t IniCount;
  IniRecord* Inis;
  int32_t LinkCount;
  LinkRecord* Links;
};

constexpr int32_t kPressedMark = 0x8000;
inline bool IsSelected(const Option* option) { return (option->Install & ~kPressedMark) != 0; }

// Predefined registry roots as 32-bit values (HKEY_CLASSES_ROOT is 0x80000000, and so on).
enum : uint32_t {
  kRootClassesRoot = 0x80000000u,
  kRootCurrentUser = 0x80000001u,
  kRootLocalMachine = 0x80000002u,
  kRootUsers = 0x80000003u,
  kRootCurrentConfig = 0x80000005u,
  kRootDynData = 0x80000006u,
};
