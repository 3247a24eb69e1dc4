// The text rules of the script and the dialogs: fields, description escapes, "$(Name)"
// placeholders with their classes and the backslash rule, paths and numbers.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "script/fields.h"
#include "script/placeholders.h"
#include "script/records.h"
#include "startup/elevation.h"
#include "startup/paths.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

using Texts = std::vector<std::string>;

Texts Fields(const char* value) {
  Texts out;
  int pos = 0;
  char field[8];
  while (NextField(value, &pos, field) && out.size() < 20) out.push_back(field);
  return out;
}

TEST(TextRules, FieldsAndEscapes) {
  EXPECT_EQ(Fields("a,,b"), (Texts{"a", "", "b"}));
  EXPECT_EQ(Fields(" a , b "), (Texts{" a ", " b "}));
  EXPECT_EQ(Fields("a,"), (Texts{"a"}));  // a trailing comma opens no field
  EXPECT_EQ(Fields(",,"), (Texts{"", ""}));
  EXPECT_EQ(Fields("x\"a,b\"y,z"), (Texts{"xa,by", "z"}));
  EXPECT_EQ(Fields("a\",\"b"), (Texts{"a,b"}));
  EXPECT_EQ(Fields("\"a,b"), (Texts{"a,b"}));
  EXPECT_EQ(Fields("a,\""), (Texts{"a"}));  // a quote at the very end opens nothing
  EXPECT_EQ(Fields("\"\""), (Texts{""}));
  EXPECT_EQ(Fields("0123456789,tail"), (Texts{"0123456", "tail"}));  // cut, and the walk goes on
  for (auto [text, expected] : std::vector<std::pair<std::string, std::string>>{
           {"Zeile 1\\nZeile 2", "Zeile 1\nZeile 2"}, {"a\\rb", "a\rb"}, {"\\\"z\\\"", "\"z\""},
           {"C:\\\\P", "C:\\P"}, {"a\\xb", "ab"}, {"ende\\", "ende"}}) {
    UnescapeText(text.data());
    EXPECT_EQ(std::string(text.c_str()), expected);
  }
}

class PlaceholderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::pair<char*, const char*> values[] = {
        {SystemDir, "C:\\WIN\\SYSTEM"}, {WindowsDir, "C:\\WIN"},       {InstallDir, "C:\\Prog"},
        {LinkFolder, "C:\\Menü\\Gruppe"}, {DefaultGroup, "Gruppe"},     {StartMenuFolder, "C:\\Menü"},
        {ProgramsFolder, "C:\\Menü\\Programme"}, {DesktopFolder, "C:\\Desktop"}, {SetupDir, "D:\\"},
        {ProductName, "Wörterbuch"},    {CompanyName, "Müller GmbH"}};
    for (auto [buffer, value] : values) CopyTextN(buffer, kPathChars, value);
  }
  void TearDown() override {
    for (char* v : {SystemDir, WindowsDir, InstallDir, LinkFolder, DefaultGroup, StartMenuFolder, ProgramsFolder,
                    DesktopFolder, SetupDir, ProductName, CompanyName})
      v[0] = 0;
  }
  // The expansion, its class (42 when none was reported), and " cut" when it did not fit.
  static std::string Expand(const char* text, size_t capacity = kPathChars) {
    char output[kPathChars + 1];
    memset(output, 'Z', sizeof output);
    int destClass = 42;
    int fits = ExpandPlaceholdersN(output, capacity, text, &destClass);
    EXPECT_EQ(output[capacity], 'Z') << "wrote past the capacity: " << text;
    return std::string(output) + " #" + std::to_string(destClass) + (fits ? "" : " cut");
  }
};

