#include "script/script_profile.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "script/records.h"
#include "startup/platform.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

// --- Names -----------------------------------------------------------------------------

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

// One byte for a letter and its partner of the other case, so names that may match hash alike.
unsigned char Folded(unsigned char c) {
  unsigned char partner;
  if (HasCasePartner1252(c, &partner) && partner < c) return partner;
  return AsciiLower(c);
}

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

uint32_t HashName(const char* name, size_t length) {
  uint32_t hash = 2166136261u;
  for (size_t i = 0; i < length; ++i) hash = (hash ^ Folded(static_cast<unsigned char>(name[i]))) * 16777619u;
  return hash;
}

size_t NameLength(const char* entry) {
  const char* equals = strchr(entry, '=');
  return equals ? static_cast<size_t>(equals - entry) : strlen(entry);
}

// --- Sections read whole ---------------------------------------------------------------

struct CachedSection {
  int Filled;
  char Name[kPathChars];  // the section name as handed to the platform
  char* Lines;            // null when the platform could not hand the section over
  uint32_t* Index;        // open addressing by HashName: offset + 1 of an entry, 0 when free
  uint32_t IndexMask;     // slots - 1; no index when Index is null
  unsigned LastUse;       // for replacing the least recently used section
};

// Start-up reads a section's keys in a row and, between an option's keys, [Disks] and the
// sub-option's section: a few sections cover every run of reads.
constexpr int kCachedSections = 4;
CachedSection cache[kCachedSections];
char cachedPath[kPathChars];  // the ScriptPath the sections were read from
unsigned useCounter;

void DropSection(CachedSection* section) {
  free(section->Lines);
  free(section->Index);
  *section = CachedSection{};
}

// Each entry lands in the first free slot after its hash, so the entries of one name follow
// each other in the order of the section and a lookup meets the first of them first.
void BuildIndex(CachedSection* section) {
  size_t entries = 0;
  for (const char* entry = section->Lines; *entry; entry += strlen(entry) + 1) ++entries;
  size_t slots = 8;
  while (slots < 2 * entries) slots *= 2;
  section->Index = static_cast<uint32_t*>(calloc(slots, sizeof(uint32_t)));
  if (!section->Index) return;  // then the lookup walks the lines
  section->IndexMask = static_cast<uint32_t>(slots - 1);
  for (const char* entry = section->Lines; *entry; entry += strlen(entry) + 1) {
    uint32_t slot = HashName(entry, NameLength(entry)) & section->IndexMask;
    while (section->Index[slot]) slot = (slot + 1) & section->IndexMask;
    section->Index[slot] = static_cast<uint32_t>(entry - section->Lines) + 1;
  }
}

// The section from the cache or read now; null when the name cannot be handed on. Key reads
// ignore blanks around the section name, the key list does not.
const CachedSection* SectionOf(const char* section, int trimName) {
  if (!section) return nullptr;
  const char* start = section;
  size_t length = strlen(section);
  if (trimName) TrimProfileName(section, &start, &length);
  if (length == 0 || length >= kPathChars) return nullptr;
  char name[kPathChars];
  memcpy(name, start, length);
  name[length] = 0;

  if (strcmp(cachedPath, ScriptPath) != 0) {
    ForgetScriptSections();
    CopyText(cachedPath, ScriptPath);
  }
  CachedSection* slot = &cache[0];
  for (CachedSection& candidate : cache) {
    if (candidate.Filled && strcmp(candidate.Name, name) == 0) {
      candidate.LastUse = ++useCounter;
      return &candidate;
    }
    if (!candidate.Filled || (slot->Filled && candidate.LastUse < slot->LastUse)) slot = &candidate;
  }
  DropSection(slot);
  slot->Filled = 1;
  CopyText(slot->Name, name);
  slot->LastUse = ++useCounter;
  slot->Lines = PlatformReadSection(name);
  if (slot->Lines) BuildIndex(slot);
  return slot;
}

// The entry the platform's read takes for the key: kMatch with *found set, kNoMatch when the
// section has none, kUndecided when only the platform can tell.
NameMatch FindEntry(const CachedSection& section, const char* key, size_t keyLength, const char** found) {
  if (!section.Index) {
    for (const char* entry = section.Lines; *entry; entry += strlen(entry) + 1) {
      NameMatch match = CompareNames(entry, NameLength(entry), key, keyLength);
      if (match == kNoMatch) continue;
      *found = entry;
      return match;
    }
    return kNoMatch;
  }
  for (uint32_t slot = HashName(key, keyLength) & section.IndexMask; section.Index[slot];
       slot = (slot + 1) & section.IndexMask) {
    const char* entry = section.Lines + section.Index[slot] - 1;
    NameMatch match = CompareNames(entry, NameLength(entry), key, keyLength);
    if (match == kNoMatch) continue;
    *found = entry;
    return match;
  }
  return kNoMatch;
}

}  // namespace

unsigned char FoldProfileChar(unsigned char c) { return AsciiLower(c); }

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

size_t SectionReadKeys(const char* lines, char* buffer, size_t size) {
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

int IsProfileBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1A; }

void TrimProfileName(const char* name, const char** start, size_t* length) {
  while (IsProfileBlank(*name)) ++name;
  size_t n = strlen(name);
  while (n > 0 && IsProfileBlank(name[n - 1])) --n;
  *start = name;
  *length = n;
}

size_t ReadScriptString(const char* section, const char* key, char* buffer, size_t size) {
  if (size == 0) return 0;
  if (!key) return ReadScriptKeys(section, buffer, size);
  const char* wanted;
  size_t wantedLength;
  TrimProfileName(key, &wanted, &wantedLength);
  // The platform finds comment lines as keys but leaves them out of the section text.
  const CachedSection* cached = wantedLength && wanted[0] != ';' ? SectionOf(section, 1) : nullptr;
  if (cached && cached->Lines) {
    const char* entry = nullptr;
    switch (FindEntry(*cached, wanted, wantedLength, &entry)) {
      case kNoMatch: return CopyProfileValue("", buffer, size);
      case kMatch: {
        // A bare name is a key without a value: it reads as the default and hides later ones.
        const char* equals = strchr(entry, '=');
        return CopyProfileValue(equals ? equals + 1 : "", buffer, size);
      }
      case kUndecided: break;
    }
  }
  return PlatformReadProfileString(section, key, buffer, size);
}

size_t ReadScriptKeys(const char* section, char* buffer, size_t size) {
  if (size == 0) return 0;
  const CachedSection* cached = SectionOf(section, 0);
  if (cached && cached->Lines) return SectionReadKeys(cached->Lines, buffer, size);
  size_t result = PlatformReadProfileString(section, nullptr, buffer, size);
  // A list the platform had to cut ends in one zero only; the walk over it needs two.
  if (result + 1 < size) buffer[result + 1] = 0;
  return result;
}

int ReadScriptInt(const char* section, const char* key) {
  // The platform's integer read is its string read into 30 characters, parsed; here the
  // parse saturates where the platform's wraps.
  char text[kProfileIntChars];
  ReadScriptString(section, key, text, sizeof text);
  return ParseProfileInt(text);
}

int ScriptSectionPresent(const char* section) {
  char keys[kPathChars];
  return ReadScriptKeys(section, keys, sizeof keys) > 0;
}

void ForgetScriptSections() {
  for (CachedSection& section : cache) DropSection(&section);
  cachedPath[0] = 0;
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
