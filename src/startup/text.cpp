#include "startup/text.h"

#include <climits>
#include <cstdio>

size_t CopyTextN(char* dst, size_t cap, const char* src) {
  if (cap == 0) return 0;
  size_t n = 0;
  if (src)
    while (n + 1 < cap && src[n]) {
      dst[n] = src[n];
      ++n;
    }
  dst[n] = 0;
  return n;
}

size_t AppendTextN(char* dst, size_t cap, const char* src) {
  if (cap == 0) return 0;
  size_t len = strnlen(dst, cap - 1);
  return len + CopyTextN(dst + len, cap - len, src);
}

size_t FormatTextV(char* dst, size_t cap, const char* fmt, va_list args) {
  if (cap == 0) return 0;
  int n = vsnprintf(dst, cap, fmt, args);
  if (n < 0) {
    dst[0] = 0;
    return 0;
  }
  return static_cast<size_t>(n) < cap ? static_cast<size_t>(n) : cap - 1;
}

size_t FormatTextN(char* dst, size_t cap, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  size_t n = FormatTextV(dst, cap, fmt, args);
  va_end(args);
  return n;
}

int AtoiSaturated(const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  if (!p) return 0;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  long long value = 0;
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  while (*p >= '0' && *p <= '9') {
    value = value * 10 + (*p++ - '0');
    if (value >= limit) {
      value = limit;
      while (*p >= '0' && *p <= '9') ++p;
    }
  }
  return negative ? static_cast<int>(-value) : static_cast<int>(value);
}
