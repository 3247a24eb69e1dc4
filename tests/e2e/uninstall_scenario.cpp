// The undo record and the uninstaller over real runs: the sample medium installed and removed,
// by hand and with /S, leaves the system as it was; what is not the product's is kept and said;
// a cancelled removal leaves the product working; an update cancelled mid-copy leaves the older
// version; a run killed in its system update is rolled back by the next start; a record that
// someone else wrote deletes nothing.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <string>
#include <vector>

#include "install_driver.h"
#include "product_registry.h"
#include "ui_driver.h"

namespace {

std::string Screenshot(const std::string& name) {
  std::string folder = ui::JoinPath(ui::TestRoot(), "screenshots");
  ui::MakeFolders(folder);
  return ui::JoinPath(folder, name);
}

std::string TempFolder() {
  char path[MAX_PATH] = "";
  GetTempPathA(sizeof path, path);
  std::string folder = path;
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return folder;
}

// Every file and folder below folder (a file with its size), one per line; skip is left out.
void FilesBelow(const std::string& folder, const std::string& skip, std::vector<std::string>* out) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = found.cFileName, path = folder + "\\" + name;
    if (name == "." || name == ".." || lstrcmpiA(path.c_str(), skip.c_str()) == 0) continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out->push_back(path + "\\");
      // A folder that leads elsewhere (Wine links the user's documents to the home folder).
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) FilesBelow(path, skip, out);
    } else {
      out->push_back(path + " " + std::to_string(found.nFileSizeLow));
    }
  } while (FindNextFileA(find, &found));
  FindClose(find);
}

// Every key and value below a key, with its type and bytes, one per line.
void KeysBelow(HKEY root, const std::string& path, std::vector<std::string>* out) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  out->push_back(path + "\\");
  char name[16384];
  std::vector<BYTE> data(1 << 16);
  for (DWORD i = 0;; ++i) {
    DWORD nameLength = sizeof name, dataLength = static_cast<DWORD>(data.size()), type = 0;
    if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data.data(), &dataLength) != ERROR_SUCCESS) break;
    out->push_back(path + " [" + name + "] " + std::to_string(type) + ":" +
                   std::string(reinterpret_cast<char*>(data.data()), dataLength));
  }
  std::vector<std::string> subKeys;
  for (DWORD i = 0;; ++i) {
    DWORD nameLength = sizeof name;
    if (RegEnumKeyExA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subKeys.push_back(name);
  }
  RegCloseKey(key);
  for (const std::string& sub : subKeys) KeysBelow(root, path.empty() ? sub : path + "\\" + sub, out);
}

// What the system holds where a run may change it: the files below C:\ but the temporary folder
// (the uninstaller's copy and its log live there), and the registry's software keys of the
// machine and the user (the file types among them) and the system's list of files to replace at
// the next start. Left out: the keys where Wine keeps the settings of the windows it has shown.
std::vector<std::string> Snapshot() {
  std::vector<std::string> state;
  FilesBelow("C:", TempFolder(), &state);
  KeysBelow(HKEY_LOCAL_MACHINE, "Software", &state);
  KeysBelow(HKEY_CURRENT_USER, "Software", &state);
  KeysBelow(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", &state);
  std::erase_if(state, [](const std::string& line) { return line.rfind("Software\\Wine\\Temporary System Parameters", 0) == 0; });
  std::sort(state.begin(), state.end());
  return state;
}

// The lines of the one that the other lacks.
std::string Difference(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  std::vector<std::string> only;
  std::set_symmetric_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(only));
  std::string text;
  for (const std::string& line : only) text += line.substr(0, 200) + "\n";
  return text;
}

// The uninstaller's exit code comes once its copy in the temporary folder has reported; the
// copy removes the uninstaller's own file and the install folder after that. Waits for every
// such copy to end (30 seconds at most each).
void WaitForRemovalCopies() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (_strnicmp(entry.szExeFile, "stpun", 5) != 0) continue;
    HANDLE copy = OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID);
    if (!copy) continue;
    EXPECT_EQ(WaitForSingleObject(copy, ui::Scaled(30000)), WAIT_OBJECT_0) << "the removal's copy ends";
    CloseHandle(copy);
  }
  CloseHandle(snapshot);
}

