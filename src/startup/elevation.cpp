#include "startup/elevation.h"

#include <cstring>

#include "startup/paths.h"
#include "startup/text.h"

int ElevatedArgumentsN(char* output, size_t cap, int autorunCheck, const char* arguments) {
  if (cap == 0) return 0;
  output[0] = 0;
  if (autorunCheck < 0 || autorunCheck > 2) return 0;
  char marker[16];
  FormatText(marker, "%s%d", kElevatedMarker, autorunCheck);
  // A cut command line would run the setup with other arguments than its user gave.
  if (strlen(marker) + (arguments[0] ? 1 + strlen(arguments) : 0) >= cap) return 0;
  CopyTextN(output, cap, marker);
  if (arguments[0]) {
    AppendTextN(output, cap, " ");
    AppendTextN(output, cap, arguments);
  }
  return 1;
}

int TakeElevatedMarker(const char** commandLine, int* autorunCheck) {
  const char* p = *commandLine;
  if (!StartsWith(p, kElevatedMarker)) return 0;
  p += strlen(kElevatedMarker);
  if (*p < '0' || *p > '2' || (p[1] != 0 && p[1] != ' ')) return 0;
  *autorunCheck = *p - '0';
  *commandLine = p[1] ? p + 2 : p + 1;
  return 1;
}
