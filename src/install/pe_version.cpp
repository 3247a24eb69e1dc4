#include "install/pe_version.h"

namespace {

constexpr uint32_t kVersionType = 16;  // RT_VERSION
constexpr uint32_t kVersionName = 1;   // VS_VERSION_INFO
constexpr uint32_t kLanguageEnglish = 0x409;
constexpr uint32_t kFixedInfoBytes = 52;  // sizeof(VS_FIXEDFILEINFO)

// The bytes with bounds: every read says whether it stayed inside.
struct Bytes {
  const unsigned char* Data;
  size_t Size;

  bool Has(uint64_t offset, uint64_t count) const { return offset <= Size && count <= Size - offset; }
  bool U16(uint64_t offset, uint32_t* value) const {
    if (!Has(offset, 2)) return false;
    *value = Data[offset] | Data[offset + 1] << 8;
    return true;
  }
  bool U32(uint64_t offset, uint32_t* value) const {
    if (!Has(offset, 4)) return false;
    *value = static_cast<uint32_t>(Data[offset]) | static_cast<uint32_t>(Data[offset + 1]) << 8 |
             static_cast<uint32_t>(Data[offset + 2]) << 16 | static_cast<uint32_t>(Data[offset + 3]) << 24;
    return true;
  }
};

struct Sections {
  uint64_t Table;  // file offset of the section table
  uint32_t Count;
};

// The file offset of an address of the loaded image, through the section that holds it in its
// raw data; false when no section does.
bool FileOffset(const Bytes& file, const Sections& sections, uint32_t rva, uint64_t* offset) {
  for (uint32_t i = 0; i < sections.Count; ++i) {
    uint64_t header = sections.Table + 40ull * i;
    uint32_t address, rawSize, rawOffset;
    if (!file.U32(header + 12, &address) || !file.U32(header + 16, &rawSize) || !file.U32(header + 20, &rawOffset))
      return false;
    if (rva >= address && rva - address < rawSize) {
      *offset = static_cast<uint64_t>(rawOffset) + (rva - address);
      return true;
    }
  }
  return false;
}

// The entry of a resource directory (at file offset dir) with the given id: its OffsetToData.
// With anyId, the first entry with an id. False when none.
bool FindEntry(const Bytes& file, uint64_t dir, uint32_t id, bool anyId, uint32_t* target) {
  uint32_t named, ids;
  if (!file.U16(dir + 12, &named) || !file.U16(dir + 14, &ids)) return false;
  for (uint32_t i = 0; i < ids; ++i) {
    uint64_t entry = dir + 16 + 8ull * (named + i);
    uint32_t name, data;
    if (!file.U32(entry, &name) || !file.U32(entry + 4, &data)) return false;
    if (name & 0x80000000u) continue;  // a named entry where ids should stand
    if (anyId || (name & 0xFFFF) == id) {
      *target = data;
      return true;
    }
  }
  return false;
}

// A sub-directory entry's directory as a file offset.
bool SubDirectory(uint64_t root, uint32_t target, uint64_t* dir) {
  if (!(target & 0x80000000u)) return false;
  *dir = root + (target & 0x7FFFFFFFu);
  return true;
}

// The fixed file information inside the version resource's data (file offset, size).
bool FixedInfo(const Bytes& file, uint64_t data, uint32_t size, uint32_t* ms, uint32_t* ls) {
  if (!file.Has(data, size)) return false;
  Bytes info{file.Data + data, size};
  uint32_t valueLength;
  if (!info.U16(2, &valueLength) || valueLength < kFixedInfoBytes) return false;
  // The key is a zero-ended UTF-16 text after the three header words; the value follows it on
  // the next 32-bit boundary of the structure.
  uint64_t at = 6;
  for (uint32_t c = 1; c != 0; at += 2)
    if (!info.U16(at, &c)) return false;
  at = (at + 3) & ~3ull;
  if (!info.Has(at, kFixedInfoBytes)) return false;
  return info.U32(at + 8, ms) && info.U32(at + 12, ls);
}

}  // namespace

int ReadPeFileVersion(const unsigned char* bytes, size_t size, uint32_t* versionMS, uint32_t* versionLS) {
  Bytes file{bytes, size};
  uint32_t pe, signature, sectionCount, optionalSize, magic;
  if (size < 64 || bytes[0] != 'M' || bytes[1] != 'Z' || !file.U32(0x3C, &pe)) return 0;
  if (!file.U32(pe, &signature) || signature != 0x00004550u) return 0;  // "PE\0\0"
  if (!file.U16(pe + 6ull, &sectionCount) || !file.U16(pe + 20ull, &optionalSize)) return 0;
  uint64_t optional = pe + 24ull;
  if (!file.U16(optional, &magic)) return 0;
  uint64_t directories;
  if (magic == 0x10B) directories = 96;       // PE32
  else if (magic == 0x20B) directories = 112;  // PE32+
  else return 0;
  uint32_t directoryCount, resourceRva, resourceSize;
  if (!file.U32(optional + directories - 4, &directoryCount) || directoryCount < 3) return 0;
  uint64_t resourceEntry = directories + 2 * 8;
  if (resourceEntry + 8 > optionalSize) return 0;
  if (!file.U32(optional + resourceEntry, &resourceRva) || !file.U32(optional + resourceEntry + 4, &resourceSize) ||
      resourceRva == 0)
    return 0;

  Sections sections{optional + optionalSize, sectionCount};
  uint64_t root;
  if (!FileOffset(file, sections, resourceRva, &root)) return 0;

  // Type, then name, then language: English first, then neutral, then whatever comes first.
  uint32_t target;
  uint64_t names, languages;
  if (!FindEntry(file, root, kVersionType, false, &target) || !SubDirectory(root, target, &names)) return 0;
  if (!FindEntry(file, names, kVersionName, false, &target) || !SubDirectory(root, target, &languages)) return 0;
  if (!FindEntry(file, languages, kLanguageEnglish, false, &target) && !FindEntry(file, languages, 0, false, &target) &&
      !FindEntry(file, languages, 0, true, &target))
    return 0;
  if (target & 0x80000000u) return 0;  // a directory where the data should be

  uint32_t dataRva, dataSize;
  uint64_t data;
  if (!file.U32(root + target, &dataRva) || !file.U32(root + target + 4ull, &dataSize)) return 0;
  if (!FileOffset(file, sections, dataRva, &data)) return 0;
  return FixedInfo(file, data, dataSize, versionMS, versionLS);
}