int RunUnseen(const std::string& exe, const std::string& arguments) {
  ui::Setup run;
  if (!ui::StartProgram(&run, exe, arguments)) return -1;
  int seen = 0;
  int code = ui::WaitExitUnseen(&run, &seen, true);
  WaitForRemovalCopies();
  return code;
}

bool IsLink(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A message box of whichever process shows it (the uninstaller works in a copy of itself),
// with its text starting as given.
HWND WaitBox(const std::string& start) {
  for (DWORD waited = 0; waited < ui::Scaled(30000); waited += 50) {
    HWND box = ui::WaitMessageBox(0, 0);
    if (box && ui::MessageBoxText(box).rfind(start, 0) == 0) return box;
    Sleep(50);
  }
  return nullptr;
}

std::string Removal() { return ui::ProductName() + " entfernen"; }

// The log of the last removal, "uninst<N>.log" in the temporary folder.
std::string UninstallLog() {
  std::string log, next;
  for (int n = 0; ui::ReadFile(TempFolder() + "\\uninst" + std::to_string(n) + ".log", &next); ++n) log = next;
  return log;
}

// The sample medium, every kind of record, installed and removed: by hand (question, closing
// notice) and with /S (no window). Before the install and after the removal the files of the
// system and the registry are the same.
TEST(UninstallScenario, TheSampleInstalledAndRemovedLeavesTheSystemAsItWas) {
  for (int byHand = 1; byHand >= 0; --byHand) {
    ui::SampleInstall sample("uninstall-sample");
    std::vector<std::string> before = Snapshot();
    if (byHand) {
      ui::Setup setup;
      ASSERT_TRUE(ui::StartAndInstall(&setup, sample.Medium));
      ASSERT_EQ(ui::WaitCleanExit(&setup), 0);
    } else {
      ASSERT_EQ(RunUnseen(sample.Medium + "\\setup.exe", "/S"), 0);
      EXPECT_EQ(ui::Listing(TempFolder(), "stpun*.exe"), std::vector<std::string>{}) << "gone at the next start";
    }
    // The entry of the system's list of software.
    std::string entry = ui::UninstallKey(ui::CompanyName(), ui::ProductName()), uninstaller = sample.Install + "\\uninst.exe";
    EXPECT_EQ(ui::RegistryValue(entry, "DisplayName"), ui::ProductName());
    EXPECT_EQ(ui::RegistryValue(entry, "Publisher"), ui::CompanyName());
    EXPECT_EQ(ui::RegistryValue(entry, "InstallLocation"), sample.Install);
    EXPECT_EQ(ui::RegistryValue(entry, "InstallDate").size(), 8u);
    EXPECT_EQ(ui::RegistryValue(entry, "DisplayIcon"), sample.Install + "\\Sprachtrainer.exe,0");
    EXPECT_EQ(ui::RegistryValue(entry, "UninstallString"), "\"" + uninstaller + "\" /UNINSTALL");
    EXPECT_EQ(ui::RegistryValue(entry, "QuietUninstallString"), "\"" + uninstaller + "\" /UNINSTALL /S");
    DWORD type = 0;
    std::string size = ui::RegistryValue(entry, "EstimatedSize", &type);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_GT(*reinterpret_cast<const DWORD*>(size.data()), 100u) << "the product's files and the uninstaller, in KB";
    EXPECT_EQ(ui::RegistryValue(entry, "NoModify"), std::string("\x01\0\0\0", 4));
    EXPECT_EQ(ui::RegistryValue(entry, "NoRepair"), std::string("\x01\0\0\0", 4));
    EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, "Software\\Sprachtrainer\\Woerter", "Bibliothek"),
              sample.Install + "\\Woerter.dll");

    if (byHand) {
      ui::Setup removal;
      ASSERT_TRUE(ui::StartProgram(&removal, uninstaller, "/UNINSTALL"));
      HWND question = WaitBox("M\xF6" "chten Sie " + ui::ProductName() + " und alle zugeh\xF6rigen Komponenten von Ihrem");
      ASSERT_NE(question, nullptr);
      EXPECT_EQ(ui::WindowText(question), Removal());
      EXPECT_TRUE(ui::SaveScreenshot(Screenshot("uninstall-question.png")));
      ASSERT_TRUE(ui::Answer(question, IDYES));
      HWND notice = WaitBox(ui::ProductName() + " wurde von Ihrem Computer entfernt.");
      ASSERT_NE(notice, nullptr);
      EXPECT_NE(ui::MessageBoxText(notice).find(TempFolder() + "\\uninst"), std::string::npos) << "the log is named";
      EXPECT_TRUE(ui::SaveScreenshot(Screenshot("uninstall-notice.png")));
      // The copy in the temporary folder that did the work ends with the notice.
      DWORD copy = 0;
      GetWindowThreadProcessId(notice, &copy);
      HANDLE copyProcess = OpenProcess(SYNCHRONIZE, FALSE, copy);
      ASSERT_TRUE(ui::Answer(notice, IDOK));
      EXPECT_EQ(ui::WaitExit(&removal, 30000), 0);
      EXPECT_EQ(WaitForSingleObject(copyProcess, ui::Scaled(30000)), WAIT_OBJECT_0);
      CloseHandle(copyProcess);
      EXPECT_EQ(ui::Listing(TempFolder(), "stpun*.exe").size(), 1u) << "the copy outlives the uninstaller";
    } else {
      EXPECT_EQ(RunUnseen(uninstaller, "/UNINSTALL /S"), 0);
    }
    EXPECT_EQ(Difference(before, Snapshot()), "") << (byHand ? "by hand" : "/S");
    std::string log = UninstallLog();
    EXPECT_NE(log.find("DLLUnregister:" + sample.Install + "\\Woerter.dll\r\n"), std::string::npos) << log;
  }
}

