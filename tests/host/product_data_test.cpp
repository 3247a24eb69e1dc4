// The product data container reader over files from the fixture writer, damaged and hostile
// ones included. Each is read from an allocation of exactly its size, so the address sanitizer
// catches any read past the end.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "product_data_writer.h"
#include "system/product_data.h"

namespace {

fixture::Identifier Id(const char* text) {
  fixture::Identifier id;
  EXPECT_TRUE(fixture::ParseIdentifier(text, &id)) << text;
  return id;
}

const char kProduct[] = "{0123ABCD-4567-89ab-CDEF-0123456789AB}";
const char kIssue[] = "{AAAAAAAA-BBBB-cccc-DDDD-EEEEEEEEEEEE}";

fixture::ProductDataLayout Sample() {
  fixture::ProductDataLayout layout;
  layout.Id = Id(kProduct);
  layout.Version = 3;
  layout.Issues = {{Id("11111111-2222-3333-4444-555555555555"), 0}, {Id(kIssue), 2}};
  return layout;
}

int Open(const std::string& bytes, ProductData* data, size_t size = std::string::npos) {
  std::vector<unsigned char> exact(bytes.begin(), bytes.begin() + static_cast<long>(std::min(size, bytes.size())));
  return OpenProductData(exact.data(), exact.size(), data);
}

std::string Text(const unsigned char (&id)[kProductIdBytes]) {
  char text[kIdentifierTextChars];
  FormatProductIdentifier(text, id);
  return text;
}

TEST(ProductData, ReadsIdentifierVersionAndIssuesWithMembersInAnyCaseAlongThePageChain) {
  for (int variant = 0; variant < 3; ++variant) {
    fixture::ProductDataLayout layout = Sample();
    if (variant == 1) layout.HefteName = "HEFTE.DAT", layout.MasterName = "Master.Dat";
    if (variant == 2) layout.OtherMembers = {"|SYSTEM", "|TOPIC"}, layout.EntriesPerPage = 1, layout.PageSize = 64;
    std::string bytes = fixture::ProductDataBytes(layout);
    std::vector<unsigned char> exact(bytes.begin(), bytes.end());
    ProductData data;
    ASSERT_EQ(OpenProductData(exact.data(), exact.size(), &data), 1) << variant;
    EXPECT_EQ(Text(data.Identifier), kProduct);
    EXPECT_EQ(data.Version, 3u);
    ASSERT_EQ(data.IssueCount, 2);
    unsigned char id[kProductIdBytes];
    int registered = -1;
    ProductIssue(&data, 0, id, &registered);
    EXPECT_EQ(registered, 0);
    ProductIssue(&data, 1, id, &registered);
    EXPECT_EQ(Text(id), kIssue);
    EXPECT_EQ(registered, 1);
  }
}

TEST(ProductData, MissingOrShortMasterGivesZeros) {
  fixture::ProductDataLayout missing = Sample(), shortMaster = Sample();
  missing.WithMaster = false;
  shortMaster.MasterLength = 12;
  for (const auto& layout : {missing, shortMaster}) {
    ProductData data;
    ASSERT_EQ(Open(fixture::ProductDataBytes(layout), &data), 1);
    EXPECT_EQ(Text(data.Identifier), "{00000000-0000-0000-0000-000000000000}");
    EXPECT_EQ(data.Version, 0u);
  }
}

TEST(ProductData, BrokenContainersCannotBeRead) {
  std::string good = fixture::ProductDataBytes(Sample());
  auto patched = [&](size_t at, std::vector<unsigned char> bytes) {
    std::string s = good;
    for (size_t i = 0; i < bytes.size(); ++i) s[at + i] = static_cast<char>(bytes[i]);
    return s;
  };
  fixture::ProductDataLayout noHefte = Sample(), looping = Sample(), tooMany = Sample();
  noHefte.HefteName = "Hefte.Da";
  looping.HefteName = "Anderes";
  looping.OtherMembers = {"a", "b"};
  looping.EntriesPerPage = 1;
  looping.PageSize = 32;
  looping.LoopingChain = true;
  tooMany.IssueCountField = 1000;
  const size_t page0 = 16 + 47;  // the directory starts at 16
  const std::pair<const char*, std::string> cases[] = {
      {"empty", ""},
      {"wrong magic", patched(0, {0x3F, 0x5E})},
      {"directory past the end", patched(4, {0xF0, 0xFF, 0xFF, 0x7F})},
      {"no directory entries", patched(16 + 43, {0, 0, 0, 0})},
      {"page too small for entries", patched(16 + 13, {8, 0})},
      {"page past the end", patched(16 + 13, {0xFF, 0xFF})},
      {"empty first page names a page past the end", patched(page0 + 2, {0, 0, 0xFF, 0xFF, 0x00, 0x10})},
      {"member past the end", patched(page0 + 8 + sizeof "Hefte.Dat", {0xFF, 0xFF, 0xFF, 0x0F})},
      {"no Hefte.Dat", fixture::ProductDataBytes(noHefte)},
      {"looping chain without the member", fixture::ProductDataBytes(looping)},
      {"more issues than the file holds", fixture::ProductDataBytes(tooMany)},
  };
  for (const auto& c : cases) {
    ProductData data;
    EXPECT_EQ(Open(c.second, &data), 0) << c.first;
  }
  // Cut short anywhere: only a cut inside the last member's (master.dat's) header or length
  // field leaves a readable file, read with zeros.
  const size_t master = good.size() - 45;
  for (size_t n = 0; n < good.size(); ++n) {
    ProductData data;
    ASSERT_EQ(Open(good, &data, n), n >= master && n < master + 13) << "cut at " << n;
  }
}

TEST(ProductData, CutToProgramFolderKeepsRoots) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Programme\\Start.exe", "C:\\Programme"}, {"C:\\Start.exe", "C:\\"}, {"C:\\Programme\\", "C:\\"},
      {"\\Start.exe", "\\"}, {"\\\\server\\share\\Start.exe", "\\\\server\\share"}, {"Start.exe", "Start.exe"},
      {"", ""},
  };
  for (const auto& c : cases) {
    char path[260];
    strcpy(path, c.first);
    CutToProgramFolder(path);
    EXPECT_STREQ(path, c.second) << c.first;
  }
}

}  // namespace
