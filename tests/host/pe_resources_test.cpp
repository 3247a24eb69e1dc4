// The resource section rewriter of setuplst brand over crafted images: what it reads it writes
// back, a grown section pushes the relocations up with everything that points at them, and a
// file it cannot rewrite safely is refused. The version parser reads the results on its own.
#include <gtest/gtest.h>

#include "install/pe_version.h"
#include "pe_image.h"
#include "setuplst/pe_resources.h"

namespace {

uint32_t Get32(const std::string& b, size_t at) {
  return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8 |
         static_cast<unsigned char>(b[at + 2]) << 16 | static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

constexpr size_t kSections = pe::kOptional + 96 + 128;  // the PE32 image's section table

TEST(PeResources, RewritesTheSectionAndMovesTheRelocationsUp) {
  const std::string relocations = "\x00\x10\x00\x00\x0C\x00\x00\x00\x04\x30\x08\x30";
  std::string image = pe::WithRelocations(pe::Image(false, 0x00010002, 0x00030004), false, relocations);
  PeFile file;
  std::string why, out;
  ASSERT_EQ(ReadPeFile(image, &file, &why), 1) << why;
  ASSERT_EQ(file.Resources.size(), 1u);
  EXPECT_EQ(file.Resources[0].Type.Id, 16u);
  EXPECT_EQ(file.Resources[0].Language, 0x407u);

  // Unchanged, the section keeps its room; the relocations stay where they were.
  ASSERT_EQ(WritePeFile(file, &out, &why), 1) << why;
  EXPECT_EQ(Get32(out, kSections + 40 + 12), pe::kRva + 0x1000);
  EXPECT_EQ(Get32(out, pe::kOptional + 64), PeChecksum(out, pe::kOptional + 64));

  // Grown past a page: a named type with a named resource, a bitmap, a second language.
  PeResource picture;
  picture.Type.Id = 2, picture.Name.Id = 100, picture.Language = 0x407, picture.Data = std::string(0x1800, 'p');
  PeResource named;
  named.Type.Name = u"BILD", named.Name.Name = u"TITEL", named.Data = "abc";
  PeResource english = file.Resources[0];
  english.Language = 0x409;
  pe::Put32(english.Data, 40 + 8, 0x00090009);  // another version in the English copy
  file.Resources.insert(file.Resources.begin(), {picture, named, english});
  ASSERT_EQ(WritePeFile(file, &out, &why), 1) << why;
  uint32_t moved = Get32(out, kSections + 40 + 12);
  EXPECT_EQ(moved, pe::kRva + 0x2000);
  EXPECT_EQ(Get32(out, pe::kOptional + 96 + 5 * 8), moved);                  // the relocation directory
  EXPECT_EQ(out.substr(Get32(out, kSections + 40 + 20), relocations.size()), relocations);
  EXPECT_EQ(Get32(out, pe::kOptional + 56), moved + 0x1000);                  // size of the image
  EXPECT_EQ(Get32(out, kSections + 8), Get32(out, pe::kOptional + 96 + 2 * 8 + 4));
  EXPECT_EQ(Get32(out, kSections + 16) % 0x200, 0u);
  EXPECT_EQ(Get32(out, pe::kOptional + 64), PeChecksum(out, pe::kOptional + 64));

  PeFile again;
  ASSERT_EQ(ReadPeFile(out, &again, &why), 1) << why;
  ASSERT_EQ(again.Resources.size(), 4u);
  // In directory order: named type first, then ids; languages ascending.
  EXPECT_EQ(again.Resources[0].Type.Name, u"BILD");
  EXPECT_EQ(again.Resources[0].Name.Name, u"TITEL");
  EXPECT_EQ(again.Resources[0].Data, "abc");
  EXPECT_EQ(again.Resources[1].Data, picture.Data);
  EXPECT_EQ(again.Resources[2].Language, 0x407u);
  EXPECT_EQ(again.Resources[3].Language, 0x409u);
  uint32_t ms = 0, ls = 0;
  ASSERT_EQ(ReadPeFileVersion(reinterpret_cast<const unsigned char*>(out.data()), out.size(), &ms, &ls), 1);
  EXPECT_EQ(ms, 0x00090009u);  // English first, as the version library looks

  // 64 bit, without relocations behind: the section just grows.
  ASSERT_EQ(ReadPeFile(pe::Image(true, 1, 2), &file, &why), 1) << why;
  file.Resources.push_back(picture);
  ASSERT_EQ(WritePeFile(file, &out, &why), 1) << why;
  ASSERT_EQ(ReadPeFile(out, &again, &why), 1) << why;
  EXPECT_EQ(again.Resources.size(), 2u);
}

TEST(PeResources, RefusesWhatItCannotRewriteSafely) {
  auto refused = [](std::string image, size_t at, uint32_t value) {
    pe::Put32(image, at, value);
    PeFile file;
    std::string why;
    return ReadPeFile(image, &file, &why) == 0 && !why.empty();
  };
  std::string image = pe::Image(false, 1, 2);
  EXPECT_TRUE(refused(image, pe::kOptional + 96 + 4 * 8 + 4, 0x100));           // signed
  EXPECT_TRUE(refused(image, pe::kOptional + 96 + 2 * 8, pe::kRva + 0x10));      // resources inside a section
  EXPECT_TRUE(refused(image, pe::kNameDir + 20, 0x80000000u));                   // a directory that loops
  EXPECT_TRUE(refused(image, pe::kLanguageDir + 16, 0x80000000u));               // a language by name
  EXPECT_TRUE(refused(image, pe::kTypeDir + 20, 0x48));                          // a leaf one level up
  EXPECT_TRUE(refused(image, pe::kOptional + 36, 0x300));                        // file alignment
  // Grown resources cannot move a section that is not the relocations.
  PeFile file;
  std::string why, out;
  std::string relocated = pe::WithRelocations(image, false, std::string(12, '\0'));
  pe::Put32(relocated, pe::kOptional + 96 + 5 * 8, 0);
  ASSERT_EQ(ReadPeFile(relocated, &file, &why), 1) << why;
  file.Resources.push_back(file.Resources[0]);
  file.Resources.back().Data.resize(0x2000);
  file.Resources.back().Name.Id = 2;
  EXPECT_EQ(WritePeFile(file, &out, &why), 0);
  file.Resources.back().Name.Id = 1;  // the same resource twice
  file.Resources.back().Data.resize(8);
  EXPECT_EQ(WritePeFile(file, &out, &why), 0);
}

}  // namespace
