// Placeholder expansion: the fourteen values and their classes, the backslash rule
// after each insertion, $(NoCopy), the dollar escapes, and the cut at the capacity.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "script/placeholders.h"
#include "script/records.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

constexpr int kUntouched = 42;

class PlaceholdersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CopyText(SystemDir, "C:\\WINDOWS\\SYSTEM");
    CopyText(WindowsDir, "C:\\WINDOWS");
    CopyText(InstallDir, "C:\\Programme\\Beispiel");
    CopyText(LinkFolder, "C:\\Startmenü\\Programme\\Beispiel");
    CopyText(DefaultGroup, "Beispiel");
    CopyText(StartMenuFolder, "C:\\Startmenü");
    CopyText(ProgramsFolder, "C:\\Startmenü\\Programme");
    CopyText(DesktopFolder, "C:\\Desktop");
    CopyText(SetupDir, "D:\\");
    CopyText(ProductName, "Wörterbuch");
    CopyText(CompanyName, "Müller GmbH");
    CopyText(SetupVersion, "2.0");
  }
  void TearDown() override {
    for (char* value : {SystemDir, WindowsDir, InstallDir, LinkFolder, DefaultGroup, StartMenuFolder, ProgramsFolder,
                        DesktopFolder, SetupDir, ProductName, CompanyName})
      value[0] = 0;
    CopyText(SetupVersion, "2.0");
  }

  // The expansion with a 260-character output; the class starts at kUntouched.
  std::string Expand(const char* text) {
    char output[kPathChars];
    memset(output, 'Z', sizeof output);
    destClass_ = kUntouched;
    ExpandPlaceholders(output, text, &destClass_);
    return output;
  }
  int destClass_ = kUntouched;
};

// --- The fourteen placeholders ---------------------------------------------------------

TEST_F(PlaceholdersTest, EachPlaceholderWritesItsValueAndReportsItsClass) {
  struct Case {
    const char* Text;
    const char* Expected;
    int Class;
  } cases[] = {
      {"$(WinSysPath)", "C:\\WINDOWS\\SYSTEM", kDestWinSysPath},
      {"$(WinPath)", "C:\\WINDOWS", kDestWinPath},
      {"$(AppPath)", "C:\\Programme\\Beispiel", kDestOptionFolder},
      {"$(Link)", "C:\\Startmenü\\Programme\\Beispiel", kUntouched},
      {"$(Group)", "Beispiel", kUntouched},
      {"$(Start)", "C:\\Startmenü", kUntouched},
      {"$(Program)", "C:\\Startmenü\\Programme", kUntouched},
      {"$(Desktop)", "C:\\Desktop", kUntouched},
      {"$(SrcPath)", "D:", kUntouched},  // "D:\" loses its backslash by the rule
      {"$(SrcDrive)", "D:", kUntouched},
      {"$(NoCopy)", "", kDestNoCopy},
      {"$(Product)", "Wörterbuch", kUntouched},
      {"$(Company)", "Müller GmbH", kUntouched},
      {"$(Version)", "2.0", kUntouched},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Expand(c.Text), c.Expected) << c.Text;
    EXPECT_EQ(destClass_, c.Class) << c.Text;
  }
}

TEST_F(PlaceholdersTest, SrcDriveTakesTheFirstThreeCharactersOfTheSetupFolder) {
  CopyText(SetupDir, "E:\\CD\\Setup");
  EXPECT_EQ(Expand("$(SrcDrive)\\setup.exe"), "E:\\setup.exe");
  EXPECT_EQ(Expand("$(SrcPath)\\setup.exe"), "E:\\CD\\Setup\\setup.exe");
  CopyText(SetupDir, "D:\\");
  EXPECT_EQ(Expand("$(SrcDrive)\\setup.exe"), "D:\\setup.exe");
}

TEST_F(PlaceholdersTest, NamesMatchCaseSensitivelyWithTheirParentheses) {
  EXPECT_EQ(Expand("$(apppath)"), "(apppath)");
  EXPECT_EQ(Expand("$(AppPath"), "(AppPath");
  EXPECT_EQ(Expand("$AppPath"), "AppPath");
  EXPECT_EQ(Expand("$ (AppPath)"), " (AppPath)");
  EXPECT_EQ(destClass_, kUntouched);
}

TEST_F(PlaceholdersTest, InsertedValuesAreNotExpandedAgain) {
  CopyText(InstallDir, "C:\\$(WinPath)\\/$x");
  EXPECT_EQ(Expand("$(AppPath)\\a"), "C:\\$(WinPath)\\/$x\\a");
  EXPECT_EQ(destClass_, kDestOptionFolder);
}

