#include "startup/arena.h"

#include "startup/platform.h"

namespace {

struct Arena {
  void* Blocks[kArenaMaxBlocks];  // platform handles of the blocks, in order
  size_t BlockCount;
  char* Position;                  // next free byte of the current block
  size_t Remaining;                // bytes left in the current block
  size_t Total;                    // bytes of all blocks
};
Arena arena;

void IncreaseMem() { ShowOwnerlessMessage("IncreaseMem", "", kBoxIconError); }

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

}  // namespace

int ArenaCreate(size_t bytes) {
  ArenaRelease();
  return AddBlock(bytes);
}

// Padding that puts the current position on the alignment (a power of two).
static size_t Padding(size_t align) {
  return (align - (reinterpret_cast<uintptr_t>(arena.Position) & (align - 1))) & (align - 1);
}

void* ArenaAlloc(size_t bytes, size_t align) {
  if (arena.BlockCount == 0 || bytes > kArenaCapBytes) {
    IncreaseMem();
    return nullptr;
  }
  // A request that is not smaller than what is left of the block goes to a new block.
  if (bytes + Padding(align) >= arena.Remaining) {
    size_t block = bytes + align > kArenaBlockBytes ? bytes + align : kArenaBlockBytes;
    if (!AddBlock(block)) {
      IncreaseMem();
      return nullptr;
    }
  }
  size_t pad = Padding(align);
  char* result = arena.Position + pad;
  arena.Position += pad + bytes;
  arena.Remaining -= pad + bytes;
  return result;
}

void* ArenaAllocArray(int64_t count, size_t size, size_t align) {
  if (count < 1 || size == 0 || static_cast<uint64_t>(count) > kArenaCapBytes / size) {
    IncreaseMem();
    return nullptr;
  }
  return ArenaAlloc(static_cast<size_t>(count) * size, align);
}

void ArenaRelease() {
  for (size_t i = arena.BlockCount; i > 0; --i) PlatformFreeBlock(arena.Blocks[i - 1]);
  arena = Arena{};
}

size_t ArenaRemaining() { return arena.Remaining; }
size_t ArenaTotalBytes() { return arena.Total; }
