// File<n> values: syntax, checks and the file entry they yield.
#pragma once
#include <cstdint>

struct FileEntry;

enum FileEntryStatus : int {
  kEntryComplete = 0,
  kEntryEmpty,          // key missing or empty: no message, entry all zero
  kEntryNoSource,       // "Fehlende Quelldatei in [%s] File%d"
  kEntryNoDestination,  // "Fehlendes Zielverzeichnis in [%s] File%d"
  kEntryBadSize,        // "Fehlende oder ungültige Dateigröße in [%s] File%d"
};

// Splits and checks one File<n> value into entry (zeroed first). Pure: shows nothing.
FileEntryStatus ParseFileEntry(const char* value, int n, FileEntry* entry);

// Reads File<n> of the section into entry and reports a faulty value with its message box
// (owned by no window). 1 when the entry is complete; the caller keeps the entry either way.
int ReadFileEntry(const char* section, int n, FileEntry* entry);

// The file time of a calendar date at 00:00 (100-ns units since 1601-01-01), as the platform's
// SystemTimeToFileTime gives it for a date structure filled with these parts (each kept to its
// 16 bits there); 0 for an invalid date.
uint64_t DateToFileTime(int year, int month, int day);
