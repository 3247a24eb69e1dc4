#include "install/shared_dlls.h"

#include <cstdlib>
#include <cstring>

#include "startup/text.h"

namespace {

uint64_t LittleEndian(const unsigned char* data, size_t size) {
  uint64_t v = 0;
  for (size_t i = size; i-- > 0;) v = v << 8 | data[i];
  return v;
}

size_t BytesNeeded(uint64_t v) {
  size_t n = 1;
  while (n < 8 && (v >> (8 * n)) != 0) ++n;
  return n;
}

}  // namespace

int DecodeStoredCount(uint32_t type, const unsigned char* data, size_t size, uint64_t* count) {
  *count = 0;
  switch (type) {
    case kRegDword:
    case kRegQword:
    case kRegBinary:
      if (size == 0 || size > 8) return 0;
      *count = LittleEndian(data, size);
      return 1;
    case kRegDwordBigEndian:
      if (size != 4) return 0;
      *count = static_cast<uint64_t>(data[0]) << 24 | data[1] << 16 | data[2] << 8 | data[3];
      return 1;
    case kRegSz:
    case kRegExpandSz: {
      // Only a plain number, blanks around it allowed; "7 (Programm X)" is another
      // installer's note and no count of ours to rewrite.
      size_t end = 0;
      while (end < size && data[end]) ++end;
      size_t i = 0;
      while (i < end && (data[i] == ' ' || data[i] == '\t')) ++i;
      if (i >= end || data[i] < '0' || data[i] > '9') return 0;
      uint64_t v = 0;
      for (; i < end && data[i] >= '0' && data[i] <= '9'; ++i) {
        unsigned digit = data[i] - '0';
        v = v > DivideWide(UINT64_MAX - digit, 10) ? UINT64_MAX : v * 10 + digit;
      }
      while (i < end && (data[i] == ' ' || data[i] == '\t')) ++i;
      if (i < end) return 0;
      *count = v;
      return 1;
    }
    default: return 0;
  }
}

size_t EncodeStoredCount(uint32_t type, uint64_t count, size_t originalSize, unsigned char* out, size_t cap) {
  size_t size;
  switch (type) {
    case kRegDword: size = 4; break;
    case kRegQword: size = 8; break;
    case kRegBinary: size = originalSize >= BytesNeeded(count) && originalSize <= 8 ? originalSize : 4; break;
    case kRegDwordBigEndian:
      if (count > 0xFFFFFFFFu || cap < 4) return 0;
      out[0] = static_cast<unsigned char>(count >> 24);
      out[1] = static_cast<unsigned char>(count >> 16);
      out[2] = static_cast<unsigned char>(count >> 8);
      out[3] = static_cast<unsigned char>(count);
      return 4;
    case kRegSz:
    case kRegExpandSz: {
      char text[32];
      size_t n = FormatText(text, "%llu", static_cast<unsigned long long>(count));
      if (n + 1 > cap) return 0;
      memcpy(out, text, n + 1);  // the terminating zero belongs to a REG_SZ
      return n + 1;
    }
    default: return 0;
  }
  if ((size < 8 && (count >> (8 * size)) != 0) || size > cap) return 0;
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<unsigned char>(count >> (8 * i));
  return size;
}

namespace {

// The paths counted in this run: open addressing over copies of the paths.
char** countedPaths;
size_t countedSlots;  // a power of two, or 0
size_t countedUsed;

size_t PathHash(const char* path) {
  size_t hash = 2166136261u;
  for (; *path; ++path) hash = (hash ^ static_cast<unsigned char>(*path)) * 16777619u;
  return hash;
}

// The slot holding path, or the free slot where it belongs.
size_t SlotOf(char** slots, size_t count, const char* path) {
  size_t slot = PathHash(path) & (count - 1);
  while (slots[slot] && strcmp(slots[slot], path) != 0) slot = (slot + 1) & (count - 1);
  return slot;
}

int GrowCountedPaths() {
  size_t count = countedSlots ? countedSlots * 2 : 64;
  char** slots = static_cast<char**>(calloc(count, sizeof(char*)));
  if (!slots) return 0;
  for (size_t i = 0; i < countedSlots; ++i)
    if (countedPaths[i]) slots[SlotOf(slots, count, countedPaths[i])] = countedPaths[i];
  free(countedPaths);
  countedPaths = slots;
  countedSlots = count;
  return 1;
}

}  // namespace

int FirstReferenceThisRun(const char* path) {
  if ((countedUsed + 1) * 2 > countedSlots && !GrowCountedPaths()) return 1;
  size_t slot = SlotOf(countedPaths, countedSlots, path);
  if (countedPaths[slot]) return 0;
  size_t length = strlen(path);
  char* copy = static_cast<char*>(malloc(length + 1));
  if (!copy) return 1;  // counted again rather than not at all
  memcpy(copy, path, length + 1);
  countedPaths[slot] = copy;
  ++countedUsed;
  return 1;
}

void ForgetReferencesThisRun() {
  for (size_t i = 0; i < countedSlots; ++i) free(countedPaths[i]);
  free(countedPaths);
  countedPaths = nullptr;
  countedSlots = countedUsed = 0;
}
