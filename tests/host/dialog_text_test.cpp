// The "$p"/"$c" substitution of dialog texts.
#include <gtest/gtest.h>

#include <string>

#include "wizard/dialog_text.h"

namespace {

std::string Expand(const char* text, const char* product = "Atlas", const char* company = "Kartenhaus") {
  char out[kWindowTextChars];
  size_t n = ExpandDialogText(text, product, company, out, sizeof out);
  EXPECT_EQ(n, std::string(out).size());
  return out;
}

TEST(ExpandDialogText, NamesReplaceTheirPlaceholders) {
  EXPECT_EQ(Expand("$p-Setup"), "Atlas-Setup");
  EXPECT_EQ(Expand("$p"), "Atlas");
  EXPECT_EQ(Expand("$c"), "Kartenhaus");
  EXPECT_EQ(Expand("Willkommen zum Installationsprogramm der $p von $c."),
            "Willkommen zum Installationsprogramm der Atlas von Kartenhaus.");
  EXPECT_EQ(Expand("$p$c$p"), "AtlasKartenhausAtlas");
  EXPECT_EQ(Expand("ohne Platzhalter"), "ohne Platzhalter");
  EXPECT_EQ(Expand(""), "");
}

TEST(ExpandDialogText, DollarBeforeAnyOtherCharacterDropsBoth) {
  EXPECT_EQ(Expand("a$ b"), "ab");
  EXPECT_EQ(Expand("$$p"), "p");
  EXPECT_EQ(Expand("$P-Setup"), "-Setup");  // case matters
  EXPECT_EQ(Expand("$C"), "");
  EXPECT_EQ(Expand("Preis: 5$"), "Preis: 5");  // a dollar at the end
  EXPECT_EQ(Expand("$"), "");
  EXPECT_EQ(Expand("x$\xE4y"), "xy");  // also before a byte above 127
}

TEST(ExpandDialogText, InsertedNamesAreNotScannedAgain) {
  EXPECT_EQ(Expand("$p", "Geld$pSparer"), "Geld$pSparer");
  EXPECT_EQ(Expand("$c!", "", "$c"), "$c!");
  EXPECT_EQ(Expand("[$p]", ""), "[]");
}

TEST(ExpandDialogText, ResultIsCutAtTheBufferAndStaysTerminated) {
  char out[8];
  EXPECT_EQ(ExpandDialogText("$p-Setup", "Atlas", "", out, sizeof out), 7u);
  EXPECT_STREQ(out, "Atlas-S");
  EXPECT_EQ(ExpandDialogText("ab$p", "Weltatlas", "", out, sizeof out), 7u);
  EXPECT_STREQ(out, "abWelta");
  char one[1] = {'x'};
  EXPECT_EQ(ExpandDialogText("abc", "", "", one, sizeof one), 0u);
  EXPECT_EQ(one[0], 0);
  // A long name in a full-size window text: cut at 1023 characters, never beyond.
  std::string product(900, 'P');
  char big[kWindowTextChars];
  size_t n = ExpandDialogText("$p und $p", product.c_str(), "", big, sizeof big);
  EXPECT_EQ(n, kWindowTextChars - 1);
  EXPECT_EQ(std::string(big), (product + " und " + product).substr(0, kWindowTextChars - 1));
  EXPECT_EQ(ExpandDialogText(nullptr, "Atlas", "", out, sizeof out), 0u);
  EXPECT_STREQ(out, "");
}

}  // namespace
