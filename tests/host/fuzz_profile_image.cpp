// Fuzzes the in-memory profile image: any bytes load; every section and key it holds is found
// again by name, and a key read returns the value of the first entry of that name.
#include <cstdint>
#include <cstring>

#include "startup/profile_image.h"
#include "script/script_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ProfileImage image;
  if (!ProfileImageLoad(&image, reinterpret_cast<const char*>(data), size)) return 0;
  uint32_t line = 0;
  char value[64], expected[64];
  for (uint32_t s = 1; s < image.SectionCount; ++s) {
    const ProfileSection& section = image.Sections[s];
    if (section.Line < line || !ProfileImageSection(&image, section.Name, 0)) __builtin_trap();
    line = section.Line;
    size_t keys = ProfileImageReadString(&image, section.Name, nullptr, value, sizeof value);
    if (keys >= sizeof value || value[keys] != 0) __builtin_trap();
    for (uint32_t i = 0; i < section.EntryCount; ++i) {
      const ProfileEntry& entry = section.Entries[i];
      if (entry.Line < line || entry.ValueOffset + entry.ValueLength > image.TextSize) __builtin_trap();
      line = entry.Line;
      size_t n = strlen(entry.Name);
      // A name that a zero byte cut may end in a blank: no read of a trimmed name finds it.
      if (n && (IsProfileBlank(entry.Name[0]) || IsProfileBlank(entry.Name[n - 1]))) continue;
      const ProfileEntry* first = ProfileSectionEntry(&section, entry.Name);
      if (!first || first > &entry) __builtin_trap();
      const ProfileSection* owner = ProfileImageSection(&image, section.Name, 1);
      if (owner != &section || !n) continue;  // an earlier section of the name answers
      ProfileImageReadString(&image, section.Name, entry.Name, value, sizeof value);
      CopyProfileValue(first->Value ? first->Value : "", expected, sizeof expected);
      if (strcmp(value, expected) != 0) __builtin_trap();
    }
  }
  ProfileImageFree(&image);
  return 0;
}