// --- The backslash rule ------------------------------------------------------------------

TEST_F(PlaceholdersTest, OneBackslashBetweenFolderAndNameWhetherOrNotTheValueEndsInOne) {
  EXPECT_EQ(Expand("$(AppPath)\\Daten"), "C:\\Programme\\Beispiel\\Daten");
  CopyText(InstallDir, "C:\\Programme\\Beispiel\\");
  EXPECT_EQ(Expand("$(AppPath)\\Daten"), "C:\\Programme\\Beispiel\\Daten");
  CopyText(InstallDir, "C:\\");
  EXPECT_EQ(Expand("$(AppPath)\\Daten"), "C:\\Daten");
  EXPECT_EQ(Expand("$(WinPath)\\win.ini"), "C:\\WINDOWS\\win.ini");
  EXPECT_EQ(destClass_, kDestWinPath);
}

TEST_F(PlaceholdersTest, EmptyValueRemovesTheBackslashThatEndedTheOutput) {
  DefaultGroup[0] = 0;
  EXPECT_EQ(Expand("$(Program)\\$(Group)"), "C:\\Startmenü\\Programme");
  // Only one backslash goes, and only one that ends the output.
  EXPECT_EQ(Expand("a\\\\$(Group)"), "a\\");
  EXPECT_EQ(Expand("a\\b$(Group)"), "a\\b");
  EXPECT_EQ(Expand("$(Group)"), "");
  // Each insertion applies the rule again.
  EXPECT_EQ(Expand("a\\\\$(Group)$(Group)"), "a");
}

TEST_F(PlaceholdersTest, ValueEndingInTwoBackslashesLosesOne) {
  CopyText(InstallDir, "C:\\Prog\\\\");
  EXPECT_EQ(Expand("$(AppPath)"), "C:\\Prog\\");
  // A backslash inside a value or after the last insertion stays.
  CopyText(InstallDir, "C:\\Prog");
  EXPECT_EQ(Expand("$(AppPath)\\"), "C:\\Prog\\");
}

// --- $(NoCopy) and the classes -----------------------------------------------------------

TEST_F(PlaceholdersTest, NoCopyDiscardsEverythingWrittenSoFar) {
  EXPECT_EQ(Expand("$(AppPath)\\$(NoCopy)"), "");
  EXPECT_EQ(destClass_, kDestNoCopy);
  EXPECT_EQ(Expand("vorher$(NoCopy)nachher\\x"), "nachher\\x");
  EXPECT_EQ(destClass_, kDestNoCopy);
}

TEST_F(PlaceholdersTest, TheLastClassifyingPlaceholderDecides) {
  Expand("$(WinSysPath)$(AppPath)");
  EXPECT_EQ(destClass_, kDestOptionFolder);
  Expand("$(NoCopy)$(WinPath)");
  EXPECT_EQ(destClass_, kDestWinPath);
  Expand("$(WinSysPath)\\$(Group)$(Product)");  // placeholders without a class leave it
  EXPECT_EQ(destClass_, kDestWinSysPath);
  Expand("C:\\fest\\pfad");
  EXPECT_EQ(destClass_, kUntouched);
  Expand("/$(AppPath)");  // escaped: not a placeholder
  EXPECT_EQ(destClass_, kUntouched);
}

TEST_F(PlaceholdersTest, NoClassVariableIsFine) {
  char output[kPathChars];
  ExpandPlaceholders(output, "$(WinPath)\\x$(NoCopy)y");
  EXPECT_STREQ(output, "y");
}

// --- Dollar signs ------------------------------------------------------------------------

TEST_F(PlaceholdersTest, SlashDollarWritesALiteralDollar) {
  EXPECT_EQ(Expand("Preis: 10/$"), "Preis: 10$");
  EXPECT_EQ(Expand("/$(AppPath)"), "$(AppPath)");
  EXPECT_EQ(Expand("//$"), "/$");
  EXPECT_EQ(Expand("a/b/"), "a/b/");
}

TEST_F(PlaceholdersTest, UnknownPlaceholderLosesOnlyItsDollar) {
  EXPECT_EQ(Expand("$(Unknown)"), "(Unknown)");
  EXPECT_EQ(Expand("$$"), "$");
  EXPECT_EQ(Expand("$$(AppPath)"), "$(AppPath)");
  EXPECT_EQ(Expand("ende$"), "ende");
  EXPECT_EQ(Expand("$"), "");
  // The character after the dollar is copied as it is, even a slash before another dollar.
  EXPECT_EQ(Expand("$/$(WinPath)"), "/C:\\WINDOWS");
  EXPECT_EQ(destClass_, kDestWinPath);
}

