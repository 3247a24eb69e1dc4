// How much one read and one write of the copy page move. A block starts at 8192 bytes for
// every file and grows while blocks come quickly, so a fast disk copies in large blocks while
// a floppy or a slow CD-ROM drive still answers within a few milliseconds of each block.
#pragma once
#include <cstdint>

constexpr uint32_t kFirstBlockBytes = 8192;
// The size of the one copy buffer. It is zero-filled static memory: pages that blocks never
// reach (all but the first two on a floppy) are never touched and take no memory.
constexpr uint32_t kLargestBlockBytes = 1u << 20;

// A block that took less than this doubles the next one; more than kSlowBlockUs halves it.
constexpr int64_t kQuickBlockUs = 2000;
constexpr int64_t kSlowBlockUs = 8000;

// The size of the next block after one of `current` bytes took elapsedUs microseconds;
// kept within kFirstBlockBytes..kLargestBlockBytes (powers of two, starting from the first).
uint32_t NextBlockBytes(uint32_t current, int64_t elapsedUs);
