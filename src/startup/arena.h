// The arena: every record of the install script is carved from it in reading order and lives
// until exit. It starts with one block and chains further blocks as the script needs them, so
// records never move; a request it cannot serve shows "IncreaseMem".
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t kArenaBlockBytes = 100000;
// The arena never grows past this, whatever the script asks for.
constexpr size_t kArenaCapBytes = 64u * 1024 * 1024;
constexpr size_t kArenaMaxBlocks = 1024;

// 1 when the first block of the given size could be obtained.
int ArenaCreate(size_t bytes);
// Zero-filled memory at the given alignment, or null after the "IncreaseMem" box.
void* ArenaAlloc(size_t bytes, size_t align = 1);
// count records of size bytes; a count below 1 or a product that overflows or exceeds the cap
// fails like any other request that cannot be served.
void* ArenaAllocArray(int64_t count, size_t size, size_t align = 1);
void ArenaRelease();
// Bytes left in the current block (0 without an arena).
size_t ArenaRemaining();
// Bytes of all blocks obtained so far.
size_t ArenaTotalBytes();

template <class T> T* ArenaNew() { return static_cast<T*>(ArenaAlloc(sizeof(T), alignof(T))); }
template <class T> T* ArenaNewArray(int64_t count) {
  return static_cast<T*>(ArenaAllocArray(count, sizeof(T), alignof(T)));
}
