// The platform under the portable core on the host: a recorded message box, the script read
// through the in-memory profile image, and calloc'ed arena blocks.
#include "host_platform.h"

#include <cstdlib>
#include <cstring>

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
}

void HostResetPlatform() {
  HostBoxes.clear();
  HostBlockCount = 0;
  HostBlockLimit = SIZE_MAX;
  HostLogBytes.clear();
  ProfileImageFree(&script);
}

int ShowOwnerlessMessage(const char* text, const char* caption, unsigned style) {
  HostBoxes.push_back({text, caption ? caption : "<default>", style});
  return 1;
}

size_t ProfileReadString(const char* section, const char* key, char* buffer, size_t size) {
  return ProfileImageReadString(&script, section, key, buffer, size);
}

int ProfileReadInt(const char* section, const char* key) { return ProfileImageReadInt(&script, section, key); }

void* PlatformAllocBlock(size_t bytes, void** handle) {
  if (HostBlockCount >= HostBlockLimit) return nullptr;
  void* memory = calloc(1, bytes);
  if (memory) ++HostBlockCount;
  *handle = memory;
  return memory;
}

void PlatformFreeBlock(void* handle) {
  free(handle);
  --HostBlockCount;
}

int PlatformWriteLogBytes(void*, const char* bytes, size_t count) {
  HostLogBytes.append(bytes, count);
  return 1;
}
