// Fuzzes the counts another installer stored in the registry (any type, any bytes): every count
// that reads as a number must take its next value back in its own type.
#include <cstdint>
#include <cstring>

#include "install/shared_dlls.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  uint32_t type = data[0] % 13;
  const unsigned char* stored = data + 1;
  size_t storedSize = size - 1;

  uint64_t count = 0;
  if (DecodeStoredCount(type, stored, storedSize, &count) && count < 0xFFFFFFFFu) {
    unsigned char out[32];
    size_t n = EncodeStoredCount(type, count + 1, storedSize, out, sizeof out);
    if (n == 0) __builtin_trap();  // every readable type takes its next count back
    uint64_t again = 0;
    if (!DecodeStoredCount(type, out, n, &again) || again != count + 1) __builtin_trap();
  }

  return 0;
}
