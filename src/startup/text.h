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
// The program's own printf, cut at the capacity; returns the length written. It knows the
// conversions the program uses and no more: d i u x X c s and %%, the flags - and 0, a width,
// a precision for s, and the sizes l, ll, I64 and z (so 64-bit figures print on every target).
// Anything else is copied as it stands. The C library's printf family is not linked: it brings
// locale and floating-point code, and its library is missing on Windows 95.
#if defined(__clang__)
#define SETUP_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define SETUP_FORMAT(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#endif
size_t FormatTextN(char* dst, size_t cap, const char* fmt, ...) SETUP_FORMAT(3, 4);
size_t FormatTextV(char* dst, size_t cap, const char* fmt, va_list args);
// The same; *whole is 1 when nothing had to be cut.
size_t FormatTextCutV(char* dst, size_t cap, int* whole, const char* fmt, va_list args);

template <size_t N> size_t CopyText(char (&dst)[N], const char* src) { return CopyTextN(dst, N, src); }
template <size_t N> size_t AppendText(char (&dst)[N], const char* src) { return AppendTextN(dst, N, src); }
template <size_t N> size_t FormatText(char (&dst)[N], const char* fmt, ...) SETUP_FORMAT(2, 3);
template <size_t N> size_t FormatText(char (&dst)[N], const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  size_t n = FormatTextV(dst, N, fmt, args);
  va_end(args);
  return n;
}
// 1 when the whole text fitted; a text that does not fit would often name something else.
template <size_t N> int FormatWholeText(char (&dst)[N], const char* fmt, ...) SETUP_FORMAT(2, 3);
template <size_t N> int FormatWholeText(char (&dst)[N], const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  int whole = 0;
  FormatTextCutV(dst, N, &whole, fmt, args);
  va_end(args);
  return whole;
}

// n / d for d > 0, with the remainder in *remainder when one is asked for. The 32-bit build
// divides 64-bit numbers here (DivideWideBitwise) rather than through the compiler's routines,
// which would bring their unwinding tables along; a 64-bit build divides natively.
uint64_t DivideWide(uint64_t n, uint64_t d, uint64_t* remainder = nullptr);
// The same by shifts and subtractions on every build.
uint64_t DivideWideBitwise(uint64_t n, uint64_t d, uint64_t* remainder);

// Reads a decimal number like the C library's atoi (leading blanks, optional sign, digits),
// saturating at the limits of a signed 32-bit value instead of overflowing.
int AtoiSaturated(const char* text);
// The same rule for a 64-bit number.
int64_t Atoi64Saturated(const char* text);
