// The publisher's tool (setuplst.exe of this build) on the sample medium: check names each
// planted fault at its line and nothing else; fill makes a script whose figures are all wrong
// install cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../host/support/pe_image.h"
#include "install_driver.h"
#include "product_registry.h"
#include "ui_driver.h"

namespace {

std::string BuildFolder() {
  std::string exe = SETUP_EXE_PATH;
  return exe.substr(0, exe.rfind('\\'));
}

std::vector<std::string> LinesOf(const std::string& file) {
  std::string text;
  ui::ReadFile(file, &text);
  std::istringstream stream(text);
  std::vector<std::string> lines;
  for (std::string l; std::getline(stream, l);) lines.push_back(l.substr(0, l.find_last_not_of('\r') + 1));
  return lines;
}

// Runs setuplst.exe with its two streams in files; the exit code, the lines of its standard
// output in *lines and of its standard error in *errors (in *lines too when errors is null).
int Setuplst(const std::string& arguments, std::vector<std::string>* lines, std::vector<std::string>* errors = nullptr) {
  std::string out = ui::JoinPath(ui::TestRoot(), "setuplst.out"), err = ui::JoinPath(ui::TestRoot(), "setuplst.err");
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE outFile = CreateFileA(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  HANDLE errFile = CreateFileA(err.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = outFile;
  startup.hStdError = errFile;
  PROCESS_INFORMATION info = {};
  std::string command = "\"" + BuildFolder() + "\\setuplst.exe\" " + arguments;
  std::vector<char> line(command.begin(), command.end());
  line.push_back(0);
  DWORD code = 99;
  if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
    WaitForSingleObject(info.hProcess, 60000);
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
  }
  CloseHandle(outFile);
  CloseHandle(errFile);
  *lines = LinesOf(out);
  std::vector<std::string> messages = LinesOf(err);
  if (errors) *errors = messages;
  else lines->insert(lines->end(), messages.begin(), messages.end());
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
  int unknown = s.Add("File5=1,,Kurzliste.dat,,$(AppDir),,,," + size);               // unknown placeholder,
  expect(unknown, "error");
  expect(unknown, "warning");                                                        // which names no folder
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

std::string Screenshot(const char* name) {
  std::string folder = ui::JoinPath(ui::TestRoot(), "screenshots");
  ui::MakeFolders(folder);
  return ui::JoinPath(folder, name);
}

// A publisher's whole road: setup.exe branded with a new company, product, notices and picture;
// a medium of two disks, one folder each, with a 16-bit library on the second, filled and
// checked; installed through the prompt for the second disk; then the medium's start program
// shows the picture. The pages name the new product and company.
TEST(SetuplstScenario, BrandedSetupInstallsATwoDiskMediumWithASixteenBitLibrary) {
  const std::string company = "Kartenverlag S\xFC" "d", product = "Atlas der Welt";
  std::string root = ui::FreshFolder("marke"), disk1 = root + "\\DISK1", disk2 = root + "\\DISK2";
  std::string install = root + "\\Ziel";
  ASSERT_TRUE(ui::MakeFolders(disk1) && ui::MakeFolders(disk2));
  std::vector<std::string> out, errors;
  ASSERT_EQ(Setuplst("brand \"" + BuildFolder() + "\\setup.exe\" \"" + disk1 + "\\setup.exe\" --company \"" + company +
                         "\" --product \"" + product + "\" --notice1 \"Die Karten sind urheberrechtlich gesch\xFCtzt.\""
                         " --notice2 \"$p darf auf einem Computer laufen.\" --bitmap \"" + ui::FixturePath("klein.bmp") + "\"",
                     &out, &errors),
            0) << Join(errors);
  EXPECT_TRUE(errors.empty()) << Join(errors);
  ASSERT_TRUE(CopyFileA(ui::FixturePath("Start.exe").c_str(), (disk1 + "\\Atlas.exe").c_str(), FALSE));
  ASSERT_TRUE(ui::WriteFile(disk2 + "\\Karten16.dll", pe::NeImage(0x00030001, 0x00000007)));
  std::string key = "Software\\" + company + "\\" + product;
  ASSERT_TRUE(ui::WriteFile(disk1 + "\\SETUP.LST",
                            "[Settings]\r\nDestination=" + install + "\r\n[Disks]\r\nDiskCount=2\r\nDisk1=Atlas Diskette 1\r\n"
                            "Disk2=Atlas Diskette 2\r\n[Section1]\r\nName=Atlas\r\nInstall=1\r\nFileCount=1\r\n"
                            "File1=1,,Atlas.exe,,$(AppPath)\r\nRegisterKeyCount=1\r\n"
                            "RegisterKey1=HKEY_LOCAL_MACHINE,Software\\$(Company)\\$(Product)\\CurrentVersion,,Path,$(AppPath)\\Atlas.exe\r\n"));
  // A read-only script stays read-only through add and fill.
  std::string script = disk1 + "\\SETUP.LST";
  ASSERT_TRUE(SetFileAttributesA(script.c_str(), FILE_ATTRIBUTE_READONLY));
  DWORD attributes = GetFileAttributesA(script.c_str());
  ASSERT_EQ(Setuplst("add \"" + root + "\" Section1 $(WinSysPath) \"" + disk2 + "\\Karten16.dll\"", &out, &errors), 0) << Join(errors);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].substr(0, 27), "File2=2,,Karten16.dll,,$(Wi") << out[0];
  EXPECT_EQ(out[0].substr(out[0].size() - 8), ",3.1.0.7") << out[0];
  ASSERT_EQ(Setuplst("fill \"" + root + "\"", &out, &errors), 0) << Join(out) << Join(errors);
  ASSERT_EQ(Setuplst("check \"" + root + "\"", &out, &errors), 0) << Join(out) << Join(errors);
  EXPECT_EQ(Findings(out), std::set<std::string>()) << Join(out);
  EXPECT_EQ(GetFileAttributesA(script.c_str()), attributes);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY);

