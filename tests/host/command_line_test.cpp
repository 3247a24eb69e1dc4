// The command line: the start program's and the full copy's prefixes as they always were, and
// the switches of an unattended install with their values, quoted or not, in any case.
#include <gtest/gtest.h>

#include <string>

#include "startup/command_line.h"

namespace {

CommandLine Parse(const char* text, int expected = 1) {
  CommandLine line;
  EXPECT_EQ(ParseCommandLine(text, &line), expected) << text << ": " << line.Error;
  return line;
}

TEST(CommandLine, PrefixesAtTheStartStayAsTheyWere) {
  EXPECT_EQ(Parse("").Silent, 0);
  EXPECT_EQ(Parse("/AUTORUN").Autorun, 1);
  EXPECT_EQ(Parse("/AUTORUNirgendwas /X").Autorun, 1) << "the start program takes the rest as it is";
  EXPECT_EQ(Parse("/AUTORUN").AllFiles, 0);
  EXPECT_EQ(Parse("/ALLES").AllFiles, 1);
  CommandLine all = Parse("/ALL /s");
  EXPECT_EQ(all.AllFiles, 1);
  EXPECT_EQ(all.Silent, 1);
  EXPECT_EQ(Parse("/all").AllFiles, 0) << "lower case was never the full copy";
  EXPECT_EQ(Parse("/S /ALL", 0).AllFiles, 0) << "only the start of the line";
}

TEST(CommandLine, SwitchesInAnyOrderAndCaseWithQuotedValues) {
  CommandLine line = Parse("  /run \"/DIR=C:\\Mein Produkt\"  /Group=\"Meine Gruppe\" /OPTIONS=3,1 /s ");
  EXPECT_EQ(line.Silent, 1);
  EXPECT_EQ(line.RunProgram, 1);
  EXPECT_EQ(line.HasDir, 1);
  EXPECT_STREQ(line.Dir, "C:\\Mein Produkt");
  EXPECT_STREQ(line.Group, "Meine Gruppe");
  EXPECT_EQ(line.OptionCount, 2);
  EXPECT_TRUE(OptionChosen(line, 3) && OptionChosen(line, 1) && !OptionChosen(line, 2));
  EXPECT_STREQ(Parse("/DIR=\"C:\\A B\"").Dir, "C:\\A B");
  EXPECT_STREQ(Parse("/DIR=\\\\server\\freigabe").Dir, "\\\\server\\freigabe");
  EXPECT_EQ(Parse("/GROUP=").HasGroup, 1);  // the Programs menu itself
  CommandLine none = Parse("/OPTIONS=");
  EXPECT_EQ(none.HasOptions, 1);
  EXPECT_EQ(none.OptionCount, 0);
}

TEST(CommandLine, BadValuesAreRefusedAndUnknownWordsOnlyInASilentRun) {
  for (const char* bad : {"/DIR=", "/OPTIONS=a", "/OPTIONS=0", "/OPTIONS=1,,2", "/OPTIONS=1,", "/OPTIONS=-1",
                          "/OPTIONS=99999999999",
                          // a folder not given in full would lie on the medium or below a current folder
                          "/DIR=Programme", "/DIR=C:Programme", "/DIR=\\Programme", "/DIR=\\\\"}) {
    CommandLine line = Parse(bad, 0);
    EXPECT_NE(line.Error[0], 0) << bad;
  }
  // A shortcut or a menu program may pass words of its own: a run with windows goes on.
  for (const char* word : {"/X", "/S2", "/silent", "/RUNNING", "irgendwas", "/DIR"}) {
    EXPECT_EQ(Parse(word).Silent, 0) << word;
    std::string silent = std::string("/S ") + word;
    EXPECT_EQ(std::string(Parse(silent.c_str(), 0).Error), std::string("Unbekannter Schalter: ") + word);
  }
  // Silent is decided from the whole line: a bad word before /S is refused without a box.
  for (const char* line : {"/DIR=D:Apps /S", "/OPTIONS=1,,2 /S", "/X /s", "/DIR=C:\\A /OPTIONS=0 /RUN /S"})
    EXPECT_EQ(Parse(line, 0).Silent, 1) << line;
  std::string longDir = "/DIR=" + std::string(300, 'd');  // no folder path is that long
  EXPECT_EQ(std::string(Parse(longDir.c_str(), 0).Error), ("Ungültiger Wert: " + longDir).substr(0, 299));
}

}  // namespace
