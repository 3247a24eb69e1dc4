// The setup log: "setup<N>.log" in the install folder, open without sharing from the copy
// page's start until the program ends. Lines are Windows-1252 text ending in "\r\n"; the line
// catalogue below is the one place that knows their prefixes.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int kLogNameChars = 260;  // the caller's buffer for the chosen name
// Numbers tried for a free name; past them the log counts as not creatable.
constexpr int kLogNumbers = 10000;

// Chooses the first free "setup<N>.log" in InstallDir, stores its name in the buffer (also when
// creation fails, for the caller's message) and creates it. 1 when the log is open.
// A name that does not fit the buffer is a failure, never a cut name.
int OpenSetupLogN(char* buffer, size_t cap);
template <size_t N> int OpenSetupLog(char (&buffer)[N]) {
  static_assert(N >= kLogNameChars, "the log name needs 260 characters");
  return OpenSetupLogN(buffer, N);
}
// The same for a log of another name, "<stem><N>.log" in folder (the uninstaller's).
int OpenLogFileN(const char* folder, const char* stem, char* buffer, size_t cap);
// Appends the bytes of the text (no terminating zero, no line end added). Does nothing when
// LogEnabled is off, the text is null or no log is open; a failed write is ignored.
void WriteLog(const char* text);
// Closes the log when one is open.
void CloseSetupLog();
// 1 when the file can be opened for reading (existing only, others may read).
int FileExists(const char* path);

// Portable pieces.
// folder + "\" (unless it ends in one) + "setup<n>.log"; 0 when it does not fit (the output then
// holds the name cut, fit only for a message).
int BuildLogName(char* output, size_t cap, const char* folder, int n);
// The same with another stem than "setup".
int BuildLogNameAs(char* output, size_t cap, const char* folder, const char* stem, int n);

// The line catalogue.
enum LogLineKind : int {
  kLogCreatedDir,                // a directory the run created, no trailing backslash
  kLogCopied,                    // target path of a copied file
  kLogUpToDate,                  // target path of a file kept because it is current
  kLogRegister,                  // a registry key written (use WriteRegisterLine)
  kLogRegisterFileType,          // extension of a file type
  kLogLink,                      // shortcut target [, shortcut file]
  kLogDllSelfRegister,           // library whose self-registration succeeded
  kLogErrorRegistering,          // library whose self-registration reported failure
  kLogErrorLoadLibrary,          // library that could not be loaded
  kLogErrorCreatingGroup,        // program group folder not created
  kLogErrorCreatingLink,         // shortcut file not created
  kLogErrorCreatingRegistryKey,  // key path of a failed registry record
  kLogErrorCreatingFileType,     // extension of a failed file type record
  kLogErrorCreatingIniSetting,   // INI file of a failed INI record
  kLogError,                     // any other failure: the text of the box that reported it
  kLogAnswered,                  // a silent run's answer: caption, text of the box, answer given
  kLogRemoved,                   // undone: a file the run wrote, deleted
  kLogRestored,                  // undone: the file a run replaced (or a removal moved aside), put back
  kLogRemovedDir,                // undone: a folder the run created, removed
  kLogRegistryRestored,          // undone: root, key, value name of a registry value put back
  kLogRemovedKey,                // undone: root, key of a registry key removed
  kLogDllUnregister,             // undone: a library whose DllUnregisterServer was called
  kLogSharedCount,               // undone: a shared count put back or lowered: file, count left
  kLogIniRestored,               // undone: INI file, section, key put back
  kLogKept,                      // a file the removal keeps (changed since the install, or still shared)
  kLogRolledBack,                // at start: the folder whose unfinished run was rolled back, changes undone
  kLogUserAccount,               // an elevated run: the account whose user folders and hive it uses, and its id
  kLogCancelled,                 // the user ended the setup: the page, and the file or option in hand
  kLogLineKinds
};

// The prefix of a line kind, exactly as written; null for an unknown kind.
const char* LogLinePrefix(LogLineKind kind);
// Writes one line: the prefix, the fields with "," between them (a null field is empty), "\r\n".
void WriteLogFields(LogLineKind kind, const char* const* fields, int count);
inline void WriteLogLine(LogLineKind kind, const char* field) { WriteLogFields(kind, &field, 1); }
inline void WriteLogLine(LogLineKind kind, const char* first, const char* second) {
  const char* fields[] = {first, second};
  WriteLogFields(kind, fields, 2);
}
// "Error: " and the text of the box that reported a failure, its line breaks turned into
// blanks so the entry stays one line.
void WriteLogError(const char* text);
// "Register:" [root name ","] key "," default "," value name "," value data. Only
// HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT are named (root as in the records, kRoot*).
void WriteRegisterLine(uint32_t root, const char* keyPath, const char* defaultValue, const char* valueName,
                       const char* valueData);
