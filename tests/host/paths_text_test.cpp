// Path operations and the bounded text helpers.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "startup/elevation.h"
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

// The C library's snprintf is the reference for every conversion the program's formatter knows.
#define EXPECT_FORMATS_AS_LIBC(fmt, ...)                  \
  do {                                                    \
    char mine[48], libc[48];                              \
    size_t n = FormatText(mine, fmt, __VA_ARGS__);        \
    snprintf(libc, sizeof libc, fmt, __VA_ARGS__);        \
    EXPECT_STREQ(mine, libc) << fmt;                      \
    EXPECT_EQ(n, strlen(libc)) << fmt;                    \
  } while (0)

TEST(FormatText, EveryConversionOfTheProgramAsTheCLibraryWritesIt) {
  EXPECT_FORMATS_AS_LIBC("%d|%i|%d", 0, -17, INT_MIN);
  EXPECT_FORMATS_AS_LIBC("%u|%x|%X", 4294967295u, 0xbeefu, 0xbeefu);
  EXPECT_FORMATS_AS_LIBC("%ld|%lu|%08lX", -2147483647L - 1, 4294967295UL, 0x1A2BUL);
  EXPECT_FORMATS_AS_LIBC("%lld|%llu", static_cast<long long>(INT64_MIN), static_cast<unsigned long long>(UINT64_MAX));
  EXPECT_FORMATS_AS_LIBC("%lldKB", 5368709120LL / 1024);
  EXPECT_FORMATS_AS_LIBC("%zu|%c|%%|%s", static_cast<size_t>(260), 'x', "Müller");
  EXPECT_FORMATS_AS_LIBC("{%08lX-%04X-%04x-%02X%02X}", 0x0123ABCDUL, 0x4567u, 0x89abu, 0xCDu, 0x1u);
  EXPECT_FORMATS_AS_LIBC("[%5d|%-5d|%05d|%-5d|%3s|%-3s|%.2s]", 42, 42, -42, 42, "a", "a", "abc");
  EXPECT_FORMATS_AS_LIBC("%ld%%", 42L);
}

TEST(FormatText, MicrosoftSizesUnknownConversionsAndCuts) {
  char text[40];
  const char* windowsSize = "%I64d|%I64u";  // the size prefix of the Windows headers' PRId64
  FormatTextN(text, sizeof text, windowsSize, static_cast<long long>(-5368709120LL), 18446744073709551615ULL);
  EXPECT_STREQ(text, "-5368709120|18446744073709551615");
  const char* unknown = "%q|%5.1f|100%";
  FormatTextN(text, sizeof text, unknown, 1);
  EXPECT_STREQ(text, "%q|%5.1f|100%");

  char small[6];
  EXPECT_TRUE(FormatWholeText(small, "%s%d", "ab", 123));
  EXPECT_STREQ(small, "ab123");
  EXPECT_FALSE(FormatWholeText(small, "%s%d", "ab", 1234));
  EXPECT_STREQ(small, "ab123");
  EXPECT_FALSE(FormatWholeText(small, "%-8s", ""));
  EXPECT_EQ(FormatTextN(small, 0, "%d", 1), 0u);
}

TEST(ElevatedCopy, TheMarkerCarriesTheCheckAndTheArgumentsUnchanged) {
  struct Case {
    int check;
    const char* arguments;
  } cases[] = {{0, ""}, {1, "/ALL"}, {2, "/ALL \"C:\\Mit Blank\" /ELEVATED:1"}, {0, " "}};
  for (const Case& c : cases) {
    char line[64];
    ASSERT_TRUE(ElevatedArgumentsN(line, sizeof line, c.check, c.arguments)) << c.arguments;
    const char* rest = line;
    int check = -1;
    ASSERT_TRUE(TakeElevatedMarker(&rest, &check)) << line;
    EXPECT_EQ(check, c.check);
    EXPECT_STREQ(rest, c.arguments);
    // Once taken, the arguments hold no marker of this run.
    EXPECT_EQ(TakeElevatedMarker(&rest, &check), StartsWith(c.arguments, kElevatedMarker));
  }
  char small[16];
  EXPECT_FALSE(ElevatedArgumentsN(small, sizeof small, 0, "/ALL und mehr"));
  EXPECT_FALSE(ElevatedArgumentsN(small, sizeof small, 3, ""));
}

TEST(ElevatedCopy, OnlyTheWholeMarkerCounts) {
  for (const char* line : {"/ALL", "/ELEVATED:", "/ELEVATED:3", "/ELEVATED:12", "/elevated:1", " /ELEVATED:1"}) {
    const char* rest = line;
    int check = 7;
    EXPECT_FALSE(TakeElevatedMarker(&rest, &check)) << line;
    EXPECT_EQ(rest, line);
    EXPECT_EQ(check, 7);
  }
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
