// The platform under the portable core: message boxes, profile reads of the install script,
// and the arena's memory blocks.
#include <windows.h>

#include "startup/platform.h"
#include "startup/state.h"

int ShowOwnerlessMessage(const char* text, const char* caption, unsigned style) {
  return MessageBoxA(nullptr, text, caption, style);
}

size_t ProfileReadString(const char* section, const char* key, char* buffer, size_t size) {
  if (size == 0) return 0;
  return GetPrivateProfileStringA(section, key, "", buffer, static_cast<DWORD>(size), ScriptPath);
}

int ProfileReadInt(const char* section, const char* key) {
  return static_cast<int>(GetPrivateProfileIntA(section, key, 0, ScriptPath));
}

void* PlatformAllocBlock(size_t bytes, void** handle) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  if (!block) return nullptr;
  void* memory = GlobalLock(block);
  if (!memory) {
    GlobalFree(block);
    return nullptr;
  }
  *handle = block;
  return memory;
}

void PlatformFreeBlock(void* handle) {
  GlobalUnlock(static_cast<HGLOBAL>(handle));
  GlobalFree(static_cast<HGLOBAL>(handle));
}
