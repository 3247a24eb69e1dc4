#include "startup/codepage.h"

namespace {

// 0x80..0x9F; the five bytes the page leaves open stand for the control characters of the
// same number, as the platform's conversion has them.
constexpr uint16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

uint32_t Cp1252ToUnicode(unsigned char c) { return c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c; }

int UnicodeToCp1252(uint32_t u) {
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<int>(u);
  for (int i = 0; i < 32; ++i)
    if (kHigh[i] == u) return 0x80 + i;
  return -1;
}

unsigned char FoldCp1252(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
  if (c == 0x8A || c == 0x8C || c == 0x8E) return static_cast<unsigned char>(c + 0x10);
  if (c == 0x9F) return 0xFF;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 0x20);
  return c;
}

size_t DecodeUtf8(const char* text, size_t n, uint32_t* u) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  if (n == 0) return 0;
  if (p[0] < 0x80) {
    *u = p[0];
    return 1;
  }
  size_t length;
  uint32_t value, least;
  if ((p[0] & 0xE0) == 0xC0) length = 2, value = p[0] & 0x1F, least = 0x80;
  else if ((p[0] & 0xF0) == 0xE0) length = 3, value = p[0] & 0x0F, least = 0x800;
  else if ((p[0] & 0xF8) == 0xF0) length = 4, value = p[0] & 0x07, least = 0x10000;
  else return 0;
  if (length > n) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    value = value << 6 | (p[i] & 0x3F);
  }
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *u = value;
  return length;
}

size_t Utf8ToCp1252(const char* src, size_t n, char* dst) {
  size_t out = 0;
  for (size_t i = 0; i < n;) {
    uint32_t u = 0;
    size_t used = DecodeUtf8(src + i, n - i, &u);
    int c = used ? UnicodeToCp1252(u) : -1;
    dst[out++] = c < 0 ? '?' : static_cast<char>(c);
    i += used ? used : 1;
  }
  return out;
}

size_t Cp1252ToUtf8(const char* src, char* dst, size_t cap) {
  if (cap == 0) return 0;
  size_t out = 0;
  for (; *src; ++src) {
    uint32_t u = Cp1252ToUnicode(static_cast<unsigned char>(*src));
    char bytes[3];
    size_t length;
    if (u < 0x80) bytes[0] = static_cast<char>(u), length = 1;
    else if (u < 0x800) bytes[0] = static_cast<char>(0xC0 | u >> 6), bytes[1] = static_cast<char>(0x80 | (u & 0x3F)), length = 2;
    else {
      bytes[0] = static_cast<char>(0xE0 | u >> 12);
      bytes[1] = static_cast<char>(0x80 | (u >> 6 & 0x3F));
      bytes[2] = static_cast<char>(0x80 | (u & 0x3F));
      length = 3;
    }
    if (out + length + 1 > cap) break;
    for (size_t i = 0; i < length; ++i) dst[out++] = bytes[i];
  }
  dst[out] = 0;
  return out;
}
