// The unattended install: /S installs what the interactive run installs without any window,
// its switches change what they name, every question is answered the safe way and noted in the
// log, and the exit code tells how the run ended.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "install_driver.h"
#include "product_registry.h"
#include "ui_driver.h"

namespace {

int RunUnseen(const std::string& medium, const std::string& arguments, const std::string& errors = "") {
  ui::Setup setup;
  if (!ui::StartSetup(&setup, medium, arguments, "", errors)) return -1;
  int seen = 0;
  return ui::WaitExitUnseen(&setup, &seen);
}

TEST(UnattendedScenario, SilentInstallLeavesWhatTheInteractiveOneLeavesWithoutAWindow) {
  ui::SampleInstall sample;
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
  EXPECT_EQ(ui::WaitExitUnseen(&silent, &seen), 0);
  EXPECT_EQ(seen, 0);
  EXPECT_EQ(sample.State(), byHand);
}

TEST(UnattendedScenario, SwitchesNameTheFolderTheGroupAndTheOptions) {
  ui::SampleInstall sample;
  std::string folder = ui::FreshFolder("unattended-dir") + "\\Mein Ziel", group = ui::ProgramsFolder() + "\\Andere Gruppe";
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
  // Every run below ends without a window (WaitExitUnseen counts them while it lasts) and says
  // why on its standard error handle.
  auto untouched = [&] { return GetFileAttributesA(install.c_str()) == INVALID_FILE_ATTRIBUTES; };
  auto expect = [&](const std::string& path, const std::string& arguments, int code, const std::string& reason) {
    EXPECT_EQ(RunUnseen(path, arguments, errors), code) << arguments;
    if (code == 1 || code == 5) {
      EXPECT_TRUE(untouched()) << arguments << ": the install folder is not made";
    }
    std::string said;
    EXPECT_TRUE(ui::ReadFile(errors, &said));
    EXPECT_NE(said.find(reason), std::string::npos) << arguments << ": " << said;
  };

  // 1: a bad switch anywhere on the line, a value the script or the machine cannot take (d: is
  // a CD-ROM drive, q: none), a program group too long for the Programs menu, no script at all.
  std::string plain = medium(OneOption(install));
  expect(plain, "/S /X", 1, "Unbekannter Schalter: /X\r\n");
  expect(plain, "/X /S", 1, "Unbekannter Schalter: /X\r\n");
  expect(plain, "/DIR=D:Apps /S", 1, "Ungültiger Wert: /DIR=D:Apps\r\n");
  expect(plain, "/OPTIONS=1,,2 /S", 1, "Ungültiger Wert: /OPTIONS=1,,2\r\n");
  expect(plain, "/S /OPTIONS=2", 1, "Der Wert eines Schalters passt nicht zu SETUP.LST\r\n");
  expect(plain, "/S /DIR=D:\\Ziel", 1, "Laufwerk nicht verwendbar: /DIR=D:\\Ziel\r\n");
  expect(plain, "/S /DIR=Q:\\Ziel", 1, "Laufwerk nicht verwendbar: /DIR=Q:\\Ziel\r\n");
  std::string group(250, 'G'), grouped = OneOption(install);
  grouped.insert(grouped.find("\r\n") + 2, "DefaultGroup=" + group + "\r\n");
  expect(medium(grouped), "/S", 1, "Die Programmgruppe \"" + group + "\" kann nicht erstellt werden!\r\n");
  expect(medium(""), "/S", 1, "Kann die Datei SETUP.LST nicht finden");

  // 4: a program of /RUN that cannot be started; a missing source is skipped with its answer in
  // the log, the rest installed.
  expect(medium(OneOption(install) + "[SuccessRun]\r\nSuccessRunCount=1\r\nSuccessRun1=$(AppPath)\\fehlt.exe,,Los\r\n"),
         "/S /RUN", 4, "Answered:Fehler,Fehler beim Ausführen der Anwendung \"\"" + install + "\\fehlt.exe\" \"!,OK\r\n");
  EXPECT_NE(ui::ReadSetupLog(install).find("\r\nError: Fehler beim Ausführen"), std::string::npos);
  EXPECT_EQ(RunUnseen(medium(OneOption(install, "File2=2,,fehlt.txt,,$(AppPath),,,,5\r\n")), "/S"), 4);
  std::string log = ui::ReadSetupLog(install);
  EXPECT_NE(log.find("Copied:" + install + "\\da.txt"), std::string::npos) << log;
  EXPECT_NE(log.find("Answered:Quelldatei nicht gefunden!,Bitte legen Sie den Datentr\xE4ger"), std::string::npos) << log;
  EXPECT_NE(log.find("fehlt.txt\" zu finden ist.,Ignorieren\r\n"), std::string::npos) << log;

  // 5: a drive short of room, no usable drive at all, or an installed file that is kept and in
  // use: nothing changed.
  EXPECT_EQ(RunUnseen(medium(OneOption(install, "File2=1,,riesig.dat,,$(AppPath),,,,1000000000000000\r\n")), "/S"), 5);
  EXPECT_TRUE(untouched());
  std::string noDrive = medium(OneOption(install));
  ASSERT_TRUE(CopyFileA(ui::FixturePath("setup-ohne-laufwerk.exe").c_str(), (noDrive + "\\setup.exe").c_str(), FALSE));
  expect(noDrive, "/S", 5, "Answered:Warnung,Auf einem der Ziellaufwerke steht nicht genügend Speicherplatz");
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
  plain = medium(OneOption(install));
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
  EXPECT_EQ(ui::WaitExitUnseen(&first, &seen), 2);
  EXPECT_TRUE(untouched());
}

}  // namespace
