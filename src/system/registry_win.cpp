#include <windows.h>

#include <cstring>

#include <cstdlib>

#include "install/setup_log.h"
#include "install/undo_journal.h"
#include "script/placeholders.h"
#include "script/records.h"
#include "startup/state.h"
#include "startup/text.h"
#include "startup/win_guards.h"
#include "system/registry.h"

uint32_t RootNumber(HKEY root) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(root)); }

namespace {

// How a note names a key: its root's number and its path. The hive of the account that started
// an elevated run is held by a handle the record cannot keep: it is named below HKEY_USERS.
struct NotedKey {
  char Root[12];
  char Path[kPathChars + sizeof UserHiveName];
  size_t Prefix;  // the length of what stands before the key path itself
};

int NameKey(NotedKey* noted, HKEY root, const char* keyPath) {
  uint32_t number = RootNumber(root);
  noted->Path[0] = 0;
  if (UserHive && root == static_cast<HKEY>(UserHive)) {
    number = kRootUsers;
    FormatText(noted->Path, "%s\\", UserHiveName);
  }
  noted->Prefix = strlen(noted->Path);
  FormatText(noted->Root, "%08lX", static_cast<unsigned long>(number));
  return strlen(keyPath) + noted->Prefix < sizeof noted->Path && AppendText(noted->Path, keyPath);
}

bool KeyExists(HKEY root, const char* keyPath) {
  RegKey key;
  return RegOpenKeyExA(root, keyPath, 0, KEY_READ, key.Out()) == ERROR_SUCCESS;
}

LONG SetString(HKEY key, const char* name, const char* text) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(strlen(text)));
}

// A value of an open key as text (the default value for a null or empty name).
int QueryText(HKEY key, const char* valueName, char* buffer, size_t size) {
  const char* name = valueName && valueName[0] ? valueName : nullptr;
  DWORD type = 0;
  DWORD length = static_cast<DWORD>(size);
  LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &length);
  if (status == ERROR_FILE_NOT_FOUND) return kRegistryValueAbsent;
  // A value may come without its terminating zero (this program writes its own so): the text
  // ends at the length returned, and one that fills the buffer without a zero is too long.
  size_t text = status == ERROR_SUCCESS && length <= size ? strnlen(buffer, length) : size;
  if (type != REG_SZ || text >= size) {
    buffer[0] = 0;
    return kRegistryValueNotText;
  }
  buffer[text] = 0;
  return kRegistryValueRead;
}

}  // namespace

HKEY RootKey(uint32_t root) {
  // An administrator's copy started by a standard user writes the user's records into the
  // user's hive; where that cannot be opened they fail rather than land in another account.
  if (root == kRootCurrentUser && OtherUserRecords) return static_cast<HKEY>(UserHive);
  return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<int32_t>(root)));
}

int WriteRegistryKey(HKEY root, const char* keyPath, const char* defaultText, const char* valueName,
                     const char* valueText) {
  // An empty key path would open the root itself: a value written there lands at the top of
  // the hive.
  if (!root || !keyPath || !keyPath[0]) return 0;
  if (!defaultText) defaultText = "";
  bool named = valueName && valueName[0];
  char standing[kPathChars] = "";
  bool keepDefault = false;
  {
    RegKey existing;
    keepDefault = !defaultText[0] && RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, existing.Out()) == ERROR_SUCCESS &&
                  QueryText(existing.Get(), nullptr, standing, sizeof standing) != kRegistryValueAbsent;
  }
  // Nothing written, nothing logged.
  if (keepDefault && !named) return 1;
  if (!NoteKeyCreation(root, keyPath) || (!keepDefault && !NoteValueChange(root, keyPath, nullptr)) ||
      (named && !NoteValueChange(root, keyPath, valueName)) || !UndoFlush())
    return 0;
  RegKey key;
  if (RegCreateKeyExA(root, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.Out(),
                      nullptr) != ERROR_SUCCESS)
    return 0;
  if (!keepDefault && SetString(key.Get(), nullptr, defaultText) != ERROR_SUCCESS) return 0;
  if (named && SetString(key.Get(), valueName, valueText ? valueText : "") != ERROR_SUCCESS) return 0;
  // The line gives the default value the key holds now: a kept one, not the empty text.
  WriteRegisterLine(RootNumber(root), keyPath, keepDefault ? standing : defaultText, named ? valueName : "",
                    named && valueText ? valueText : "");
  return 1;
}

int ReadWholeValue(HKEY root, const char* keyPath, const char* valueName, unsigned long* type, unsigned char** data,
                   unsigned long* size) {
  *data = nullptr;
  *size = 0;
  RegKey key;
  if (RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, key.Out()) != ERROR_SUCCESS) return 0;
  const char* name = valueName && valueName[0] ? valueName : nullptr;
  // The value may grow between the two reads: asked again with the new size.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD length = 0, kind = 0;
    if (RegQueryValueExA(key.Get(), name, nullptr, &kind, nullptr, &length) != ERROR_SUCCESS) return 0;
    unsigned char* bytes = static_cast<unsigned char*>(malloc(length ? length : 1));
    if (!bytes) return 0;
    LONG status = RegQueryValueExA(key.Get(), name, nullptr, &kind, bytes, &length);
    if (status == ERROR_SUCCESS) {
      *type = kind;
      *data = bytes;
      *size = length;
      return 1;
    }
    free(bytes);
    if (status != ERROR_MORE_DATA) return 0;
  }
  return 0;
}

