// The publisher's tool (setuplst.exe of this build) on the sample medium: check names each
// planted fault at its line and nothing else; fill makes a script whose figures are all wrong
// install cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "install_driver.h"
#include "ui_driver.h"

namespace {

std::string BuildFolder() {
  std::string exe = SETUP_EXE_PATH;
  return exe.substr(0, exe.rfind('\\'));
}

// Runs setuplst.exe with its output in a file; the exit code, and the output lines in *lines.
int Setuplst(const std::string& arguments, std::vector<std::string>* lines) {
  std::string out = ui::JoinPath(ui::TestRoot(), "setuplst.out");
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE file = CreateFileA(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = file;
  PROCESS_INFORMATION info = {};
  std::string command = "\"" + BuildFolder() + "\\setuplst.exe\" " + arguments;
  std::vector<char> line(command.begin(), command.end());
  line.push_back(0);
  DWORD code = 3;
  if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
    WaitForSingleObject(info.hProcess, 60000);
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
  }
  CloseHandle(file);
  std::string text;
  ui::ReadFile(out, &text);
  std::istringstream stream(text);
  lines->clear();
  for (std::string l; std::getline(stream, l);) lines->push_back(l.substr(0, l.find_last_not_of('\r') + 1));
  return static_cast<int>(code);
}

// "<line>: <kind>" of every error and warning line.
std::set<std::string> Findings(const std::vector<std::string>& lines) {
  std::set<std::string> found;
  for (const std::string& l : lines) {
    size_t at = l.find("SETUP.LST:");
    if (at == std::string::npos || l.find(": note: ") != std::string::npos) continue;
    std::string rest = l.substr(at + 10);
    found.insert(rest.substr(0, rest.find(':', rest.find(':') + 1)));
  }
  return found;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  return text;
}

// A copy of the sample medium (files with their times) in a fresh folder; its script.
std::string CopySample(const std::string& name, std::string* script) {
  std::string sample = BuildFolder() + "\\medium", copy = ui::MakeMedium(name, nullptr);
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((sample + "\\*").c_str(), &found);
  for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &found))
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      CopyFileA(ui::JoinPath(sample, found.cFileName).c_str(), ui::JoinPath(copy, found.cFileName).c_str(), FALSE);
  FindClose(find);
  ui::ReadFile(ui::JoinPath(copy, "SETUP.LST"), script);
  return copy;
}

struct Lines {
  std::vector<std::string> Text;
  explicit Lines(const std::string& script) {
    std::istringstream stream(script);
    for (std::string l; std::getline(stream, l);) Text.push_back(l.substr(0, l.find_last_not_of('\r') + 1));
  }
  // The number of the first line that starts with the prefix (0 when none).
  int Find(const std::string& prefix) const {
    for (size_t i = 0; i < Text.size(); ++i)
      if (Text[i].compare(0, prefix.size(), prefix) == 0) return static_cast<int>(i + 1);
    return 0;
  }
  std::string& At(int line) { return Text[line - 1]; }
  int Add(const std::string& line) {
    Text.push_back(line);
    return static_cast<int>(Text.size());
  }
  std::string Script() const {
    std::string script;
    for (const std::string& l : Text) script += l + "\r\n";
    return script;
  }
};

// Field i (from 1) of a record line without quotes.
std::string Field(const std::string& line, int i) {
  std::string value = line.substr(line.find('=') + 1);
  std::istringstream stream(value);
  std::string field;
  for (int k = 0; k < i; ++k) std::getline(stream, field, ',');
  return field;
}

