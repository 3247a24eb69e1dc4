#include "script/file_entry.h"

#include <cstring>

#include "script/fields.h"
#include "script/placeholders.h"
#include "script/script_profile.h"
#include "script/records.h"
#include "startup/paths.h"
#include "startup/platform.h"
#include "startup/text.h"

namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// The text after the next "/" from p, or the end of the text when there is none.
const char* AfterSlash(const char* p) {
  const char* slash = strchr(p, '/');
  return slash ? slash + 1 : p + strlen(p);
}

const char* AfterDot(const char* p) {
  const char* dot = strchr(p, '.');
  return dot ? dot + 1 : p + strlen(p);
}

}  // namespace

uint64_t DateToFileTime(int year, int month, int day) {
  // The parts land in the 16-bit fields of a calendar date first, as the platform's date
  // structure holds them; the year then counts as signed, so 32768 and above are invalid.
  int y = static_cast<int16_t>(static_cast<uint16_t>(year));
  int m = static_cast<uint16_t>(month);
  int d = static_cast<uint16_t>(day);
  // The platform's documented range of years; Feb 29 only in leap years.
  if (y < 1601 || y > 30827 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return 0;
  int years = y - 1601;  // below 30,000: the day count fits an int
  int64_t days = years * 365 + years / 4 - years / 100 + years / 400;
  for (int i = 1; i < m; ++i) days += DaysInMonth(y, i);
  days += d - 1;
  return static_cast<uint64_t>(days) * 864000000000ull;
}

FileEntryStatus ParseFileEntry(const char* value, int n, FileEntry* entry) {
  memset(entry, 0, sizeof *entry);
  if (!value || !*value) return kEntryEmpty;
  entry->Number = n;
  int pos = 0;
  char field[kPathChars];

  if (NextField(value, &pos, field)) entry->Disk = field[0] ? AtoiSaturated(field) : 1;
  if (NextField(value, &pos, field)) entry->Split = strcmp(field, "SPLIT") == 0;
  if (!NextField(value, &pos, entry->SourceName, &entry->TooLong)) return kEntryNoSource;
  NextField(value, &pos, entry->TargetName, &entry->TooLong);
  if (!entry->TargetName[0]) CopyText(entry->TargetName, entry->SourceName);

  if (!NextField(value, &pos, field) || !field[0]) return kEntryNoDestination;
  // Only the class of the destination counts, taken from the field's own placeholders: an
  // expansion would stop at its buffer and miss a class that a long install folder pushes out.
  entry->DestKind = PlaceholderClass(field, kDestOptionFolder);

  int32_t kindCut = 0;
  if (NextField(value, &pos, field, &kindCut)) {
    // The keywords are tested as prefixes up to their name: "$(DLLSelfRegisterX)" counts as
    // kind 1 too, so the closing parenthesis is not compared.
    entry->FileKind = kKindNone;
    if (StartsWith(field, "$(DLLSelfRegister")) entry->FileKind = kKindDllSelfRegister;
    else if (StartsWith(field, "$(EXESelfRegister")) entry->FileKind = kKindExeSelfRegister;
    else if (StartsWith(field, "$(Remote")) entry->FileKind = kKindRemote;
    else if (StartsWith(field, "$(KRVRegister")) entry->FileKind = kKindProductData;
    else if (field[0]) {
      entry->FileKind = kKindOther;
      CopyText(entry->KindText, field);
      entry->TooLong |= kindCut;
    }
  }

  field[0] = 0;
  NextField(value, &pos, field);
  entry->Shared = StartsWith(field, "$(Shared)");

  char date[40] = "";
  NextField(value, &pos, date);
  if (date[0]) {
    int month = AtoiSaturated(date);
    const char* dayText = AfterSlash(date);
    int day = AtoiSaturated(dayText);
    int year = AtoiSaturated(AfterSlash(dayText));
    uint64_t time = DateToFileTime(year, month, day);
    entry->FileTimeLow = static_cast<uint32_t>(time);
    entry->FileTimeHigh = static_cast<uint32_t>(time >> 32);
  }

  field[0] = 0;
  NextField(value, &pos, field);
  entry->Size = Atoi64Saturated(field);
  if (entry->Size <= 0) return kEntryBadSize;

  if (!NextField(value, &pos, field)) return kEntryComplete;
  uint32_t parts[4];
  const char* p = field;
  for (int i = 0; i < 4; ++i) {
    parts[i] = static_cast<uint32_t>(AtoiSaturated(p)) & 0xFFFFu;
    p = AfterDot(p);
  }
  entry->VersionMS = parts[0] << 16 | parts[1];
  entry->VersionLS = parts[2] << 16 | parts[3];
  return kEntryComplete;
}

int ReadFileEntry(const char* section, int n, FileEntry* entry) {
  char key[32];
  char value[kValueChars];
  FormatText(key, "File%d", n);
  ReadScriptString(section, key, value, sizeof value);
  FileEntryStatus status = ParseFileEntry(value, n, entry);
  const char* format = nullptr;
  const char* caption = "";
  switch (status) {
    case kEntryComplete: return 1;
    case kEntryEmpty: return 0;
    case kEntryNoSource: format = "Fehlende Quelldatei in [%s] File%d"; break;
    case kEntryNoDestination: format = "Fehlendes Zielverzeichnis in [%s] File%d"; break;
    case kEntryBadSize:
      format = "Fehlende oder ungültige Dateigröße in [%s] File%d";
      caption = nullptr;  // the platform's default caption
      break;
  }
  char text[kValueChars];
  FormatText(text, format, section, n);
  ShowOwnerlessMessage(text, caption, kBoxIconError);
  return 0;
}
