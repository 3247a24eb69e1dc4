// Fuzzes the figures the install services take from outside: counts another installer stored
// in the registry (any type, any bytes), and the progress figures from script sizes and real
// files. Traps on a count that does not read back, a fill outside the bar, or a percentage
// that moves the wrong way.
#include <cstdint>
#include <cstring>

#include "install/progress_bar.h"
#include "install/shared_dlls.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 + 16 + 2) return 0;
  uint32_t type = data[0] % 13;
  int64_t done, total;
  memcpy(&done, data + 1, 8);
  memcpy(&total, data + 9, 8);
  int width = data[17] | (data[18] & 0x0F) << 8;
  const unsigned char* stored = data + 19;
  size_t storedSize = size - 19;

  uint64_t count = 0;
  if (DecodeStoredCount(type, stored, storedSize, &count) && count < 0xFFFFFFFFu) {
    unsigned char out[32];
    size_t n = EncodeStoredCount(type, count + 1, storedSize, out, sizeof out);
    if (n == 0) __builtin_trap();  // every readable type takes its next count back
    uint64_t again = 0;
    if (!DecodeStoredCount(type, out, n, &again) || again != count + 1) __builtin_trap();
  }

  int64_t percent = ProgressPercent(done, total);
  int fill = ProgressFillWidth(percent, width);
  if (fill < 0 || fill > width) __builtin_trap();
  if (total > 0 && done >= 0) {
    if (percent < 0) __builtin_trap();
    if (done <= total && percent > 100) __builtin_trap();
    if (done < INT64_MAX && ProgressPercent(done + 1, total) < percent) __builtin_trap();
  }
  return 0;
}
