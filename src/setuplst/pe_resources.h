// The resource section of a PE file (32 or 64 bit), read into a list and written anew: the
// publisher's tool brands a built setup.exe with it, without a compiler. Portable code over
// bytes; the bytes are untrusted, so every offset and size is checked before it is used.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A type or name of the resource directory: an id, or a name (UTF-16) when Name is not empty.
struct ResourceKey {
  uint32_t Id = 0;
  std::u16string Name;
  bool operator==(const ResourceKey& other) const { return Id == other.Id && Name == other.Name; }
  // The order of a directory: names before ids, names by their code units, ids ascending.
  bool operator<(const ResourceKey& other) const;
};

struct PeResource {
  ResourceKey Type, Name;
  uint32_t Language = 0;
  uint32_t CodePage = 0;
  std::string Data;
};

// A PE file whose resource section can be written anew: the section that the resource
// directory starts, followed in the image at most by the relocations (which may move up).
struct PeFile {
  std::string Bytes;
  uint16_t Machine = 0;
  uint16_t Subsystem = 0;
  std::vector<PeResource> Resources;
  // Where things stand in Bytes.
  size_t Optional = 0, Directories = 0, SectionTable = 0;
  uint32_t SectionCount = 0, SectionAlignment = 0, FileAlignment = 0;
  uint32_t ResourceSection = 0;  // index in the section table
};

// Reads the file and its resources; 0 and the reason (program text) otherwise.
int ReadPeFile(const std::string& bytes, PeFile* file, std::string* why);
// The file with its resource section made from file.Resources: section, sizes of the image,
// the resource and relocation directories, and the checksum set anew. 0 and the reason when the
// resources do not fit (the section after them cannot move) or are not a valid set.
int WritePeFile(const PeFile& file, std::string* out, std::string* why);
// The checksum of the optional header, as the loader of drivers and the linker compute it.
uint32_t PeChecksum(const std::string& bytes, size_t checksumOffset);
// The resource of the type, name and language (any language with anyLanguage); null when none.
PeResource* FindResource(std::vector<PeResource>& resources, uint32_t type, uint32_t name,
                         uint32_t language = 0, bool anyLanguage = true);
