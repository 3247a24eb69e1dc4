// Path operations and the bounded text helpers.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "startup/paths.h"
#include "startup/text.h"

namespace {

TEST(StartsWith, IsACaseSensitivePrefixTest) {
  EXPECT_TRUE(StartsWith("/ALL", "/ALL"));
  EXPECT_TRUE(StartsWith("/ALLES", "/ALL"));
  EXPECT_FALSE(StartsWith("/all", "/ALL"));
  EXPECT_FALSE(StartsWith(" /ALL", "/ALL"));
  EXPECT_FALSE(StartsWith("/AL", "/ALL"));
  EXPECT_TRUE(StartsWith("", ""));
  EXPECT_TRUE(StartsWith("x", ""));
}

TEST(Backslashes, AddAndStrip) {
  char path[16] = "C:\\Programme";
  EXPECT_EQ(AddBackslash(path), 12u);
  EXPECT_STREQ(path, "C:\\Programme\\");
  EXPECT_EQ(AddBackslash(path), 13u);
  EXPECT_STREQ(path, "C:\\Programme\\");
  char empty[4] = "";
  EXPECT_EQ(AddBackslash(empty), 0u);
  EXPECT_STREQ(empty, "");

  EXPECT_EQ(StripBackslash(path), 1);
  EXPECT_STREQ(path, "C:\\Programme");
  EXPECT_EQ(StripBackslash(path), 0);
  EXPECT_EQ(StripBackslash(empty), 0);
  char twice[8] = "a\\\\";
  EXPECT_EQ(StripBackslash(twice), 1);
  EXPECT_STREQ(twice, "a\\");
}

TEST(Backslashes, AFullBufferIsLeftAsItIs) {
  char full[4] = "abc";
  AddBackslash(full);
  EXPECT_STREQ(full, "abc");
}

TEST(BoundedText, CopyAppendFormatCutAtTheCapacity) {
  char small[5];
  EXPECT_EQ(CopyText(small, "abcdefgh"), 4u);
  EXPECT_STREQ(small, "abcd");
  CopyText(small, "ab");
  EXPECT_EQ(AppendText(small, "cdef"), 4u);
  EXPECT_STREQ(small, "abcd");
  EXPECT_EQ(FormatText(small, "%d-%s", 12345, "x"), 4u);
  EXPECT_STREQ(small, "1234");
  EXPECT_EQ(CopyText(small, nullptr), 0u);
  EXPECT_STREQ(small, "");
}

TEST(AtoiSaturated, ReadsLikeAtoi) {
  EXPECT_EQ(AtoiSaturated("42"), 42);
  EXPECT_EQ(AtoiSaturated("  -17xyz"), -17);
  EXPECT_EQ(AtoiSaturated("+8"), 8);
  EXPECT_EQ(AtoiSaturated("x"), 0);
  EXPECT_EQ(AtoiSaturated(""), 0);
  EXPECT_EQ(AtoiSaturated("- 5"), 0);
}

TEST(AtoiSaturated, SaturatesOutsideTheSigned32BitRange) {
  EXPECT_EQ(AtoiSaturated("2147483647"), INT_MAX);
  EXPECT_EQ(AtoiSaturated("2147483648"), INT_MAX);
  EXPECT_EQ(AtoiSaturated("99999999999999999999999999"), INT_MAX);
  EXPECT_EQ(AtoiSaturated("-2147483648"), INT_MIN);
  EXPECT_EQ(AtoiSaturated("-2147483649"), INT_MIN);
  EXPECT_EQ(AtoiSaturated("4294967296"), INT_MAX);  // would wrap to 0
}

}  // namespace
