#include "script/reader.h"

#include "script/fields.h"
#include "script/file_entry.h"
#include "script/record_parsers.h"
#include "script/records.h"
#include "startup/arena.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

// The labels have a table of their own rather than arena space: they are read again after
// every option, and a copy per option would cost 99 × 100 bytes of arena each time.
char DiskLabelTexts[kMaxDiskLabels][kDiskLabelChars];

// The value of <kind><n>, at most 1023 characters; its length, which is above that for a value
// that did not fit (read with one character more to see it).
size_t ReadRecordValue(const char* section, const char* kind, int n, char (&value)[kValueChars + 1]) {
  char key[48];
  FormatText(key, "%s%d", kind, n);
  size_t length = ReadScriptString(section, key, value, sizeof value);
  value[kValueChars - 1] = 0;
  return length;
}

// The value of <kind><n> parsed into record; a missing or empty key leaves it zero-filled. A
// value that did not fit would have lost its end (the last sub key of a file type, say): the
// record counts as cut, so it is refused and reported.
template <class Record, void (*Parse)(const char*, Record*)>
void ReadParsedRecord(const char* section, const char* kind, int n, Record* record) {
  char value[kValueChars + 1];
  size_t length = ReadRecordValue(section, kind, n, value);
  if (length == 0) return;
  Parse(value, record);
  if (length > kValueChars - 1) record->TooLong = 1;
}

// Records 1..count of a kind, in order, in an array carved from the arena; null when the
// count is not above 0 or the array cannot be carved. Each record keeps its slot, whatever
// its key holds.
template <class Record, class ReadOne> Record* ReadNumberedRecords(const char* section, int32_t count, ReadOne readOne) {
  if (count <= 0) return nullptr;
  Record* array = ArenaNewArray<Record>(count);
  if (!array) return nullptr;
  for (int32_t i = 1; i <= count; ++i) readOne(section, i, &array[i - 1]);
  return array;
}

// One counted array of an option: the count is stored only when the array could be carved.
template <class Record, class ReadOne>
void ReadCountedArray(const char* section, const char* countKey, int32_t* count, Record** records, ReadOne readOne) {
  int32_t n = ReadScriptInt(section, countKey);
  if (Record* array = ReadNumberedRecords<Record>(section, n, readOne)) {
    *records = array;
    *count = n;
  }
}

template <class Record, void (*Parse)(const char*, Record*)> void ReadOptionArray(
    const char* section, const char* kind, int32_t* count, Record** records) {
  char countKey[32];
  FormatText(countKey, "%sCount", kind);
  ReadCountedArray(section, countKey, count, records, [kind](const char* s, int n, Record* r) {
    ReadParsedRecord<Record, Parse>(s, kind, n, r);
  });
}

// The five record arrays of an option, in reading order.
void ReadOptionRecords(const char* section, Option* option) {
  ReadCountedArray(section, "FileCount", &option->FileCount, &option->FileEntries,
                   [](const char* s, int n, FileEntry* e) { ReadFileEntry(s, n, e); });
  ReadOptionArray<RegisterKeyRecord, ParseRegisterKey>(section, "RegisterKey", &option->RegisterKeyCount,
                                                       &option->RegisterKeys);
  ReadOptionArray<FileTypeRecord, ParseFileType>(section, "RegisterFileType", &option->RegisterFileTypeCount,
                                                 &option->RegisterFileTypes);
  ReadOptionArray<LinkRecord, ParseLink>(section, "Link", &option->LinkCount, &option->Links);
  ReadOptionArray<IniRecord, ParseIni>(section, "Ini", &option->IniCount, &option->Inis);
}

Option* ReadList(const char* stem, Option* parent, int single, int depth) {
  if (depth > kMaxOptionDepth) return nullptr;
  Option* first = nullptr;
  Option* previous = nullptr;
  for (int k = 1;; ++k) {
    char section[kSectionNameChars];
    // A section name that does not fit counts as absent.
    int fits = single ? FormatWholeText(section, "%s", stem) : FormatWholeText(section, "%s%d", stem, k);
    if (ArenaFailed() || !fits || !ScriptSectionPresent(section)) return first;

    Option* option = ArenaNew<Option>();
    if (!option) return first;
    option->Parent = parent;
    ReadScriptString(section, "Description", option->Description, sizeof option->Description);
    UnescapeDescription(option);
    ReadScriptString(section, "Name", option->Name, sizeof option->Name);
    ReadScriptString(section, "Destination", option->Destination, sizeof option->Destination);
    option->Install = ReadScriptInt(section, "Install");

    if (!first) first = option;
    if (previous) {
      previous->NextSibling = option;
      if (previous->NoCopyNode) previous->NoCopyNode->NextSibling = option;
    }
    previous = option;

    ReadOptionRecords(section, option);
    ReadDiskLabels();

    char childStem[kSectionNameChars];
    if (FormatWholeText(childStem, "%s%d:", stem, k)) option->FirstChild = ReadList(childStem, option, single, depth + 1);
    if (single) return option;

    char companion[kSectionNameChars];
    if (FormatWholeText(companion, "%sNoCopy", section)) option->NoCopyNode = ReadList(companion, option, 1, depth + 1);
  }
}

}  // namespace

Option* ReadOptionList(const char* stem, Option* parent, int single) {
  // A reading starts from the script as it is now.
  if (!parent) ForgetScriptSections();
  return ReadList(stem, parent, single, 0);
}

void ReadDiskLabels() {
  int32_t count = ReadScriptInt("Disks", "DiskCount");
  DiskCount = count < 0 ? 0 : count > kMaxDiskLabels ? kMaxDiskLabels : count;
  for (int32_t n = 1; n <= DiskCount; ++n) {
    char key[16];
    FormatText(key, "Disk%d", n);
    ReadScriptString("Disks", key, DiskLabelTexts[n - 1], kDiskLabelChars);
    DiskLabels[n - 1] = DiskLabelTexts[n - 1];
  }
}

void ReadSuccessRunList() {
  // The count stays as read even when the records cannot be stored.
  SuccessRunCount = ReadScriptInt("SuccessRun", "SuccessRunCount");
  SuccessRuns = ReadNumberedRecords<SuccessRunRecord>("SuccessRun", SuccessRunCount,
                                                      [](const char* s, int n, SuccessRunRecord* r) {
                                                        ReadParsedRecord<SuccessRunRecord, ParseSuccessRun>(
                                                            s, "SuccessRun", n, r);
                                                      });
}