int NoteKeyCreation(HKEY root, const char* keyPath) {
  if (!UndoJournalActive() || !keyPath || !keyPath[0]) return 1;
  NotedKey noted;
  if (!NameKey(&noted, root, keyPath)) return 0;
  size_t length = strlen(keyPath);
  unsigned short ends[kPathChars];  // where each level of the path ends
  int levels = 0;
  for (size_t i = 0; i <= length && levels < kPathChars; ++i)
    if (i == length || keyPath[i] == '\\') ends[levels++] = static_cast<unsigned short>(i);
  char prefix[kPathChars];
  auto prefixOf = [&](int level) {
    memcpy(prefix, keyPath, ends[level]);
    prefix[ends[level]] = 0;
  };
  // The first missing level, looked for from the bottom up.
  int missing = levels;
  for (; missing > 0; --missing) {
    prefixOf(missing - 1);
    if (KeyExists(root, prefix)) break;
  }
  for (int level = missing; level < levels; ++level) {
    // The noted path up to this level: what stands before the key path, and the level's prefix.
    noted.Path[noted.Prefix + ends[level]] = 0;
    UndoLine line("K");
    line.Text(noted.Root).Text(noted.Path);
    noted.Path[noted.Prefix + ends[level]] = keyPath[ends[level]];
    if (!UndoNote(line)) return 0;
  }
  return 1;
}

int NoteValueChange(HKEY root, const char* keyPath, const char* valueName) {
  if (!UndoJournalActive()) return 1;
  NotedKey noted;
  if (!NameKey(&noted, root, keyPath)) return 0;
  unsigned long type = 0, size = 0;
  unsigned char* data = nullptr;
  int present = ReadWholeValue(root, keyPath, valueName, &type, &data, &size);
  UndoLine line("V");
  line.Text(noted.Root).Text(noted.Path).Text(valueName ? valueName : "").Data(type, present ? data : nullptr, size);
  free(data);
  return UndoNote(line);
}

int NoteKeyDeletion(HKEY root, const char* keyPath) {
  if (!UndoJournalActive()) return 1;
  RegKey key;
  if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, key.Out()) != ERROR_SUCCESS) return 1;
  DWORD subKeys = 0, values = 0, longestName = 0, longestData = 0;
  if (RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, &longestName,
                       &longestData, nullptr, nullptr) != ERROR_SUCCESS)
    return 0;
  if (subKeys > 0) return 1;  // such a key is not deleted
  NotedKey noted;
  if (!NameKey(&noted, root, keyPath)) return 0;
  UndoLine line("X");
  line.Text(noted.Root).Text(noted.Path);
  char* name = static_cast<char*>(malloc(longestName + 2));
  unsigned char* data = static_cast<unsigned char*>(malloc(longestData + 1));
  int ok = name && data;
  for (DWORD i = 0; ok && i < values; ++i) {
    DWORD nameLength = longestName + 2, dataLength = longestData + 1, type = 0;
    ok = RegEnumValueA(key.Get(), i, name, &nameLength, nullptr, &type, data, &dataLength) == ERROR_SUCCESS;
    if (ok) line.Data(0, name, nameLength).Data(type, data, dataLength);
  }
  free(name);
  free(data);
  return ok && UndoNote(line);
}

int SetRegistryValue(HKEY root, const char* keyPath, const char* valueName, unsigned long type, const void* data,
                     unsigned long size) {
  if (!NoteKeyCreation(root, keyPath) || !NoteValueChange(root, keyPath, valueName) || !UndoFlush()) return 0;
  RegKey key;
  return RegCreateKeyExA(root, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.Out(),
                         nullptr) == ERROR_SUCCESS &&
         RegSetValueExA(key.Get(), valueName && valueName[0] ? valueName : nullptr, 0, type,
                        static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

int ReadRegistryText(HKEY root, const char* keyPath, const char* valueName, char* buffer, size_t size) {
  if (!root || size == 0) return kRegistryValueAbsent;
  RegKey key;
  if (RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, key.Out()) != ERROR_SUCCESS) return kRegistryValueAbsent;
  return QueryText(key.Get(), valueName, buffer, size);
}

int DeleteRegistryKey(HKEY root, const char* keyPath) {
  if (!root || !keyPath || !keyPath[0]) return 0;
  {
    RegKey key;
    if (RegOpenKeyExA(root, keyPath, 0, KEY_READ, key.Out()) != ERROR_SUCCESS) return 0;
    DWORD subKeys = 0;
    if (RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS ||
        subKeys > 0)
      return 0;
  }
  if (!NoteKeyDeletion(root, keyPath) || !UndoFlush()) return 0;
  return RegDeleteKeyA(root, keyPath) == ERROR_SUCCESS;
}

int ApplyRegistryKey(const Option* option, int index) {
  const RegisterKeyRecord& record = option->RegisterKeys[index];
  if (record.TooLong || !record.Root) return 0;
  char keyPath[kPathChars], valueData[kPathChars];
  if (!ExpandPlaceholders(keyPath, record.KeyPath) || !ExpandPlaceholders(valueData, record.ValueData)) return 0;
  return WriteRegistryKey(RootKey(record.Root), keyPath, record.DefaultValue, record.ValueName, valueData);
}