// A file changed since the install, a file the program made later, a shared library another
// product counts too, a file of the product in use: each kept, asked about or said, by hand and
// with /S. A shared library whose count falls to 0 goes only on the question's "Ja".
TEST(UninstallScenario, WhatIsNotTheProductsIsKept) {
  ui::SampleInstall sample("uninstall-keep");
  std::string dll = sample.Install + "\\Woerter.dll", program = sample.Install + "\\Sprachtrainer.exe";
  std::string uninstaller = sample.Install + "\\uninst.exe";
  HKEY shared;
  DWORD one = 1;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", 0, nullptr,
                            0, KEY_SET_VALUE, nullptr, &shared, nullptr), ERROR_SUCCESS);
  RegSetValueExA(shared, dll.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
  ASSERT_EQ(RunUnseen(sample.Medium + "\\setup.exe", "/S"), 0);
  EXPECT_EQ(ui::SharedCount(dll), 2);
  std::string help;
  ASSERT_TRUE(ui::ReadFile(sample.Install + "\\Hilfe.txt", &help));
  ASSERT_TRUE(ui::WriteFile(sample.Install + "\\Hilfe.txt", help + "Eigene Notiz\r\n"));
  ASSERT_TRUE(ui::WriteFile(sample.Install + "\\Notizen.txt", "vom Programm angelegt"));

  // In use: /S changes nothing and says so by its exit code.
  HANDLE held = CreateFileA(program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(RunUnseen(uninstaller, "/UNINSTALL /S"), 5);
  EXPECT_TRUE(ui::FileExists(program) && ui::FileExists(uninstaller));
  EXPECT_EQ(ui::SharedCount(dll), 2);
  // By hand the question of files in use comes, until they are free.
  ui::Setup removal;
  ASSERT_TRUE(ui::StartProgram(&removal, uninstaller, "/UNINSTALL"));
  HWND question = WaitBox("M\xF6" "chten Sie");
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(ui::Answer(question, IDYES));
  HWND inUse = ui::WaitDialog(0, "Laufende Anwendungen...", {1, 2});
  ASSERT_NE(inUse, nullptr);
  CloseHandle(held);
  ASSERT_TRUE(ui::Answer(inUse, 1));
  HWND notice = WaitBox(ui::ProductName() + " wurde von Ihrem Computer entfernt.");
  ASSERT_NE(notice, nullptr);
  std::string said = ui::MessageBoxText(notice);
  EXPECT_NE(said.find("\n" + sample.Install + "\\Hilfe.txt"), std::string::npos) << said;
  EXPECT_NE(said.find("bleiben erhalten:\n" + dll), std::string::npos) << said;
  EXPECT_NE(said.find("Der Ordner \"" + sample.Install + "\" enth\xE4lt Dateien"), std::string::npos) << said;
  EXPECT_TRUE(ui::SaveScreenshot(Screenshot("uninstall-notice-kept.png")));
  ASSERT_TRUE(ui::Answer(notice, IDOK));
  EXPECT_EQ(ui::WaitExit(&removal, 30000), 4) << "removed, a changed file kept";
  EXPECT_EQ(ui::Listing(sample.Install), (std::vector<std::string>{"Hilfe.txt", "Notizen.txt", "Woerter.dll"}));
  EXPECT_TRUE(ui::Holds(sample.Install + "\\Hilfe.txt", help + "Eigene Notiz\r\n"));
  EXPECT_EQ(ui::SharedCount(dll), 1) << "the other product's count stays";
  EXPECT_EQ(ui::RegistryValue(ui::UninstallKey(ui::CompanyName(), ui::ProductName()), "DisplayName"), "<none>");
  EXPECT_NE(UninstallLog().find("Kept:" + sample.Install + "\\Hilfe.txt\r\n"), std::string::npos);

  // Installed again over the other product's count; that product goes meanwhile. The count
  // falls to 0 with the removal: "Ja" removes the library.
  ui::RemoveTree(sample.Install);
  ASSERT_EQ(RunUnseen(sample.Medium + "\\setup.exe", "/S"), 0);
  EXPECT_EQ(ui::SharedCount(dll), 2);
  RegSetValueExA(shared, dll.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
  RegCloseKey(shared);
  ui::Setup again;
  ASSERT_TRUE(ui::StartProgram(&again, uninstaller, "/UNINSTALL"));
  question = WaitBox("M\xF6" "chten Sie");
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(ui::Answer(question, IDYES));
  HWND ask = WaitBox("Die folgende gemeinsam genutzte Datei wird von keinem Programm mehr verwendet.");
  ASSERT_NE(ask, nullptr);
  EXPECT_NE(ui::MessageBoxText(ask).find(dll), std::string::npos);
  EXPECT_TRUE(ui::SaveScreenshot(Screenshot("uninstall-shared-question.png")));
  ASSERT_TRUE(ui::Answer(ask, IDYES));
  notice = WaitBox(ui::ProductName() + " wurde");
  ASSERT_NE(notice, nullptr);
  ASSERT_TRUE(ui::Answer(notice, IDOK));
  EXPECT_EQ(ui::WaitExit(&again, 30000), 0);
  EXPECT_FALSE(ui::FileExists(sample.Install)) << "nothing left";
  EXPECT_EQ(ui::SharedCount(dll), -1);
}

// A product whose library takes a while to unregister, so the removal's page stands a while:
// "Abbrechen" asks, and "Ja" puts back everything taken away so far (the library registered
// again): the product stays installed and working. Its files go only past the point of return.
TEST(UninstallScenario, ACancelledRemovalLeavesTheProductInstalled) {
  std::string root = ui::FreshFolder("uninstall-cancel"), install = root + "\\Ziel", slow;
  ui::DeleteKeyTree("Software\\SetupTests\\Entfernen");
  ASSERT_TRUE(ui::ReadFile(ui::FixturePath("regslow.dll"), &slow));
  std::vector<std::string> entries;
  std::vector<ui::NamedBytes> files{{"bib.dll", slow}};
  entries.push_back("1,,bib.dll,,$(AppPath),$(DLLSelfRegister),,," + std::to_string(slow.size()));
  for (int i = 0; i < 50; ++i) {
    files.push_back({"f" + std::to_string(i) + ".txt", std::to_string(i)});
    entries.push_back("1,,f" + std::to_string(i) + ".txt,,$(AppPath),,,," + std::to_string(files.back().Bytes.size()));
  }
  std::string medium = ui::MakeMedium("uninstall-cancel\\medium",
                                      ("[Settings]\r\nDestination=" + install + "\r\n" +
                                       ui::Section(1, "Install=1\r\nRegisterKeyCount=1\r\nRegisterKey1=HKEY_LOCAL_MACHINE,"
                                                      "Software\\SetupTests\\Entfernen,,Stand,da\r\n", entries))
                                          .c_str());
  ui::WriteFiles(medium, files);
  ASSERT_EQ(RunUnseen(medium + "\\setup.exe", "/S"), 0);
  std::string trace = "Software\\SetupTests\\SelfRegistered";
  EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, trace, install + "\\bib.dll"), "ok");
  std::vector<std::string> installed = ui::Listing(install);
  ui::Setup removal;
  ASSERT_TRUE(ui::StartProgram(&removal, install + "\\uninst.exe", "/UNINSTALL"));
  HWND question = WaitBox("M\xF6" "chten Sie");
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(ui::Answer(question, IDYES));
  HWND page = ui::WaitDialog(0, Removal().c_str(), {1008, IDCANCEL}, 30000);
  ASSERT_NE(page, nullptr);
  ui::Settle(200);
  EXPECT_TRUE(ui::SaveScreenshot(Screenshot("uninstall-page.png")));
  ASSERT_TRUE(ui::Click(page, IDCANCEL));
  HWND ask = WaitBox("M\xF6" "chten Sie das Entfernen von " + ui::ProductName() + " abbrechen?");
  ASSERT_NE(ask, nullptr);
  ASSERT_TRUE(ui::Answer(ask, IDYES));
  HWND notice = WaitBox("Das Entfernen wurde abgebrochen. " + ui::ProductName() + " bleibt installiert.");
  ASSERT_NE(notice, nullptr);
  ASSERT_TRUE(ui::Answer(notice, IDOK));
  EXPECT_EQ(ui::WaitExit(&removal, 30000), 2);
  EXPECT_EQ(ui::Listing(install), installed) << "every file there";
  EXPECT_EQ(ui::RegistryValue("Software\\SetupTests\\Entfernen", "Stand"), "da");
  EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, trace, install + "\\bib.dll"), "ok") << "registered again";
  // Still removable, completely.
  EXPECT_EQ(RunUnseen(install + "\\uninst.exe", "/UNINSTALL /S"), 0) << UninstallLog();
  EXPECT_FALSE(ui::FileExists(install));
  EXPECT_EQ(ui::RegistryValue("Software\\SetupTests\\Entfernen", "Stand"), "<none>");
  EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, trace, install + "\\bib.dll"), "<none>");
  ui::RemoveTree(root);
}

