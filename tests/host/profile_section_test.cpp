// Profile reads answered from a section's text. The expected answers are those the platform's
// own profile functions give for the same section (observed under Wine; the Windows test
// compares the two over many files).
#include "startup/profile_section.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace {

// A section text from its entries: each ended by a zero, the list by a second one.
std::string Lines(std::initializer_list<std::string> entries) {
  std::string text;
  for (const std::string& e : entries) text += e + '\0';
  return text + '\0';
}

struct Read {
  int Decided;
  size_t Length;
  std::string Text;
};

Read ReadString(const std::string& lines, const char* key, size_t size = 100) {
  std::string buffer(size + 8, '#');
  size_t length = 12345;
  int decided = SectionReadString(lines.c_str(), key, buffer.data(), size, &length);
  if (!decided) return {0, length, ""};
  EXPECT_EQ(buffer[length], 0) << key;
  EXPECT_LT(length, size);
  EXPECT_EQ(buffer[size], '#') << "wrote past the buffer for " << key;
  return {1, length, buffer.substr(0, length)};
}

const std::string kSection = Lines({"k1=v1", "#h=2", "noeq", "dup=first", "DUP=second", "q1=\"abc\"", "q2='abc'",
                                    "q3=\"abc", "q4=\"a\",\"b\"", "q5=\"", "q6=\"\"", "q7='abc\"", "empty=",
                                    "=nokey", "shadow", "shadow=val", "tab=x", "eq=a=b"});

TEST(SectionReadString, FindsKeysWithoutRegardToAsciiCaseAndTakesTheFirst) {
  EXPECT_EQ(ReadString(kSection, "k1").Text, "v1");
  EXPECT_EQ(ReadString(kSection, "K1").Text, "v1");
  EXPECT_EQ(ReadString(kSection, "#H").Text, "2");  // "#" starts no comment
  EXPECT_EQ(ReadString(kSection, "Dup").Text, "first");
  EXPECT_EQ(ReadString(kSection, "DUP").Text, "first");
  EXPECT_EQ(ReadString(kSection, "eq").Text, "a=b");  // the name ends at the first "="
  Read tab = ReadString(kSection, "tab");
  EXPECT_EQ(tab.Decided, 1);
  EXPECT_EQ(tab.Length, 1u);
}

TEST(SectionReadString, BareNamesAndMissingKeysReadAsEmpty) {
  for (const char* key : {"noeq", "empty", "missing", "k", "k1x", "v1"}) {
    Read r = ReadString(kSection, key);
    EXPECT_EQ(r.Decided, 1) << key;
    EXPECT_EQ(r.Length, 0u) << key;
  }
  // A line without "=" is the first "shadow": the later key with a value stays hidden.
  EXPECT_EQ(ReadString(kSection, "shadow").Text, "");
  EXPECT_EQ(ReadString(Lines({}), "k1").Decided, 1);
  EXPECT_EQ(ReadString(Lines({}), "k1").Length, 0u);
}

TEST(SectionReadString, RemovesOneEnclosingPairOfQuotes) {
  EXPECT_EQ(ReadString(kSection, "q1").Text, "abc");
  EXPECT_EQ(ReadString(kSection, "q2").Text, "abc");
  EXPECT_EQ(ReadString(kSection, "q3").Text, "\"abc");     // quote at one end only
  EXPECT_EQ(ReadString(kSection, "q4").Text, "a\",\"b");   // outer pair only
  EXPECT_EQ(ReadString(kSection, "q5").Text, "\"");        // a lone quote stays
  EXPECT_EQ(ReadString(kSection, "q6").Text, "");          // an empty quoted value
  EXPECT_EQ(ReadString(kSection, "q7").Text, "'abc\"");    // quotes of two kinds enclose nothing
}

TEST(SectionReadString, CutsToTheBufferSizeMinusOne) {
  EXPECT_EQ(ReadString(kSection, "k1", 3).Text, "v1");
  EXPECT_EQ(ReadString(kSection, "k1", 2).Text, "v");
  EXPECT_EQ(ReadString(kSection, "k1", 1).Text, "");
  EXPECT_EQ(ReadString(kSection, "q1", 3).Text, "ab");
  EXPECT_EQ(ReadString(kSection, "q1", 2).Text, "a");
  EXPECT_EQ(ReadString(kSection, "q4", 5).Text, "a\",\"");
  // A quoted value that fills the buffer exactly arrives whole (Wine's own read drops its
  // last character here).
  EXPECT_EQ(ReadString(kSection, "q1", 4).Text, "abc");
  EXPECT_EQ(ReadString(kSection, "q4", 6).Text, "a\",\"b");

  std::string longValue(5000, 'x');
  longValue[1023] = 'y';
  std::string lines = Lines({"long=\"" + longValue + "\""});
  EXPECT_EQ(ReadString(lines, "long", 1024).Text, longValue.substr(0, 1023));
  EXPECT_EQ(ReadString(lines, "long", 5001).Text, longValue);
  EXPECT_EQ(ReadString(lines, "long", 6000).Text, longValue);
}

