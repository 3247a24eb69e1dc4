// The install script's profile reads, answered from cached whole sections, against the
// platform's own GetPrivateProfileStringA/GetPrivateProfileIntA over awkward scripts: every
// section and key of each file (and absent and case-variant ones), with many buffer sizes.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "box_watcher.h"
#include "script/option_tree.h"
#include "script/reader.h"
#include "startup/arena.h"
#include "startup/platform.h"
#include "startup/profile_image.h"
#include "startup/profile_section.h"
#include "startup/state.h"
#include "startup/text.h"
#include "ui_driver.h"

namespace {

std::string Join(std::initializer_list<std::string> lines, const char* end = "\r\n") {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

// --- The scripts ---------------------------------------------------------------------------

std::string BlanksAndQuotes() {
  return Join({
      "[Werte]",
      "  Name  =  Programm  ",
      "Tab\t=\tmit Tab\t",
      "\vVt\v=\v\fFormfeed\f",
      "Leer=",
      "LeerBlanks=    ",
      "Q1=\"in Anführungszeichen\"",
      "Q2='einfach'",
      "Q3=\"nur vorne",
      "Q4=nur hinten\"",
      "Q5=\"a\",\"b\"",
      "Q6=\" innen Blanks \"",
      "Q7=\"",
      "Q8=\"\"",
      "Q9=''",
      "Q10=\"gemischt'",
      "Q11=  \" Blanks außerhalb \"  ",
      "Q12='\"'",
      "OhneGleich",
      ";Kommentar=1",
      "  ; Kommentar mit Blanks=2",
      "; Kommentar ohne Gleich",
      "#Raute=3",
      "Doppelt=erster",
      "doppelt=zweiter",
      "DOPPELT",
      "Schatten",
      "Schatten=später",
      "=ohne Namen",
      "Gleich=a=b=c",
      "Zahl=42",
      "  ",
      "NBSP\xa0=\xa0mit\xa0",
      "[Zweite]",
      "Name=zwei",
  });
}

std::string Sections() {
  return Join({
      "Vorspann=vor jeder Sektion",
      "[Doppelt]",
      "a=1",
      "[Leer]",
      "[NurKommentar]",
      "; nichts",
      ";x=1",
      "[NurOhneGleich]",
      "bare",
      "[doppelt]",
      "a=2",
      "b=3",
      "[ÄRGER]",
      "ärger=klein",
      "Ärger=groß",
      "ÄRGER=GROSS",
      "ÖL=1",
      "Œuvre=1",
      "šŸ=1",
      "[ärger]",
      "x=2",
      "[Straße]",
      "Maß=1",
      "MASS=2",
      "[  Blanks  ]",
      "k=v",
      "[Section1]",
      "Name=A",
      "[SECTION1]",
      "Name=B",
      "[Section1:1]",
      "Name=Unter",
      "[Section1NoCopy]",
      "Name=Begleiter",
      "[]",
      "leer=1",
      "[ohne Ende",
      "k=offen",
  });
}

std::string LongValues() {
  std::string text = "[Lang]\r\n";
  for (size_t n : {258u, 259u, 260u, 519u, 520u, 1022u, 1023u, 1024u, 1025u, 5000u, 70000u}) {
    std::string value;
    for (size_t i = 0; i < n; ++i) value += static_cast<char>('a' + i % 26);
    text += "Plain" + std::to_string(n) + "=" + value + "\r\n";
    text += "Quoted" + std::to_string(n) + "=\"" + value + "\"\r\n";
    text += "Single" + std::to_string(n) + "='" + value + "'\r\n";
  }
  text += std::string(300, 'K') + "=langer Name\r\n";
  text += "[Viele]\r\n";
  for (int i = 1; i <= 100; ++i) text += "File" + std::to_string(i) + "=1,,datei" + std::to_string(i) + ".dat\r\n";
  return text;
}

std::string Numbers() {
  return Join({
      "[Zahlen]",
      "N1=42",
      "N2=-42",
      "N3=+7",
      "N4=0x10",
      "N5=0X10",
      "N6=0o17",
      "N7=0b101",
      "N8=\"  12\"",
      "N9=12abc",
      "N10=2147483647",
      "N11=-2147483648",
      "N12=-0x80000000",
      "N13=- 5",
      "N14=",
      "N15=abc",
      "N16='\t5'",
      "N17=0000000000000000000000000000000000000000007",
      "N18=\"123\"",
      "N19=0x",
      "N20=0b102",
      "N21=\"-0x1F\"",
      "N22=1e3",
      "N23=\xa0" "5",
      "N24=+-5",
      "N25=007",
      "Install=1",
      "FileCount=100",
  });
}

// Numbers beyond the signed 32-bit range: the platform wraps, the program saturates.
std::string BigNumbers() {
  return Join({
      "[Gross]",
      "P1=2147483648",
      "P2=4294967295",
      "P3=99999999999",
      "P4=0xffffffff",
      "P5=0x80000000",
      "M1=-2147483649",
      "M2=-99999999999",
      "M3=-0x80000001",
      "M4=-4294967296",
  });
}

std::string LineEnds() {
  std::string text = "[Zeilen]\nlf=1\nk6=v6\r\n\r\n=nach Leerzeile\r\n";
  text += std::string("k7=a\0b\r\n", 8);
  text += std::string("\0k8=v8\r\n", 8);
  text += "k9\r=v9\r\n\x1ak10\x1a=\x1av10\x1a\r\n[Ende]\r\nletzte=ohne Zeilenende";
  return text;
}

std::string Utf8WithMark() { return "\xef\xbb\xbf[Umlaute]\r\nSchl\xc3\xbcssel=Gr\xc3\xb6\xc3\x9f" "e\r\nName=\xe2\x82\xac\r\n"; }

struct Script {
  const char* File;
  std::string Text;
};

std::vector<Script> Scripts() {
  return {{"blanks.lst", BlanksAndQuotes()}, {"sections.lst", Sections()},   {"long.lst", LongValues()},
          {"numbers.lst", Numbers()},        {"big.lst", BigNumbers()},       {"lineends.lst", LineEnds()},
          {"utf8.lst", Utf8WithMark()}};
}

// Section and key names to ask for, taken from the script's lines as written (untrimmed and
// trimmed), with their case changed, plus names the script does not have.
std::string Upper(std::string s) {
  CharUpperBuffA(s.data(), static_cast<DWORD>(s.size()));
  return s;
}
std::string Lower(std::string s) {
  CharLowerBuffA(s.data(), static_cast<DWORD>(s.size()));
  return s;
}
std::string Trimmed(const std::string& s) {
  const char* start;
  size_t length;
  TrimProfileName(s.c_str(), &start, &length);
  return std::string(start, length);
}

struct Names {
  std::vector<std::string> Sections;
  std::vector<std::vector<std::string>> Keys;  // per section
};

Names NamesOf(const std::string& text) {
  Names names;
  std::vector<std::string> keys;
  size_t pos = 0;
  auto add = [](std::vector<std::string>& list, const std::string& name) {
    for (const std::string& n : {name, Trimmed(name), Upper(name), Lower(name)})
      if (std::find(list.begin(), list.end(), n) == list.end()) list.push_back(n);
  };
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    std::string line(text.c_str() + pos);  // stops at a zero byte too
    if (line.size() > end - pos) line.resize(end - pos);
    pos = end + 1;
    std::string trimmed = Trimmed(line);
    if (!trimmed.empty() && trimmed[0] == '[') {
      size_t close = trimmed.rfind(']');
      if (!names.Sections.empty()) names.Keys.push_back(keys);
      keys.clear();
      std::string name = trimmed.substr(1, close == std::string::npos ? std::string::npos : close - 1);
      names.Sections.push_back(name);
      continue;
    }
    add(keys, line.substr(0, line.find('=')));
  }
  names.Keys.push_back(keys);
  for (std::vector<std::string>& list : names.Keys)
    for (const char* extra : {"Fehlt", "", " ", ";", "Name", "FileCount", "a"})
      if (std::find(list.begin(), list.end(), extra) == list.end()) list.push_back(extra);
  return names;
}

// --- Reads through both ways -----------------------------------------------------------

struct Answer {
  size_t Result;
  std::string Bytes;  // the buffer up to and including the result's position
};

Answer Platform(const char* section, const char* key, size_t size) {
  std::string buffer(size + 1, '#');
  size_t result = GetPrivateProfileStringA(section, key, "", buffer.data(), static_cast<DWORD>(size), ScriptPath);
  return {result, buffer.substr(0, std::min(result + 1, size))};
}

// The same file as an in-memory image (the publisher's tool and the host tests read scripts
// through it): every read must answer as the program's does.
ProfileImage image;

Answer Program(const char* section, const char* key, size_t size) {
  std::string buffer(size + 1, '#'), mirror(size + 1, '#');
  size_t result = ProfileReadString(section, key, buffer.data(), size);
  EXPECT_EQ(buffer[size], '#') << "wrote past the buffer: [" << section << "] " << (key ? key : "(list)") << " " << size;
  size_t fromImage = ProfileImageReadString(&image, section, key, mirror.data(), size);
  EXPECT_TRUE(fromImage == result && mirror.substr(0, std::min(result + 1, size)) == buffer.substr(0, std::min(result + 1, size)))
      << "image: [" << section << "] " << (key ? key : "(list)") << " " << size << ": " << fromImage << " against " << result;
  return {result, buffer.substr(0, std::min(result + 1, size))};
}

std::string Show(const std::string& s) {
  std::string out;
  for (unsigned char c : s.substr(0, 80)) {
    char hex[8];
    if (c >= 32 && c < 127) out += static_cast<char>(c);
    else FormatText(hex, "\\x%02x", c), out += hex;
  }
  return s.size() > 80 ? out + "..." : out;
}

struct Tally {
  int Compared = 0;
  int QuotedExactFit = 0;  // Wine's read drops the last character of such a value
  int Saturated = 0;
};

// One string read both ways. The one accepted difference: a quoted value whose text is exactly
// one less than the buffer size arrives whole here, while Wine's read cuts one more character.
void CompareString(const char* section, const char* key, size_t size, Tally* tally) {
  Answer platform = Platform(section, key, size);
  Answer program = Program(section, key, size);
  ++tally->Compared;
  if (platform.Result == program.Result && platform.Bytes == program.Bytes) return;
  Answer whole = Platform(section, key, size + 1);
  if (key && whole.Result == size - 1 && program.Bytes == whole.Bytes.substr(0, size) &&
      platform.Result == size - 2 && platform.Bytes == whole.Bytes.substr(0, size - 2) + '\0') {
    ++tally->QuotedExactFit;
    return;
  }
  ADD_FAILURE() << "[" << Show(section) << "] " << (key ? Show(key) : "(key list)") << " size " << size
                << ": platform " << platform.Result << " \"" << Show(platform.Bytes) << "\", program "
                << program.Result << " \"" << Show(program.Bytes) << "\"";
}

// A key list both ways: same result, same bytes; the program's list always ends in two zeros
// inside the buffer (the platform's cut list may not).
void CompareKeyList(const char* section, size_t size, Tally* tally) {
  CompareString(section, nullptr, size, tally);
  std::string buffer(size + 1, '#');
  ProfileReadString(section, nullptr, buffer.data(), size);
  size_t at = 0;
  while (at < size && buffer[at] != 0) at += strlen(buffer.data() + at) + 1;
  EXPECT_LT(at, size) << "key list of [" << section << "] not ended within " << size;
}

void CompareInt(const char* section, const char* key, Tally* tally) {
  int platform = static_cast<int>(GetPrivateProfileIntA(section, key, 0, ScriptPath));
  int program = ProfileReadInt(section, key);
  EXPECT_EQ(ProfileImageReadInt(&image, section, key), program) << "image: [" << section << "] " << key;
  ++tally->Compared;
  if (platform == program) return;
  // Past the 32-bit range the platform wraps; the program stops at the limit of the sign.
  char text[kProfileIntChars];
  GetPrivateProfileStringA(section, key, "", text, sizeof text, ScriptPath);
  const char* p = text;
  while (*p && static_cast<unsigned char>(*p) <= ' ') ++p;
  int limit = *p == '-' ? INT_MIN : INT_MAX;
  EXPECT_EQ(program, limit) << "[" << section << "] " << key << " = \"" << text << "\": platform " << platform;
  ++tally->Saturated;
}

class ProfileCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = ui::JoinPath(ui::TestRoot(), "profile-cache");
    ui::RemoveTree(folder_);
    ASSERT_TRUE(ui::MakeFolders(folder_));
  }
  void TearDown() override { ScriptPath[0] = 0; }

  void Use(const char* file, const std::string& text) {
    std::string path = ui::JoinPath(folder_, file);
    ASSERT_TRUE(ui::WriteFile(path, text));
    CopyText(ScriptPath, path.c_str());
    ProfileImageFree(&image);
    ASSERT_TRUE(ProfileImageLoad(&image, text.data(), text.size()));
  }
  std::string Read(const char* section, const char* key, size_t size = 260) {
    std::string buffer(size, '#');
    size_t n = ProfileReadString(section, key, buffer.data(), size);
    return buffer.substr(0, n);
  }

  std::string folder_;
};