// An update of a product (a versioned library, files without versions, a registry value, an INI
// entry) cancelled in the middle of its copy: the older version stands as it stood.
TEST(UninstallScenario, AnUpdateCancelledMidCopyLeavesTheOlderVersion) {
  std::string root = ui::FreshFolder("uninstall-update"), install = root + "\\Ziel";
  ui::DeleteKeyTree("Software\\SetupTests\\Update");
  std::string old1009, new2000, big = ui::PatternBytes(96u << 20, 77), small = ui::PatternBytes(4u << 20, 76);
  ASSERT_TRUE(ui::ReadFile(ui::FixturePath("ver1009.dll"), &old1009) && ui::ReadFile(ui::FixturePath("ver2000.dll"), &new2000));
  auto medium = [&](const char* name, const std::string& dll, const char* version, const std::string& text,
                    const std::string& large, const char* stand) {
    std::string path = ui::MakeMedium(std::string("uninstall-update\\") + name,
                                      ("[Settings]\r\nDestination=" + install + "\r\n" +
                                       ui::Section(1,
                                                   std::string("Install=1\r\nRegisterKeyCount=1\r\nRegisterKey1="
                                                               "HKEY_LOCAL_MACHINE,Software\\SetupTests\\Update,,Stand,") +
                                                       stand + "\r\nIniCount=1\r\nIni1=$(AppPath)\\update.ini,Stand,Fassung," +
                                                       stand + "\r\n",
                                                   {"1,,zuerst.txt,,$(AppPath),,,," + std::to_string(text.size()),
                                                    "1,,bib.dll,,$(AppPath),,,," + std::to_string(dll.size()) + "," + version,
                                                    "1,,gross.dat,,$(AppPath),,,," + std::to_string(large.size())}))
                                          .c_str());
    ui::WriteFiles(path, {{"zuerst.txt", text}, {"bib.dll", dll}, {"gross.dat", large}});
    return path;
  };
  std::string v1 = medium("v1", old1009, "1.0.0.9", "alt", small, "1");
  std::string v2 = medium("v2", new2000, "2.0.0.0", "neu", big, "2");
  ASSERT_EQ(RunUnseen(v1 + "\\setup.exe", "/S"), 0);
  std::string record;
  ASSERT_TRUE(ui::ReadFile(install + "\\uninst.dat", &record));

  ui::Setup update;
  ASSERT_TRUE(ui::StartAndInstall(&update, v2));
  ui::ProcessThreads threads(update.Pid);
  ASSERT_TRUE(ui::HoldCopy(&threads, install, "gross.dat", 8u << 20, true));
  EXPECT_TRUE(ui::Holds(install + "\\bib.dll", new2000)) << "the library was replaced by now";
  ui::Click(ui::WaitDialog(update.Pid, nullptr, {1005, 1006, 1008, IDCANCEL}, 0), IDCANCEL);
  threads.Resume();
  HWND box = ui::WaitDialog(update.Pid, "Setup abbrechen", {1, 2, 258});
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(ui::Answer(box, 2));
  HWND notice = ui::WaitInterruptedNotice(update.Pid, 60000);
  ASSERT_NE(notice, nullptr);
  ASSERT_TRUE(ui::Answer(notice, 1));
  EXPECT_EQ(ui::WaitExit(&update), 2);
  EXPECT_TRUE(ui::Holds(install + "\\bib.dll", old1009));
  EXPECT_TRUE(ui::Holds(install + "\\zuerst.txt", "alt"));
  EXPECT_TRUE(ui::Holds(install + "\\gross.dat", small));
  EXPECT_TRUE(ui::Listing(install, "stp*").empty());
  EXPECT_EQ(ui::RegistryValue("Software\\SetupTests\\Update", "Stand"), "1");
  EXPECT_EQ(ui::IniValue(install + "\\update.ini", "Stand", "Fassung"), "1");
  EXPECT_TRUE(ui::Holds(install + "\\uninst.dat", record)) << "the record of the first run alone";
  EXPECT_EQ(RunUnseen(install + "\\uninst.exe", "/UNINSTALL /S"), 0) << UninstallLog();
  EXPECT_EQ(ui::RegistryValue("Software\\SetupTests\\Update", "Stand"), "<none>");
  ui::RemoveTree(root);
}

