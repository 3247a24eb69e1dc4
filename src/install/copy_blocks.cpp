#include "install/copy_blocks.h"

uint32_t NextBlockBytes(uint32_t current, int64_t elapsedUs) {
  if (current < kFirstBlockBytes) return kFirstBlockBytes;
  if (current > kLargestBlockBytes) return kLargestBlockBytes;
  // A clock that went backwards says nothing about the disk.
  if (elapsedUs < 0) return current;
  if (elapsedUs < kQuickBlockUs && current < kLargestBlockBytes) return current * 2;
  if (elapsedUs > kSlowBlockUs && current > kFirstBlockBytes) return current / 2;
  return current;
}