TEST_F(ProfileCacheTest, EverySectionAndKeyReadsAsThePlatformReadsIt) {
  Tally tally;
  for (const Script& script : Scripts()) {
    Use(script.File, script.Text);
    Names names = NamesOf(script.Text);
    std::vector<std::string> sections = names.Sections;
    for (const char* extra : {"Fehlt", "Section2", "Settings", " Werte ", "\tZahlen", "Werte ", "\xa0Werte"}) sections.push_back(extra);
    for (size_t s = 0; s < sections.size(); ++s) {
      const std::vector<std::string>& keys = s < names.Keys.size() ? names.Keys[s] : names.Keys[0];
      for (const std::string& section : {sections[s], Upper(sections[s]), Lower(sections[s])}) {
        for (size_t size : {1u, 2u, 3u, 4u, 5u, 8u, 16u, 100u, 260u, 4096u}) CompareKeyList(section.c_str(), size, &tally);
        Answer list = Platform(section.c_str(), nullptr, 100000);
        for (size_t size = list.Result; size <= list.Result + 3; ++size)
          if (size > 0) CompareKeyList(section.c_str(), size, &tally);
        // Every key through the section as written; a few through its case variants.
        bool asWritten = section == sections[s];
        for (size_t k = 0; k < keys.size() && (asWritten || k < 8); ++k) {
          const char* key = keys[k].c_str();
          Answer whole = Platform(section.c_str(), key, 100000);
          for (size_t size : {1u, 2u, 3u, 30u, 260u, 1024u}) CompareString(section.c_str(), key, size, &tally);
          for (size_t size = whole.Result; size <= whole.Result + 2; ++size)
            if (size > 0) CompareString(section.c_str(), key, size, &tally);
          CompareInt(section.c_str(), key, &tally);
        }
      }
    }
  }
  printf("profile reads: %d compared with the platform, %d quoted values filling the buffer exactly "
         "(whole here, one character short from Wine's read), %d saturated numbers\n",
         tally.Compared, tally.QuotedExactFit, tally.Saturated);
  EXPECT_GT(tally.Compared, 10000);
}