// A setup killed while a library registers itself (it never returns): the next start rolls the
// run back before its first page, the registration taken back too, and then installs.
TEST(UninstallScenario, ARunKilledInItsSystemUpdateIsRolledBackByTheNextStart) {
  std::string root = ui::FreshFolder("uninstall-killed"), install = root + "\\Ziel";
  ui::DeleteKeyTree("Software\\SetupTests\\Abbruch");
  std::string hang, ok;
  ASSERT_TRUE(ui::ReadFile(ui::FixturePath("reghang.dll"), &hang) && ui::ReadFile(ui::FixturePath("regok.dll"), &ok));
  std::string medium = ui::MakeMedium(
      "uninstall-killed\\medium",
      ("[Settings]\r\nDestination=" + install + "\r\n" +
       ui::Section(1, "Install=1\r\nRegisterKeyCount=1\r\nRegisterKey1=HKEY_LOCAL_MACHINE,Software\\SetupTests\\Abbruch,,Stand,x\r\n",
                   {"1,,zuerst.txt,,$(AppPath),,,,6", "1,,reg.dll,,$(AppPath),$(DLLSelfRegister),,," + std::to_string(hang.size())}))
          .c_str());
  ui::WriteFiles(medium, {{"zuerst.txt", "zuerst"}, {"reg.dll", hang}});
  std::string trace = "Software\\SetupTests\\SelfRegistered";
  {
    ui::Setup setup;
    ASSERT_TRUE(ui::StartSetup(&setup, medium, "/S"));
    for (int i = 0; i < 600 && ui::RegString(HKEY_CURRENT_USER, trace, install + "\\reg.dll") == "<none>"; ++i) ui::Settle(50);
    ASSERT_EQ(ui::RegString(HKEY_CURRENT_USER, trace, install + "\\reg.dll"), "ok") << "the library registers, then hangs";
    ui::CloseSetup(&setup);
  }
  EXPECT_EQ(ui::RegistryValue("Software\\SetupTests\\Abbruch", "Stand"), "x");
  ui::WriteFiles(medium, {{"reg.dll", ok}});
  ui::Setup again;
  ASSERT_TRUE(ui::StartSetup(&again, medium));
  ASSERT_NE(ui::WaitWelcomePage(again.Pid, 30000), nullptr) << ui::WindowsOf(again.Pid) << ui::ReadSetupLog(install);
  EXPECT_EQ(ui::Listing(install), std::vector<std::string>{"setup0.log"}) << "nothing of the run but its log";
  EXPECT_EQ(ui::RegistryValue("Software\\SetupTests\\Abbruch", "Stand"), "<none>");
  EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, trace, install + "\\reg.dll"), "<none>") << "unregistered";
  std::string log = ui::ReadSetupLog(install);
  EXPECT_NE(log.find("DLLUnregister:" + install + "\\reg.dll\r\n"), std::string::npos) << log;
  ASSERT_TRUE(ui::WalkToCopy(&again));
  ASSERT_EQ(ui::WaitCleanExit(&again), 0);
  EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, trace, install + "\\reg.dll"), "ok");
  EXPECT_EQ(RunUnseen(install + "\\uninst.exe", "/UNINSTALL /S"), 0) << UninstallLog();
  ui::RemoveTree(root);
}

