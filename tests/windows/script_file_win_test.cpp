// Reads of SETUP.LST through whole indexed sections against the platform's own profile reads
// over awkward scripts: every section and key of each (also absent and case-variant ones), at
// many buffer sizes.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "script/reader.h"
#include "startup/profile_image.h"
#include "startup/state.h"
#include "startup/text.h"
#include "ui_driver.h"

namespace {

std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::vector<std::string> Scripts() {
  std::string longValues = "[Lang]\r\n";
  for (size_t n : {259u, 260u, 1023u, 1024u, 70000u}) {
    std::string value(n, 'v');
    longValues += "P" + std::to_string(n) + "=" + value + "\r\nQ" + std::to_string(n) + "=\"" + value + "\"\r\n";
  }
  return {
      Lines({"[Werte]", "  Name  =  Programm  ", "Tab\t=\tmit Tab\t", "\vVt\v=\v\fFf\f", "Leer=", "Q1=\"in Anführung\"",
             "Q2='einfach'", "Q3=\"nur vorne", "Q5=\"a\",\"b\"", "Q7=\"", "Q8=\"\"", "Q10=\"gemischt'",
             "Q11=  \" Blanks \"  ", "OhneGleich", ";Kommentar=1", "#Raute=3", "Doppelt=erster", "doppelt=zweiter",
             "Schatten", "Schatten=später", "=ohne Namen", "Gleich=a=b", "NBSP\xa0=\xa0mit\xa0", "[Zweite]", "N=2"}),
      Lines({"Vorspann=vor jeder Sektion", "[Doppelt]", "a=1", "[Leer]", "[NurKommentar]", ";x=1", "[NurOhneGleich]",
             "bare", "[doppelt]", "a=2", "b=3", "[ÄRGER]", "ärger=klein", "Ärger=groß", "ÖL=1", "Œuvre=1", "šŸ=1",
             "[Straße]", "Maß=1", "MASS=2", "[  Blanks  ]", "k=v", "[]", "leer=1", "[ohne Ende", "k=offen"}),
      Lines({"[Zahlen]", "N1=-42", "N2=+7", "N3=0x10", "N4=0X10", "N5=0o17", "N6=0b101", "N7=\"  12\"", "N8=12abc",
             "N9=2147483647", "N10=-0x80000000", "N11=- 5", "N12='\t5'", "N13=0000000000000000000000000000007",
             "N14=\xa0" "5", "P1=2147483648", "P2=0xffffffff", "M1=-2147483649"}),
      longValues,
      std::string("[Zeilen]\nlf=1\r\n\r\n=leer\r\n") + std::string("k7=a\0b\r\n\0k8=v8\r\n", 16) +
          "k9\r=v9\r\n\x1ak10\x1a=\x1av10\r\n[Ende]\r\nletzte=ohne Zeilenende",
      "\xef\xbb\xbf[Umlaute]\r\nSchl\xc3\xbcssel=Gr\xc3\xb6\xc3\x9f" "e\r\n",
  };
}

// Section names and, per section, key names of a script as written, trimmed and in both cases,
// with names it does not have.
std::vector<std::pair<std::string, std::vector<std::string>>> NamesOf(const std::string& text) {
  std::vector<std::pair<std::string, std::vector<std::string>>> names{{"Fehlt", {}}};
  auto variants = [](const std::string& name) {
    std::string upper = name, lower = name, trimmed = name;
    CharUpperBuffA(upper.data(), upper.size());
    CharLowerBuffA(lower.data(), lower.size());
    trimmed.erase(0, trimmed.find_first_not_of(" \t\v\f"));
    return std::vector<std::string>{name, upper, lower, trimmed};
  };
  for (size_t pos = 0; pos < text.size();) {
    size_t end = text.find_first_of("\r\n", pos);
    std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos).c_str();
    pos = end == std::string::npos ? text.size() : end + 1;
    if (line.size() > 1 && line[0] == '[') {
      names.push_back({line.substr(1, line.rfind(']') - 1), {"Fehlt", "", " ", ";", "Name"}});
    } else {
      for (const std::string& key : variants(line.substr(0, line.find('='))))
        if (std::find(names.back().second.begin(), names.back().second.end(), key) == names.back().second.end())
          names.back().second.push_back(key);
    }
  }
  return names;
}

