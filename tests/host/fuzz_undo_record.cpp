// Fuzz target: the undo record as anyone may have written it. Whatever the bytes, the parser
// ends, every entry it takes is of a known kind with its texts ended within the record, and an
// untrusted record's entries keep to what such a record may touch.
#include <cstdlib>
#include <cstring>

#include "install/undo_record.h"

namespace {

const UndoPlace kPlace = {"Firma", "Produkt", "C:\\Programme\\Produkt", "C:\\Windows", "C:\\Windows\\system32",
                          {"C:\\Users\\Anna\\Start Menu\\Programs", "C:\\Users\\Anna\\Start Menu", "C:\\Users\\Anna\\Desktop"}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The header comes first, so the fuzzer spends its time on the entries.
  static const char kHeader[] = "UNDO\t1\tFirma\tProdukt\tC:\\Programme\\Produkt\r\nRUN\t1\t0000000000000001\r\n";
  size_t headerLength = sizeof kHeader - 1;
  int trusted = size > 0 && data[0] == 'T';
  char* bytes = static_cast<char*>(malloc(headerLength + size + 1));
  memcpy(bytes, kHeader, headerLength);
  if (size) memcpy(bytes + headerLength, data, size);
  // The quick look at the record's end, before the parser ends its fields in place.
  int closed = UndoRecordEndsClosed(bytes, headerLength + size);
  UndoRecord record;
  if (ParseUndoRecord(bytes, headerLength + size, kPlace, trusted, &record, nullptr, nullptr)) {
    for (int32_t i = 0; i < record.Count; ++i) {
      const UndoEntry& e = record.Entries[i];
      if (!strchr("PNRQCSGKVXIOU", e.Kind)) __builtin_trap();
      if (e.Path && strlen(e.Path) >= 260 && e.Kind != 'V' && e.Kind != 'K' && e.Kind != 'X') __builtin_trap();
      if (!trusted && (e.Kind == 'N' || e.Kind == 'R' || e.Kind == 'P') &&
          !IsBelow(e.Path, kPlace.InstallDir) && !IsBelow(e.Path, kPlace.LinkFolders[1]))
        __builtin_trap();
      if (e.Kind == 'X') {
        const char* name;
        const char* value;
        for (int32_t v = 0; DeletedValueAt(e, v, &name, &value); ++v) {
          uint32_t type;
          size_t n;
          int present;
          unsigned char out[64];
          DecodeUndoData(value, &type, out, sizeof out, &n, &present);
        }
      }
    }
    int32_t* newest = static_cast<int32_t*>(malloc((record.Count + 1) * sizeof(int32_t)));
    unsigned char* oldest = static_cast<unsigned char*>(malloc(record.Count + 1));
    FoldFileEntries(record, newest, oldest);
    for (int32_t i = 0; i < record.Count; ++i)
      if (oldest[i] && (newest[i] < i || newest[i] >= record.Count)) __builtin_trap();
    free(newest);
    free(oldest);
    // Where the parser took every line, the quick look agrees with it.
    if (closed && record.Refused == 0 && record.OpenRun != 0) __builtin_trap();
  }
  FreeUndoRecord(&record);
  return 0;
}
