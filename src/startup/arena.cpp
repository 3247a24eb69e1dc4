#include "startup/arena.h"

#include "startup/platform.h"

namespace {

struct Arena {
  void* Blocks[kArenaMaxBlocks];  // platform handles of the blocks, in order
  size_t BlockCount;
  char* Position;                  // next free byte of the current block
  size_t Remaining;                // bytes left in the current block
  size_t Total;                    // bytes of all blocks
  size_t NextBlock;                // size of the next block, unless a request needs more
  int Failed;                      // a request has failed: the box has been shown
};
Arena arena;

// One box per run of reading: a script that does not fit would otherwise show one for every
// later record.
void* Fail() {
  if (!arena.Failed) ShowOwnerlessMessage("IncreaseMem", "", kBoxIconError);
  arena.Failed = 1;
  return nullptr;
}

int AddBlock(size_t bytes) {
  if (arena.BlockCount == kArenaMaxBlocks || bytes > kArenaCapBytes - arena.Total) return 0;
  void* handle = nullptr;
  void* memory = PlatformAllocBlock(bytes, &handle);
  if (!memory) return 0;
  arena.Blocks[arena.BlockCount++] = handle;
  arena.Position = static_cast<char*>(memory);
  arena.Remaining = bytes;
  arena.Total += bytes;
  return 1;
}

// Padding that puts the current position on the alignment (a power of two).
size_t Padding(size_t align) {
  return (align - (reinterpret_cast<uintptr_t>(arena.Position) & (align - 1))) & (align - 1);
}

}  // namespace

int ArenaCreate(size_t bytes) {
  ArenaRelease();
  arena.NextBlock = bytes * 2;
  return AddBlock(bytes);
}

void* ArenaAlloc(size_t bytes, size_t align) {
  if (arena.BlockCount == 0 || bytes > kArenaCapBytes) return Fail();
  // A request that is not smaller than what is left of the block goes to a new block.
  if (bytes + Padding(align) >= arena.Remaining) {
    size_t block = bytes + align > arena.NextBlock ? bytes + align : arena.NextBlock;
    // Near the cap the last block takes what is left, so the cap itself can be reached.
    if (block > kArenaCapBytes - arena.Total) block = kArenaCapBytes - arena.Total;
    if (block < bytes + align || !AddBlock(block)) return Fail();
    if (arena.NextBlock < kArenaLargestBlockBytes) arena.NextBlock *= 2;
  }
  size_t pad = Padding(align);
  char* result = arena.Position + pad;
  arena.Position += pad + bytes;
  arena.Remaining -= pad + bytes;
  return result;
}

void* ArenaAllocArray(int64_t count, size_t size, size_t align) {
  if (count < 1 || size == 0 || static_cast<uint64_t>(count) > kArenaCapBytes / size) return Fail();
  return ArenaAlloc(static_cast<size_t>(count) * size, align);
}

void ArenaRelease() {
  for (size_t i = arena.BlockCount; i > 0; --i) PlatformFreeBlock(arena.Blocks[i - 1]);
  arena = Arena{};
}

int ArenaFailed() { return arena.Failed; }
size_t ArenaRemaining() { return arena.Remaining; }
size_t ArenaTotalBytes() { return arena.Total; }
