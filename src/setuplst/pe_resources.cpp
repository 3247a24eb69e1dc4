#include "setuplst/pe_resources.h"

#include <algorithm>
#include <set>

namespace {

constexpr uint32_t kSubdirectory = 0x80000000u;
constexpr size_t kSectionHeader = 40;
constexpr uint32_t kMaxResources = 1u << 16;
// Data directories: resources, certificates, relocations, debug information.
constexpr uint32_t kResourceDir = 2, kSecurityDir = 4, kRelocationDir = 5, kDebugDir = 6;

uint32_t Get16(const std::string& b, size_t at) {
  return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}
uint32_t Get32(const std::string& b, size_t at) { return Get16(b, at) | Get16(b, at + 2) << 16; }
void Put16(std::string& b, size_t at, uint32_t v) {
  b[at] = static_cast<char>(v);
  b[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}
bool Has(const std::string& b, uint64_t at, uint64_t count) { return at <= b.size() && count <= b.size() - at; }
uint64_t AlignUp(uint64_t v, uint64_t alignment) { return (v + alignment - 1) & ~(alignment - 1); }
bool PowerOfTwo(uint32_t v) { return v && !(v & (v - 1)); }

struct Section {
  uint32_t VirtualSize, Address, RawSize, RawOffset;
};

Section SectionAt(const PeFile& f, uint32_t i) {
  size_t h = f.SectionTable + kSectionHeader * i;
  return {Get32(f.Bytes, h + 8), Get32(f.Bytes, h + 12), Get32(f.Bytes, h + 16), Get32(f.Bytes, h + 20)};
}

uint32_t DirectoryCount(const PeFile& f) { return Get32(f.Bytes, f.Directories - 4); }
uint32_t DirectoryRva(const PeFile& f, uint32_t i) { return i < DirectoryCount(f) ? Get32(f.Bytes, f.Directories + 8 * i) : 0; }
uint32_t DirectorySize(const PeFile& f, uint32_t i) {
  return i < DirectoryCount(f) ? Get32(f.Bytes, f.Directories + 8 * i + 4) : 0;
}

// The resource directory tree, read with every offset checked; each directory and each data
// entry is visited once, so a hostile tree can neither loop nor multiply its data.
struct TreeReader {
  const PeFile& File;
  size_t Base;       // file offset of the resource section's raw data
  uint32_t Size;     // bytes of it in the file
  std::set<uint32_t> Seen;
  uint64_t DataBytes = 0, NameChars = 0;
  std::string Why;

  bool Fail(const char* why) {
    if (Why.empty()) Why = why;
    return false;
  }
  bool Inside(uint64_t offset, uint64_t count) const { return offset <= Size && count <= Size - offset; }

  bool Key(uint32_t raw, ResourceKey* key) {
    if (!(raw & kSubdirectory)) {
      key->Id = raw & 0xFFFF;
      return true;
    }
    uint32_t at = raw & ~kSubdirectory;
    if (!Inside(at, 2)) return Fail("ein Ressourcenname liegt außerhalb des Abschnitts");
    uint32_t length = Get16(File.Bytes, Base + at);
    if (length == 0 || !Inside(at + 2ull, 2ull * length)) return Fail("ein Ressourcenname liegt außerhalb des Abschnitts");
    if ((NameChars += length) > Size) return Fail("die Ressourcennamen sind größer als der Abschnitt");
    for (uint32_t i = 0; i < length; ++i) key->Name += static_cast<char16_t>(Get16(File.Bytes, Base + at + 2 + 2 * i));
    return true;
  }

  // The data of a leaf: its address mapped through the section that holds it in the file.
  bool Data(uint32_t entry, PeResource* r) {
    if (!Seen.insert(entry | kSubdirectory).second) return Fail("zwei Ressourcen teilen ihre Daten");
    if (!Inside(entry, 16)) return Fail("ein Ressourceneintrag liegt außerhalb des Abschnitts");
    uint32_t rva = Get32(File.Bytes, Base + entry), size = Get32(File.Bytes, Base + entry + 4);
    r->CodePage = Get32(File.Bytes, Base + entry + 8);
    DataBytes += size;
    if (DataBytes > File.Bytes.size()) return Fail("die Ressourcen sind größer als die Datei");
    for (uint32_t i = 0; i < File.SectionCount; ++i) {
      Section s = SectionAt(File, i);
      uint32_t raw = std::min<uint32_t>(s.RawSize, s.VirtualSize ? s.VirtualSize : s.RawSize);
      // An empty resource may stand at the very end of the raw data.
      if (rva < s.Address || rva - s.Address > raw || (rva - s.Address == raw && size)) continue;
      uint64_t offset = static_cast<uint64_t>(s.RawOffset) + (rva - s.Address);
      if (size > raw - (rva - s.Address) || !Has(File.Bytes, offset, size)) break;
      r->Data.assign(File.Bytes, offset, size);
      return true;
    }
    return Fail("die Daten einer Ressource liegen außerhalb der Datei");
  }

  // Level 0 types, 1 names, 2 languages (leaves).
  bool Directory(uint32_t at, int level, PeResource* path, std::vector<PeResource>* out) {
    if (!Seen.insert(at).second) return Fail("das Ressourcenverzeichnis verweist auf sich selbst");
    if (!Inside(at, 16)) return Fail("ein Ressourcenverzeichnis liegt außerhalb des Abschnitts");
    uint64_t count = Get16(File.Bytes, Base + at + 12) + Get16(File.Bytes, Base + at + 14);
    if (!Inside(at + 16ull, 8 * count)) return Fail("ein Ressourcenverzeichnis liegt außerhalb des Abschnitts");
    for (uint64_t i = 0; i < count; ++i) {
      size_t entry = Base + at + 16 + 8 * i;
      uint32_t name = Get32(File.Bytes, entry), target = Get32(File.Bytes, entry + 4);
      PeResource r;
      if (level > 0) r.Type = path->Type;
      if (level > 1) r.Name = path->Name;
      ResourceKey key;
      if (!Key(name, &key)) return false;
      if (level == 0) r.Type = key;
      else if (level == 1) r.Name = key;
      else if (!key.Name.empty()) return Fail("eine Sprache trägt einen Namen");
      else r.Language = key.Id;
      bool leaf = level == 2;
      if (leaf == ((target & kSubdirectory) != 0)) return Fail("das Ressourcenverzeichnis hat nicht drei Stufen");
      if (leaf) {
        if (out->size() >= kMaxResources) return Fail("zu viele Ressourcen");
        if (!Data(target, &r)) return false;
        out->push_back(std::move(r));
      } else if (!Directory(target & ~kSubdirectory, level + 1, &r, out)) {
        return false;
      }
    }
    return true;
  }
};

// The resource section's bytes for the resources (sorted), its address given.
int BuildSection(std::vector<PeResource> resources, uint32_t address, std::string* out, std::string* why) {
  std::stable_sort(resources.begin(), resources.end(), [](const PeResource& a, const PeResource& b) {
    if (!(a.Type == b.Type)) return a.Type < b.Type;
    if (!(a.Name == b.Name)) return a.Name < b.Name;
    return a.Language < b.Language;
  });
  for (size_t i = 1; i < resources.size(); ++i) {
    const PeResource &a = resources[i - 1], &b = resources[i];
    if (a.Type == b.Type && a.Name == b.Name && a.Language == b.Language) {
      *why = "eine Ressource steht doppelt";
      return 0;
    }
  }
  // Layout: the type directory, the name directories, the language directories, the data
  // entries, the names, the data (each on 8 bytes).
  struct Dir {
    size_t First, Count;  // the resources below it
  };
  std::vector<Dir> types, names;
  for (size_t i = 0; i < resources.size(); ++i) {
    if (i == 0 || !(resources[i].Type == resources[i - 1].Type)) types.push_back({i, 0});
    if (i == 0 || !(resources[i].Type == resources[i - 1].Type) || !(resources[i].Name == resources[i - 1].Name))
      names.push_back({i, 0});
    ++types.back().Count;
    ++names.back().Count;
  }
  auto entries = [&](const std::vector<Dir>& dirs, size_t from, size_t to) {
    size_t n = 0;
    for (const Dir& d : dirs) n += d.First >= from && d.First < to;
    return n;
  };
  size_t at = 16 + 8 * types.size();
  std::vector<size_t> nameDir(types.size()), langDir(names.size()), dataEntry(resources.size());
  for (size_t t = 0; t < types.size(); ++t) {
    nameDir[t] = at;
    at += 16 + 8 * entries(names, types[t].First, types[t].First + types[t].Count);
  }
  for (size_t n = 0; n < names.size(); ++n) {
    langDir[n] = at;
    at += 16 + 8 * names[n].Count;
  }
  for (size_t i = 0; i < resources.size(); ++i) dataEntry[i] = at, at += 16;
  // Names: one copy per distinct text.
  std::vector<std::pair<std::u16string, size_t>> strings;
  auto nameOffset = [&](const std::u16string& name) {
    for (const auto& s : strings)
      if (s.first == name) return s.second;
    strings.push_back({name, at});
    at += 2 + 2 * name.size();
    return strings.back().second;
  };
  for (const PeResource& r : resources) {
    if (!r.Type.Name.empty()) nameOffset(r.Type.Name);
    if (!r.Name.Name.empty()) nameOffset(r.Name.Name);
  }
  std::vector<size_t> data(resources.size());
  for (size_t i = 0; i < resources.size(); ++i) {
    at = AlignUp(at, 8);
    data[i] = at;
    at += resources[i].Data.size();
    if (at > 0x7FFFFFFFu) {
      *why = "die Ressourcen sind zu groß";
      return 0;
    }
  }
  std::string& b = *out;
  b.assign(at, '\0');
  auto directory = [&](size_t offset, size_t named, size_t ids) {
    Put16(b, offset + 12, static_cast<uint32_t>(named));
    Put16(b, offset + 14, static_cast<uint32_t>(ids));
  };
  auto entry = [&](size_t offset, const ResourceKey& key, uint32_t target) {
    Put32(b, offset, key.Name.empty() ? key.Id : kSubdirectory | static_cast<uint32_t>(nameOffset(key.Name)));
    Put32(b, offset + 4, target);
  };
  size_t namedTypes = 0;
  for (const Dir& t : types) namedTypes += !resources[t.First].Type.Name.empty();
  directory(0, namedTypes, types.size() - namedTypes);
  size_t n = 0;
  for (size_t t = 0; t < types.size(); ++t) {
    entry(16 + 8 * t, resources[types[t].First].Type, kSubdirectory | static_cast<uint32_t>(nameDir[t]));
    size_t first = n, named = 0;
    for (; n < names.size() && names[n].First < types[t].First + types[t].Count; ++n) {
      named += !resources[names[n].First].Name.Name.empty();
      entry(nameDir[t] + 16 + 8 * (n - first), resources[names[n].First].Name, kSubdirectory | static_cast<uint32_t>(langDir[n]));
    }
    directory(nameDir[t], named, n - first - named);
  }
  for (size_t k = 0; k < names.size(); ++k) {
    directory(langDir[k], 0, names[k].Count);
    for (size_t i = 0; i < names[k].Count; ++i) {
      size_t r = names[k].First + i;
      entry(langDir[k] + 16 + 8 * i, ResourceKey{resources[r].Language, {}}, static_cast<uint32_t>(dataEntry[r]));
    }
  }
  for (size_t i = 0; i < resources.size(); ++i) {
    Put32(b, dataEntry[i], address + static_cast<uint32_t>(data[i]));
    Put32(b, dataEntry[i] + 4, static_cast<uint32_t>(resources[i].Data.size()));
    Put32(b, dataEntry[i] + 8, resources[i].CodePage);
    b.replace(data[i], resources[i].Data.size(), resources[i].Data);
  }
  for (const auto& [name, offset] : strings) {
    Put16(b, offset, static_cast<uint32_t>(name.size()));
    for (size_t i = 0; i < name.size(); ++i) Put16(b, offset + 2 + 2 * i, name[i]);
  }
  return 1;
}

}  // namespace

bool ResourceKey::operator<(const ResourceKey& other) const {
  if (Name.empty() != other.Name.empty()) return !Name.empty();
  return Name.empty() ? Id < other.Id : Name < other.Name;
}

PeResource* FindResource(std::vector<PeResource>& resources, uint32_t type, uint32_t name, uint32_t language,
                         bool anyLanguage) {
  for (PeResource& r : resources)
    if (r.Type.Name.empty() && r.Type.Id == type && r.Name.Name.empty() && r.Name.Id == name &&
        (anyLanguage || r.Language == language))
      return &r;
  return nullptr;
}

uint32_t PeChecksum(const std::string& bytes, size_t checksumOffset) {
  uint64_t sum = 0;
  for (size_t i = 0; i < bytes.size(); i += 2) {
    if (i == checksumOffset || i == checksumOffset + 2) continue;
    uint32_t word = static_cast<unsigned char>(bytes[i]);
    if (i + 1 < bytes.size()) word |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + bytes.size());
}

int ReadPeFile(const std::string& bytes, PeFile* f, std::string* why) {
  *f = PeFile{};
  f->Bytes = bytes;
  const std::string& b = f->Bytes;
  auto fail = [&](const char* text) {
    *why = text;
    return 0;
  };
  if (!Has(b, 0, 64) || b[0] != 'M' || b[1] != 'Z') return fail("keine Windows-Programmdatei");
  uint32_t pe = Get32(b, 0x3C);
  if (!Has(b, pe, 24) || b.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return fail("keine 32- oder 64-Bit-Programmdatei (PE)");
  f->Machine = static_cast<uint16_t>(Get16(b, pe + 4));
  f->SectionCount = Get16(b, pe + 6);
  uint32_t optionalSize = Get16(b, pe + 20);
  f->Optional = pe + 24;
  if (!Has(b, f->Optional, optionalSize) || optionalSize < 2) return fail("der Kopf der Programmdatei ist unvollständig");
  uint32_t magic = Get16(b, f->Optional);
  size_t directories = magic == 0x10B ? 96 : magic == 0x20B ? 112 : 0;
  if (!directories || optionalSize < directories + 8 * 6) return fail("der Kopf der Programmdatei ist unvollständig");
  f->Directories = f->Optional + directories;
  if (DirectoryCount(*f) < 6 || directories + 8ull * DirectoryCount(*f) > optionalSize)
    return fail("der Kopf der Programmdatei ist unvollständig");
  f->SectionAlignment = Get32(b, f->Optional + 32);
  f->FileAlignment = Get32(b, f->Optional + 36);
  f->Subsystem = static_cast<uint16_t>(Get16(b, f->Optional + 68));
  if (!PowerOfTwo(f->FileAlignment) || f->FileAlignment < 512 || f->FileAlignment > 65536 ||
      !PowerOfTwo(f->SectionAlignment) || f->SectionAlignment < f->FileAlignment)
    return fail("die Ausrichtung der Abschnitte ist ungültig");
  f->SectionTable = f->Optional + optionalSize;
  uint32_t headers = Get32(b, f->Optional + 60);
  if (f->SectionCount == 0 || f->SectionCount > 96 || !Has(b, f->SectionTable, kSectionHeader * f->SectionCount) ||
      f->SectionTable + kSectionHeader * f->SectionCount > headers)
    return fail("die Abschnittstabelle ist ungültig");
  if (DirectorySize(*f, kSecurityDir))
    return fail("die Datei ist signiert: nach dem Ändern wäre die Signatur ungültig (nehmen Sie die unsignierte Datei)");
  if (DirectorySize(*f, kDebugDir)) return fail("die Datei hat Debug-Informationen");

  // The sections: in address order, raw data inside the file and apart from each other.
  uint32_t resourceRva = DirectoryRva(*f, kResourceDir);
  bool found = false;
  for (uint32_t i = 0; i < f->SectionCount; ++i) {
    Section s = SectionAt(*f, i);
    if (s.RawSize && (!Has(b, s.RawOffset, s.RawSize) || s.RawOffset < headers))
      return fail("ein Abschnitt liegt außerhalb der Datei");
    if (i > 0) {
      Section p = SectionAt(*f, i - 1);
      if (s.Address < p.Address + AlignUp(std::max(p.VirtualSize, 1u), f->SectionAlignment))
        return fail("die Abschnitte überlappen sich");
    }
    if (resourceRva && s.Address == resourceRva) f->ResourceSection = i, found = true;
  }
  if (!found || !DirectorySize(*f, kResourceDir)) return fail("die Datei hat keinen eigenen Ressourcenabschnitt");
  Section r = SectionAt(*f, f->ResourceSection);
  for (uint32_t i = 0; i < f->SectionCount; ++i) {
    Section s = SectionAt(*f, i);
    if (i != f->ResourceSection && s.RawSize && s.RawOffset < r.RawOffset + r.RawSize && r.RawOffset < s.RawOffset + s.RawSize)
      return fail("die Abschnitte überlappen sich");
  }
  TreeReader reader{*f, r.RawOffset, std::min(r.RawSize, std::max(r.VirtualSize, 1u)), {}, 0, 0, {}};
  PeResource root;
  if (!reader.Directory(0, 0, &root, &f->Resources)) {
    *why = reader.Why;
    return 0;
  }
  return 1;
}

int WritePeFile(const PeFile& f, std::string* out, std::string* why) {
  Section r = SectionAt(f, f.ResourceSection);
  std::string section;
  if (!BuildSection(f.Resources, r.Address, &section, why)) return 0;
  uint32_t size = static_cast<uint32_t>(section.size());
  uint32_t rawSize = static_cast<uint32_t>(AlignUp(size, f.FileAlignment));
  section.resize(rawSize, '\0');

  // Sections after the resources in the image move up when the resources outgrow the room
  // before them: only the relocations may, which nothing but their directory points at.
  uint64_t end = r.Address + AlignUp(std::max(size, 1u), f.SectionAlignment);
  uint32_t move = 0;
  uint32_t relocationRva = DirectoryRva(f, kRelocationDir);
  for (uint32_t i = f.ResourceSection + 1; i < f.SectionCount; ++i) {
    Section s = SectionAt(f, i);
    if (i == f.ResourceSection + 1 && s.Address < end) move = static_cast<uint32_t>(end - s.Address);
    if (!move) break;
    bool relocations = i == f.SectionCount - 1 && relocationRva == s.Address && DirectorySize(f, kRelocationDir) <= s.VirtualSize;
    for (uint32_t d = 0; d < DirectoryCount(f) && relocations; ++d) {
      uint32_t rva = DirectoryRva(f, d);
      if (d != kRelocationDir && d != kSecurityDir && rva >= s.Address && rva < s.Address + s.VirtualSize) relocations = false;
    }
    if (!relocations) {
      *why = "die neuen Ressourcen passen nicht in die Datei: hinter ihnen liegt ein Abschnitt, der nicht verschoben werden kann";
      return 0;
    }
  }
  if (end + move > 0x7FFFFFFFu) {
    *why = "die Ressourcen sind zu groß";
    return 0;
  }

  uint64_t oldEnd = static_cast<uint64_t>(r.RawOffset) + r.RawSize;
  std::string& b = *out;
  b = f.Bytes.substr(0, r.RawOffset) + section + f.Bytes.substr(oldEnd);
  int64_t shift = static_cast<int64_t>(rawSize) - r.RawSize;
  uint64_t imageEnd = 0;
  for (uint32_t i = 0; i < f.SectionCount; ++i) {
    size_t h = f.SectionTable + kSectionHeader * i;
    Section s = SectionAt(f, i);
    if (i == f.ResourceSection) {
      Put32(b, h + 8, size);
      Put32(b, h + 16, rawSize);
      s.VirtualSize = size;
    } else {
      if (s.RawSize && s.RawOffset >= oldEnd) Put32(b, h + 20, static_cast<uint32_t>(s.RawOffset + shift));
      if (i > f.ResourceSection) Put32(b, h + 12, s.Address += move);
    }
    imageEnd = std::max<uint64_t>(imageEnd, s.Address + AlignUp(std::max(s.VirtualSize ? s.VirtualSize : s.RawSize, 1u), f.SectionAlignment));
  }
  Put32(b, f.Directories + 8 * kResourceDir + 4, size);
  if (move && relocationRva) Put32(b, f.Directories + 8 * kRelocationDir, relocationRva + move);
  Put32(b, f.Optional + 56, static_cast<uint32_t>(imageEnd));
  Put32(b, f.Optional + 8, static_cast<uint32_t>(Get32(b, f.Optional + 8) + shift));  // initialized data
  Put32(b, f.Optional + 64, PeChecksum(b, f.Optional + 64));
  return 1;
}
