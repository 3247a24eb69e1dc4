#include "script/fields.h"

#include "script/records.h"

int NextFieldN(const char* value, int* position, char* field, size_t cap, int32_t* tooLong) {
  const char* p = value + *position;
  size_t n = 0;
  int found = 0;
  auto put = [&](char c) {
    if (n + 1 < cap) field[n++] = c;
    else if (tooLong) *tooLong = 1;
  };
  for (;;) {
    char c = *p;
    if (c == 0) break;
    if (c == ',') {
      ++p;
      found = 1;
      break;
    }
    if (c == '"') {
      ++p;
      if (*p == 0) break;  // a quote as the last character opens nothing
      found = 1;
      while (*p && *p != '"') put(*p++);
      if (*p == '"') ++p;
      continue;
    }
    put(c);
    found = 1;
    ++p;
  }
  if (cap) field[n] = 0;
  *position = static_cast<int>(p - value);
  return found;
}

void UnescapeText(char* text) {
  char* out = text;
  for (const char* p = text; *p; ++p) {
    if (*p != '\\') {
      *out++ = *p;
      continue;
    }
    char next = p[1];
    if (next == 0) break;  // a backslash at the very end is dropped
    ++p;
    if (next == '"') *out++ = '"';
    else if (next == '\\') *out++ = '\\';
    else if (next == 'n') *out++ = '\n';
    else if (next == 'r') *out++ = '\r';
  }
  *out = 0;
}

void UnescapeDescription(Option* option) { UnescapeText(option->Description); }