TEST(SectionReadString, IgnoresTheBlanksThePlatformIgnoresAroundTheRequestedKey) {
  for (const char* key : {" k1 ", "\tk1\t", "\vk1", "\fk1\r\n", "\x1ak1\x1a"}) EXPECT_EQ(ReadString(kSection, key).Text, "v1") << key;
  // No-break space and code page 1252's other characters are part of the name.
  EXPECT_EQ(ReadString(kSection, "\xa0k1").Text, "");
  EXPECT_EQ(ReadString(kSection, "k1\x85").Text, "");
  EXPECT_EQ(ReadString(Lines({"\xa0k3\xa0=v3"}), "\xa0k3\xa0").Text, "v3");
}

TEST(SectionReadString, LeavesToThePlatformWhatTheSectionTextCannotDecide) {
  // Comment lines are keys to the string read but missing from the section text.
  EXPECT_EQ(ReadString(kSection, ";c").Decided, 0);
  EXPECT_EQ(ReadString(kSection, "  ;c").Decided, 0);
  // An empty name may be a blank line or a name hidden behind a zero byte.
  EXPECT_EQ(ReadString(kSection, "").Decided, 0);
  EXPECT_EQ(ReadString(kSection, " \t ").Decided, 0);
  // Letters beyond ASCII that differ only in case: Wine keeps them apart, Windows need not.
  std::string umlauts = Lines({"\xc4rger=1", "\x8a\x9a=2", "\xff=3", "\xe0\xc0=4"});
  EXPECT_EQ(ReadString(umlauts, "\xe4rger").Decided, 0);
  EXPECT_EQ(ReadString(umlauts, "\xe4RGER").Decided, 0);
  EXPECT_EQ(ReadString(umlauts, "\x9a\x8a").Decided, 0);
  EXPECT_EQ(ReadString(umlauts, "\x9f").Decided, 0);
  EXPECT_EQ(ReadString(umlauts, "\xc0\xe0").Decided, 0);
  // Where only ASCII case differs, or the bytes are the same, the text decides.
  EXPECT_EQ(ReadString(umlauts, "\xc4RGER").Text, "1");
  EXPECT_EQ(ReadString(umlauts, "\x8a\x9a").Text, "2");
  EXPECT_EQ(ReadString(umlauts, "\xe0\xc0").Text, "4");
  // Characters without a partner of the other case never match another character.
  for (const char* key : {"\xd7", "\xf7", "\xdf", "\xb5", "ss"}) {
    Read r = ReadString(Lines({"\xf7=a", "\xd7=b", "\xb5=c", "\xdf=d"}), key);
    EXPECT_EQ(r.Decided, 1) << key;
  }
  EXPECT_EQ(ReadString(Lines({"\xf7=a", "\xd7=b"}), "\xd7").Text, "b");
  EXPECT_EQ(ReadString(Lines({"\xdf=d"}), "ss").Text, "");
  // An earlier exact match decides before a later doubtful entry is looked at.
  EXPECT_EQ(ReadString(Lines({"\xe4=1", "\xc4=2"}), "\xe4").Text, "1");
}

// --- Key lists ---------------------------------------------------------------------------

struct KeyList {
  size_t Result;
  std::string Bytes;  // the buffer up to and including the result's position
};

KeyList ReadKeys(const std::string& lines, size_t size) {
  std::string buffer(size + 8, '#');
  size_t result = SectionReadKeys(lines.c_str(), buffer.data(), size);
  EXPECT_EQ(buffer[size], '#') << "wrote past a buffer of " << size;
  EXPECT_LE(result, size);
  if (size > 0) {
    // However it was cut, the list ends in two zeros inside the buffer.
    size_t at = 0;
    while (at < size && buffer[at] != 0) at += strlen(buffer.data() + at) + 1;
    EXPECT_LT(at, size) << "list not ended within a buffer of " << size;
  }
  return {result, buffer.substr(0, result + 1)};
}