namespace {

// The fixed file information of a 16-bit version resource at a file offset: length, value
// length, a key of single bytes ending in zero, then the value on the next 32-bit boundary.
int FixedInfo16(const Bytes& file, uint64_t data, uint64_t size, uint32_t* ms, uint32_t* ls) {
  if (!file.Has(data, size)) return 0;
  Bytes info{file.Data + data, static_cast<size_t>(size)};
  uint32_t length, valueLength;
  if (!info.U16(0, &length) || !info.U16(2, &valueLength) || valueLength < kFixedInfoBytes) return 0;
  uint64_t at = 4;
  while (at < info.Size && info.Data[at]) ++at;
  at = (at + 1 + 3) & ~3ull;
  if (!info.Has(at, kFixedInfoBytes) || at + kFixedInfoBytes > length) return 0;
  return info.U32(at + 8, ms) && info.U32(at + 12, ls);
}

// NE: the resource table (its offset from the header at +0x24) starts with the alignment
// shift, then per type its id, the count and four reserved bytes, then twelve bytes per
// resource: offset and length in units of the alignment, flags, id. Ids carry bit 15.
int NeVersion(const Bytes& file, uint64_t header, uint32_t* ms, uint32_t* ls) {
  uint32_t table, shift;
  if (!file.U16(header + 0x24, &table) || !file.U16(header + table, &shift) || shift > 16) return 0;
  for (uint64_t at = header + table + 2;;) {
    uint32_t type, count;
    if (!file.U16(at, &type) || type == 0 || !file.U16(at + 2, &count)) return 0;
    at += 8;
    for (uint32_t i = 0; type == (0x8000u | kVersionType) && i < count; ++i) {
      uint32_t offset, length, id;
      if (!file.U16(at + 12 * i, &offset) || !file.U16(at + 12 * i + 2, &length) || !file.U16(at + 12 * i + 6, &id)) return 0;
      if (id == (0x8000u | kVersionName))
        return FixedInfo16(file, static_cast<uint64_t>(offset) << shift, static_cast<uint64_t>(length) << shift, ms, ls);
    }
    at += 12ull * count;
  }
}

// LE (a virtual device driver): the header holds the file offset and length of one resource in
// the 16-bit resource file layout: type and name (0xFF and an id, or a text ending in zero),
// flags, size, then the data.
int LeVersion(const Bytes& file, uint64_t header, uint32_t* ms, uint32_t* ls) {
  uint32_t offset, length;
  if (!file.U32(header + 0xB8, &offset) || !file.U32(header + 0xBC, &length) || !offset || !file.Has(offset, length)) return 0;
  Bytes resource{file.Data + offset, length};
  uint64_t at = 0;
  uint32_t type = 0, size;
  for (int part = 0; part < 2; ++part) {
    if (!resource.Has(at, 1)) return 0;
    if (resource.Data[at] == 0xFF) {
      uint32_t id;
      if (!resource.U16(at + 1, &id)) return 0;
      if (part == 0) type = id;
      at += 3;
    } else {
      while (resource.Has(at, 1) && resource.Data[at]) ++at;
      ++at;
    }
  }
  if (type != kVersionType || !resource.U32(at + 2, &size)) return 0;
  at += 6;
  if (!resource.Has(at, size)) size = static_cast<uint32_t>(resource.Size - at);
  return FixedInfo16(file, offset + at, size, ms, ls);
}

}  // namespace

int ReadFileVersion(const unsigned char* bytes, size_t size, uint32_t* versionMS, uint32_t* versionLS) {
  Bytes file{bytes, size};
  uint32_t header, signature;
  if (size < 64 || bytes[0] != 'M' || bytes[1] != 'Z' || !file.U32(0x3C, &header) || !file.U16(header, &signature)) return 0;
  if (signature == 0x454E) return NeVersion(file, header, versionMS, versionLS);  // "NE"
  if (signature == 0x454C) return LeVersion(file, header, versionMS, versionLS);  // "LE"
  return ReadPeFileVersion(bytes, size, versionMS, versionLS);
}
