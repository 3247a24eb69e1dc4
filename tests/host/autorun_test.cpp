// The autorun mode's portable pieces: the running-product event name and the command line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "startup/autorun.h"

namespace {

TEST(Autorun, EventNameIsThePathInUpperCaseWithSlashes) {
  const struct {
    std::string path, name;
  } cases[] = {
      {"C:\\Programme\\Start.exe", "C:/PROGRAMME/START.EXE"},
      {"c:\\programme\\wörter\\start.exe", "C:/PROGRAMME/W\xC3\xB6RTER/START.EXE"},  // beyond ASCII: as it is
      {"d:\\a\x7f" "b\\x~{|}", "D:/A_B/X~{|}"},
      {"\xE4\xF6\xFC\\\xC4", "\xE4\xF6\xFC/\xC4"},
      {"", ""},
  };
  for (const auto& c : cases) {
    char name[260];
    ASSERT_EQ(RunningProductEventName(name, c.path.c_str()), 1) << c.path;
    EXPECT_EQ(name, c.name) << c.path;
  }
  char small[8];
  EXPECT_EQ(RunningProductEventName(small, "C:\\Start.exe"), 0);
  EXPECT_STREQ(small, "");
}

TEST(Autorun, CommandLineQuotesTheArgumentAndRefusesWhatDoesNotFit) {
  char line[40];
  ASSERT_EQ(AutorunCommandLine(line, "\"C:\\P Q\\s.exe\"", "D:\\daten.hlp"), 1);
  EXPECT_STREQ(line, "\"C:\\P Q\\s.exe\" \"D:\\daten.hlp\"");
  ASSERT_EQ(AutorunCommandLine(line, "s.exe", ""), 1);
  EXPECT_STREQ(line, "s.exe \"\"");
  // 28 + 8 characters and the 3 added ones fill the 40 with the zero; one more does not fit.
  ASSERT_EQ(AutorunCommandLine(line, "C:\\Programme\\Beispiel\\st.exe", "D:\\a.hlp"), 1);
  EXPECT_EQ(strlen(line), 39u);
  EXPECT_EQ(AutorunCommandLine(line, "C:\\Programme\\Beispiel\\st.exe", "D:\\ab.hlp"), 0);
  EXPECT_STREQ(line, "");
}

}  // namespace
