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
  int32_t* cut = &record->TooLong;
  NextField(value, &pos, root, cut);
  record->Root = RootKeyFromName(root);
  NextField(value, &pos, record->KeyPath, cut);
  NextField(value, &pos, record->DefaultValue, cut);
  NextField(value, &pos, record->ValueName, cut);
  NextField(value, &pos, record->ValueData, cut);
}

void ParseFileType(const char* value, FileTypeRecord* record) {
  memset(record, 0, sizeof *record);
  int pos = 0;
  int32_t* cut = &record->TooLong;
  NextField(value, &pos, record->Extension, cut);
  NextField(value, &pos, record->TypeName, cut);
  NextField(value, &pos, record->TypeDescription, cut);
  for (FileTypeEntry& entry : record->Entries) {
    if (!NextField(value, &pos, entry.SubKey, cut)) break;
    NextField(value, &pos, entry.SubKeyDefault, cut);
    NextField(value, &pos, entry.SubValueName, cut);
    NextField(value, &pos, entry.SubValueData, cut);
  }
}

void ParseIni(const char* value, IniRecord* record) {
  memset(record, 0, sizeof *record);
  int pos = 0;
  int32_t* cut = &record->TooLong;
  NextField(value, &pos, record->IniFile, cut);
  NextField(value, &pos, record->IniSection, cut);
  NextField(value, &pos, record->IniKey, cut);
  NextField(value, &pos, record->IniValue, cut);
}

void ParseLink(const char* value, LinkRecord* record) {
  memset(record, 0, sizeof *record);
  int pos = 0;
  NextField(value, &pos, record->LinkTarget, &record->TooLong);
  NextField(value, &pos, record->LinkFile, &record->TooLong);
}

void ParseSuccessRun(const char* value, SuccessRunRecord* record) {
  memset(record, 0, sizeof *record);
  int pos = 0;
  NextField(value, &pos, record->RunProgram, &record->TooLong);
  NextField(value, &pos, record->RunArguments, &record->TooLong);
  NextField(value, &pos, record->RunCaption, &record->TooLong);
}
