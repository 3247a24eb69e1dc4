#include "script/reader.h"


#include "script/fields.h"
#include "script/file_entry.h"
#include "script/record_parsers.h"
#include "script/records.h"
#include "startup/arena.h"
#include "startup/platform.h"
#include "startup/state.h"
#include "startup/text.h"

size_t ReadScriptString(const char* section, const char* key, char* buffer, size_t size) {
  return ProfileReadString(section, key, buffer, size);
}

int ScriptSectionPresent(const char* section) {
  char keys[kPathChars];
  return ProfileReadString(section, nullptr, keys, sizeof keys) > 0;
}

namespace {

// Reads the value of <kind><n>; 0 when it is missing or empty.
int ReadRecordValue(const char* section, const char* kind, int n, char (&value)[kValueChars]) {
  char key[48];
  FormatText(key, "%s%d", kind, n);
  return ReadScriptString(section, key, value, sizeof value) > 0;
}

// Records 1..n of a kind, in order, in an array carved from the arena; null when it cannot
// be carved. Each record keeps its slot, whatever its key holds.
template <class Record, class ReadOne> Record* ReadRecords(const char* section, int32_t n, ReadOne readOne) {
  if (n <= 0) return nullptr;
  Record* array = ArenaNewArray<Record>(n);
  if (!array) return nullptr;
  for (int32_t i = 1; i <= n; ++i) readOne(section, i, &array[i - 1]);
  return array;
}

// One counted array of an option: the count is stored only when the array could be carved.
template <class Record, class ReadOne>
void ReadRecordArray(const char* section, const char* countKey, int32_t* count, Record** records, ReadOne readOne) {
  int32_t n = ProfileReadInt(section, countKey);
  if (Record* array = ReadRecords<Record>(section, n, readOne)) {
    *records = array;
    *count = n;
  }
}

template <class Record, void (*Parse)(const char*, Record*)>
void ReadParsedRecord(const char* section, const char* kind, int n, Record* record) {
  char value[kValueChars];
  if (ReadRecordValue(section, kind, n, value)) Parse(value, record);
}

void ReadRecords(const char* section, Option* option) {
  ReadRecordArray(section, "FileCount", &option->FileCount, &option->FileEntries,
                  [](const char* s, int n, FileEntry* e) { ReadFileEntry(s, n, e); });
  ReadRecordArray(section, "RegisterKeyCount", &option->RegisterKeyCount, &option->RegisterKeys,
                  [](const char* s, int n, RegisterKeyRecord* r) {
                    ReadParsedRecord<RegisterKeyRecord, ParseRegisterKey>(s, "RegisterKey", n, r);
                  });
  ReadRecordArray(section, "RegisterFileTypeCount", &option->RegisterFileTypeCount, &option->RegisterFileTypes,
                  [](const char* s, int n, FileTypeRecord* r) {
                    ReadParsedRecord<FileTypeRecord, ParseFileType>(s, "RegisterFileType", n, r);
                  });
  ReadRecordArray(section, "LinkCount", &option->LinkCount, &option->Links, [](const char* s, int n, LinkRecord* r) {
    ReadParsedRecord<LinkRecord, ParseLink>(s, "Link", n, r);
  });
  ReadRecordArray(section, "IniCount", &option->IniCount, &option->Inis, [](const char* s, int n, IniRecord* r) {
    ReadParsedRecord<IniRecord, ParseIni>(s, "Ini", n, r);
  });
}

Option* ReadList(const char* stem, Option* parent, int single, int depth) {
  if (depth > kMaxOptionDepth) return nullptr;
  Option* first = nullptr;
  Option* previous = nullptr;
  for (int k = 1;; ++k) {
    char section[kSectionNameChars];
    // A section name that does not fit counts as absent.
    int fits = single ? FormatWholeText(section, "%s", stem) : FormatWholeText(section, "%s%d", stem, k);
    if (!fits || !ScriptSectionPresent(section)) return first;

    Option* option = ArenaNew<Option>();
    if (!option) return first;
    option->Parent = parent;
    ReadScriptString(section, "Description", option->Description, sizeof option->Description);
    UnescapeDescription(option);
    ReadScriptString(section, "Name", option->Name, sizeof option->Name);
    ReadScriptString(section, "Destination", option->Destination, sizeof option->Destination);
    option->Install = ProfileReadInt(section, "Install");

    if (!first) first = option;
    if (previous) {
      previous->NextSibling = option;
      if (previous->NoCopyNode) previous->NoCopyNode->NextSibling = option;
    }
    previous = option;

    ReadRecords(section, option);
    ReadDiskLabels();

    char childStem[kSectionNameChars];
    if (FormatWholeText(childStem, "%s%d:", stem, k)) option->FirstChild = ReadList(childStem, option, single, depth + 1);
    if (single) return option;

    char companion[kSectionNameChars];
    if (FormatWholeText(companion, "%sNoCopy", section)) option->NoCopyNode = ReadList(companion, option, 1, depth + 1);
  }
}

}  // namespace

Option* ReadOptionList(const char* stem, Option* parent, int single) { return ReadList(stem, parent, single, 0); }

void ReadDiskLabels() {
  int32_t count = ProfileReadInt("Disks", "DiskCount");
  DiskCount = count < 0 ? 0 : count > kMaxDiskLabels ? kMaxDiskLabels : count;
  for (int32_t n = 1; n <= DiskCount; ++n) {
    char* label = static_cast<char*>(ArenaAlloc(kDiskLabelChars));
    if (!label) continue;  // the arena has shown its message
    DiskLabels[n - 1] = label;
    char key[16];
    FormatText(key, "Disk%d", n);
    ReadScriptString("Disks", key, label, kDiskLabelChars);
  }
}

void ReadSuccessRunList() {
  // The count stays as read even when the records cannot be stored.
  SuccessRunCount = ProfileReadInt("SuccessRun", "SuccessRunCount");
  SuccessRuns = ReadRecords<SuccessRunRecord>("SuccessRun", SuccessRunCount, [](const char* s, int n, SuccessRunRecord* r) {
    ReadParsedRecord<SuccessRunRecord, ParseSuccessRun>(s, "SuccessRun", n, r);
  });
}
