// Bounded text helpers: every fixed buffer of the program is written through these, so a
// text that does not fit is cut at the buffer's capacity and never overflows.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Copies src into dst (capacity cap including the terminating zero); returns the length written.
size_t CopyTextN(char* dst, size_t cap, const char* src);
// Appends src to the text in dst; returns the new length.
size_t AppendTextN(char* dst, size_t cap, const char* src);
// printf into dst, cut at the capacity; returns the length written.
size_t FormatTextN(char* dst, size_t cap, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
size_t FormatTextV(char* dst, size_t cap, const char* fmt, va_list args);

template <size_t N> size_t CopyText(char (&dst)[N], const char* src) { return CopyTextN(dst, N, src); }
template <size_t N> size_t AppendText(char (&dst)[N], const char* src) { return AppendTextN(dst, N, src); }
template <size_t N> size_t FormatText(char (&dst)[N], const char* fmt, ...) __attribute__((format(printf, 2, 3)));
template <size_t N> size_t FormatText(char (&dst)[N], const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  size_t n = FormatTextV(dst, N, fmt, args);
  va_end(args);
  return n;
}

// Reads a decimal number like the C library's atoi (leading blanks, optional sign, digits),
// saturating at the limits of a signed 32-bit value instead of overflowing.
int AtoiSaturated(const char* text);
// The same rule for a 64-bit number.
int64_t Atoi64Saturated(const char* text);
