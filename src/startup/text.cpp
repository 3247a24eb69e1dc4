#include "startup/text.h"

#include <climits>

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

namespace {

// Where formatted text goes: written up to the capacity, the rest counted as cut.
struct TextSink {
  char* Dst;
  size_t Cap;
  size_t Length;
  int Cut;
};

void Put(TextSink* sink, char c) {
  if (sink->Length + 1 < sink->Cap) sink->Dst[sink->Length++] = c;
  else sink->Cut = 1;
}

void PutRepeated(TextSink* sink, char c, size_t count) {
  while (count--) Put(sink, c);
}

// One converted field: an optional sign or prefix, the text, padded to the width.
void PutField(TextSink* sink, const char* sign, const char* text, size_t length, size_t width, int left, int zeros) {
  size_t signLength = strlen(sign);
  size_t padding = width > signLength + length ? width - signLength - length : 0;
  if (!left && !zeros) PutRepeated(sink, ' ', padding);
  while (*sign) Put(sink, *sign++);
  if (!left && zeros) PutRepeated(sink, '0', padding);
  for (size_t i = 0; i < length; ++i) Put(sink, text[i]);
  if (left) PutRepeated(sink, ' ', padding);
}

// The digits of value in base 10 or 16, written backwards from the end of digits[24].
const char* Digits(uint64_t value, unsigned base, int upper, char (&digits)[24], size_t* length) {
  const char* symbols = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char* p = digits + sizeof digits;
  do {
    uint64_t digit;
    value = DivideWide(value, base, &digit);
    *--p = symbols[digit];
  } while (value);
  *length = static_cast<size_t>(digits + sizeof digits - p);
  return p;
}

enum Size { kSizeInt, kSizeLong, kSizeLongLong, kSizeSizeT };

// Reads a size prefix, if any.
void ReadSize(const char** p, Size* size) {
  const char* q = *p;
  if (q[0] == 'l' && q[1] == 'l') *size = kSizeLongLong, q += 2;
  else if (q[0] == 'l') *size = kSizeLong, q += 1;
  else if (q[0] == 'I' && q[1] == '6' && q[2] == '4') *size = kSizeLongLong, q += 3;
  else if (q[0] == 'z') *size = kSizeSizeT, q += 1;
  else *size = kSizeInt;
  *p = q;
}

int64_t SignedArgument(Size size, va_list* args) {
  switch (size) {
    case kSizeLong: return va_arg(*args, long);
    case kSizeLongLong: return va_arg(*args, long long);
    case kSizeSizeT: return static_cast<int64_t>(va_arg(*args, size_t));
    default: return va_arg(*args, int);
  }
}

uint64_t UnsignedArgument(Size size, va_list* args) {
  switch (size) {
    case kSizeLong: return va_arg(*args, unsigned long);
    case kSizeLongLong: return va_arg(*args, unsigned long long);
    case kSizeSizeT: return va_arg(*args, size_t);
    default: return va_arg(*args, unsigned);
  }
}

size_t ReadNumber(const char** p) {
  size_t n = 0;
  while (**p >= '0' && **p <= '9') n = n * 10 + static_cast<size_t>(*(*p)++ - '0');
  return n;
}

// One conversion after its "%"; returns the character after it, or null when the conversion is
// none of the program's (the caller then copies it as it stands).
const char* Convert(TextSink* sink, const char* p, va_list* args) {
  int left = 0, zeros = 0;
  for (;; ++p) {
    if (*p == '-') left = 1;
    else if (*p == '0') zeros = 1;
    else break;
  }
  size_t width = ReadNumber(&p);
  size_t precision = static_cast<size_t>(-1);
  if (*p == '.') {
    ++p;
    precision = ReadNumber(&p);
  }
  Size size;
  ReadSize(&p, &size);
  uint64_t value;
  const char* sign = "";
  unsigned base = 10;
  switch (*p) {
    case 'd':
    case 'i': {
      int64_t number = SignedArgument(size, args);
      // The magnitude of the most negative value does not fit a signed number; unsigned it does.
      value = number < 0 ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
      if (number < 0) sign = "-";
      break;
    }
    case 'x':
    case 'X':
      base = 16;
      [[fallthrough]];
    case 'u':
      value = UnsignedArgument(size, args);
      break;
    case 'c': {
      char c = static_cast<char>(va_arg(*args, int));
      PutField(sink, "", &c, 1, width, left, 0);
      return p + 1;
    }
    case 's': {
      const char* text = va_arg(*args, const char*);
      if (!text) text = "(null)";
      PutField(sink, "", text, strnlen(text, precision), width, left, 0);
      return p + 1;
    }
    case '%':
      Put(sink, '%');
      return p + 1;
    default:
      return nullptr;
  }
  char digits[24];
  size_t length = 0;
  const char* text = Digits(value, base, *p == 'X', digits, &length);
  PutField(sink, sign, text, length, width, left, zeros);
  return p + 1;
}

}  // namespace

size_t FormatTextCutV(char* dst, size_t cap, int* whole, const char* fmt, va_list args) {
  TextSink sink = {dst, cap, 0, 0};
  va_list rest;
  va_copy(rest, args);
  for (const char* p = fmt; *p;) {
    if (*p != '%') {
      Put(&sink, *p++);
      continue;
    }
    const char* next = Convert(&sink, p + 1, &rest);
    if (!next) {
      Put(&sink, *p++);
      continue;
    }
    p = next;
  }
  va_end(rest);
  if (cap > 0) dst[sink.Length] = 0;
  if (whole) *whole = !sink.Cut && cap > 0;
  return sink.Length;
}

size_t FormatTextV(char* dst, size_t cap, const char* fmt, va_list args) {
  return FormatTextCutV(dst, cap, nullptr, fmt, args);
}

size_t FormatTextN(char* dst, size_t cap, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  size_t n = FormatTextV(dst, cap, fmt, args);
  va_end(args);
  return n;
}

uint64_t DivideWideBitwise(uint64_t n, uint64_t d, uint64_t* remainder) {
  uint64_t quotient = 0, rest = 0;
  if (n >> 32 == 0 && d >> 32 == 0) {
    // Both fit 32 bits: one division of the processor.
    quotient = static_cast<uint32_t>(n) / static_cast<uint32_t>(d);
    rest = static_cast<uint32_t>(n) % static_cast<uint32_t>(d);
  } else {
    for (int bit = 63; bit >= 0; --bit) {
      // rest is at most the bits of n above this one, so the shift never loses a bit.
      rest = rest << 1 | (n >> bit & 1);
      if (rest >= d) {
        rest -= d;
        quotient |= uint64_t{1} << bit;
      }
    }
  }
  if (remainder) *remainder = rest;
  return quotient;
}

uint64_t DivideWide(uint64_t n, uint64_t d, uint64_t* remainder) {
#if UINTPTR_MAX > 0xFFFFFFFFu
  if (remainder) *remainder = n % d;
  return n / d;
#else
  return DivideWideBitwise(n, d, remainder);
#endif
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
    value = value > DivideWide(limit - digit, 10) ? limit : value * 10 + digit;
  }
  if (!negative) return static_cast<int64_t>(value);
  return value > static_cast<uint64_t>(INT64_MAX) ? INT64_MIN : -static_cast<int64_t>(value);
}

int AtoiSaturated(const char* text) {
  int64_t value = Atoi64Saturated(text);
  return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}
