#include <windows.h>

#include <cstdint>
#include <cstdlib>

#include "install/setup_log.h"
#include "install/shared_dlls.h"
#include "install/undo_journal.h"
#include "startup/state.h"
#include "startup/text.h"
#include "system/registry.h"

const char kSharedDllsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

namespace {

constexpr uint64_t kCountLimit = 0xFFFFFFFFu;

// An open registry key, closed when it goes out of scope.
struct RegKey {
  HKEY key = nullptr;
  RegKey() = default;
  ~RegKey() {
    if (key) RegCloseKey(key);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
};

enum StoredState { kStoredMissing, kStoredNumber, kStoredOther };

struct StoredCount {
  StoredState State = kStoredMissing;
  uint32_t Type = kRegDword;
  DWORD Size = 0;
  uint64_t Count = 0;
};

StoredCount ReadStoredCount(HKEY root, const char* keyPath, const char* valueName) {
  StoredCount stored;
  RegKey key;
  if (RegOpenKeyExA(root, keyPath, 0, KEY_QUERY_VALUE, &key.key) != ERROR_SUCCESS) return stored;
  DWORD type = 0, size = 0;
  LONG status = RegQueryValueExA(key.key, valueName, nullptr, &type, nullptr, &size);
  if (status == ERROR_FILE_NOT_FOUND) return stored;
  stored.State = kStoredOther;  // present, but perhaps not a number we can read
  if (status != ERROR_SUCCESS) return stored;
  // A count written as text may be long (leading zeros); it is read whole.
  unsigned char* data = static_cast<unsigned char*>(malloc(size ? size : 1));
  if (!data) return stored;
  status = RegQueryValueExA(key.key, valueName, nullptr, &type, data, &size);
  stored.Type = type;
  stored.Size = size;
  if (status == ERROR_SUCCESS && DecodeStoredCount(type, data, size, &stored.Count)) stored.State = kStoredNumber;
  free(data);
  return stored;
}

}  // namespace

int ReadRegistryDword(HKEY root, const char* keyPath, const char* valueName, uint32_t* value) {
  StoredCount stored = ReadStoredCount(root, keyPath, valueName);
  *value = 0;
  if (stored.State != kStoredNumber) return 0;
  *value = static_cast<uint32_t>(stored.Count > kCountLimit ? kCountLimit : stored.Count);
  return 1;
}

int WriteRegistryDword(HKEY root, const char* keyPath, const uint32_t* defaultValue, const char* valueName,
                       uint32_t value) {
  RegKey key;
  if (RegCreateKeyExA(root, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key.key,
                      nullptr) != ERROR_SUCCESS)
    return 0;
  char defaultText[16] = "", valueText[16] = "";
  if (defaultValue) {
    DWORD data = *defaultValue;
    if (RegSetValueExA(key.key, nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) !=
        ERROR_SUCCESS)
      return 0;
    FormatText(defaultText, "%lu", static_cast<unsigned long>(data));
  }
  bool named = valueName && valueName[0];
  if (named) {
    DWORD data = value;
    if (RegSetValueExA(key.key, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) !=
        ERROR_SUCCESS)
      return 0;
    FormatText(valueText, "%lu", static_cast<unsigned long>(data));
  }
  WriteRegisterLine(RootNumber(root), keyPath, defaultText, named ? valueName : "", valueText);
  return 1;
}

namespace {

int RaiseCount(const char* path) {
  StoredCount stored = ReadStoredCount(HKEY_LOCAL_MACHINE, kSharedDllsKey, path);
  // Another installer's value that is no number is its business: never replace it.
  if (stored.State == kStoredOther) return 0;
  if (stored.Count >= kCountLimit) return 0;  // saturated: a wrap to 0 would lower it
  uint64_t next = stored.Count + 1;
  if (stored.State == kStoredMissing || stored.Type == kRegDword)
    return WriteRegistryDword(HKEY_LOCAL_MACHINE, kSharedDllsKey, nullptr, path, static_cast<uint32_t>(next));
  // Written back in the type the count was found in.
  unsigned char data[32];
  size_t size = EncodeStoredCount(stored.Type, next, stored.Size, data, sizeof data);
  if (size == 0) return 0;
  RegKey key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &key.key, nullptr) != ERROR_SUCCESS)
    return 0;
  return RegSetValueExA(key.key, path, 0, stored.Type, data, static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

}  // namespace

// Notes the count as it stands, before it changes.
int NoteSharedCount(const char* path) {
  if (!UndoJournalActive()) return 1;
  unsigned long type = 0, size = 0;
  unsigned char* data = nullptr;
  int present = ReadWholeValue(HKEY_LOCAL_MACHINE, kSharedDllsKey, path, &type, &data, &size);
  UndoLine line("S");
  line.Text(path).Data(type, present ? data : nullptr, size);
  free(data);
  return NoteKeyCreation(HKEY_LOCAL_MACHINE, kSharedDllsKey) && UndoNoteNow(line);
}

int AddSharedDllReference(const char* path) {
  // One reference per run: a removal takes one away again.
  if (!FirstReferenceThisRun(path)) return 0;
  if (!NoteSharedCount(path)) return 0;
  // The count is bookkeeping of the system, not a step of this setup: it leaves no log line.
  LogEnabled = 0;
  int written = RaiseCount(path);
  LogEnabled = 1;
  return written;
}

int RestoreSharedCount(const char* path, const char* prior) {
  uint32_t type = 0;
  size_t size = 0;
  int present = 0;
  unsigned char data[64];
  if (!DecodeUndoData(prior, &type, data, sizeof data, &size, &present)) return 0;
  RegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, KEY_SET_VALUE, &key.key) != ERROR_SUCCESS) return !present;
  if (!present) {
    LONG status = RegDeleteValueA(key.key, path);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }
  return RegSetValueExA(key.key, path, 0, type, data, static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

int ReleaseSharedCount(const char* path, uint64_t* left) {
  *left = 0;
  StoredCount stored = ReadStoredCount(HKEY_LOCAL_MACHINE, kSharedDllsKey, path);
  // No count, or one that is no number: nothing of it is this product's to take away.
  if (stored.State != kStoredNumber || stored.Count == 0) return 0;
  if (!NoteSharedCount(path)) return 0;
  RegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDllsKey, 0, KEY_SET_VALUE, &key.key) != ERROR_SUCCESS) return 0;
  *left = stored.Count - 1;
  // Nobody uses the file any more: the count goes, as Windows' own uninstallers leave it.
  if (*left == 0) return RegDeleteValueA(key.key, path) == ERROR_SUCCESS;
  unsigned char data[32];
  size_t size = EncodeStoredCount(stored.Type, *left, stored.Size, data, sizeof data);
  return size > 0 && RegSetValueExA(key.key, path, 0, stored.Type, data, static_cast<DWORD>(size)) == ERROR_SUCCESS;
}
