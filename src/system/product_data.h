// Product data files: Windows Help containers that carry the members "Hefte.Dat" (the issues
// the file holds) and "master.dat" (its identifier and version number). The reader works on
// the file's bytes in memory and trusts none of them: every offset, count, page number and
// name is checked against the size before it is used, so a damaged or hostile file is simply
// one that cannot be read.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int kProductIdBytes = 16;
constexpr int kIssueRecordBytes = 38;
// "{XXXXXXXX-XXXX-xxxx-XXXX-XXXXXXXXXXXX}" and its terminating zero.
constexpr size_t kIdentifierTextChars = 39;

struct ProductData {
  const unsigned char* Bytes;
  size_t Size;
  size_t IssueTable;   // file offset of the first issue record
  int32_t IssueCount;  // issue records, all of them inside the file; 0 when none
  unsigned char Identifier[kProductIdBytes];  // from "master.dat"; zeros when absent or short
  uint32_t Version;                          // from "master.dat"; 0 when absent or short
};

// The file offset of the member's internal file header (its data starts 9 bytes later), found
// by name without regard to case. 0 when the bytes are no container or lack the member.
int FindProductMember(const unsigned char* bytes, size_t size, const char* name, size_t* memberOffset);

// Opens a product data file over its bytes: the container, its "Hefte.Dat" member and issue
// table, and the identifier and version of "master.dat". 0 when the file cannot be read.
int OpenProductData(const unsigned char* bytes, size_t size, ProductData* data);

// Issue record index (0 <= index < IssueCount): its identifier, and whether its flag marks it
// registered.
void ProductIssue(const ProductData* data, int32_t index, unsigned char (&identifier)[kProductIdBytes],
                  int* registered);

// The registry's name for an identifier: the first two groups and the bytes in upper-case
// hexadecimal, the third group in lower case.
void FormatProductIdentifier(char (&text)[kIdentifierTextChars], const unsigned char (&identifier)[kProductIdBytes]);

// Cuts a registered program path to its folder: the text ends at the last backslash that is
// not its final character. A drive's root keeps its backslash ("C:\Start.exe" gives "C:\", not
// the drive-relative "C:"), and so does the root of the current drive. A path without such a
// backslash is left whole.
void CutToProgramFolder(char* path);
