// The platform under the setup's portable core, for the tool: profile reads answered from the
// in-memory image of SETUP.LST (each read noted, so that what the setup never reads can be
// told), message boxes turned into findings at the line of the key last read, and the arena's
// blocks from the heap.
#include <cstdlib>

#include "setuplst/setuplst.h"
#include "startup/platform.h"
#include "script/script_profile.h"

ProfileImage Script;
std::vector<char> SectionRead;
std::vector<char> EntryRead;
std::vector<std::string> AbsentSectionsAsked;

namespace {
// The line of the key read last: a message of the reader is about it.
uint32_t lastKeyLine = 1;
}  // namespace

size_t EntryIndex(const ProfileEntry* entry) { return static_cast<size_t>(entry - Script.Sections[0].Entries); }
uint32_t SectionNumber(const ProfileSection* section) { return static_cast<uint32_t>(section - Script.Sections); }

int ShowOwnerlessMessage(const char* text, const char*, unsigned) {
  Report(lastKeyLine, kFindingError, "%s", text);
  return 1;
}

// The tool hands the reader no whole sections: every read comes here one by one, so each key
// the setup reads is noted.
char* PlatformReadSection(const char*) { return nullptr; }

size_t PlatformReadProfileString(const char* section, const char* key, char* buffer, size_t size) {
  if (section) {
    const ProfileSection* found = ProfileImageSection(&Script, section, key != nullptr);
    if (found) {
      SectionRead[SectionNumber(found)] = 1;
      if (key && key[0]) {
        if (const ProfileEntry* entry = ProfileSectionEntry(found, key)) {
          EntryRead[EntryIndex(entry)] = 1;
          lastKeyLine = entry->Line;
        }
      }
    }
  }
  size_t result = ProfileImageReadString(&Script, section, key, buffer, size);
  // A section without keys counts as absent: a list of options ends there.
  if (section && !key && result == 0) AbsentSectionsAsked.push_back(section);
  return result;
}

void* PlatformAllocBlock(size_t bytes, void** handle) {
  void* memory = calloc(1, bytes);
  *handle = memory;
  return memory;
}

void PlatformFreeBlock(void* handle) { free(handle); }

int PlatformWriteLogBytes(void*, const char*, size_t) { return 0; }