TEST_F(PlaceholderTest, ValuesClassesAndTheBackslashRule) {
  const char* const cases[][2] = {
      {"$(WinSysPath)", "C:\\WIN\\SYSTEM #2"},   {"$(WinPath)\\win.ini", "C:\\WIN\\win.ini #1"},
      {"$(AppPath)", "C:\\Prog #0"},             {"$(Link)", "C:\\Menü\\Gruppe #42"},
      {"$(Start)|$(Program)", "C:\\Menü|C:\\Menü\\Programme #42"},
      {"$(Desktop)$(Group)", "C:\\DesktopGruppe #42"},
      {"$(SrcPath)\\x", "D:\\x #42"},           {"$(SrcDrive)\\setup.exe", "D:\\setup.exe #42"},
      {"$(Product) $(Company) $(Version)", "Wörterbuch Müller GmbH 2.0 #42"},
      {"$(AppPath)\\$(NoCopy)", " #6"},          {"vorher$(NoCopy)nachher", "nachher #6"},
      {"$(WinSysPath)$(AppPath)", "C:\\WIN\\SYSTEMC:\\Prog #0"},  // the last class counts
      {"$(apppath)$(AppPath", "(apppath)(AppPath #42"}, {"$(Unknown) $$ ende$", "(Unknown) $ ende #42"},
      {"Preis: 10/$ /$(AppPath) //$", "Preis: 10$ $(AppPath) /$ #42"},
      {"$/$(WinPath)", "/C:\\WIN #1"},           {"a\\\\$(Group)\\", "a\\\\Gruppe\\ #42"},
  };
  for (const auto& c : cases) EXPECT_EQ(Expand(c[0]), c[1]) << c[0];
  DefaultGroup[0] = 0;
  EXPECT_EQ(Expand("$(Program)\\$(Group)"), "C:\\Menü\\Programme #42");  // an empty value takes the "\" before it
  EXPECT_EQ(Expand("a\\\\$(Group)$(Group)"), "a #42");
  CopyText(InstallDir, "C:\\$(WinPath)\\\\");  // values are not expanded again; one "\" goes
  EXPECT_EQ(Expand("$(AppPath)"), "C:\\$(WinPath)\\ #0");
  CopyText(SetupDir, "E:\\CD\\Setup");
  EXPECT_EQ(Expand("$(SrcDrive)\\setup.exe"), "E:\\setup.exe #42");
}

TEST_F(PlaceholderTest, OutputIsCutAtTheCapacity) {
  std::string longDir = "C:\\" + std::string(256, 'l');
  CopyText(InstallDir, longDir.c_str());
  EXPECT_EQ(Expand("$(AppPath)"), longDir + " #0");  // 259 characters fit
  EXPECT_EQ(Expand("$(AppPath)\\$(AppPath)"), longDir + " #0 cut");
  EXPECT_EQ(Expand("$(WinSysPath)", 5), "C:\\W #2 cut");
  EXPECT_EQ(Expand("/$/$", 2), "$ #42 cut");
  EXPECT_EQ(Expand("/$", 2), "$ #42");
  DefaultGroup[0] = 0;
  // Once the uncut text reaches the capacity the walk stops: no later insertion reopens it,
  // and no later class is reported.
  EXPECT_EQ(Expand("abc\\X$(Group)Y", 5), "abc\\ #42 cut");
  EXPECT_EQ(Expand("abcdefgh$(NoCopy)x", 5), "abcd #42 cut");
  CopyText(InstallDir, "de\\");  // the rule takes the "\" of a value that overfilled by one
  EXPECT_EQ(Expand("abc$(AppPath)$(NoCopy)Z", 6), "Z #6");
  CopyText(InstallDir, "\\\\yz");
  EXPECT_EQ(Expand("abc$(AppPath)", 5), "abc\\ #0 cut");
}

TEST(TextRules, PathsAndNumbers) {
  EXPECT_TRUE(StartsWith("/ALLES", "/ALL"));
  EXPECT_FALSE(StartsWith("/all", "/ALL"));
  char path[14] = "C:\\Programme", full[4] = "abc";
  EXPECT_EQ(AddBackslash(path), 12u);
  EXPECT_EQ(AddBackslash(path), 13u);  // it ends in one already
  AddBackslash(full);
  EXPECT_STREQ(full, "abc");
  EXPECT_EQ(StripBackslash(path) + StripBackslash(path), 1);
  EXPECT_EQ(AtoiSaturated(" -17xyz"), -17);
  EXPECT_EQ(AtoiSaturated("4294967296"), INT_MAX);  // would wrap to 0
  EXPECT_EQ(Atoi64Saturated("-99999999999999999999"), INT64_MIN);
}