// A record that claims a file of the system folder, which the run only found current, as its
// own: the removal refuses that entry, says so, and deletes nothing of it.
TEST(UninstallScenario, AHostileRecordDeletesNothingItDidNotCreate) {
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof system);
  std::string file = std::string(system) + "\\advapi32.dll", bytes;
  ASSERT_TRUE(ui::ReadFile(file, &bytes));
  DWORD handle = 0, infoSize = GetFileVersionInfoSizeA(file.c_str(), &handle);
  std::vector<char> info(infoSize + 1);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(infoSize && GetFileVersionInfoA(file.c_str(), 0, infoSize, info.data()) &&
              VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) && fixed);
  std::string version = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) +
                        "." + std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
  std::string root = ui::FreshFolder("uninstall-hostile"), install = root + "\\Ziel";
  std::string medium = ui::MakeMedium("uninstall-hostile\\medium",
                                      ("[Settings]\r\nDestination=" + install + "\r\n" +
                                       ui::Section(1, "Install=1\r\n",
                                                   {"1,,a.txt,,$(AppPath),,,,1",
                                                    "1,,advapi32.dll,,$(WinSysPath),,,," + std::to_string(bytes.size()) + "," + version}))
                                          .c_str());
  ui::WriteFiles(medium, {{"a.txt", "a"}, {"advapi32.dll", bytes}});
  ASSERT_EQ(RunUnseen(medium + "\\setup.exe", "/S"), 0);
  EXPECT_NE(ui::ReadSetupLog(install).find("UpToDate:" + file), std::string::npos);
  // The forged entry: the file as the system holds it, claimed as written by the run.
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data));
  char time[17];
  snprintf(time, sizeof time, "%08lX%08lX", data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
  std::string record;
  ASSERT_TRUE(ui::ReadFile(install + "\\uninst.dat", &record));
  record.insert(record.rfind("END\t"), "N\t" + file + "\t" + std::to_string(bytes.size()) + "\t" + time + "\r\n");
  ASSERT_TRUE(ui::WriteFile(install + "\\uninst.dat", record));
  EXPECT_EQ(RunUnseen(install + "\\uninst.exe", "/UNINSTALL /S"), 4) << "removed, one entry refused";
  EXPECT_TRUE(ui::Holds(file, bytes));
  EXPECT_FALSE(ui::FileExists(install + "\\a.txt")) << UninstallLog();
  EXPECT_NE(UninstallLog().find("au\xDF" "erhalb des Installationsverzeichnisses; der Eintrag wird \xFC" "bergangen."),
            std::string::npos)
      << UninstallLog();
  ui::RemoveTree(root);
}

