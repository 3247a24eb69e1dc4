// The autorun mode's portable pieces: the running-product event name and the command line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "startup/autorun.h"

namespace {

TEST(Autorun, EventNameIsThePathInUpperCaseWithSlashes) {
  const std::pair<std::string, std::string> cases[] = {
      {"c:\\programme\\w\xF6rter\\start.exe", "C:/PROGRAMME/W\xF6RTER/START.EXE"},  // beyond ASCII: kept
      {"d:\\a\x7f" "b\\x~{|}", "D:/A_B/X~{|}"},
      {"", ""},
  };
  char name[260];
  for (const auto& c : cases) {
    ASSERT_EQ(RunningProductEventName(name, c.first.c_str()), 1);
    EXPECT_EQ(name, c.second);
  }
  char small[8];
  EXPECT_EQ(RunningProductEventName(small, "C:\\Start.exe"), 0);
  EXPECT_STREQ(small, "");
}

TEST(Autorun, CommandLineQuotesTheArgumentAndRefusesWhatDoesNotFit) {
  char line[40];
  ASSERT_EQ(AutorunCommandLine(line, "s.exe", ""), 1);
  EXPECT_STREQ(line, "s.exe \"\"");
  // 28 + 8 characters, a blank and two quotes fill the 40 with the zero; one more does not fit.
  ASSERT_EQ(AutorunCommandLine(line, "C:\\Programme\\Beispiel\\st.exe", "D:\\a.hlp"), 1);
  EXPECT_STREQ(line, "C:\\Programme\\Beispiel\\st.exe \"D:\\a.hlp\"");
  EXPECT_EQ(AutorunCommandLine(line, "C:\\Programme\\Beispiel\\st.exe", "D:\\ab.hlp"), 0);
  EXPECT_STREQ(line, "");
}

}  // namespace
