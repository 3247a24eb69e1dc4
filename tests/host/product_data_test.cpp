// The product data container reader over bytes built by the fixture writer, including damaged
// and hostile files: each is read from a buffer of exactly its size, so any read past the end
// is caught by the address sanitizer.
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
const char kIssueA[] = "{11111111-2222-3333-4444-555555555555}";
const char kIssueB[] = "{AAAAAAAA-BBBB-cccc-DDDD-EEEEEEEEEEEE}";

fixture::ProductDataSpec SampleSpec() {
  fixture::ProductDataSpec spec;
  spec.Id = Id(kProduct);
  spec.Version = 3;
  spec.Issues = {{Id(kIssueA), 1}, {Id(kIssueB), 0}};
  return spec;
}

// Holds the bytes in an allocation of exactly their size.
struct Bytes {
  std::vector<unsigned char> data;
  explicit Bytes(const std::string& s, size_t n = std::string::npos)
      : data(s.begin(), s.begin() + static_cast<long>(std::min(n, s.size()))) {}
  int Open(ProductData* out) const { return OpenProductData(data.data(), data.size(), out); }
};

std::string IdText(const unsigned char (&id)[kProductIdBytes]) {
  char text[kIdentifierTextChars];
  FormatProductIdentifier(text, id);
  return text;
}

TEST(ProductData, ReadsIdentifierVersionAndIssues) {
  Bytes file(fixture::ProductDataBytes(SampleSpec()));
  ProductData data;
  ASSERT_EQ(file.Open(&data), 1);
  EXPECT_EQ(IdText(data.Identifier), kProduct);
  EXPECT_EQ(data.Version, 3u);
  ASSERT_EQ(data.IssueCount, 2);
  unsigned char id[kProductIdBytes];
  int registered = -1;
  ProductIssue(&data, 0, id, &registered);
  EXPECT_EQ(IdText(id), kIssueA);
  EXPECT_EQ(registered, 1);
  ProductIssue(&data, 1, id, &registered);
  EXPECT_EQ(IdText(id), kIssueB);
  EXPECT_EQ(registered, 0);
}

TEST(ProductData, FindsMembersInAnyCaseAndAlongThePageChain) {
  struct Case {
    const char* hefte;
    const char* master;
    int perPage;
    std::vector<std::string> others;
  };
  const Case cases[] = {
      {"HEFTE.DAT", "MASTER.DAT", 0, {}},
      {"hefte.dat", "Master.Dat", 0, {}},
      // The wanted members on the third and fourth page of a chain.
      {"Hefte.Dat", "master.dat", 1, {"|SYSTEM", "|TOPIC"}},
  };
  for (const Case& c : cases) {
    fixture::ProductDataSpec spec = SampleSpec();
    spec.HefteName = c.hefte;
    spec.MasterName = c.master;
    spec.EntriesPerPage = c.perPage;
    spec.OtherMembers = c.others;
    spec.PageSize = 64;
    Bytes file(fixture::ProductDataBytes(spec));
    ProductData data;
    ASSERT_EQ(file.Open(&data), 1) << c.hefte;
    EXPECT_EQ(data.Version, 3u) << c.master;
    EXPECT_EQ(data.IssueCount, 2) << c.hefte;
  }
}

TEST(ProductData, MissingOrShortMasterGivesZeroIdentifierAndVersion) {
  for (int variant = 0; variant < 2; ++variant) {
    fixture::ProductDataSpec spec = SampleSpec();
    if (variant == 0) spec.WithMaster = false;
    else spec.MasterLength = 12;
    Bytes file(fixture::ProductDataBytes(spec));
    ProductData data;
    ASSERT_EQ(file.Open(&data), 1);
    EXPECT_EQ(IdText(data.Identifier), "{00000000-0000-0000-0000-000000000000}");
    EXPECT_EQ(data.Version, 0u);
  }
}

TEST(ProductData, BrokenContainersCannotBeRead) {
  std::string good = fixture::ProductDataBytes(SampleSpec());
  auto patched = [&](size_t at, std::vector<unsigned char> bytes) {
    std::string s = good;
    for (size_t i = 0; i < bytes.size(); ++i) s[at + i] = static_cast<char>(bytes[i]);
    return s;
  };
  fixture::ProductDataSpec noHefte = SampleSpec();
  noHefte.HefteName = "Hefte.Da";
  fixture::ProductDataSpec looping = SampleSpec();
  looping.HefteName = "Anderes";
  looping.OtherMembers = {"a", "b"};
  looping.EntriesPerPage = 1;
  looping.PageSize = 32;
  looping.LoopingChain = true;
  fixture::ProductDataSpec countTooLarge = SampleSpec();
  countTooLarge.IssueCountField = 1000;
  const size_t dir = 16;
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"wrong magic", patched(0, {0x3F, 0x5E})},
      {"directory past the end", patched(4, {0xF0, 0xFF, 0xFF, 0x7F})},
      {"directory without entries", patched(dir + 43, {0, 0, 0, 0})},
      {"page size too small for entries", patched(dir + 13, {8, 0})},
      {"page size past the end", patched(dir + 13, {0xFF, 0xFF})},
      {"empty first page names a page past the end", patched(dir + 47 + 2, {0, 0, 0xFF, 0xFF, 0x00, 0x10})},
      {"member offset past the end", patched(dir + 47 + 8 + sizeof "Hefte.Dat", {0xFF, 0xFF, 0xFF, 0x0F})},
      {"no Hefte.Dat", fixture::ProductDataBytes(noHefte)},
      {"looping chain without the member", fixture::ProductDataBytes(looping)},
      {"more issues than the file holds", fixture::ProductDataBytes(countTooLarge)},
  };
  for (const auto& c : cases) {
    Bytes file(c.bytes);
    ProductData data;
    EXPECT_EQ(file.Open(&data), 0) << c.what;
  }
}

TEST(ProductData, EveryTruncationIsReadSafely) {
  std::string good = fixture::ProductDataBytes(SampleSpec());
  // "master.dat" is the last member: 9 header bytes, then 36 bytes of data.
  const size_t master = good.size() - 45;
  for (size_t n = 0; n < good.size(); ++n) {
    Bytes file(good, n);
    ProductData data;
    // Cut within its header or length field the member counts as absent or short and the file
    // opens with zeros; cut anywhere else the file is damaged.
    int expected = n >= master && n < master + 13;
    ASSERT_EQ(file.Open(&data), expected) << "cut at " << n;
    if (expected) EXPECT_EQ(data.Version, 0u);
  }
}

TEST(ProductData, CutToProgramFolderKeepsRoots) {
  const struct {
    const char* path;
    const char* folder;
  } cases[] = {
      {"C:\\Programme\\Start.exe", "C:\\Programme"},
      {"C:\\Start.exe", "C:\\"},
      {"C:\\Programme\\", "C:\\"},
      {"\\Start.exe", "\\"},
      {"\\\\server\\share\\Start.exe", "\\\\server\\share"},
      {"Start.exe", "Start.exe"},
      {"", ""},
  };
  for (const auto& c : cases) {
    char path[260];
    strcpy(path, c.path);
    CutToProgramFolder(path);
    EXPECT_STREQ(path, c.folder) << c.path;
  }
}

}  // namespace