TEST_F(ProfileCacheTest, KeyNamesMatchCaseAsThePlatformMatchesIt) {
  // One key per byte, in ascending and in descending order: a read of each byte's key shows
  // which key the platform takes for it, upper or lower case partner or itself.
  Tally tally;
  for (int descending = 0; descending < 2; ++descending) {
    std::string text = "[Bytes]\r\n";
    for (int i = 0x21; i <= 0xff; ++i) {
      int c = descending ? 0x120 - i : i;
      if (c == '=' || c == ';' || c == '[') continue;
      char line[16];
      FormatText(line, "K%c=%02x\r\n", c, c);
      text += line;
    }
    Use("bytes.lst", text);
    for (int c = 0x21; c <= 0xff; ++c) {
      char lower[3] = {'k', static_cast<char>(c), 0};
      char upper[3] = {'K', static_cast<char>(c), 0};
      CompareString("Bytes", lower, 10, &tally);
      CompareString("bytes", upper, 10, &tally);
    }
  }
  // Section names are the platform's to match; the program only hands them on.
  std::string sections;
  for (int c = 0xc0; c <= 0xff; ++c) sections += std::string("[S") + static_cast<char>(c) + "]\r\nk=" + std::to_string(c) + "\r\n";
  Use("sections.lst", sections);
  for (int c = 0xc0; c <= 0xff; ++c)
    for (const std::string& name : {std::string("s") + static_cast<char>(c), Upper(std::string("s") + static_cast<char>(c))}) {
      CompareString(name.c_str(), "k", 10, &tally);
      CompareKeyList(name.c_str(), 10, &tally);
    }
  EXPECT_EQ(tally.QuotedExactFit, 0);
}

