#include <windows.h>

#include <cstring>

#include "install/setup_log.h"
#include "script/placeholders.h"
#include "script/records.h"
#include "startup/text.h"
#include "system/file_types.h"
#include "system/registry.h"

namespace {

const char kQuestion[] =
    "Soll die bisherige Verknüpfung von %s-Dateien mit Dateien vom Typ \"%s\" in eine Verknüpfung von Dateien des "
    "Typs \"%s\" erfolgen?\nDie bisherige Verknüpfung geht dabei verloren!";

// One sub key of the type, expanded.
struct SubKeyWrite {
  char KeyPath[kPathChars];
  char Default[kPathChars];
  char ValueName[kPathChars];
  char ValueData[kPathChars];
};

// Expands every sub key of the record (those before the first empty one); 0 when one does not
// fit, so the record is refused before anything is changed.
int ExpandSubKeys(const FileTypeRecord& record, SubKeyWrite (&writes)[kFileTypeEntries], int* count) {
  *count = 0;
  for (const FileTypeEntry& entry : record.Entries) {
    if (!entry.SubKey[0]) break;
    SubKeyWrite& write = writes[(*count)++];
    char subKey[kPathChars];
    CopyText(write.KeyPath, record.TypeName);
    size_t length = strlen(write.KeyPath);
    if (length > 0 && write.KeyPath[length - 1] != '\\') AppendText(write.KeyPath, "\\");
    if (!ExpandPlaceholders(subKey, entry.SubKey) || strlen(write.KeyPath) + strlen(subKey) >= kPathChars) return 0;
    AppendText(write.KeyPath, subKey);
    if (!ExpandPlaceholders(write.Default, entry.SubKeyDefault) ||
        !ExpandPlaceholders(write.ValueName, entry.SubValueName) ||
        !ExpandPlaceholders(write.ValueData, entry.SubValueData))
      return 0;
  }
  return 1;
}

}  // namespace

int ApplyFileType(const Option* option, int index, ConfirmTypeChange confirm) {
  const FileTypeRecord& record = option->RegisterFileTypes[index];
  // Without an extension or a type name the writes below would land on HKEY_CLASSES_ROOT itself.
  if (record.TooLong || !record.Extension[0] || !record.TypeName[0]) return 0;
  SubKeyWrite writes[kFileTypeEntries];
  int count = 0;
  if (!ExpandSubKeys(record, writes, &count)) return 0;

  char current[kPathChars] = "";
  int found = ReadRegistryText(HKEY_CLASSES_ROOT, record.Extension, nullptr, current, sizeof current);
  // A value that stands but cannot be read as a type name (not a text, or too long) belongs to
  // another type as much as a name does.
  if (found == kRegistryValueNotText || (current[0] && lstrcmpiA(current, record.TypeName) != 0)) {
    // The old type's description, or its name when its key cannot be read.
    char oldName[kPathChars];
    CopyText(oldName, current);
    if (oldName[0]) ReadRegistryString(HKEY_CLASSES_ROOT, oldName, nullptr, current);
    char question[kValueChars];
    FormatText(question, kQuestion, record.Extension, current, record.TypeDescription);
    if (!confirm(question)) return 1;
  }

  DeleteRegistryKey(HKEY_CLASSES_ROOT, record.Extension);
  WriteLogLine(kLogRegisterFileType, record.Extension);
  if (!WriteRegistryKey(HKEY_CLASSES_ROOT, record.Extension, record.TypeName, nullptr, nullptr)) return 0;
  DeleteRegistryKey(HKEY_CLASSES_ROOT, record.TypeName);
  int result = WriteRegistryKey(HKEY_CLASSES_ROOT, record.TypeName, record.TypeDescription, nullptr, nullptr);
  for (int i = 0; i < count && result; ++i)
    result = WriteRegistryKey(HKEY_CLASSES_ROOT, writes[i].KeyPath, writes[i].Default, writes[i].ValueName,
                              writes[i].ValueData);
  return result;
}
