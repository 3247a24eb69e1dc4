#include "startup/paths.h"

#include <cstring>

int StartsWith(const char* text, const char* prefix) {
  while (*prefix)
    if (*text++ != *prefix++) return 0;
  return 1;
}

size_t AddBackslashN(char* path, size_t cap) {
  size_t len = strnlen(path, cap);
  // A full buffer keeps its text: a cut path would be another path.
  if (len > 0 && path[len - 1] != '\\' && len + 1 < cap) {
    path[len] = '\\';
    path[len + 1] = 0;
  }
  return len;
}

int StripBackslash(char* path) {
  size_t len = strlen(path);
  if (len == 0 || path[len - 1] != '\\') return 0;
  path[len - 1] = 0;
  return 1;
}
