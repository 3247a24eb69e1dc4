// A small PE image with a version resource, 32 or 64 bit, built in memory: the seed of the
// version parser's tests and fuzz target. Offsets of its parts are named for patching.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "setuplst/pe_resources.h"

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
  Put32(b, kOptional + 32, 0x1000);              // section alignment
  Put32(b, kOptional + 36, 0x200);               // file alignment
  Put32(b, kOptional + 60, kRaw);                // size of the headers
  Put16(b, kOptional + 68, 2);                   // a Windows program
  size_t section = kOptional + directories + 16 * 8;
  memcpy(&b[section], ".rsrc", 5);
  Put32(b, section + 8, static_cast<uint32_t>(b.size() - kRaw));
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

// The image with relocations after the resources, as a linker lays them out: a second section
// one page further, its raw data on the next 512 bytes, named by the relocation directory.
inline std::string WithRelocations(std::string b, bool wide, const std::string& relocations) {
  size_t directories = kOptional + (wide ? 112 : 96), section = directories + 16 * 8 + 40;
  b.resize((b.size() + 0x1FF) & ~size_t{0x1FF}, '\0');
  memcpy(&b[section], ".reloc", 6);
  Put32(b, section + 8, static_cast<uint32_t>(relocations.size()));
  Put32(b, section + 12, kRva + 0x1000);
  Put32(b, section + 16, static_cast<uint32_t>(relocations.size()));
  Put32(b, section + 20, static_cast<uint32_t>(b.size()));
  Put32(b, directories + 5 * 8, kRva + 0x1000);
  Put32(b, directories + 5 * 8 + 4, static_cast<uint32_t>(relocations.size()));
  Put16(b, kPe + 6, 2);
  Put32(b, kOptional + 56, kRva + 0x2000);       // size of the image
  return b + relocations;
}

// The 16-bit version resource: length, value length, the key in single bytes, the fixed file
// information on the next 32-bit boundary.
inline std::string Version16(uint32_t ms, uint32_t ls) {
  std::string v(20 + 52, '\0');
  Put16(v, 0, static_cast<uint32_t>(v.size()));
  Put16(v, 2, 52);
  memcpy(&v[4], "VS_VERSION_INFO", 15);
  Put32(v, 20, 0xFEEF04BDu);
  Put32(v, 28, ms);
  Put32(v, 32, ls);
  return v;
}

// A 16-bit library (NE): a resource table with an icon type before the version type, resources
// in units of 16 bytes.
constexpr size_t kNe = 0x40, kNeTable = 0x80, kNeVersion = 0x100;
inline std::string NeImage(uint32_t ms, uint32_t ls) {
  std::string b(kNeVersion, '\0');
  b[0] = 'M', b[1] = 'Z';
  Put32(b, 0x3C, kNe);
  b[kNe] = 'N', b[kNe + 1] = 'E';
  Put16(b, kNe + 0x24, kNeTable - kNe);
  size_t t = kNeTable;
  Put16(b, t, 4);                                           // alignment shift
  Put16(b, t + 2, 0x8003), Put16(b, t + 4, 1);              // an icon ...
  Put16(b, t + 10, 0x20), Put16(b, t + 12, 1), Put16(b, t + 16, 0x8001);
  Put16(b, t + 22, 0x8010), Put16(b, t + 24, 1);            // ... and the version
  Put16(b, t + 30, kNeVersion >> 4), Put16(b, t + 32, 5), Put16(b, t + 36, 0x8001);
  Put16(b, kNe + 0x26, static_cast<uint32_t>(t + 44 - kNe));  // resident names after the table
  return b + Version16(ms, ls) + std::string(8, '\0');
}

// A virtual device driver (LE): the header's Windows resource fields name one resource in the
// 16-bit resource file layout.
constexpr size_t kLe = 0x80, kLeResource = 0x180;
inline std::string LeImage(uint32_t ms, uint32_t ls) {
  std::string b(kLeResource, '\0');
  b[0] = 'M', b[1] = 'Z';
  Put32(b, 0x3C, kLe);
  b[kLe] = 'L', b[kLe + 1] = 'E';
  std::string resource = std::string("\xFF\x10\x00\xFF\x01\x00\x30\x00", 8) + std::string(4, '\0') + Version16(ms, ls);
  Put32(resource, 8, static_cast<uint32_t>(resource.size() - 12));
  Put32(b, kLe + 0xB8, kLeResource);
  Put32(b, kLe + 0xBC, static_cast<uint32_t>(resource.size()));
  return b + resource;
}

// --- A setup-like program: the resources that setuplst brand looks for, built through the
// resource rewriter (the tests that use it link it). -------------------------------------

inline std::string Utf16(const std::string& cp1252) {
  std::string b;
  for (unsigned char c : cp1252) b += static_cast<char>(c), b += '\0';
  return b;
}

// A node of a version resource: length, value length, type, key, value, children (each on 32 bits).
inline std::string VersionNode(const std::string& key, int type, const std::string& value,
                               const std::vector<std::string>& children = {}) {
  std::string b(6, '\0');
  b += Utf16(key) + std::string(2, '\0');
  b.resize((b.size() + 3) & ~size_t{3}, '\0');
  b += value;
  for (const std::string& child : children) {
    b.resize((b.size() + 3) & ~size_t{3}, '\0');
    b += child;
  }
  Put16(b, 0, static_cast<uint32_t>(b.size()));
  Put16(b, 2, static_cast<uint32_t>(type ? value.size() / 2 : value.size()));
  Put16(b, 4, static_cast<uint32_t>(type));
  return b;
}

