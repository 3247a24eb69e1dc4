// A small PE image with a version resource, 32 or 64 bit, built in memory: the seed of the
// version parser's tests and fuzz target. Offsets of its parts are named for patching.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>

namespace pe {

constexpr size_t kPe = 0x40;              // "PE\0\0"
constexpr size_t kOptional = kPe + 24;    // optional header
constexpr size_t kRaw = 0x200;            // the one section's raw data: the resources
constexpr uint32_t kRva = 0x1000;         // its address in the loaded image
constexpr size_t kTypeDir = kRaw, kNameDir = kRaw + 0x18, kLanguageDir = kRaw + 0x30;
constexpr size_t kDataEntry = kRaw + 0x48, kVersion = kRaw + 0x58, kFixed = kVersion + 40;

inline void Put16(std::string& b, size_t at, uint32_t v) {
  b[at] = static_cast<char>(v);
  b[at + 1] = static_cast<char>(v >> 8);
}
inline void Put32(std::string& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

// One resource directory with one id entry.
inline void Directory(std::string& b, size_t at, uint32_t id, uint32_t target) {
  Put16(b, at + 14, 1);
  Put32(b, at + 16, id);
  Put32(b, at + 20, target);
}

inline std::string Image(bool wide, uint32_t ms, uint32_t ls, uint32_t language = 0x407) {
  std::string b(kFixed + 52, '\0');
  b[0] = 'M', b[1] = 'Z';
  Put32(b, 0x3C, kPe);
  memcpy(&b[kPe], "PE\0\0", 4);
  Put16(b, kPe + 6, 1);                          // one section
  size_t directories = wide ? 112 : 96;
  Put16(b, kPe + 20, static_cast<uint32_t>(directories + 16 * 8));
  Put16(b, kOptional, wide ? 0x20B : 0x10B);
  Put32(b, kOptional + directories - 4, 16);
  Put32(b, kOptional + directories + 16, kRva);  // resource directory
  Put32(b, kOptional + directories + 20, static_cast<uint32_t>(b.size() - kRaw));
  size_t section = kOptional + directories + 16 * 8;
  Put32(b, section + 12, kRva);
  Put32(b, section + 16, static_cast<uint32_t>(b.size() - kRaw));
  Put32(b, section + 20, kRaw);
  Directory(b, kTypeDir, 16, 0x80000000u | (kNameDir - kRaw));
  Directory(b, kNameDir, 1, 0x80000000u | (kLanguageDir - kRaw));
  Directory(b, kLanguageDir, language, static_cast<uint32_t>(kDataEntry - kRaw));
  Put32(b, kDataEntry, static_cast<uint32_t>(kRva + kVersion - kRaw));
  Put32(b, kDataEntry + 4, static_cast<uint32_t>(b.size() - kVersion));
  Put16(b, kVersion, static_cast<uint32_t>(b.size() - kVersion));
  Put16(b, kVersion + 2, 52);
  const char* key = "VS_VERSION_INFO";
  for (size_t i = 0; key[i]; ++i) b[kVersion + 6 + 2 * i] = key[i];
  Put32(b, kFixed, 0xFEEF04BDu);
  Put32(b, kFixed + 8, ms);
  Put32(b, kFixed + 12, ls);
  return b;
}

}  // namespace pe
