#include "install/shared_dlls.h"

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
      size_t i = 0;
      while (i < size && (data[i] == ' ' || data[i] == '\t')) ++i;
      if (i >= size || data[i] < '0' || data[i] > '9') return 0;
      uint64_t v = 0;
      for (; i < size && data[i] >= '0' && data[i] <= '9'; ++i) {
        unsigned digit = data[i] - '0';
        v = v > (UINT64_MAX - digit) / 10 ? UINT64_MAX : v * 10 + digit;
      }
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
