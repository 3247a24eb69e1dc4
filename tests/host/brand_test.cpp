// The branding of setuplst brand over a setup-like program: what it replaces, what it keeps,
// and what it refuses (with nothing written).
#include <gtest/gtest.h>

#include "pe_image.h"
#include "setuplst/brand_image.h"
#include "setuplst/pe_resources.h"

namespace {

bool Holds(const std::string& data, const std::string& cp1252) { return data.find(pe::Utf16(cp1252)) != std::string::npos; }

TEST(Brand, ReplacesNamesNoticesIconAndPictureAndKeepsTheRest) {
  std::string exe = pe::SetupLikeImage(), out, why;
  ASSERT_FALSE(exe.empty());
  PeFile before, after;
  ASSERT_EQ(ReadPeFile(exe, &before, &why), 1) << why;
  BrandInput input;
  input.Texts[1] = "Atlas der Welt", input.Texts[2] = "Gesch\xFCtzt.", input.Texts[3] = "$p auf einem Computer.";
  input.Given = 2 | 4 | 8;  // the company stays
  input.Icon = pe::Icon(16, 4);
  input.Bitmap = pe::Bitmap(24, 10, 8);
  ASSERT_EQ(BrandImage(exe, &input, &out, &why), kBranded) << why;
  EXPECT_EQ(input.Texts[0], "Firma");
  ASSERT_EQ(ReadPeFile(out, &after, &why), 1) << why;

  PeResource* strings = FindResource(after.Resources, 6, 7);
  ASSERT_NE(strings, nullptr);
  EXPECT_EQ(strings->Data, pe::StringBlock({{7, "Firma"}, {8, "Atlas der Welt"}, {13, "2.0"}}));
  EXPECT_EQ(FindResource(after.Resources, 6, 17)->Data, pe::StringBlock({{3, "Gesch\xFCtzt."}, {4, "$p auf einem Computer."}}));
  EXPECT_EQ(FindResource(after.Resources, 5, 101)->Data,
            pe::DialogEx({{257, "Willkommen"}, {259, "Gesch\xFCtzt."}, {260, "$p auf einem Computer."}}));
  const std::string& version = FindResource(after.Resources, 16, 1)->Data;
  for (const char* text : {"Firma", "Atlas der Welt", "Atlas der Welt-Setup", "setup.exe"}) EXPECT_TRUE(Holds(version, text)) << text;
  EXPECT_FALSE(Holds(version, "Produkt"));
  // Icon 7 has the file's image under a free id; the notice icon keeps image 2.
  const std::string& group = FindResource(after.Resources, 14, 7)->Data;
  ASSERT_EQ(group.size(), 20u);
  uint32_t image = static_cast<unsigned char>(group[18]);
  EXPECT_EQ(image, 1u);
  EXPECT_EQ(FindResource(after.Resources, 3, image)->Data, input.Icon.substr(22));
  EXPECT_EQ(FindResource(after.Resources, 3, 2)->Data, std::string(40, '\2'));
  EXPECT_EQ(FindResource(after.Resources, 14, 133)->Data, FindResource(before.Resources, 14, 133)->Data);
  EXPECT_EQ(FindResource(after.Resources, 2, 100)->Data, input.Bitmap.substr(14));
  EXPECT_EQ(FindResource(after.Resources, 24, 1)->Data, "<assembly/>");
  EXPECT_EQ(after.Resources.size(), before.Resources.size() + 1);

  // An image that another icon uses too stays; the new one takes the next free id.
  FindResource(before.Resources, 14, 133)->Data = FindResource(before.Resources, 14, 7)->Data;
  ASSERT_EQ(WritePeFile(before, &exe, &why), 1) << why;
  ASSERT_EQ(BrandImage(exe, &input, &out, &why), kBranded) << why;
  ASSERT_EQ(ReadPeFile(out, &after, &why), 1) << why;
  ASSERT_NE(FindResource(after.Resources, 3, 1), nullptr);
  EXPECT_EQ(FindResource(after.Resources, 3, 1)->Data, std::string(40, '\1'));
  EXPECT_EQ(static_cast<unsigned char>(FindResource(after.Resources, 14, 7)->Data[18]), 3);
}

TEST(Brand, RefusesWhatTheSetupCouldNotShow) {
  std::string exe = pe::SetupLikeImage();
  std::string compressed = pe::Bitmap(8, 8, 8), topDown = pe::Bitmap(8, 8, 8), shortIcon = pe::Icon(16, 4);
  pe::Put32(compressed, 14 + 16, 1);
  pe::Put32(topDown, 14 + 8, static_cast<uint32_t>(-8));
  shortIcon.resize(shortIcon.size() - 10);
  PeFile noAutorunBox;
  std::string why, withoutBox;
  ReadPeFile(exe, &noAutorunBox, &why);
  noAutorunBox.Resources.erase(noAutorunBox.Resources.begin() + 4);  // dialog 131
  ASSERT_EQ(WritePeFile(noAutorunBox, &withoutBox, &why), 1);
  struct Case {
    const char* What;
    int Text;
    std::string Value, Icon, Bitmap, Exe;
    BrandOutcome Outcome;
  };
  const Case cases[] = {
      {"a product of 260 characters", 1, std::string(260, 'P'), "", "", exe, kBadText},
      {"an empty company", 0, "", "", "", exe, kBadText},
      {"a notice past 1023 characters with the names", 3, "$p$p$p" + std::string(1010, 'n'), "", "", exe, kBadText},
      {"a 32-bit icon", -1, "", pe::Icon(16, 32), "", exe, kBadIcon},
      {"an icon of PNG images", -1, "", pe::Icon(16, 4).replace(22, 4, "\x89PNG"), "", exe, kBadIcon},
      {"an icon shorter than its header says", -1, "", shortIcon, "", exe, kBadIcon},
      {"an icon of 128 points", -1, "", pe::Icon(128, 4), "", exe, kBadIcon},
      {"a picture 641 points wide", -1, "", "", pe::Bitmap(641, 10, 4), exe, kBadBitmap},
      {"a compressed picture", -1, "", "", compressed, exe, kBadBitmap},
      {"a picture stored top down", -1, "", "", topDown, exe, kBadBitmap},
      {"a picture that is an icon", -1, "", "", pe::Icon(16, 4), exe, kBadBitmap},
      {"a program without the autorun box", -1, "", "", "", withoutBox, kNotTheSetup},
      {"no program at all", -1, "", "", "", pe::Bitmap(8, 8, 8), kNotTheSetup},
  };
  for (const Case& c : cases) {
    BrandInput input;
    if (c.Text >= 0) input.Texts[c.Text] = c.Value, input.Given = 1u << c.Text;
    input.Icon = c.Icon, input.Bitmap = c.Bitmap;
    std::string out;
    EXPECT_EQ(BrandImage(c.Exe, &input, &out, &why), c.Outcome) << c.What;
    EXPECT_FALSE(why.empty()) << c.What;
  }
  // Within the limits: a notice of exactly 1023 characters once "$p" is the product's name.
  BrandInput fits;
  fits.Texts[1] = "Produkt", fits.Texts[3] = "$p" + std::string(1016, 'n'), fits.Given = 2 | 8;
  std::string out;
  EXPECT_EQ(BrandImage(exe, &fits, &out, &why), kBranded) << why;
}

}  // namespace
