#include <windows.h>

#include <cstring>

#include "install/setup_log.h"
#include "script/placeholders.h"
#include "script/records.h"
#include "startup/text.h"
#include "startup/win_guards.h"
#include "system/registry.h"

namespace {

uint32_t RootNumber(HKEY root) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(root)); }

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
  return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<int32_t>(root)));
}

int WriteRegistryKey(HKEY root, const char* keyPath, const char* defaultText, const char* valueName,
                     const char* valueText) {
  // An empty key path would open the root itself: a value written there lands at the top of
  // the hive.
  if (!root || !keyPath || !keyPath[0]) return 0;
  if (!defaultText) defaultText = "";
  RegKey key;
  DWORD disposition = 0;
  if (RegCreateKeyExA(root, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.Out(),
                      &disposition) != ERROR_SUCCESS)
    return 0;
  char standing[kPathChars];
  bool keepDefault = !defaultText[0] && disposition != REG_CREATED_NEW_KEY &&
                     QueryText(key.Get(), nullptr, standing, sizeof standing) != kRegistryValueAbsent;
  bool named = valueName && valueName[0];
  // Nothing written, nothing logged.
  if (keepDefault && !named) return 1;
  if (!keepDefault && SetString(key.Get(), nullptr, defaultText) != ERROR_SUCCESS) return 0;
  if (named && SetString(key.Get(), valueName, valueText ? valueText : "") != ERROR_SUCCESS) return 0;
  // The line gives the default value the key holds now: a kept one, not the empty text.
  WriteRegisterLine(RootNumber(root), keyPath, keepDefault ? standing : defaultText, named ? valueName : "",
                    named && valueText ? valueText : "");
  return 1;
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
  return RegDeleteKeyA(root, keyPath) == ERROR_SUCCESS;
}

int ApplyRegistryKey(const Option* option, int index) {
  const RegisterKeyRecord& record = option->RegisterKeys[index];
  if (record.TooLong || !record.Root) return 0;
  char keyPath[kPathChars], valueData[kPathChars];
  if (!ExpandPlaceholders(keyPath, record.KeyPath) || !ExpandPlaceholders(valueData, record.ValueData)) return 0;
  return WriteRegistryKey(RootKey(record.Root), keyPath, record.DefaultValue, record.ValueName, valueData);
}