// The 32-bit build's division of 64-bit figures (sizes, counts, the clock) against the host's.
TEST(TextRules, WideDivisionAsTheProcessorDividesIt) {
  std::vector<uint64_t> values = {0, 1, 2, 3, 9, 10, 100, 1000000, 0xFFFFFFFFull, 0x100000000ull, 0x100000001ull,
                                  0x7FFFFFFFFFFFFFFFull, 0x8000000000000000ull, 0x8000000000000001ull, UINT64_MAX - 1,
                                  UINT64_MAX};
  uint64_t x = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < 320; ++i) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    values.push_back(x >> (i % 64));  // every bit length
  }
  for (uint64_t n : values)
    for (uint64_t d : values) {
      if (d == 0) continue;
      uint64_t rest = 1234;
      uint64_t quotient = DivideWideBitwise(n, d, &rest);
      ASSERT_EQ(quotient, n / d) << n << " / " << d;
      ASSERT_EQ(rest, n % d) << n << " % " << d;
      ASSERT_EQ(DivideWideBitwise(n, d, nullptr), n / d);
    }
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

TEST(ElevatedCopy, TheMarkerCarriesTheCheckTheFirstCopyAndTheArgumentsUnchanged) {
  struct Case {
    int check;
    unsigned long firstCopy;
    const char* arguments;
  } cases[] = {{0, 0, ""}, {1, 4294967295ul, "/ALL"}, {2, 1234, "/ALL \"C:\\Mit Blank\" /ELEVATED:1:5"}, {0, 7, " "}};
  for (const Case& c : cases) {
    char line[64];
    ASSERT_TRUE(ElevatedArgumentsN(line, sizeof line, c.check, c.firstCopy, c.arguments)) << c.arguments;
    const char* rest = line;
    int check = -1;
    unsigned long firstCopy = 99;
    ASSERT_TRUE(TakeElevatedMarker(&rest, &check, &firstCopy)) << line;
    EXPECT_EQ(check, c.check);
    EXPECT_EQ(firstCopy, c.firstCopy);
    EXPECT_STREQ(rest, c.arguments);
    // Once taken, the arguments hold no marker of this run.
    EXPECT_EQ(TakeElevatedMarker(&rest, &check, &firstCopy), StartsWith(c.arguments, kElevatedMarker));
  }
  char small[16];
  EXPECT_FALSE(ElevatedArgumentsN(small, sizeof small, 0, 1, "/ALL und mehr"));
  EXPECT_FALSE(ElevatedArgumentsN(small, sizeof small, 3, 1, ""));
}

TEST(ElevatedCopy, OnlyTheWholeMarkerCounts) {
  for (const char* line : {"/ALL", "/ELEVATED:", "/ELEVATED:3", "/ELEVATED:12", "/elevated:1", " /ELEVATED:1",
                           "/ELEVATED:1:", "/ELEVATED:1:x", "/ELEVATED:1:99999999999"}) {
    const char* rest = line;
    int check = 7;
    unsigned long firstCopy = 7;
    EXPECT_FALSE(TakeElevatedMarker(&rest, &check, &firstCopy)) << line;
    EXPECT_EQ(rest, line);
    EXPECT_EQ(check, 7);
  }
  // Without the first copy's id the copy reports to nobody.
  const char* rest = "/ELEVATED:1 /S";
  int check = 0;
  unsigned long firstCopy = 7;
  EXPECT_TRUE(TakeElevatedMarker(&rest, &check, &firstCopy));
  EXPECT_EQ(firstCopy, 0u);
}

}  // namespace