TEST_F(ProfileCacheTest, BlanksAroundRequestedNamesAsThePlatformSkipsThem) {
  Use("blanks.lst", "[W]\r\nk=v\r\n");
  Tally tally;
  for (int c = 1; c <= 0xff; ++c) {
    std::string before = std::string(1, static_cast<char>(c)) + "W";
    std::string after = std::string("k") + static_cast<char>(c);
    CompareString(before.c_str(), "k", 10, &tally);
    CompareString("W", after.c_str(), 10, &tally);
    CompareString("W", (std::string(1, static_cast<char>(c)) + "k").c_str(), 10, &tally);
    CompareKeyList(before.c_str(), 10, &tally);
    CompareInt(before.c_str(), "k", &tally);
  }
}

TEST_F(ProfileCacheTest, QuotedValueThatFillsTheBufferArrivesWhole) {
  Use("exact.lst", "[Werte]\r\nName=\"Programm\"\r\nKurz='ab'\r\n");
  EXPECT_EQ(Read("Werte", "Name", 9), "Programm");
  EXPECT_EQ(Read("Werte", "Name", 8), "Program");
  EXPECT_EQ(Read("Werte", "Kurz", 3), "ab");
  EXPECT_EQ(Read("Werte", "Kurz", 2), "a");
}