TEST(SectionReadKeys, ListsNamesWithValuesAsThePlatformDoes) {
  KeyList all = ReadKeys(kSection, 200);
  const char list[] = "k1\0#h\0dup\0DUP\0q1\0q2\0q3\0q4\0q5\0q6\0q7\0empty\0\0shadow\0tab\0eq\0";
  std::string expected(list, sizeof list);  // with the zero that ends the list
  EXPECT_EQ(all.Result, sizeof list - 1);
  EXPECT_EQ(all.Bytes, expected);
}

TEST(SectionReadKeys, CutsLikeThePlatform) {
  // Results and bytes as the platform's key list gives them for the same section.
  EXPECT_EQ(ReadKeys(kSection, 20).Result, 18u);
  EXPECT_EQ(ReadKeys(kSection, 20).Bytes, std::string("k1\0#h\0dup\0DUP\0q1\0q\0", 19));
  EXPECT_EQ(ReadKeys(kSection, 10).Result, 8u);
  EXPECT_EQ(ReadKeys(kSection, 10).Bytes, std::string("k1\0#h\0du\0", 9));
  EXPECT_EQ(ReadKeys(kSection, 5).Result, 3u);
  EXPECT_EQ(ReadKeys(kSection, 5).Bytes, std::string("k1\0\0", 4));
  EXPECT_EQ(ReadKeys(kSection, 3).Result, 1u);
  EXPECT_EQ(ReadKeys(kSection, 3).Bytes, std::string("k\0", 2));
  EXPECT_EQ(ReadKeys(kSection, 2).Result, 0u);
  EXPECT_EQ(ReadKeys(kSection, 1).Result, 0u);
  std::string untouched("#");
  EXPECT_EQ(SectionReadKeys(kSection.c_str(), untouched.data(), 0), 0u);
  EXPECT_EQ(untouched, "#");
}

TEST(SectionReadKeys, EmptyWhenNoNameOrAnEmptyFirstName) {
  EXPECT_EQ(ReadKeys(Lines({}), 100).Result, 0u);
  EXPECT_EQ(ReadKeys(Lines({"bare", "other"}), 100).Result, 0u);
  // The platform takes a list that starts with an empty name for no list at all.
  EXPECT_EQ(ReadKeys(Lines({"=v", "k=v"}), 100).Result, 0u);
  EXPECT_EQ(ReadKeys(Lines({"bare", "k=v"}), 100).Result, 2u);
}

// --- Integers ------------------------------------------------------------------------------

TEST(ParseProfileInt, ReadsSignsBlanksAndBasePrefixesLikeThePlatform) {
  struct Case {
    const char* Text;
    int Value;
  } cases[] = {
      {"42", 42},        {"-42", -42},     {"+7", 7},        {"  12", 12},      {"\t5", 5},
      {"\x01\x02 5", 5}, {"12abc", 12},    {"abc", 0},       {"", 0},           {"'", 0},
      {"- 5", 0},        {"+-5", 0},       {"0x10", 16},     {"0X10", 0},       {"0o17", 15},
      {"0b101", 5},      {"0b102", 2},     {"0o8", 0},       {"0x", 0},         {"-0x1f", -31},
      {"0xFfz", 255},    {"1e3", 1},       {"\xa0" "5", 0},  {"007", 7},        {"2147483647", 2147483647},
      {"-2147483648", INT_MIN},            {"-0x80000000", INT_MIN},             {"0x7fffffff", INT_MAX},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseProfileInt(c.Text), c.Value) << c.Text;
}

TEST(ParseProfileInt, SaturatesBeyondTheSigned32BitRange) {
  // The platform wraps these (4294967295 reads as -1, 99999999999 as 1215752191).
  EXPECT_EQ(ParseProfileInt("2147483648"), INT_MAX);
  EXPECT_EQ(ParseProfileInt("4294967295"), INT_MAX);
  EXPECT_EQ(ParseProfileInt("99999999999"), INT_MAX);
  EXPECT_EQ(ParseProfileInt("-2147483649"), INT_MIN);
  EXPECT_EQ(ParseProfileInt("-99999999999"), INT_MIN);
  EXPECT_EQ(ParseProfileInt("0xffffffff"), INT_MAX);
  EXPECT_EQ(ParseProfileInt("-0x80000001"), INT_MIN);
  EXPECT_EQ(ParseProfileInt("0b11111111111111111111111111111111111111111"), INT_MAX);
  EXPECT_EQ(ParseProfileInt(std::string(400, '9').c_str()), INT_MAX);
  EXPECT_EQ(ParseProfileInt(("-" + std::string(400, 'z')).c_str()), 0);  // z is no decimal digit
  EXPECT_EQ(ParseProfileInt(("-0x" + std::string(400, 'f')).c_str()), INT_MIN);
}

}  // namespace
