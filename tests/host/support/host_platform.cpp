// The platform under the portable core on the host: a recorded message box, whole sections
// of an INI text (read through the in-memory profile image) as the platform's section read
// hands them over, and calloc'ed arena blocks.
#include "host_platform.h"

#include <cstdlib>
#include <cstring>

#include "script/script_profile.h"
#include "startup/platform.h"
#include "startup/profile_image.h"

namespace {
ProfileImage script;
}  // namespace

std::vector<HostBox> HostBoxes;
size_t HostBlockCount;
size_t HostBlockLimit = SIZE_MAX;
std::string HostLogBytes;

void HostLoadScript(const std::string& text) {
  ProfileImageFree(&script);
  ProfileImageLoad(&script, text.data(), text.size());
  ForgetScriptSections();
}

void HostResetPlatform() {
  HostBoxes.clear();
  HostBlockCount = 0;
  HostBlockLimit = SIZE_MAX;
  HostLogBytes.clear();
  HostLoadScript("");
}

int ShowOwnerlessMessage(const char* text, const char* caption, unsigned style) {
  HostBoxes.push_back({text, caption ? caption : "<default>", style});
  return 1;
}

char* PlatformReadSection(const char* name) {
  const ProfileSection* section = ProfileImageSection(&script, name, 0);
  const char* lines = section && section->Lines ? section->Lines : "";
  size_t length = 0;
  while (lines[length]) length += strlen(lines + length) + 1;
  char* copy = static_cast<char*>(calloc(length + 2, 1));
  memcpy(copy, lines, length);
  return copy;
}

// Asked only for what the section text cannot decide; the host answers "?" to show it was.
size_t PlatformReadProfileString(const char*, const char*, char* buffer, size_t size) {
  if (size < 3) return 0;
  memcpy(buffer, "?\0", 3);
  return 1;
}

void* PlatformAllocBlock(size_t bytes, void** handle) {
  void* memory = HostBlockCount < HostBlockLimit ? calloc(1, bytes) : nullptr;
  HostBlockCount += memory != nullptr;
  return *handle = memory;
}

void PlatformFreeBlock(void* handle) {
  free(handle);
  --HostBlockCount;
}

int PlatformWriteLogBytes(void*, const char* bytes, size_t count) {
  HostLogBytes.append(bytes, count);
  return 1;
}
