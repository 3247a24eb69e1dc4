// Fuzzes the File<n> value parser with arbitrary values, and the date conversion against the
// proleptic Gregorian calendar of the C++ library.
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>

#include "script/file_entry.h"
#include "script/records.h"

namespace {

template <size_t N> void CheckText(const char (&text)[N]) {
  if (strnlen(text, N) >= N) __builtin_trap();
}

// What SystemTimeToFileTime gives for a date structure with these 16-bit parts.
uint64_t CalendarFileTime(uint16_t year, uint16_t month, uint16_t day) {
  using namespace std::chrono;
  int y = static_cast<int16_t>(year);
  if (y < 1601 || y > 30827 || month > 12 || day > 31) return 0;
  year_month_day date{std::chrono::year{y}, std::chrono::month{month}, std::chrono::day{day}};
  if (!date.ok()) return 0;
  int64_t days = (sys_days(date) - sys_days(std::chrono::year{1601} / 1 / 1)).count();
  return static_cast<uint64_t>(days) * 864000000000ull;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 12) return 0;
  int32_t parts[3];
  memcpy(parts, data, sizeof parts);
  if (DateToFileTime(parts[0], parts[1], parts[2]) !=
      CalendarFileTime(static_cast<uint16_t>(parts[0]), static_cast<uint16_t>(parts[1]), static_cast<uint16_t>(parts[2])))
    __builtin_trap();

  // A profile value: no zero, at most 1023 characters.
  std::string value(reinterpret_cast<const char*>(data + 12), size - 12);
  value = value.c_str();
  if (value.size() > 1023) value.resize(1023);
  int n = parts[0];

  FileEntry entry;
  memset(&entry, 0xA5, sizeof entry);  // the parser zeroes it first
  FileEntryStatus status = ParseFileEntry(value.c_str(), n, &entry);
  CheckText(entry.SourceName);
  CheckText(entry.TargetName);
  CheckText(entry.KindText);

  if ((status == kEntryEmpty) != value.empty()) __builtin_trap();
  if (status == kEntryEmpty) {
    static const FileEntry zero{};
    if (memcmp(&entry, &zero, sizeof entry) != 0) __builtin_trap();
    return 0;
  }
  if (entry.Number != n || (entry.Split != 0 && entry.Split != 1) || (entry.Shared != 0 && entry.Shared != 1) ||
      entry.PresentSize != 0)
    __builtin_trap();
  if (entry.DestKind != kDestOptionFolder && entry.DestKind != kDestWinPath && entry.DestKind != kDestWinSysPath &&
      entry.DestKind != kDestNoCopy)
    __builtin_trap();
  if (entry.FileKind < kKindNone || entry.FileKind > kKindProductData) __builtin_trap();
  if ((entry.FileKind == kKindOther) != (entry.KindText[0] != 0)) __builtin_trap();
  if (status == kEntryComplete && entry.Size <= 0) __builtin_trap();
  if (status == kEntryBadSize && entry.Size > 0) __builtin_trap();
  if (status != kEntryComplete && (entry.VersionMS || entry.VersionLS)) __builtin_trap();
  uint64_t time = static_cast<uint64_t>(entry.FileTimeHigh) << 32 | entry.FileTimeLow;
  if (time % 864000000000ull != 0 || time > 0x7FFFFFFFFFFFFFFFull) __builtin_trap();
  if (status == kEntryNoSource && (entry.SourceName[0] || entry.TargetName[0] || entry.DestKind)) __builtin_trap();
  // An empty target name is replaced by the source name.
  if (status != kEntryNoSource && !entry.TargetName[0] && entry.SourceName[0]) __builtin_trap();
  return 0;
}