TEST_F(ProfileCacheTest, NumbersBeyondTheRangeSaturate) {
  Use("big.lst", BigNumbers());
  for (const char* key : {"P1", "P2", "P3", "P4", "P5"}) EXPECT_EQ(ProfileReadInt("Gross", key), INT_MAX) << key;
  for (const char* key : {"M1", "M2", "M3", "M4"}) EXPECT_EQ(ProfileReadInt("Gross", key), INT_MIN) << key;
  // A cut at 29 characters comes first, as with the platform: these zeros hide the 7.
  Use("numbers.lst", Numbers());
  EXPECT_EQ(ProfileReadInt("Zahlen", "N17"), 0);
  EXPECT_EQ(ProfileReadInt("Zahlen", "N25"), 7);
}

// --- The cache follows the script --------------------------------------------------------

TEST_F(ProfileCacheTest, FollowsScriptPathFromFileToFile) {
  std::string a = ui::JoinPath(folder_, "a.lst"), b = ui::JoinPath(folder_, "b.lst");
  ASSERT_TRUE(ui::WriteFile(a, "[Section1]\r\nName=aus A\r\n[Nur A]\r\nk=1\r\n"));
  ASSERT_TRUE(ui::WriteFile(b, "[Section1]\r\nName=aus B\r\nInstall=1\r\n"));
  for (int round = 0; round < 3; ++round) {
    CopyText(ScriptPath, a.c_str());
    EXPECT_EQ(Read("Section1", "Name"), "aus A");
    EXPECT_EQ(ProfileReadInt("Section1", "Install"), 0);
    EXPECT_EQ(Read("Nur A", nullptr), std::string("k\0", 2));
    CopyText(ScriptPath, b.c_str());
    EXPECT_EQ(Read("Section1", "Name"), "aus B");
    EXPECT_EQ(ProfileReadInt("Section1", "Install"), 1);
    EXPECT_EQ(Read("Nur A", nullptr), "");
  }
}

TEST_F(ProfileCacheTest, SeesTheScriptRewrittenInPlace) {
  // Same path, same size, other contents: a test writes SETUP.LST anew for each case.
  Use("setup.lst", "[Section1]\r\nName=eins\r\n");
  EXPECT_EQ(Read("Section1", "Name"), "eins");
  EXPECT_EQ(Read("Section2", nullptr), "");
  for (int round = 0; round < 20; ++round) {
    std::string name = round % 2 ? "zwei" : "drei";
    Use("setup.lst", "[Section1]\r\nName=" + name + "\r\n[Section2]\r\nk=" + std::to_string(round % 10) + "\r\n");
    EXPECT_EQ(Read("Section1", "Name"), name) << round;
    EXPECT_EQ(ProfileReadInt("Section2", "k"), round % 10) << round;
  }
}

