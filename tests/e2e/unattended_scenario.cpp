// The unattended install: /S installs what the interactive run installs without any window,
// its switches change what they name, every question is answered the safe way and noted in the
// log, and the exit code tells how the run ended.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "install_driver.h"
#include "product_registry.h"
#include "ui_driver.h"

namespace {

std::string Programs() {
  char path[MAX_PATH] = "";
  SHGetSpecialFolderPathA(nullptr, path, CSIDL_PROGRAMS, FALSE);
  return path;
}

// Waits for the run's end while watching that it never shows a window; the exit code, -1 when
// it hangs.
int WaitExitUnseen(ui::Setup* setup, int* windowsSeen) {
  *windowsSeen = 0;
  DWORD start = GetTickCount();
  while (WaitForSingleObject(setup->Process, 2) == WAIT_TIMEOUT) {
    for (HWND window : ui::TopWindows(setup->Pid)) ADD_FAILURE() << "a window: " << ui::WindowText(window), ++*windowsSeen;
    if (GetTickCount() - start > ui::Scaled(60000)) return ui::WaitExit(setup, 0);
  }
  return ui::WaitExit(setup, 0);
}

int RunUnseen(const std::string& medium, const std::string& arguments, const std::string& errors = "") {
  ui::Setup setup;
  if (!ui::StartSetup(&setup, medium, arguments, "", errors)) return -1;
  int seen = 0;
  return WaitExitUnseen(&setup, &seen);
}

// The sample medium and everything an install of it leaves behind.
struct SampleInstall {
  std::string Medium, Install = "C:\\Programme\\Sprachtrainer", Group = Programs() + "\\Sprachtrainer";
  std::string ProductKey = ui::ProductKey(ui::CompanyName(), ui::ProductName());
  SampleInstall() {
    std::string exe = SETUP_EXE_PATH;
    Medium = ui::MakeMedium("unattended-sample", nullptr);
    std::string built = exe.substr(0, exe.find_last_of('\\')) + "\\medium";
    for (const char* name : {"SETUP.LST", "Sprachtrainer.exe", "Woerter.dll", "Hilfe.txt", "Woerter.dat",
                             "Kurzliste.dat", "Woerterbuch.hlp"})
      CopyFileA((built + "\\" + name).c_str(), (Medium + "\\" + name).c_str(), FALSE);
    // The install folder's parent stands before either run (in a new prefix the first run would
    // make it and log one more "CreatedDir:" line than the second).
    CreateDirectoryA(Install.substr(0, Install.find_last_of('\\')).c_str(), nullptr);
    Clean();
  }
  ~SampleInstall() { Clean(); }
  void Clean() {
    ui::RemoveTree(Install);
    ui::RemoveTree(Group);
    ui::ClearSharedCount(Install + "\\Woerter.dll");
    ui::DeleteKeyTree(ProductKey);
    ui::DeleteRegTree(HKEY_CURRENT_USER, "Software\\Sprachtrainer");
    ui::DeleteRegTree(HKEY_CLASSES_ROOT, ".wrt");
    ui::DeleteRegTree(HKEY_CLASSES_ROOT, "Sprachtrainer.Woerterliste");
  }
  // What the run changed, in one text to compare.
  std::string State() const {
    std::string state = "log:" + ui::ReadSetupLog(Install);
    for (const char* name : {"Sprachtrainer.exe", "Woerter.dll", "Hilfe.txt", "Woerterbuch.hlp", "Daten\\Kurzliste.wrt",
                             "Daten\\Woerter.wrt"})
      state += std::string("\nfile ") + name + ": " + (ui::FileExists(Install + "\\" + name) ? "da" : "fehlt");
    state += "\nini:" + ui::IniValue(Install + "\\Sprachtrainer.ini", "Optionen", "Woerterliste");
    state += "\nlink:" + ui::LinkTarget(Group + "\\Sprachtrainer.lnk");
    state += "\npath:" + ui::RegString(HKEY_LOCAL_MACHINE, ProductKey + "\\CurrentVersion", "Path");
    state += "\ntype:" + ui::RegString(HKEY_CLASSES_ROOT, ".wrt");
    state += "\nlib:" + ui::RegString(HKEY_CURRENT_USER, "Software\\Sprachtrainer\\Woerter", "Bibliothek");
    state += "\ndata:" + ui::RegString(HKEY_LOCAL_MACHINE,
                                      ProductKey + "\\2.0\\Files\\{5A7C0E21-9B3D-4f60-8E11-2C4B6D8F0A13}", "InstallPath");
    state += "\nshared:" + std::to_string(ui::SharedCount(Install + "\\Woerter.dll"));
    return state;
  }
};

TEST(UnattendedScenario, SilentInstallLeavesWhatTheInteractiveOneLeavesWithoutAWindow) {
  SampleInstall sample;
  ui::Setup interactive;
  ASSERT_TRUE(ui::StartAndInstall(&interactive, sample.Medium));
  ASSERT_EQ(ui::WaitCleanExit(&interactive), 0);
  std::string byHand = sample.State();
  EXPECT_NE(byHand.find("file Sprachtrainer.exe: da"), std::string::npos) << byHand;
  EXPECT_NE(byHand.find("data:" + sample.Install + "\\Woerterbuch.hlp"), std::string::npos) << byHand;
  EXPECT_NE(byHand.find("link:" + sample.Install + "\\Sprachtrainer.exe"), std::string::npos) << byHand;
  sample.Clean();

  ui::Setup silent;
  ASSERT_TRUE(ui::StartSetup(&silent, sample.Medium, "/S"));
  int seen = 0;
  EXPECT_EQ(WaitExitUnseen(&silent, &seen), 0);
  EXPECT_EQ(seen, 0);
  EXPECT_EQ(sample.State(), byHand);
}

TEST(UnattendedScenario, SwitchesNameTheFolderTheGroupAndTheOptions) {
  SampleInstall sample;
  std::string folder = ui::FreshFolder("unattended-dir") + "\\Mein Ziel", group = Programs() + "\\Andere Gruppe";
  ui::RemoveTree(group);
  EXPECT_EQ(RunUnseen(sample.Medium, "/s /GROUP=\"Andere Gruppe\" \"/DIR=" + folder + "\" /options=2,1"), 0);
  EXPECT_TRUE(ui::FileExists(folder + "\\Sprachtrainer.exe"));
  EXPECT_TRUE(ui::FileExists(folder + "\\Daten\\Woerter.wrt")) << "option 2 chosen";
  EXPECT_FALSE(ui::FileExists(folder + "\\Daten\\Kurzliste.wrt")) << "its companion not";
  EXPECT_EQ(ui::LinkTarget(group + "\\Sprachtrainer.lnk"), folder + "\\Sprachtrainer.exe");
  EXPECT_FALSE(ui::FileExists(sample.Install + "\\Sprachtrainer.exe"));
  ui::RemoveTree(group);

  // Only option 2: the program is left out, the word list installed.
  std::string second = ui::FreshFolder("unattended-dir2");
  EXPECT_EQ(RunUnseen(sample.Medium, "/S /DIR=" + second + " /OPTIONS=2"), 0);
  EXPECT_FALSE(ui::FileExists(second + "\\Sprachtrainer.exe"));
  EXPECT_TRUE(ui::FileExists(second + "\\Daten\\Woerter.wrt"));
}

// A script of one option: a file on the medium and the given extra entries.
std::string OneOption(const std::string& install, const std::string& entries = "") {
  return "[Settings]\r\nDestination=" + install + "\r\n[Section1]\r\nInstall=1\r\nFileCount=" +
         std::to_string(1 + std::count(entries.begin(), entries.end(), '\n')) +
         "\r\nFile1=1,,da.txt,,$(AppPath),,,,3\r\n" + entries;
}

TEST(UnattendedScenario, EachOutcomeHasItsExitCode) {
  std::string root = ui::FreshFolder("unattended-codes"), errors = root + "\\stderr.txt";
  std::string install = root + "\\Ziel";
  auto medium = [&](const std::string& script) {
    std::string path = ui::MakeMedium("unattended-codes\\medium", script.empty() ? nullptr : script.c_str());
    ui::WriteFiles(path, {{"da.txt", "abc"}});
    ui::RemoveTree(install);
    return path;
  };
  std::string read;

  // 1: a switch the setup does not know, a value the script cannot take, no script at all.
  EXPECT_EQ(RunUnseen(medium(OneOption(install)), "/S /X", errors), 1);
  EXPECT_TRUE(ui::ReadFile(errors, &read));
  EXPECT_EQ(read, "Unbekannter Schalter: /X\r\n");
  EXPECT_EQ(RunUnseen(medium(OneOption(install)), "/S /OPTIONS=2", errors), 1);
  EXPECT_EQ(RunUnseen(medium(""), "/S", errors), 1);
  EXPECT_FALSE(ui::FileExists(install));

  // 4: a missing source is skipped with its answer in the log, the rest installed.
  EXPECT_EQ(RunUnseen(medium(OneOption(install, "File2=2,,fehlt.txt,,$(AppPath),,,,5\r\n")), "/S"), 4);
  std::string log = ui::ReadSetupLog(install);
  EXPECT_NE(log.find("Copied:" + install + "\\da.txt"), std::string::npos) << log;
  EXPECT_NE(log.find("Answered:Quelldatei nicht gefunden!,Bitte legen Sie den Datentr\xE4ger"), std::string::npos) << log;
  EXPECT_NE(log.find("fehlt.txt\" zu finden ist.,Ignorieren\r\n"), std::string::npos) << log;

  // 5: a drive short of room, or an installed file that is kept and in use: nothing changed.
  EXPECT_EQ(RunUnseen(medium(OneOption(install, "File2=1,,riesig.dat,,$(AppPath),,,,1000000000000000\r\n")), "/S"), 5);
  EXPECT_FALSE(ui::FileExists(install));
  std::string dll;
  ui::ReadFile(ui::FixturePath("ver2000.dll"), &dll);
  std::string inUse = medium(OneOption(install, "File2=1,,bib.dll,,$(AppPath),,,," + std::to_string(dll.size()) +
                                                    ",2.0.0.0\r\n"));
  ui::WriteFiles(install, {{"bib.dll", dll}});
  HANDLE held = CreateFileA((install + "\\bib.dll").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(RunUnseen(inUse, "/S"), 5);
  CloseHandle(held);
  EXPECT_FALSE(ui::FileExists(install + "\\da.txt"));

  // 3: the install folder cannot be made (a file stands in its way) after the run began.
  ui::WriteFile(root + "\\Datei", "kein Ordner");
  EXPECT_EQ(RunUnseen(medium(OneOption(root + "\\Datei\\Ziel")), "/S"), 3);

  // 2: a close request from outside before anything changed; 6: a second setup meanwhile.
  std::string plain = medium(OneOption(install));
  ui::Setup first;
  ASSERT_TRUE(ui::StartSetup(&first, plain, "/S"));
  HWND frame = nullptr;
  for (DWORD start = GetTickCount(); !(frame = ui::FrameOf(first.Pid)) && GetTickCount() - start < ui::Scaled(ui::kWait);)
    Sleep(2);
  ASSERT_NE(frame, nullptr);
  {
    ui::ProcessThreads threads(first.Pid);
    ASSERT_TRUE(threads.Suspend());
    EXPECT_EQ(RunUnseen(plain, "/S"), 6);
    ui::CloseWindowCommand(frame);
    threads.Resume();
  }
  int seen = 0;
  EXPECT_EQ(WaitExitUnseen(&first, &seen), 2);
  EXPECT_FALSE(ui::FileExists(install));
}

}  // namespace