  ui::DeleteKeyTree(key);
  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, disk1));
  HWND welcome = ui::WaitDialog(setup.Pid, (product + "-Setup").c_str(), {257, 258, 259, 260, 1000, 9});
  ASSERT_NE(welcome, nullptr);
  EXPECT_EQ(ui::ControlText(welcome, 257), "Willkommen zum Installationsprogramm der " + product + ".");
  EXPECT_EQ(ui::ControlText(welcome, 259), "Die Karten sind urheberrechtlich gesch\xFCtzt.");
  EXPECT_EQ(ui::ControlText(welcome, 260), product + " darf auf einem Computer laufen.");
  Sleep(300);
  EXPECT_TRUE(ui::SaveScreenshot(Screenshot("marke-willkommen.png")));
  ui::Click(welcome, 1000);
  HWND options = ui::WaitDialog(setup.Pid, (product + "-Benutzerdefinierte Optionen").c_str(), {1000});
  ASSERT_NE(options, nullptr);
  ui::Click(options, 1000);
  // The library is on the second disk: the prompt names it by its label.
  HWND prompt = ui::WaitDialog(setup.Pid, "Quelldatei nicht gefunden!", {1, 2, 5});
  ASSERT_NE(prompt, nullptr);
  std::string texts = Join(ui::AllTexts(prompt));
  EXPECT_NE(texts.find("\"Atlas Diskette 2\""), std::string::npos) << texts;
  EXPECT_NE(texts.find("\"Karten16.dll\""), std::string::npos) << texts;
  SendMessageA(GetDlgItem(prompt, 1002), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(disk2.c_str()));
  ui::Click(prompt, 1);
  HWND finish = ui::WaitDialog(setup.Pid, (product + "-Setup").c_str(), {100, 1, 257, 258});
  ASSERT_NE(finish, nullptr);
  EXPECT_FALSE(ui::IsControlVisible(finish, 258));  // no failed part
  ui::Click(finish, 1);
  EXPECT_EQ(ui::WaitExit(&setup), 0);
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  std::string library = std::string(system) + "\\Karten16.dll", installed;
  EXPECT_TRUE(ui::ReadFile(library, &installed) && installed == pe::NeImage(0x00030001, 0x00000007));
  DeleteFileA(library.c_str());
  EXPECT_EQ(ui::RegistryValue(key + "\\CurrentVersion", "Path"), install + "\\Atlas.exe");

  // The medium's start program: the product is installed and current, the box shows the picture.
  ui::Setup autorun;
  ASSERT_TRUE(ui::StartSetup(&autorun, disk1, "/AUTORUN"));
  HWND box = ui::WaitDialog(autorun.Pid, (product + "-Autorun").c_str(), {1, 2});
  ASSERT_NE(box, nullptr);
  RECT picture;
  GetClientRect(GetDlgItem(box, 1021), &picture);
  EXPECT_EQ(std::vector<LONG>({picture.right, picture.bottom}), std::vector<LONG>({240, 150}));
  Sleep(300);
  EXPECT_TRUE(ui::SaveScreenshot(Screenshot("marke-autorun.png")));
  ui::Click(box, 2);
  EXPECT_EQ(ui::WaitExit(&autorun), 0);
  ui::DeleteKeyTree(key);
}

}  // namespace