TEST_F(ProfileCacheTest, MissingScriptReadsEmptyUntilItAppears) {
  std::string path = ui::JoinPath(folder_, "spaeter.lst");
  DeleteFileA(path.c_str());
  CopyText(ScriptPath, path.c_str());
  EXPECT_EQ(Read("Section1", "Name"), "");
  EXPECT_EQ(Read("Section1", nullptr), "");
  ASSERT_TRUE(ui::WriteFile(path, "[Section1]\r\nName=da\r\n"));
  EXPECT_EQ(Read("Section1", "Name"), "da");
  ASSERT_TRUE(DeleteFileA(path.c_str()));
  EXPECT_EQ(Read("Section1", "Name"), "");
}

TEST_F(ProfileCacheTest, MoreSectionsThanTheCacheHoldsInTurn) {
  std::string text;
  for (int s = 1; s <= 12; ++s) text += "[Section" + std::to_string(s) + "]\r\nName=Teil " + std::to_string(s) + "\r\n";
  Use("viele.lst", text);
  for (int round = 0; round < 3; ++round)
    for (int s : {1, 7, 2, 12, 1, 3, 4, 5, 6, 1, 13, 11, 8, 9, 10, 2}) {
      std::string section = "Section" + std::to_string(s);
      EXPECT_EQ(Read(section.c_str(), "Name"), s <= 12 ? "Teil " + std::to_string(s) : "") << section;
    }
}

// --- Reading time of a large script ----------------------------------------------------------

// Wine parses the whole file again on every profile call while the file is only a second or
// two old (about 13 ms a call for this script), so a script written just before it is read
// costs far more than one that has lain on a medium. Both are measured; the figures are
// printed, not asserted.
TEST_F(ProfileCacheTest, LargeScriptReadFreshAndAged) {
  std::string script = "[Settings]\r\nDestination=C:\\Anwendung\r\n[Disks]\r\nDiskCount=1\r\nDisk1=CD\r\n";
  for (int s = 1; s <= 100; ++s) {
    script += "[Section" + std::to_string(s) + "]\r\nName=Teil " + std::to_string(s) + "\r\nInstall=1\r\nFileCount=100\r\n";
    for (int f = 1; f <= 100; ++f)
      script += "File" + std::to_string(f) + "=1,,t" + std::to_string(f) + ".dat,,$(AppPath),,,12/31/1997," +
                std::to_string(s * 1000 + f) + ",1.0.0." + std::to_string(f) + "\r\n";
  }
  ui::BoxWatcher boxes;
  for (int aged = 0; aged < 2; ++aged) {
    Use(aged ? "alt.lst" : "frisch.lst", script);
    if (aged) {
      HANDLE file = CreateFileA(ScriptPath, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(file, INVALID_HANDLE_VALUE);
      FILETIME now;
      GetSystemTimeAsFileTime(&now);
      ULARGE_INTEGER back{{now.dwLowDateTime, now.dwHighDateTime}};
      back.QuadPart -= 60ull * 10000000;  // a minute ago
      FILETIME written{back.LowPart, back.HighPart};
      EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
      CloseHandle(file);
    }
    ASSERT_EQ(ArenaCreate(kArenaBlockBytes), 1);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    Option* root = ReadOptionList("Section", nullptr, 0);
    QueryPerformanceCounter(&end);
    double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    printf("10000 file entries in 100 options, %s script: read in %.1f ms\n", aged ? "a minute old" : "fresh", ms);
    int options = 0, sizesRight = 0;
    for (const Option* o = root; o; o = o->NextSibling, ++options)
      for (int f = 0; f < o->FileCount; ++f) sizesRight += o->FileEntries[f].Size == (options + 1) * 1000 + f + 1;
    EXPECT_EQ(options, 100);
    EXPECT_EQ(sizesRight, 10000);
    EXPECT_EQ(CountFileEntries(root), 10000);
    ArenaRelease();
  }
  EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace
