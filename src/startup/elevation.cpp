#include "startup/elevation.h"

#include <cstdint>
#include <cstring>

#include "startup/paths.h"
#include "startup/text.h"

int ElevatedArgumentsN(char* output, size_t cap, int autorunCheck, unsigned long firstCopy, const char* arguments) {
  if (cap == 0) return 0;
  output[0] = 0;
  if (autorunCheck < 0 || autorunCheck > 2) return 0;
  char marker[32];
  FormatText(marker, "%s%d:%lu", kElevatedMarker, autorunCheck, firstCopy);
  // A cut command line would run the setup with other arguments than its user gave.
  if (strlen(marker) + (arguments[0] ? 1 + strlen(arguments) : 0) >= cap) return 0;
  CopyTextN(output, cap, marker);
  if (arguments[0]) {
    AppendTextN(output, cap, " ");
    AppendTextN(output, cap, arguments);
  }
  return 1;
}

int TakeElevatedMarker(const char** commandLine, int* autorunCheck, unsigned long* firstCopy) {
  const char* p = *commandLine;
  if (!StartsWith(p, kElevatedMarker)) return 0;
  p += strlen(kElevatedMarker);
  if (*p < '0' || *p > '2') return 0;
  int check = *p++ - '0';
  unsigned long id = 0;
  if (*p == ':') {
    const char* digits = ++p;
    while (*p >= '0' && *p <= '9' && id <= 0xFFFFFFFFul / 10) id = id * 10 + static_cast<unsigned long>(*p++ - '0');
    if (p == digits) return 0;
  }
  if (*p != 0 && *p != ' ') return 0;
  *autorunCheck = check;
  *firstCopy = id;
  *commandLine = *p ? p + 1 : p;
  return 1;
}

void ReportPipeName(char (&name)[64], unsigned long firstCopy) {
  FormatText(name, "\\\\.\\pipe\\SetupReport.%lu", firstCopy);
}

int FormatSidN(char* output, size_t cap, const unsigned char* sid) {
  // Revision, count of sub-authorities, the authority in six bytes (most significant first),
  // then each sub-authority in four (least significant first).
  uint64_t authority = 0;
  for (int i = 2; i < 8; ++i) authority = authority << 8 | sid[i];
  size_t n = FormatTextN(output, cap, "S-%u-%llu", sid[0], static_cast<unsigned long long>(authority));
  for (int i = 0; i < sid[1]; ++i) {
    const unsigned char* p = sid + 8 + 4 * i;
    unsigned long part = p[0] | p[1] << 8 | p[2] << 16 | static_cast<unsigned long>(p[3]) << 24;
    n += FormatTextN(output + n, cap - n, "-%lu", part);
  }
  return n + 1 < cap;
}