TEST(SetuplstScenario, CheckNamesEveryPlantedFaultAtItsLine) {
  std::string script;
  std::string medium = CopySample("setuplst-check", &script);
  std::vector<std::string> out;
  ASSERT_EQ(Setuplst("check \"" + medium + "\"", &out), 0) << Join(out);
  std::set<std::string> expected = Findings(out);  // warnings of the untouched medium
  EXPECT_NE(Join(out).find(": note: Platzbedarf im Installationsverzeichnis"), std::string::npos) << Join(out);

  Lines s(script);
  auto expect = [&](int line, const char* kind) { expected.insert(std::to_string(line) + ": " + kind); };
  int help = s.Find("File3=1,,Hilfe.txt"), library = s.Find("File2=1,,Woerter.dll"), words = s.Find("File1=1,,Woerter.dat");
  int shortList = s.Find("File1=1,,Kurzliste.dat");
  ASSERT_TRUE(help && library && words && shortList) << script;
  std::string helpValue = s.At(help).substr(s.At(help).find('=') + 1), size = Field(s.At(shortList), 9);
  std::string& h = s.At(help);
  h = h.substr(0, h.rfind(',') + 1) + std::to_string(std::stoll(Field(h, 9)) + 1);  // a size one too large
  expect(help, "error");
  s.At(library) = s.At(library).substr(0, s.At(library).rfind(',') + 1) + "9.9.9.9";
  expect(library, "error");
  s.At(words).replace(s.At(words).find(Field(s.At(words), 8)), Field(s.At(words), 8).size(), "1/1/1999");
  expect(words, "warning");

  int k = 3;
  while (s.Find("[Section" + std::to_string(k) + "]")) ++k;
  std::string section = "Section" + std::to_string(k);
  s.Add("[" + section + "]");
  s.Add("Name=Fehler");
  s.Add("Install=1");
  expect(s.Add("FileCount=8"), "error");                                            // File8 is missing
  expect(s.Add("File1=1,,"), "error");                                              // the setup's own message
  expect(s.Add("File2=1,,fehlt.dat,,$(AppPath),,,,10"), "error");                   // not on the medium
  expect(s.Add("File3=" + helpValue), "warning");                                   // Section1's target again
  expect(s.Add("File4=1,,Kurzliste.dat," + std::string(240, 'x') + ",$(AppPath),,,," + size), "error");  // path > 259
  expect(s.Add("File5=1,,Kurzliste.dat,,$(AppDir),,,," + size), "error");           // unknown placeholder
  expect(s.Add("File6=2,,Kurzliste.dat,zwei.dat,$(AppPath),,,," + size), "warning");  // disk 2 has no label
  expect(s.Add("File7=1,,extra\\neu.dat,,$(AppPath),,,,3"), "warning");             // sub-folder at the target
  expect(s.Add("File10=1,,x,,$(AppPath),,,,1"), "warning");                         // above FileCount
  s.Add("RegisterKeyCount=1");
  expect(s.Add("RegisterKey1=HKEY_CURRENT_USER,Software\\" + std::string(120, 'k') + ",,,"), "error");  // too wide
  expect(s.Add("[" + section + ":1]"), "warning");                                  // a sub-option with files
  s.Add("Name=Teil");
  s.Add("FileCount=1");
  s.Add("File1=1,,Kurzliste.dat,,$(AppPath),,,," + size);
  expect(s.Add("[Section" + std::to_string(k + 2) + "]"), "warning");               // after a gap
  s.Add("Name=Nie");
  int run = s.Find("SuccessRun1=");
  if (!run) {
    s.Add("[SuccessRun]");
    s.Add("SuccessRunCount=1");
    run = s.Add("");
  }
  s.At(run) = "SuccessRun1=$(AppPath)\\fehlt.exe,,Start";                           // installed by nobody
  expect(run, "warning");
  // Saved as UTF-8: every letter beyond ASCII becomes two bytes.
  std::string utf8;
  for (unsigned char c : s.Script()) utf8 += c < 0x80 ? std::string(1, c) : std::string{char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
  int firstUmlaut = 0;
  for (size_t i = 0; i < s.Text.size() && !firstUmlaut; ++i)
    if (std::any_of(s.Text[i].begin(), s.Text[i].end(), [](char c) { return c & 0x80; })) firstUmlaut = static_cast<int>(i + 1);
  ASSERT_NE(firstUmlaut, 0);
  expect(firstUmlaut, "error");

  ASSERT_TRUE(ui::WriteFile(ui::JoinPath(medium, "SETUP.LST"), utf8));
  ASSERT_TRUE(ui::MakeFolders(ui::JoinPath(medium, "extra")));
  ASSERT_TRUE(ui::WriteFile(ui::JoinPath(medium, "extra\\neu.dat"), "neu"));
  EXPECT_EQ(Setuplst("check \"" + medium + "\"", &out), 1);
  std::set<std::string> found = Findings(out);
  EXPECT_EQ(std::vector<std::string>(found.begin(), found.end()), std::vector<std::string>(expected.begin(), expected.end()))
      << Join(out);
}

TEST(SetuplstScenario, FillMakesAScriptWithWrongFiguresInstallEveryFile) {
  std::string unused;
  std::string medium = CopySample("setuplst-fill", &unused);
  std::string install = ui::FreshFolder("setuplst-fill-ziel");
  // Every size, date and version wrong; an installed library older than the medium's but newer
  // than the version the script states would never be replaced.
  std::string script = "[Settings]\r\nDestination=" + install + "\r\n[Section1]\r\nName=Programm\r\nInstall=1\r\n"
                       "FileCount=3\r\nFile1=1,,Sprachtrainer.exe,,$(AppPath),,,1/1/1990,1,3.0\r\n"
                       "File2=1,,Woerter.dll,,$(AppPath),,,1/1/1990,2,0.5\r\nFile3=1,,Hilfe.txt,,$(AppPath)\r\n"
                       "[Section2]\r\nName=Liste\r\nDestination=Daten\r\nFileCount=1\r\nFile1=1,,Woerter.dat,,$(AppPath),,,,3\r\n"
                       "[Section2NoCopy]\r\nFileCount=1\r\nFile1=1,,Kurzliste.dat,,$(AppPath),,,,4,1.0\r\n";
  ASSERT_TRUE(ui::WriteFile(ui::JoinPath(medium, "SETUP.LST"), script));
  ASSERT_TRUE(CopyFileA(ui::FixturePath("ver1009.dll").c_str(), ui::JoinPath(install, "Woerter.dll").c_str(), FALSE));
  std::vector<std::string> out;
  ASSERT_EQ(Setuplst("fill \"" + medium + "\"", &out), 0) << Join(out);
  ASSERT_EQ(Setuplst("check \"" + medium + "\"", &out), 0) << Join(out);
  EXPECT_EQ(Findings(out), std::set<std::string>()) << Join(out);

  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, medium));
  // No size box from the scan, no source prompt, no closing notice.
  ASSERT_EQ(ui::WaitCleanExit(&setup), 0);
  for (const char* name : {"Sprachtrainer.exe", "Woerter.dll", "Hilfe.txt", "Daten\\Kurzliste.dat"}) {
    std::string installed, original;
    ui::ReadFile(ui::JoinPath(install, name), &installed);
    ui::ReadFile(ui::JoinPath(medium, name[0] == 'D' ? "Kurzliste.dat" : name), &original);
    EXPECT_TRUE(!original.empty() && installed == original) << name;
  }
  EXPECT_NE(ui::ReadSetupLog(install).find("Copied:" + install + "\\Woerter.dll"), std::string::npos) << ui::ReadSetupLog(install);
}

}  // namespace