// The same file as an in-memory image (the publisher's tool and the host tests read scripts
// through it): every read must answer as the program's does.
ProfileImage image;

// A string read both ways: same result and the same bytes up to it. The one accepted difference:
// a quoted value exactly one shorter than the buffer arrives whole here, one shorter from Wine.
void Compare(const char* section, const char* key, size_t size, int* compared) {
  std::string platform(size + 1, '#'), program(size + 1, '#'), mirror(size + 1, '#');
  size_t p = GetPrivateProfileStringA(section, key, "", platform.data(), size, ScriptPath);
  size_t q = ReadScriptString(section, key, program.data(), size);
  size_t m = ProfileImageReadString(&image, section, key, mirror.data(), size);
  ++*compared;
  ASSERT_EQ(program[size], '#') << "wrote past the buffer: [" << section << "] " << (key ? key : "(list)");
  EXPECT_TRUE(m == q && mirror.compare(0, std::min(q + 1, size), program, 0, std::min(q + 1, size)) == 0)
      << "image: [" << section << "] " << (key ? key : "(list)") << " " << size << ": " << m << " against " << q;
  size_t end = std::min(p + 1, size);
  if (p == q && platform.compare(0, end, program, 0, end) == 0) return;
  if (key && q == size - 1 && p == size - 2 && program.compare(0, p, platform, 0, p) == 0) return;
  ADD_FAILURE() << "[" << section << "] " << (key ? key : "(list)") << " size " << size << ": platform " << p
                << " \"" << platform.substr(0, 40) << "\", program " << q << " \"" << program.substr(0, 40) << "\"";
}

class ScriptFileTest : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = ui::FreshFolder("script-file"); }
  void TearDown() override {
    ScriptPath[0] = 0;
    ForgetScriptSections();
  }
  void Use(const std::string& text, const char* name = "setup.lst") {
    std::string path = ui::JoinPath(folder_, name);
    ASSERT_TRUE(ui::WriteFile(path, text));
    CopyText(ScriptPath, path.c_str());
    ForgetScriptSections();
    ProfileImageFree(&image);
    ASSERT_TRUE(ProfileImageLoad(&image, text.data(), text.size()));
  }
  std::string folder_;
};

TEST_F(ScriptFileTest, EveryReadAnswersAsThePlatformAnswers) {
  int compared = 0;
  for (const std::string& script : Scripts()) {
    Use(script);
    for (const auto& [section, keys] : NamesOf(script)) {
      for (size_t size : {1u, 2u, 3u, 5u, 16u, 260u, 4096u}) Compare(section.c_str(), nullptr, size, &compared);
      for (const std::string& key : keys) {
        std::string buffer(100000, 0);
        size_t whole = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(), buffer.size(), ScriptPath);
        for (size_t size : {size_t{1}, size_t{2}, size_t{30}, size_t{260}, size_t{1024}, whole, whole + 1, whole + 2})
          if (size > 0) Compare(section.c_str(), key.c_str(), size, &compared);
        int platform = GetPrivateProfileIntA(section.c_str(), key.c_str(), 0, ScriptPath);
        int program = ReadScriptInt(section.c_str(), key.c_str());
        EXPECT_EQ(ProfileImageReadInt(&image, section.c_str(), key.c_str()), program) << "image: " << section << " " << key;
        // Past the 32-bit range the platform wraps where the program stops at the limit.
        if (program != platform) {
          EXPECT_TRUE(program == INT_MAX || program == INT_MIN) << section << " " << key;
        }
      }
    }
  }
  EXPECT_GT(compared, 1500);
}

}  // namespace