// --- The capacity ------------------------------------------------------------------------

TEST_F(PlaceholdersTest, LongValuesAreCutAtCapacityMinusOne) {
  std::string longDir = "C:\\" + std::string(256, 'l');  // 259 characters
  CopyText(InstallDir, longDir.c_str());
  char output[kPathChars + 8];
  memset(output, 'Z', sizeof output);
  EXPECT_EQ(ExpandPlaceholdersN(output, kPathChars, "$(AppPath)", nullptr), 1);  // 259 characters fit
  EXPECT_EQ(ExpandPlaceholdersN(output, kPathChars, "$(AppPath)\\$(AppPath)\\$(AppPath)", nullptr), 0);
  EXPECT_EQ(strlen(output), static_cast<size_t>(kPathChars - 1));
  EXPECT_EQ(std::string(output), longDir);
  EXPECT_EQ(output[kPathChars], 'Z');  // nothing written past the capacity

  char small[8];
  memset(small, 'Z', sizeof small);
  EXPECT_EQ(ExpandPlaceholdersN(small, 5, "$(WinSysPath)", nullptr), 0);
  EXPECT_STREQ(small, "C:\\W");
  EXPECT_EQ(ExpandPlaceholdersN(small, 5, "abcd", nullptr), 1);
  EXPECT_EQ(ExpandPlaceholdersN(small, 5, "abcde", nullptr), 0);
  EXPECT_EQ(ExpandPlaceholdersN(small, 5, "abcdefgh$(NoCopy)x", nullptr), 0);  // the walk stopped short
  EXPECT_EQ(small[5], 'Z');
}

TEST_F(PlaceholdersTest, TinyCapacities) {
  char output[4] = {'Z', 'Z', 'Z', 'Z'};
  ExpandPlaceholdersN(output, 0, "$(AppPath)", nullptr);
  EXPECT_EQ(output[0], 'Z');  // capacity 0: nothing written at all
  ExpandPlaceholdersN(output, 1, "$(AppPath)abc", nullptr);
  EXPECT_STREQ(output, "");
  EXPECT_EQ(output[1], 'Z');
  ExpandPlaceholdersN(output, 2, "/$/$", nullptr);
  EXPECT_STREQ(output, "$");
}

// The walk stops once the uncut output reaches the capacity: a later empty insertion must not
// strip the cut text and let more text in, which would make it another text.
TEST_F(PlaceholdersTest, FullOutputIsNotReopenedByALaterInsertion) {
  DefaultGroup[0] = 0;
  char output[5];
  ExpandPlaceholdersN(output, sizeof output, "abc\\X$(Group)Y", nullptr);
  EXPECT_STREQ(output, "abc\\");
  // Nor is the class of a placeholder beyond that point reported.
  int destClass = kUntouched;
  ExpandPlaceholdersN(output, sizeof output, "abcdefgh$(NoCopy)x", &destClass);
  EXPECT_STREQ(output, "abcd");
  EXPECT_EQ(destClass, kUntouched);
}

TEST_F(PlaceholdersTest, BackslashRuleLooksAtTheUncutText) {
  // The value ends the uncut text with "\\yz": nothing is stripped, so the cut keeps
  // the backslash that happens to stand last in the buffer.
  CopyText(InstallDir, "\\\\yz");
  char output[5];
  ExpandPlaceholdersN(output, sizeof output, "abc$(AppPath)", nullptr);
  EXPECT_STREQ(output, "abc\\");
}

TEST_F(PlaceholdersTest, StripAtTheCapacityLetsTheWalkGoOn) {
  // "abc" + "de\" is six characters, one more than fits; the rule takes the backslash off,
  // the output holds five characters and the walk goes on to $(NoCopy).
  CopyText(InstallDir, "de\\");
  char output[6];
  int destClass = kUntouched;
  ExpandPlaceholdersN(output, sizeof output, "abc$(AppPath)Z", &destClass);
  EXPECT_STREQ(output, "abcde");
  ExpandPlaceholdersN(output, sizeof output, "abc$(AppPath)$(NoCopy)Z", &destClass);
  EXPECT_STREQ(output, "Z");
  EXPECT_EQ(destClass, kDestNoCopy);
}

}  // namespace