// A string table block: 16 counted UTF-16 strings, the ones given at their places.
inline std::string StringBlock(const std::vector<std::pair<int, std::string>>& strings) {
  std::string b;
  for (int i = 0; i < 16; ++i) {
    std::string text;
    for (const auto& [at, t] : strings)
      if (at == i) text = t;
    std::string count(2, '\0');
    Put16(count, 0, static_cast<uint32_t>(text.size()));
    b += count + Utf16(text);
  }
  return b;
}

// An extended dialog template with static texts of the given ids.
inline std::string DialogEx(const std::vector<std::pair<uint32_t, std::string>>& items) {
  std::string b(26, '\0');
  Put16(b, 0, 1), Put16(b, 2, 0xFFFF), Put32(b, 12, 0x80C80040u), Put16(b, 16, static_cast<uint32_t>(items.size()));
  b += std::string(4, '\0') + Utf16("$p-Setup") + std::string(2, '\0');  // no menu, no class, the caption
  size_t font = b.size();
  b += std::string(6, '\0') + Utf16("MS Sans Serif") + std::string(2, '\0');
  Put16(b, font, 8);
  for (const auto& [id, text] : items) {
    b.resize((b.size() + 3) & ~size_t{3}, '\0');
    std::string item(24, '\0');
    Put32(item, 20, id);
    b += item + std::string("\xFF\xFF\x82\x00", 4) + Utf16(text) + std::string(4, '\0');  // STATIC, the text, no extra
  }
  return b;
}

// Resources as the built setup.exe has them: names, notices, version, dialogs 101 and 131,
// icon 7 (image 1) and the notice icon 133 (image 2), the manifest. Null when the rewriter fails.
inline std::string SetupLikeImage(bool wide = false) {
  std::string base = WithRelocations(Image(wide, 0x00020000, 0), wide, std::string(12, '\0')), out, why;
  PeFile file;
  if (!ReadPeFile(base, &file, &why)) return "";
  auto add = [&](uint32_t type, uint32_t name, const std::string& data) {
    PeResource r;
    r.Type.Id = type, r.Name.Id = name, r.Language = 0x407, r.Data = data;
    file.Resources.push_back(r);
  };
  std::string fixed(52, '\0');
  Put32(fixed, 0, 0xFEEF04BDu), Put32(fixed, 8, 0x00020000);
  std::vector<std::string> strings;
  for (const char* key : {"CompanyName", "FileDescription", "ProductName", "OriginalFilename"}) {
    std::string value = key[0] == 'O' ? "setup.exe" : key[0] == 'C' ? "Firma" : key[0] == 'F' ? "Produkt-Setup" : "Produkt";
    strings.push_back(VersionNode(key, 1, Utf16(value) + std::string(2, '\0')));
  }
  file.Resources[0].Data = VersionNode("VS_VERSION_INFO", 0, fixed,
                                       {VersionNode("StringFileInfo", 1, "", {VersionNode("040704E4", 1, "", strings)}),
                                        VersionNode("VarFileInfo", 1, "", {VersionNode("Translation", 0, "\x07\x04\xE4\x04")})});
  add(6, 7, StringBlock({{7, "Firma"}, {8, "Produkt"}, {13, "2.0"}}));
  add(6, 17, StringBlock({{3, "Hinweis eins"}, {4, "Hinweis zwei: $p"}}));
  add(5, 101, DialogEx({{257, "Willkommen"}, {259, "Hinweis eins"}, {260, "Hinweis zwei: $p"}}));
  add(5, 131, DialogEx({{1021, ""}}));
  add(3, 1, std::string(40, '\1'));
  add(3, 2, std::string(40, '\2'));
  add(14, 7, std::string("\0\0\1\0\1\0\x20\x20\x10\0\1\0\4\0\x28\0\0\0\1\0", 20));
  add(14, 133, std::string("\0\0\1\0\1\0\x20\x20\x10\0\1\0\4\0\x28\0\0\0\2\0", 20));
  add(24, 1, "<assembly/>");
  return WritePeFile(file, &out, &why) ? out : "";
}

// A .bmp file of width × height points at bits per pixel (1, 4, 8 or 24), its colours filled.
inline std::string Bitmap(int width, int height, int bits) {
  size_t palette = bits <= 8 ? 4u << bits : 0, row = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
  std::string b(14 + 40 + palette + row * height, '\x55');
  b[0] = 'B', b[1] = 'M';
  Put32(b, 2, static_cast<uint32_t>(b.size())), Put32(b, 6, 0), Put32(b, 10, static_cast<uint32_t>(14 + 40 + palette));
  std::string header(40, '\0');
  Put32(header, 0, 40), Put32(header, 4, width), Put32(header, 8, height), Put16(header, 12, 1), Put16(header, 14, bits);
  return b.replace(14, 40, header);
}

// An .ico file with one image of side × side points at bits per pixel.
inline std::string Icon(int side, int bits) {
  std::string dib = Bitmap(side, side, bits).substr(14);
  Put32(dib, 8, 2 * side);                          // the image and its mask
  dib += std::string(((side + 31) / 32) * 4 * side, '\0');
  std::string b(6 + 16, '\0');
  Put16(b, 2, 1), Put16(b, 4, 1);
  b[6] = static_cast<char>(side), b[7] = static_cast<char>(side);
  Put32(b, 6 + 8, static_cast<uint32_t>(dib.size())), Put32(b, 6 + 12, 22);
  return b + dib;
}

}  // namespace pe
