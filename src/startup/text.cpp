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

int64_t Atoi64Saturated(const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  if (!p) return 0;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  // The magnitude stops growing at the limit of its sign; INT64_MIN's magnitude is one more.
  const uint64_t limit = negative ? static_cast<uint64_t>(INT64_MAX) + 1 : static_cast<uint64_t>(INT64_MAX);
  uint64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    unsigned digit = *p - '0';
    value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
  }
  if (!negative) return static_cast<int64_t>(value);
  return value > static_cast<uint64_t>(INT64_MAX) ? INT64_MIN : -static_cast<int64_t>(value);
}

int AtoiSaturated(const char* text) {
  int64_t value = Atoi64Saturated(text);
  return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}
