// The version parser over crafted images: 32 and 64 bit, and every structure on the way cut
// short, pointed elsewhere or out of the file.
#include <gtest/gtest.h>

#include "install/pe_version.h"
#include "pe_image.h"

namespace {

int Parse(const std::string& bytes, uint32_t* ms, uint32_t* ls) {
  return ReadPeFileVersion(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), ms, ls);
}

int ParseAny(const std::string& bytes, uint32_t* ms, uint32_t* ls) {
  return ReadFileVersion(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), ms, ls);
}

TEST(PeVersion, ReadsTheFixedFileVersionOfEveryFormat) {
  for (const std::string& image : {pe::Image(false, 0x00020003, 0x00040005), pe::Image(true, 0x00020003, 0x00040005),
                                   pe::NeImage(0x00020003, 0x00040005), pe::LeImage(0x00020003, 0x00040005)}) {
    uint32_t ms = 0, ls = 0;
    EXPECT_EQ(ParseAny(image, &ms, &ls), 1) << (image[0x3C] & 0xFF);
    EXPECT_EQ(ms, 0x00020003u);
    EXPECT_EQ(ls, 0x00040005u);
  }
}

TEST(PeVersion, FaultyOldFormatsHaveNoVersion) {
  struct Patch {
    const char* What;
    bool Le;
    size_t At;
    uint32_t Value;
  };
  const Patch patches[] = {
      {"NE: table beyond the file", false, pe::kNe + 0x24, 0xFF00},
      {"NE: no version type", false, pe::kNeTable + 22, 0x8006},
      {"NE: version names another resource", false, pe::kNeTable + 36, 0x8002},
      {"NE: alignment shift past 16", false, pe::kNeTable, 17},
      {"NE: data beyond the file", false, pe::kNeTable + 30, 0x7000},
      {"NE: fixed information too short", false, pe::kNeVersion + 2, 51},
      {"NE: more resources claimed than the file holds", false, pe::kNeTable + 4, 0x4000},
      {"LE: no resource", true, pe::kLe + 0xB8, 0},
      {"LE: resource beyond the file", true, pe::kLe + 0xBC, 0x1000},
      {"LE: another type", true, pe::kLeResource + 1, 0x0E},
      {"LE: fixed information too short", true, pe::kLeResource + 12 + 2, 40},
  };
  for (const Patch& patch : patches) {
    std::string bytes = patch.Le ? pe::LeImage(1, 2) : pe::NeImage(1, 2);
    pe::Put16(bytes, patch.At, patch.Value);
    uint32_t ms = 7, ls = 7;
    EXPECT_EQ(ParseAny(bytes, &ms, &ls), 0) << patch.What;
  }
  for (const std::string& whole : {pe::NeImage(1, 2), pe::LeImage(1, 2)}) {
    uint32_t ms, ls;
    for (size_t n = 0; n + 8 < whole.size(); ++n) EXPECT_EQ(ParseAny(whole.substr(0, n), &ms, &ls), 0) << n;
  }
}

TEST(PeVersion, FaultyImagesHaveNoVersion) {
  struct Patch {
    const char* What;
    size_t At;
    uint32_t Value;
    int Bits;  // 16 or 32
  };
  const Patch patches[] = {
      {"not MZ", 0, 'X', 16},
      {"PE header beyond the file", 0x3C, 0x7FFFFFF0u, 32},
      {"no PE signature", pe::kPe, 0x4551, 32},
      {"unknown optional header", pe::kOptional, 0x107, 16},
      {"two data directories only", pe::kOptional + 92, 2, 32},
      {"optional header too short for the directory", pe::kPe + 20, 96 + 16, 16},
      {"no section holds the resources", pe::kOptional + 96 + 16, 0x9000, 32},
      {"no version type", pe::kTypeDir + 16, 3, 32},
      {"type names no directory", pe::kTypeDir + 20, 0x18, 32},
      {"no name 1", pe::kNameDir + 16, 2, 32},
      {"a named entry only", pe::kNameDir + 16, 0x80000001u, 32},
      {"sub-directory out of the file", pe::kNameDir + 20, 0xFFFFFFF0u, 32},
      {"language names a directory", pe::kLanguageDir + 20, 0x80000048u, 32},
      {"data address outside every section", pe::kDataEntry, 0x500, 32},
      {"data larger than the file", pe::kDataEntry + 4, 0x1000, 32},
      {"fixed information too short", pe::kVersion + 2, 51, 16},
      {"more entries claimed than the file holds", pe::kLanguageDir + 14, 0x2000, 16},
  };
  for (const Patch& patch : patches) {
    std::string bytes = pe::Image(false, 1, 2);
    if (patch.Bits == 16) pe::Put16(bytes, patch.At, patch.Value);
    else pe::Put32(bytes, patch.At, patch.Value);
    uint32_t ms = 7, ls = 7;
    EXPECT_EQ(Parse(bytes, &ms, &ls), 0) << patch.What;
  }
  // Cut anywhere before its end, the image has no version (the key runs to the end).
  std::string whole = pe::Image(true, 1, 2);
  uint32_t ms, ls;
  for (size_t n = 0; n < whole.size(); ++n) EXPECT_EQ(Parse(whole.substr(0, n), &ms, &ls), 0) << n;
}

}  // namespace