// An install folder below a link (a drive mounted into a folder, the system's junctions for the
// old folder names) is where the product lives: it is rolled back and removed as any other. An
// install folder that is itself a link is not followed: what lies behind it stays, each entry
// refused. The links are made by the test runner in "verweise" (Wine shows a symbolic link as a
// reparse point, as Windows shows a junction; Wine's CreateSymbolicLinkA makes none):
// "oben" -> "echt", "echt\spaeter" -> "woanders".
TEST(UninstallScenario, ALinkAboveTheInstallFolderIsItsPlaceALinkAtItIsNotFollowed) {
  std::string root = ui::JoinPath(ui::TestRoot(), "verweise");
  ASSERT_TRUE(IsLink(root + "\\oben") && IsLink(root + "\\echt\\spaeter")) << "the test runner makes them";
  ui::RemoveTree(root + "\\echt\\Ziel");
  ui::RemoveTree(root + "\\woanders");
  ui::MakeFolders(root + "\\woanders");
  auto install = [&](const std::string& folder) {
    std::string medium = ui::MakeMedium(
        "uninstall-link\\medium",
        ("[Settings]\r\nDestination=" + folder + "\r\n" +
         ui::Section(1, "Install=1\r\nRegisterKeyCount=1\r\nRegisterKey1=HKEY_LOCAL_MACHINE,Software\\SetupTests\\Verweis,,Stand,da\r\n",
                     {"1,,a.txt,,$(AppPath),,,,1", "1,,b.txt,,$(AppPath),,,,1"}))
            .c_str());
    ui::WriteFiles(medium, {{"a.txt", "a"}, {"b.txt", "b"}});
    return RunUnseen(medium + "\\setup.exe", "/S");
  };
  ASSERT_EQ(install(root + "\\oben\\Ziel"), 0);
  EXPECT_TRUE(ui::FileExists(root + "\\echt\\Ziel\\a.txt"));
  EXPECT_EQ(RunUnseen(root + "\\oben\\Ziel\\uninst.exe", "/UNINSTALL /S"), 0) << UninstallLog();
  EXPECT_FALSE(ui::FileExists(root + "\\echt\\Ziel"));
  EXPECT_EQ(ui::RegistryValue("Software\\SetupTests\\Verweis", "Stand"), "<none>");

  std::string linked = root + "\\oben\\spaeter";
  ASSERT_EQ(install(linked), 0);
  EXPECT_TRUE(ui::Holds(root + "\\woanders\\a.txt", "a"));
  EXPECT_EQ(RunUnseen(linked + "\\uninst.exe", "/UNINSTALL /S"), 4) << UninstallLog();
  EXPECT_TRUE(ui::Holds(root + "\\woanders\\a.txt", "a"));
  EXPECT_TRUE(ui::Holds(root + "\\woanders\\b.txt", "b"));
  EXPECT_NE(UninstallLog().find("b.txt\" f\xFChrt \xFC" "ber eine Verkn\xFCpfung"), std::string::npos) << UninstallLog();
  ui::DeleteKeyTree("Software\\SetupTests\\Verweis");
  ui::RemoveTree(root + "\\woanders");
  ui::MakeFolders(root + "\\woanders");
}

}  // namespace
