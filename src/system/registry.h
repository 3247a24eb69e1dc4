// Registry keys of the install script, and the registry operations that the file types and the
// product record use too. Both builds write the registry view native to them: the shipped
// 32-bit program on 64-bit Windows lands where every 32-bit setup lands.
#pragma once
#include <cstddef>
#include <cstdint>

struct HKEY__;
typedef HKEY__* HKEY;
struct Option;

// The predefined root key of a record's 32-bit Root. The handles are sign-extended values
// (HKEY_CLASSES_ROOT is (HKEY)(LONG_PTR)(LONG)0x80000000), so the 64-bit build widens with
// the sign; 0 stays no root. HKEY_CURRENT_USER is the hive of the account that started an
// elevated run where that is another account (state.h: OtherUserRecords).
HKEY RootKey(uint32_t root);

// Creates or opens the key, sets its default value to defaultText and, when valueName is not
// empty, the value valueName to valueText (all REG_SZ, written without a terminating zero).
// An empty defaultText is written only to a key this call created or one without a default
// value yet: it never empties an existing association. Logs the "Register:" line when a value
// was written, with the default value the key holds afterwards. 1 on success; 0 also for an
// empty key path (never the root itself).
int WriteRegistryKey(HKEY root, const char* keyPath, const char* defaultText, const char* valueName,
                     const char* valueText);

enum : int { kRegistryValueAbsent = 0, kRegistryValueRead = 1, kRegistryValueNotText = 2 };
// Reads a REG_SZ value (the default value for a null or empty name) into buffer (size >= 1),
// ended at the length the registry returns. kRegistryValueRead when read. When the key or the
// value does not exist (kRegistryValueAbsent) the buffer is left as it was; a value of another
// type, or one longer than the buffer, is kRegistryValueNotText and leaves the buffer empty.
int ReadRegistryText(HKEY root, const char* keyPath, const char* valueName, char* buffer, size_t size);
// The same, 1 when read.
template <size_t N> int ReadRegistryString(HKEY root, const char* keyPath, const char* valueName, char (&buffer)[N]) {
  return ReadRegistryText(root, keyPath, valueName, buffer, N) == kRegistryValueRead;
}

// Deletes the key when it has no sub keys (never recursively, also where the system would) and
// its name is not empty (an empty name would be the root itself); the key and its values are
// noted first. 1 when deleted.
int DeleteRegistryKey(HKEY root, const char* keyPath);

// What undoes a change, noted in the run's journal before it is made (install/undo_journal.h);
// each is 1 when noted, and also when no journal runs.
// A K note for every level of the key path that does not exist yet, outermost first.
int NoteKeyCreation(HKEY root, const char* keyPath);
// A V note with the value as it stands (or none); a null or empty name is the default value.
int NoteValueChange(HKEY root, const char* keyPath, const char* valueName);
// An X note with every value of the key, when it exists and has no sub keys (only then it can
// be deleted).
int NoteKeyDeletion(HKEY root, const char* keyPath);

// Creates the key when needed and sets one value, noted first. 1 on success.
int SetRegistryValue(HKEY root, const char* keyPath, const char* valueName, unsigned long type, const void* data,
                     unsigned long size);
// A value read whole, its bytes in memory from malloc for the caller to free. 1 when present;
// 0 when the key or the value does not exist (or cannot be read).
int ReadWholeValue(HKEY root, const char* keyPath, const char* valueName, unsigned long* type, unsigned char** data,
                   unsigned long* size);
// The 32-bit number of a predefined root key, as records and notes name it.
uint32_t RootNumber(HKEY root);

// Applies registry key record index of the option: key path and value data expanded, default
// value and value name as written. 0 when it fails, also for a record whose fields were cut, an
// unknown root or an expansion that does not fit.
int ApplyRegistryKey(const Option* option, int index);
