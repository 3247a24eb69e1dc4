// setuplst, the publisher's tool for a medium's SETUP.LST: check, fill, add. It reads the
// script with the setup's own reader (the portable core) over an in-memory image of the file,
// so it sees exactly what the setup sees, and knows the line of everything it reports.
//
// Texts: the script and everything taken from it are in code page 1252 ("script text"); the
// tool's own literals are in the program's text encoding (UTF-8 on the host, code page 1252 in
// the Windows build). Shown() turns script text into program text for output.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "script/file_entry.h"
#include "script/records.h"
#include "startup/profile_image.h"

// --- System: files, console and text encodings (system_host.cpp, system_win.cpp) ----------

struct FileFacts {
  int Exists;
  int IsFolder;
  int64_t Size;
  int Year, Month, Day;  // local date of the last write
};

// Reads a file, or its first limit bytes; 0 when it cannot be read.
int ReadWholeFile(const std::string& path, std::string* bytes, size_t limit = SIZE_MAX);
// Replaces a file by new contents through a temporary file beside it; 0 on failure.
int RewriteFile(const std::string& path, const std::string& bytes);
int FileFactsOf(const std::string& path, FileFacts* facts);
// The path of a file named relative to a folder (script text, "\" or "/" between parts), found
// as Windows finds it (any letter case); "" when there is none.
std::string FindInFolder(const std::string& folder, const std::string& relative);
// The name (script text, "\" between parts) of a file given on the command line, relative to
// the medium folder; "" when it does not lie in the medium.
std::string NameInMedium(const std::string& medium, const std::string& file);
// Script text as program text, and back (command-line arguments and branding are program text).
std::string Shown(const std::string& scriptText);
std::string ScriptText(const std::string& programText);
// One line of results (program text), to standard output.
void PrintLine(const std::string& text);
// A message (program text) to standard error, after "setuplst: ".
void PrintError(const std::string& text);

// Exit codes of the tool.
enum ExitCode { kExitClean = 0, kExitFindings = 1, kExitUsage = 2, kExitFile = 3 };

// --- Findings (findings in main.cpp) --------------------------------------------------------

enum FindingKind { kFindingError, kFindingWarning, kFindingNote };

struct Finding {
  uint32_t Line;
  FindingKind Kind;
  std::string Text;  // program text
};

extern std::vector<Finding> Findings;
// Adds a finding; the format and its arguments are program text (script text through Shown).
void Report(uint32_t line, FindingKind kind, const char* format, ...) __attribute__((format(printf, 3, 4)));
// Prints the findings in line order as "<script>:<line>: <kind>: <text>"; the number of errors.
int PrintFindings(const std::string& scriptName);

// --- The script as the setup reads it (platform.cpp, model.cpp) -----------------------------

extern ProfileImage Script;
// What the setup's reads touched: per section of the image, and per entry (by its index in
// the image's entry array); the names of sections asked for and not found.
extern std::vector<char> SectionRead;
extern std::vector<char> EntryRead;
extern std::vector<std::string> AbsentSectionsAsked;
size_t EntryIndex(const ProfileEntry* entry);
uint32_t SectionNumber(const ProfileSection* section);

// An option the reader built, with the section it came from.
struct OptionInfo {
  const Option* Node;
  std::string Section;             // as the reader names it
  const ProfileSection* Image;     // its section in the image
  int Walked;                      // a top-level option or its companion: the pages install it
  int SubOption;                   // below another option: counted, never installed
  int Autorun;                     // the [AutoRun] check list
};

// A File<n> of an option the reader built.
struct EntryInfo {
  const OptionInfo* Owner;
  int Number;
  const FileEntry* Entry;
  const ProfileEntry* Key;         // the key as the read found it; null when missing or empty
  FileEntryStatus Status;
};

struct ScriptModel {
  std::vector<OptionInfo> Options;  // in reading order, [AutoRun] ones first
  std::vector<EntryInfo> Entries;
  const Option* Root;               // OptionRoot
  std::vector<FileEntry> AutorunEntries;  // copies: the autorun mode's arena is gone
  std::vector<Option> AutorunOptions;
};

// Loads SETUP.LST of the medium into Script; 0 when it cannot be read. *name gets the path to
// show in findings.
int LoadScript(const std::string& medium, std::string* scriptPath, std::string* name);
// Reads the script as start-up and the autorun mode do (the setup's own messages become
// findings), with the run-time folders set to those of a typical system.
void ReadAsSetup(ScriptModel* model);
// The text the string read returns for an entry (quotes removed, at most 1023 characters).
std::string ValueAsRead(const ProfileEntry* key);

// The folders of the medium's disks: DISK1, DISK2, ... in MEDIUM when SETUP.LST lies in its
// DISK1; otherwise MEDIUM alone, which holds the files of every disk.
extern std::vector<std::string> DiskFolders;
extern bool DisksInFolders;

// The figures of a medium's file: size, date, version, and the disk it was found on.
struct SourceFacts {
  std::string Path;                // "" when the file is missing
  FileFacts Facts;
  int Disk;                        // 1-based
  int HasVersion;
  uint32_t VersionMS, VersionLS;
};
SourceFacts ExamineSource(const FileEntry& entry);
// Where the script shows itself saved as UTF-8: the offset of its first sequence beyond ASCII
// when all its text is well-formed UTF-8 (SIZE_MAX otherwise); 0 with the mark.
size_t Utf8Offset();
// "a.b.c.d" of a packed version; "M/D/YYYY" of a date.
std::string VersionText(uint32_t ms, uint32_t ls);
std::string DateText(int year, int month, int day);

// --- Commands --------------------------------------------------------------------------------

int CheckCommand(const std::string& medium);
int FillCommand(const std::string& medium);
int AddCommand(const std::string& medium, const std::string& section, const std::string& destination,
               const std::vector<std::string>& files, bool newSection);

// What brand replaces (program text and file names); Given has bit i for the i-th field below.
struct BrandRequest {
  std::string Company, Product, Notice1, Notice2, IconFile, BitmapFile;
  unsigned Given = 0;
};
int BrandCommand(const std::string& input, const std::string& output, const BrandRequest& request);

// Fields of a record value as NextField splits it: where each field stands in the value (the
// separating comma not included), and what follows the last one.
struct FieldSpan {
  size_t Start, End;
};
std::vector<FieldSpan> SplitFields(const std::string& value);
// Field i (from 1) as NextField returns it; "" when missing.
std::string FieldText(const std::string& value, int i);
