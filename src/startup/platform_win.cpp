// The platform under the portable core: message boxes, profile reads of the install script,
// and the arena's memory blocks.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <iterator>

#include "startup/compat.h"
#include "install/answers.h"
#include "startup/platform.h"
#include "startup/profile_section.h"
#include "startup/state.h"
#include "startup/text.h"

int ShowOwnerlessMessage(const char* text, const char* caption, unsigned style) {
  return ShowMessage(nullptr, text, caption, style);
}

// The script is read through whole sections: each profile read of its own costs the platform
// a check of the file and a walk of it (about 0.3 ms under Wine), and a script of thousands of
// file entries makes thousands of reads. The last few sections read stay cached, absent ones
// too, until ScriptPath names another file or the file's size or write time changes.
namespace {

constexpr int kCachedSections = 4;
// Sections larger than this are not cached; their keys are read one by one.
constexpr DWORD kMaxSectionChars = 64u << 20;

struct CachedSection {
  char Name[kPathChars];   // the section name as handed to the section read
  char* Lines;             // its text (see profile_section.h), null for a free slot
  unsigned LastUse;        // for replacing the least recently used slot
};

struct ScriptStamp {
  char Path[kPathChars];
  int Exists;
  DWORD SizeLow, SizeHigh;
  FILETIME Written;
};

ScriptStamp cachedScript;
CachedSection cachedSections[kCachedSections];
unsigned useCounter;

void DropCachedSections() {
  for (CachedSection& slot : cachedSections) {
    free(slot.Lines);
    slot.Lines = nullptr;
  }
}

// Forgets every section when ScriptPath now means other contents than when they were read.
void CheckScriptStamp() {
  ScriptStamp now{};
  CopyText(now.Path, ScriptPath);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (ReadFileData(ScriptPath, &data)) {
    now.Exists = 1;
    now.SizeLow = data.nFileSizeLow;
    now.SizeHigh = data.nFileSizeHigh;
    now.Written = data.ftLastWriteTime;
  }
  if (strcmp(now.Path, cachedScript.Path) == 0 && now.Exists == cachedScript.Exists &&
      now.SizeLow == cachedScript.SizeLow && now.SizeHigh == cachedScript.SizeHigh &&
      CompareFileTime(&now.Written, &cachedScript.Written) == 0)
    return;
  DropCachedSections();
  cachedScript = now;
}

// The section's text as the platform's section read returns it, grown until it fits
// (a read that does not fit returns the buffer size minus 2); null when it cannot be had.
char* ReadWholeSection(const char* section) {
  // Most sections fit the first buffer; the text is moved to a block of its own size.
  for (DWORD size = 64u << 10; size <= kMaxSectionChars; size *= 2) {
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
  }
  return nullptr;
}

// Whether the cache can answer for this script at all: the byte-wise rules in
// profile_section.h hold for code page 1252, and a path without a folder would be looked up
// by the profile functions in the Windows folder rather than where the file check looks.
int ScriptCacheUsable() {
  static const int ansi1252 = GetACP() == 1252;
  return ansi1252 && (strchr(ScriptPath, '\\') || strchr(ScriptPath, '/'));
}

// The text of a section, from the cache or read now; null when the platform must answer.
// Key reads ignore blanks around the section name, the key list does not.
const char* SectionLines(const char* section, int trimName) {
  if (!section || !ScriptCacheUsable()) return nullptr;
  const char* start = section;
  size_t length = strlen(section);
  if (trimName) TrimProfileName(section, &start, &length);
  if (length == 0 || length >= kPathChars) return nullptr;
  char name[kPathChars];
  memcpy(name, start, length);
  name[length] = 0;

  CheckScriptStamp();
  CachedSection* slot = &cachedSections[0];
  for (CachedSection& candidate : cachedSections) {
    if (candidate.Lines && strcmp(candidate.Name, name) == 0) {
      candidate.LastUse = ++useCounter;
      return candidate.Lines;
    }
    if (!candidate.Lines || (slot->Lines && candidate.LastUse < slot->LastUse)) slot = &candidate;
  }
  char* lines = ReadWholeSection(name);
  if (!lines) return nullptr;
  free(slot->Lines);
  slot->Lines = lines;
  CopyText(slot->Name, name);
  slot->LastUse = ++useCounter;
  return lines;
}

}  // namespace

size_t ProfileReadString(const char* section, const char* key, char* buffer, size_t size) {
  if (size == 0) return 0;
  if (const char* lines = SectionLines(section, key != nullptr)) {
    if (!key) return SectionReadKeys(lines, buffer, size);
    size_t length = 0;
    if (SectionReadString(lines, key, buffer, size, &length)) return length;
  }
  size_t result = GetPrivateProfileStringA(section, key, "", buffer, static_cast<DWORD>(size), ScriptPath);
  // A list the platform had to cut ends in one zero only; the walk over it needs two.
  if (!key && result + 1 < size) buffer[result + 1] = 0;
  return result;
}

int ProfileReadInt(const char* section, const char* key) {
  // The platform's integer read is its string read into 30 characters, parsed; here the
  // parse saturates where the platform's wraps.
  char text[kProfileIntChars];
  ProfileReadString(section, key, text, std::size(text));
  return ParseProfileInt(text);
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
