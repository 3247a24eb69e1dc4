#include "script/record_parsers.h"

#include <cstring>
#include <iterator>

#include "script/fields.h"

uint32_t RootKeyFromName(const char* name) {
  static const struct {
    const char* Name;
    uint32_t Root;
  } kRoots[] = {
      {"HKEY_CLASSES_ROOT", kRootClassesRoot},     {"HKEY_CURRENT_USER", kRootCurrentUser},
      {"HKEY_LOCAL_MACHINE", kRootLocalMachine},   {"HKEY_USERS", kRootUsers},
      {"HKEY_CURRENT_CONFIG", kRootCurrentConfig}, {"HKEY_DYN_DATA", kRootDynData},
  };
  for (const auto& root : kRoots)
    if (strcmp(name, root.Name) == 0) return root.Root;
  return 0;
}

void ParseRegisterKey(const char* value, RegisterKeyRecord* record) {
  memset(record, 0, sizeof *record);
  int pos = 0;
  char root[32] = "";
  NextField(value, &pos, root);
  record->Root = RootKeyFromName(root);
  NextField(value, &pos, record->KeyPath);
  NextField(value, &pos, record->DefaultValue);
  NextField(value, &pos, record->ValueName);
  NextField(value, &pos, record->ValueData);
}

void ParseFileType(const char* value, FileTypeRecord* record) {
  memset(record, 0, sizeof *record);
  int pos = 0;
  NextField(value, &pos, record->Extension);
  NextField(value, &pos, record->TypeName);
  NextField(value, &pos, record->TypeDescription);
  for (FileTypeEntry& entry : record->Entries) {
    if (!NextField(value, &pos, entry.SubKey)) break;
    NextField(value, &pos, entry.SubKeyDefault);
    NextField(value, &pos, entry.SubValueName);
    NextField(value, &pos, entry.SubValueData);
  }
}

void ParseIni(const char* value, IniRecord* record) {
  memset(record, 0, sizeof *record);
  int pos = 0;
  NextField(value, &pos, record->IniFile);
  NextField(value, &pos, record->IniSection);
  NextField(value, &pos, record->IniKey);
  NextField(value, &pos, record->IniValue);
}

void ParseLink(const char* value, LinkRecord* record) {
  memset(record, 0, sizeof *record);
  int pos = 0;
  NextField(value, &pos, record->LinkTarget);
  NextField(value, &pos, record->LinkFile);
}

void ParseSuccessRun(const char* value, SuccessRunRecord* record) {
  memset(record, 0, sizeof *record);
  int pos = 0;
  NextField(value, &pos, record->RunProgram);
  NextField(value, &pos, record->RunArguments);
  NextField(value, &pos, record->RunCaption);
}
