// The platform under the portable core: message boxes, reads of the install script, and the
// arena's memory blocks.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "install/answers.h"
#include "startup/compat.h"
#include "startup/platform.h"
#include "startup/state.h"

int ShowOwnerlessMessage(const char* text, const char* caption, unsigned style) {
  return ShowMessage(nullptr, text, caption, style);
}

namespace {

// Sections larger than this are not read whole; their keys are read one by one.
constexpr DWORD kMaxSectionChars = 64u << 20;

// Whether whole sections can stand in for the key reads: the script reader's byte-wise rules
// hold for code page 1252, and a path without a folder would be looked up by the profile
// functions in the Windows folder.
int SectionsUsable() {
  static const int ansi1252 = GetACP() == 1252;
  return ansi1252 && (strchr(ScriptPath, '\\') || strchr(ScriptPath, '/'));
}

}  // namespace

char* PlatformReadSection(const char* section) {
  if (!SectionsUsable()) return nullptr;
  // A read that does not fit returns the buffer size minus 2. Most sections fit the first
  // buffer; a larger one is read again into a buffer the size of the file, which no section
  // exceeds. The text then moves to a block of its own size.
  DWORD size = 64u << 10;
  while (size <= kMaxSectionChars) {
    char* lines = static_cast<char*>(malloc(size));
    if (!lines) return nullptr;
    DWORD length = GetPrivateProfileSectionA(section, lines, size, ScriptPath);
    if (length < size - 2) {
      lines[length] = 0;
      lines[length + 1] = 0;
      char* fitted = static_cast<char*>(realloc(lines, length + 2));
      return fitted ? fitted : lines;
    }
    free(lines);
    WIN32_FILE_ATTRIBUTE_DATA data;
    DWORD whole = ReadFileData(ScriptPath, &data) && !data.nFileSizeHigh
                      ? data.nFileSizeLow + 3
                      : 0;
    size = whole > size * 2 ? whole : size * 2;
  }
  return nullptr;
}

size_t PlatformReadProfileString(const char* section, const char* key, char* buffer, size_t size) {
  return GetPrivateProfileStringA(section, key, "", buffer, static_cast<DWORD>(size), ScriptPath);
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
