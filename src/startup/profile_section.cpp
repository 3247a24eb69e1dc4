#include "startup/profile_section.h"

#include <climits>
#include <cstring>

namespace {

enum NameMatch { kNoMatch, kMatch, kUndecided };

// Letters of code page 1252 beyond ASCII that have a partner of the other case.
int HasCasePartner1252(unsigned char c, unsigned char* partner) {
  if (c == 0x8A || c == 0x8C || c == 0x8E) {  // Š Œ Ž
    *partner = static_cast<unsigned char>(c + 0x10);
    return 1;
  }
  if (c == 0x9A || c == 0x9C || c == 0x9E) {  // š œ ž
    *partner = static_cast<unsigned char>(c - 0x10);
    return 1;
  }
  if (c == 0x9F || c == 0xFF) {  // Ÿ ÿ
    *partner = c == 0x9F ? 0xFF : 0x9F;
    return 1;
  }
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {  // À..Þ without ×
    *partner = static_cast<unsigned char>(c + 0x20);
    return 1;
  }
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) {  // à..þ without ÷
    *partner = static_cast<unsigned char>(c - 0x20);
    return 1;
  }
  return 0;
}

unsigned char AsciiLower(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

}  // namespace

unsigned char FoldProfileChar(unsigned char c) { return AsciiLower(c); }

namespace {

NameMatch CompareNames(const char* name, size_t nameLength, const char* key, size_t keyLength) {
  if (nameLength != keyLength) return kNoMatch;
  NameMatch result = kMatch;
  for (size_t i = 0; i < keyLength; ++i) {
    unsigned char a = static_cast<unsigned char>(name[i]);
    unsigned char b = static_cast<unsigned char>(key[i]);
    if (AsciiLower(a) == AsciiLower(b)) continue;
    unsigned char partner = 0;
    if (HasCasePartner1252(a, &partner) && partner == b) {
      result = kUndecided;  // the platform's case rule for these letters decides
      continue;
    }
    return kNoMatch;
  }
  return result;
}

}  // namespace

size_t CopyProfileValue(const char* value, char* buffer, size_t size) {
  size_t n = strlen(value);
  if (n >= 2 && (value[0] == '"' || value[0] == '\'') && value[n - 1] == value[0]) {
    ++value;
    n -= 2;
  }
  if (n > size - 1) n = size - 1;
  memcpy(buffer, value, n);
  buffer[n] = 0;
  return n;
}

int IsProfileBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1A;
}

void TrimProfileName(const char* name, const char** start, size_t* length) {
  while (IsProfileBlank(*name)) ++name;
  size_t n = strlen(name);
  while (n > 0 && IsProfileBlank(name[n - 1])) --n;
  *start = name;
  *length = n;
}

int SectionReadString(const char* lines, const char* key, char* buffer, size_t size, size_t* length) {
  const char* wanted;
  size_t wantedLength;
  TrimProfileName(key, &wanted, &wantedLength);
  if (wantedLength == 0 || wanted[0] == ';') return 0;
  for (const char* entry = lines; *entry; entry += strlen(entry) + 1) {
    const char* equals = strchr(entry, '=');
    size_t nameLength = equals ? static_cast<size_t>(equals - entry) : strlen(entry);
    switch (CompareNames(entry, nameLength, wanted, wantedLength)) {
      case kNoMatch:
        continue;
      case kUndecided:
        return 0;
      case kMatch:
        // A bare name is a key without a value: it reads as the default and hides later ones.
        *length = CopyProfileValue(equals ? equals + 1 : "", buffer, size);
        return 1;
    }
  }
  *length = CopyProfileValue("", buffer, size);
  return 1;
}

size_t SectionReadKeys(const char* lines, char* buffer, size_t size) {
  if (size == 0) return 0;
  // Room left counts the zero that ends the list; a name is cut so that a zero after it
  // and the list's end still fit, and the walk stops when no further name can.
  size_t room = size;
  size_t pos = 0;
  for (const char* entry = lines; *entry && room > 2; entry += strlen(entry) + 1) {
    const char* equals = strchr(entry, '=');
    if (!equals) continue;
    size_t n = static_cast<size_t>(equals - entry);
    if (n > room - 2) n = room - 2;
    memcpy(buffer + pos, entry, n);
    buffer[pos + n] = 0;
    pos += n + 1;
    room -= n + 1;
    if (room < 2) break;
  }
  buffer[pos] = 0;
  size_t result = room <= 1 ? size - 2 : pos;
  if (buffer[0] == 0) result = 0;
  if (result == 0 && size > 1) buffer[1] = 0;
  return result;
}

int ParseProfileInt(const char* text) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p && *p <= ' ') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  unsigned base = 10;
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'o' || p[1] == 'b')) {
    base = p[1] == 'x' ? 16 : p[1] == 'o' ? 8 : 2;
    p += 2;
  }
  // Past 2^31 the result is a limit whatever follows; the magnitude stops growing there.
  const long long cap = 1ll << 31;
  long long magnitude = 0;
  for (;; ++p) {
    unsigned digit;
    if (*p >= '0' && *p <= '9') digit = *p - '0';
    else if (*p >= 'A' && *p <= 'Z') digit = *p - 'A' + 10;
    else if (*p >= 'a' && *p <= 'z') digit = *p - 'a' + 10;
    else break;
    if (digit >= base) break;
    magnitude = magnitude * base + digit;
    if (magnitude > cap) magnitude = cap;
  }
  if (negative) return magnitude >= cap ? INT_MIN : static_cast<int>(-magnitude);
  return magnitude >= cap ? INT_MAX : static_cast<int>(magnitude);
}
