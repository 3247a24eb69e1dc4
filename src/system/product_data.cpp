#include "system/product_data.h"

#include <cstring>

#include "startup/text.h"

namespace {

constexpr uint16_t kContainerMagic = 0x5F3F;
constexpr size_t kFileHeaderBytes = 9;         // internal file header before a member's data
constexpr size_t kDirectoryPageSize = 13;      // in the directory: tree header byte 4
constexpr size_t kDirectoryEntryTotal = 43;    // tree header byte 34
constexpr size_t kDirectoryFirstPage = 47;     // 9-byte file header + 38-byte tree header
constexpr size_t kPageEntryCount = 2;
constexpr size_t kPageNextPage = 6;
constexpr size_t kPageEntries = 8;
constexpr int kMaxPages = 32768;               // page numbers are signed 16-bit

uint16_t Read16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Read32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// 1 when count bytes from offset lie inside the file (without overflowing).
bool Inside(size_t size, uint64_t offset, uint64_t count) { return offset <= size && count <= size - offset; }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The name at name[0..length) against wanted, ASCII letters without regard to case.
bool SameName(const unsigned char* name, size_t length, const char* wanted) {
  if (strlen(wanted) != length) return false;
  for (size_t i = 0; i < length; ++i)
    if (LowerAscii(static_cast<char>(name[i])) != LowerAscii(wanted[i])) return false;
  return true;
}

// Looks for the name in one directory page (page bytes [page, page + pageSize), all inside
// the file). 1 with the member's offset when found.
int SearchPage(const unsigned char* page, size_t pageSize, const char* name, size_t* memberOffset) {
  int16_t count = static_cast<int16_t>(Read16(page + kPageEntryCount));
  size_t at = kPageEntries;
  for (int16_t i = 0; i < count; ++i) {
    const void* end = memchr(page + at, 0, pageSize - at);
    if (!end) return 0;  // a name running off the page: the rest of the page is no entry
    size_t length = static_cast<size_t>(static_cast<const unsigned char*>(end) - (page + at));
    size_t offsetAt = at + length + 1;
    if (!Inside(pageSize, offsetAt, 4)) return 0;
    if (SameName(page + at, length, name)) {
      *memberOffset = Read32(page + offsetAt);
      return 1;
    }
    at = offsetAt + 4;
  }
  return 0;
}

}  // namespace

int FindProductMember(const unsigned char* bytes, size_t size, const char* name, size_t* memberOffset) {
  if (!bytes || !Inside(size, 0, 8) || Read16(bytes) != kContainerMagic) return 0;
  uint64_t directory = Read32(bytes + 4);
  if (!Inside(size, directory, kDirectoryFirstPage)) return 0;
  const unsigned char* dir = bytes + directory;
  size_t pageSize = Read16(dir + kDirectoryPageSize);
  if (Read32(dir + kDirectoryEntryTotal) == 0 || pageSize <= kPageEntries) return 0;

  // Each page is searched once at most, so a chain that loops back ends.
  unsigned char visited[kMaxPages / 8] = {};
  int16_t page = 0;
  while (page >= 0) {
    if (visited[page / 8] & (1 << (page % 8))) return 0;
    visited[page / 8] |= static_cast<unsigned char>(1 << (page % 8));
    uint64_t start = directory + kDirectoryFirstPage + static_cast<uint64_t>(page) * pageSize;
    if (!Inside(size, start, pageSize)) return 0;
    size_t found = 0;
    if (SearchPage(bytes + start, pageSize, name, &found)) {
      // The member's header must be there too; its data may be empty.
      if (!Inside(size, found, kFileHeaderBytes)) return 0;
      *memberOffset = found;
      return 1;
    }
    page = static_cast<int16_t>(Read16(bytes + start + kPageNextPage));
  }
  return 0;
}

int OpenProductData(const unsigned char* bytes, size_t size, ProductData* data) {
  memset(data, 0, sizeof *data);
  size_t member = 0;
  if (!FindProductMember(bytes, size, "Hefte.Dat", &member)) return 0;
  uint64_t issues = member + kFileHeaderBytes;
  if (!Inside(size, issues, 16)) return 0;
  int32_t count = static_cast<int32_t>(Read32(bytes + issues + 12));
  uint64_t table = issues + Read32(bytes + issues + 2);
  if (count > 0) {
    // A count that claims more records than the file holds marks a damaged file.
    if (!Inside(size, table, static_cast<uint64_t>(count) * kIssueRecordBytes)) return 0;
    data->IssueCount = count;
    data->IssueTable = static_cast<size_t>(table);
  }

  if (FindProductMember(bytes, size, "master.dat", &member)) {
    uint64_t master = member + kFileHeaderBytes;
    if (Inside(size, master, 4) && Read32(bytes + master) > 12) {
      if (!Inside(size, master, 36)) return 0;  // says it is long enough, but the file ends
      memcpy(data->Identifier, bytes + master + 16, kProductIdBytes);
      data->Version = Read32(bytes + master + 32);
    }
  }
  data->Bytes = bytes;
  data->Size = size;
  return 1;
}

void ProductIssue(const ProductData* data, int32_t index, unsigned char (&identifier)[kProductIdBytes],
                  int* registered) {
  const unsigned char* record = data->Bytes + data->IssueTable + static_cast<size_t>(index) * kIssueRecordBytes;
  memcpy(identifier, record + 16, kProductIdBytes);
  *registered = Read16(record + 36) != 0;
}

void FormatProductIdentifier(char (&text)[kIdentifierTextChars], const unsigned char (&id)[kProductIdBytes]) {
  FormatText(text, "{%08X-%04X-%04x-%02X%02X-%02X%02X%02X%02X%02X%02X}", static_cast<unsigned>(Read32(id)),
             Read16(id + 4), Read16(id + 6), id[8], id[9], id[10], id[11], id[12], id[13], id[14], id[15]);
}

void CutToProgramFolder(char* path) {
  size_t length = strlen(path);
  if (length < 2) return;
  // The last backslash before the final character.
  size_t cut = length - 1;
  while (cut > 0 && path[cut - 1] != '\\') --cut;
  if (cut == 0) return;
  size_t slash = cut - 1;
  bool driveRoot = slash == 2 && path[1] == ':';
  path[driveRoot || slash == 0 ? slash + 1 : slash] = 0;
}
