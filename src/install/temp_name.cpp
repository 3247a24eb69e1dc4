#include "install/temp_name.h"

#include <cstdint>
#include <cstring>

#include "startup/text.h"

namespace {

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool SameName(const char* a, const char* b) {
  for (; *a && AsciiLower(*a) == AsciiLower(*b); ++a, ++b) {
  }
  return AsciiLower(*a) == AsciiLower(*b);
}

}  // namespace

int TemporaryPathForN(char* out, size_t cap, const char* targetPath) {
  const char* slash = strrchr(targetPath, '\\');
  if (!slash || cap == 0) return 0;
  uint32_t hash = 2166136261u;
  for (const char* p = targetPath; *p; ++p) hash = (hash ^ static_cast<unsigned char>(AsciiLower(*p))) * 16777619u;
  char hex[5];
  for (int i = 0; i < 4; ++i) hex[i] = "0123456789ABCDEF"[(hash ^ hash >> 16) >> (12 - 4 * i) & 0xF];
  hex[4] = 0;
  size_t folder = static_cast<size_t>(slash - targetPath) + 1;
  static const char* const kForms[][2] = {{"stp", ".tmp"}, {"~", ""}};
  for (const auto& form : kForms) {
    size_t length = folder + strlen(form[0]) + 4 + strlen(form[1]);
    if (length >= cap) continue;
    memcpy(out, targetPath, folder);
    out[folder] = 0;
    AppendTextN(out, cap, form[0]);
    AppendTextN(out, cap, hex);
    AppendTextN(out, cap, form[1]);
    if (!SameName(out, targetPath)) return 1;
  }
  out[0] = 0;
  return 0;
}
