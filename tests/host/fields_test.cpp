// The field tokenizer and the description escapes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/fields.h"

namespace {

std::vector<std::string> Fields(const char* value) {
  std::vector<std::string> out;
  int pos = 0;
  char field[260];
  while (NextField(value, &pos, field)) {
    out.push_back(field);
    if (out.size() > 100) break;
  }
  return out;
}

using V = std::vector<std::string>;

TEST(NextField, CommasSeparateWithoutTrimming) {
  EXPECT_EQ(Fields("a,,b"), (V{"a", "", "b"}));
  EXPECT_EQ(Fields(" a , b "), (V{" a ", " b "}));
  EXPECT_EQ(Fields(""), V{});
}

TEST(NextField, TrailingCommaGivesNoFurtherField) {
  EXPECT_EQ(Fields("a,"), (V{"a"}));
  EXPECT_EQ(Fields(",,"), (V{"", ""}));
  EXPECT_EQ(Fields(","), (V{""}));
}

TEST(NextField, QuotesGroupCommas) {
  EXPECT_EQ(Fields("\"a,b\",c"), (V{"a,b", "c"}));
  EXPECT_EQ(Fields("x\"a,b\"y,z"), (V{"xa,by", "z"}));
  // The platform removed the enclosing pair of "a","b": one field remains.
  EXPECT_EQ(Fields("a\",\"b"), (V{"a,b"}));
}

TEST(NextField, UnclosedAndLoneQuotes) {
  EXPECT_EQ(Fields("\"a,b"), (V{"a,b"}));
  // A quote as the last character opens nothing.
  EXPECT_EQ(Fields("\""), V{});
  EXPECT_EQ(Fields("a,\""), (V{"a"}));
  // An empty quoted run is a field.
  EXPECT_EQ(Fields("\"\""), (V{""}));
}

TEST(NextField, LongFieldIsCutButTheWalkGoesOn) {
  std::string value(600, 'x');
  value += ",tail";
  int pos = 0;
  char small[8];
  ASSERT_EQ(NextField(value.c_str(), &pos, small), 1);
  EXPECT_STREQ(small, "xxxxxxx");
  ASSERT_EQ(NextField(value.c_str(), &pos, small), 1);
  EXPECT_STREQ(small, "tail");
  EXPECT_EQ(NextField(value.c_str(), &pos, small), 0);
}

std::string Unescaped(const char* text) {
  std::string s = text;
  UnescapeText(s.data());
  return s.c_str();
}

TEST(UnescapeDescription, KnownEscapes) {
  EXPECT_EQ(Unescaped("Zeile 1\\nZeile 2"), "Zeile 1\nZeile 2");
  EXPECT_EQ(Unescaped("a\\rb"), "a\rb");
  EXPECT_EQ(Unescaped("\\\"zitiert\\\""), "\"zitiert\"");
  EXPECT_EQ(Unescaped("C:\\\\Pfad"), "C:\\Pfad");
}

TEST(UnescapeDescription, UnknownEscapesAndTrailingBackslashVanish) {
  EXPECT_EQ(Unescaped("a\\xb"), "ab");
  EXPECT_EQ(Unescaped("ende\\"), "ende");
  EXPECT_EQ(Unescaped("\\"), "");
  EXPECT_EQ(Unescaped("ohne"), "ohne");
}

}  // namespace
