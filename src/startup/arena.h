// The arena: every record of the install script is carved from it in reading order and lives
// until exit. It starts with one block and chains further blocks as the script needs them, so
// records never move. The first request it cannot serve shows "IncreaseMem"; from then on the
// arena counts as failed and later requests fail without a box of their own.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t kArenaBlockBytes = 100000;
// The arena never grows past this, whatever the script asks for: room for about 150,000 file
// entries, more than any medium holds.
constexpr size_t kArenaCapBytes = 128u * 1024 * 1024;
// Blocks double in size from the first one up to this, so a large script needs few of them.
constexpr size_t kArenaLargestBlockBytes = 8u * 1024 * 1024;
constexpr size_t kArenaMaxBlocks = 256;

// 1 when the first block of the given size could be obtained.
int ArenaCreate(size_t bytes);
// Zero-filled memory at the given alignment, or null.
void* ArenaAlloc(size_t bytes, size_t align = 1);
// count records of size bytes; a count below 1 or a product that overflows or exceeds the cap
// fails like any other request that cannot be served.
void* ArenaAllocArray(int64_t count, size_t size, size_t align = 1);
void ArenaRelease();
// 1 once a request has failed since ArenaCreate: what was read is incomplete.
int ArenaFailed();
// Bytes left in the current block (0 without an arena).
size_t ArenaRemaining();
// Bytes of all blocks obtained so far.
size_t ArenaTotalBytes();

template <class T> T* ArenaNew() { return static_cast<T*>(ArenaAlloc(sizeof(T), alignof(T))); }
template <class T> T* ArenaNewArray(int64_t count) {
  return static_cast<T*>(ArenaAllocArray(count, sizeof(T), alignof(T)));
}
