// The copy page installing for real: folders, files of every size, companions, files kept on
// the medium, the log, a second run over the same folder and "/ALL", shared counts.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

#include "install_driver.h"
#include "ui_driver.h"

namespace {

std::string Entry(const std::string& source, const std::string& destination, size_t size,
                  const std::string& extra = ",,,,") {
  // disk, split, source, target, destination, kind, shared, date, size[, version]
  return "1,," + source + ",," + destination + extra + std::to_string(size);
}

uint64_t Ticks(const FILETIME& time) { return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime; }

// 1 when this system keeps a creation time that is set on a file (Wine does not: it reports
// the last write time instead).
bool KeepsCreationTimes(const std::string& folder) {
  std::string probe = folder + "\\zeitprobe.tmp";
  HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  FILETIME set = {0x12345600u, 0x01b4a000u}, read = {};
  bool kept = SetFileTime(file, &set, nullptr, nullptr) && GetFileTime(file, &read, nullptr, nullptr) &&
              Ticks(read) == Ticks(set);
  CloseHandle(file);
  DeleteFileA(probe.c_str());
  return kept;
}

std::string Files(const std::vector<std::string>& entries) {
  std::string text = "FileCount=" + std::to_string(entries.size()) + "\r\n";
  for (size_t i = 0; i < entries.size(); ++i) text += "File" + std::to_string(i + 1) + "=" + entries[i] + "\r\n";
  return text;
}

bool SameFile(const std::string& path, const std::string& bytes) {
  std::string read;
  return ui::ReadFile(path, &read) && read == bytes;
}

// Every file of the run's options, and what the install folder must hold afterwards.
struct CleanInstall {
  std::string Root, Medium, Install;
  std::vector<ui::NamedBytes> Sources;

  explicit CleanInstall(const char* name) {
    Root = ui::JoinPath(ui::TestRoot(), name);
    ui::RemoveTree(Root);
    Install = Root + "\\Ziel\\Programme\\Beispiel";
    Sources = {
        {"prog.exe", ui::PatternBytes(3 * 1024 * 1024 + 5, 1)},  // several MB
        {"eins.dat", ui::PatternBytes(1, 2)},
        {"knapp.dat", ui::PatternBytes(8191, 3)},
        {"block.dat", ui::PatternBytes(8192, 4)},
        {"ueber.dat", ui::PatternBytes(8193, 5)},
        // Blocks grow from 8 KB by doubling: one file ends exactly after the second block,
        // one a byte after the block that reaches 1 MB.
        {"stufe.dat", ui::PatternBytes(8192 + 16384, 10)},
        {"wachsend.dat", ui::PatternBytes((2 << 20) - 8192 + 1, 11)},
        {"hilfe.txt", "Hilfe zum Beispiel.\r\n"},
        {"bild.dat", ui::PatternBytes(20000, 6)},
        {"liesmich.txt", "bleibt auf dem Datentr\xE4ger\r\n"},
        {"nie.dat", ui::PatternBytes(100, 7)},
        {"extra.txt", "Begleiter\r\n"},
        {"statt.txt", "nicht gew\xE4hlt\r\n"},
    };
    std::string script = "[Settings]\r\nDestination=" + Install + "\r\n" +
                         "[Section1]\r\nName=Programm\r\nInstall=1\r\n" +
                         Files({Entry("prog.exe", "$(AppPath)", Bytes("prog.exe").size(), ",,,5/20/1997,"),
                                Entry("eins.dat", "$(AppPath)", 1), Entry("knapp.dat", "$(AppPath)", 8191),
                                Entry("block.dat", "$(AppPath)", 8192), Entry("ueber.dat", "$(AppPath)", 8193),
                                Entry("stufe.dat", "$(AppPath)", 8192 + 16384),
                                Entry("wachsend.dat", "$(AppPath)", (2 << 20) - 8192 + 1),
                                Entry("hilfe.txt", "$(AppPath)", Bytes("hilfe.txt").size()),
                                Entry("liesmich.txt", "$(NoCopy)", Bytes("liesmich.txt").size())}) +
                         // A selected option with a folder of its own, two levels deep.
                         "[Section2]\r\nName=Bilder\r\nInstall=1\r\nDestination=Daten\\Bilder\r\n" +
                         Files({Entry("bild.dat", "$(AppPath)", 20000)}) +
                         // Not selected, no companion: contributes nothing.
                         "[Section3]\r\nName=Nie\r\nInstall=0\r\n" + Files({Entry("nie.dat", "$(AppPath)", 100)}) +
                         // Not selected, with a companion in a folder below the option's.
                         "[Section4]\r\nName=Wahl\r\nInstall=0\r\n" + Files({Entry("statt.txt", "$(AppPath)", 15)}) +
                         "[Section4NoCopy]\r\nDestination=Extra\r\n" +
                         Files({Entry("extra.txt", "$(AppPath)", Bytes("extra.txt").size())});
    Medium = ui::MakeMedium(std::string(name) + "\\medium", script.c_str());
    ui::WriteFiles(Medium, Sources);
    ui::MakeFolders(Root);
  }
  const std::string& Bytes(const std::string& name) const {
    for (const ui::NamedBytes& file : Sources)
      if (file.Name == name) return file.Bytes;
    static std::string none;
    return none;
  }
};

TEST(CopyInstallScenario, CleanInstallCopiesEverySelectedFileWhereItBelongs) {
  CleanInstall run("copy-clean");
  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, run.Medium));
  ASSERT_EQ(ui::WaitCleanExit(&setup), 0);

  const std::string& in = run.Install;
  for (const char* name :
       {"prog.exe", "eins.dat", "knapp.dat", "block.dat", "ueber.dat", "stufe.dat", "wachsend.dat", "hilfe.txt"})
    EXPECT_TRUE(SameFile(in + "\\" + name, run.Bytes(name))) << name;
  EXPECT_TRUE(SameFile(in + "\\Daten\\Bilder\\bild.dat", run.Bytes("bild.dat")));
  EXPECT_TRUE(SameFile(in + "\\Extra\\extra.txt", run.Bytes("extra.txt")));
  EXPECT_FALSE(ui::FileExists(in + "\\liesmich.txt"));  // used in place on the medium
  EXPECT_FALSE(ui::FileExists(in + "\\nie.dat"));
  EXPECT_FALSE(ui::FileExists(in + "\\statt.txt"));

  std::string r = run.Root;
  EXPECT_EQ(ui::ReadSetupLog(in),
            "CreatedDir:" + in + "\r\nCreatedDir:" + r + "\\Ziel\\Programme\r\nCreatedDir:" + r + "\\Ziel\r\n" +
                "Copied:" + in + "\\prog.exe\r\nCopied:" + in + "\\eins.dat\r\nCopied:" + in +
                "\\knapp.dat\r\nCopied:" + in + "\\block.dat\r\nCopied:" + in + "\\ueber.dat\r\nCopied:" + in +
                "\\stufe.dat\r\nCopied:" + in + "\\wachsend.dat\r\nCopied:" + in +
                "\\hilfe.txt\r\n" + "CreatedDir:" + in + "\\Daten\\Bilder\r\nCreatedDir:" + in + "\\Daten\r\n" +
                "Copied:" + in + "\\Daten\\Bilder\\bild.dat\r\n" + "CreatedDir:" + in + "\\Extra\r\n" + "Copied:" +
                in + "\\Extra\\extra.txt\r\n");

  // No temporary file is left beside the installed ones.
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((in + "\\*.tmp").c_str(), &found);
  EXPECT_EQ(find, INVALID_HANDLE_VALUE) << found.cFileName;
  if (find != INVALID_HANDLE_VALUE) FindClose(find);

  // The script's date (20 May 1997) becomes the creation time only: the last write time is
  // the copy's own.
  WIN32_FILE_ATTRIBUTE_DATA prog = {};
  ASSERT_TRUE(GetFileAttributesExA((in + "\\prog.exe").c_str(), GetFileExInfoStandard, &prog));
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  EXPECT_LT(Ticks(now) - Ticks(prog.ftLastWriteTime), 3600ull * 10000000) << "last write time not from the copy";
  if (KeepsCreationTimes(in))
    EXPECT_EQ(Ticks(prog.ftCreationTime), 125085600000000000ull);
  else
    printf("note: this system keeps no creation times; the script's date is not checked\n");
}

// A versioned shared library and a data file, installed three times: again over the same
// folder, then with "/ALL".
TEST(CopyInstallScenario, SecondRunKeepsCurrentFilesAndAllCopiesThemAnyway) {
  std::string root = ui::JoinPath(ui::TestRoot(), "copy-again");
  ui::RemoveTree(root);
  std::string install = root + "\\Ziel";
  std::string dll;
  ASSERT_TRUE(ui::ReadFile(ui::FixturePath("ver2000.dll"), &dll)) << "fixture ver2000.dll missing";
  std::string data = ui::PatternBytes(5000, 9);
  std::string script = "[Settings]\r\nDestination=" + install + "\r\n[Section1]\r\nInstall=1\r\n" +
                       Files({"1,,ver2000.dll,bib.dll,$(AppPath),,$(Shared),," + std::to_string(dll.size()) +
                                  ",2.0.0.0",
                              Entry("daten.dat", "$(AppPath)", data.size())});
  std::string medium = ui::MakeMedium("copy-again\\medium", script.c_str());
  ASSERT_TRUE(ui::WriteFiles(medium, {{"ver2000.dll", dll}, {"daten.dat", data}}));
  std::string target = install + "\\bib.dll";
  ui::ClearSharedCount(target);

  ui::Setup first;
  ASSERT_TRUE(ui::StartAndInstall(&first, medium));
  ASSERT_EQ(ui::WaitCleanExit(&first), 0);
  EXPECT_TRUE(SameFile(target, dll));
  EXPECT_EQ(ui::SharedCount(target), 1);
  EXPECT_EQ(ui::ReadSetupLog(install, 0), "CreatedDir:" + install + "\r\nCopied:" + target + "\r\nCopied:" + install +
                                              "\\daten.dat\r\n");

  // Mark the installed library so a rewrite would show.
  FILETIME marker = {0x12345678, 0x01C00000};
  HANDLE file = CreateFileA(target.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  SetFileTime(file, nullptr, nullptr, &marker);
  CloseHandle(file);

  ui::Setup second;
  ASSERT_TRUE(ui::StartAndInstall(&second, medium));
  ASSERT_EQ(ui::WaitCleanExit(&second), 0);
  EXPECT_EQ(ui::ReadSetupLog(install, 1), "UpToDate:" + target + "\r\nCopied:" + install + "\\daten.dat\r\n");
  WIN32_FILE_ATTRIBUTE_DATA info;
  ASSERT_TRUE(GetFileAttributesExA(target.c_str(), GetFileExInfoStandard, &info));
  EXPECT_EQ(info.ftLastWriteTime.dwLowDateTime, marker.dwLowDateTime) << "the current library was rewritten";
  EXPECT_EQ(ui::SharedCount(target), 2);  // counted although not copied

  ui::Setup third;
  ASSERT_TRUE(ui::StartAndInstall(&third, medium, "/ALL"));
  ASSERT_EQ(ui::WaitCleanExit(&third), 0);
  EXPECT_EQ(ui::ReadSetupLog(install, 2), "Copied:" + target + "\r\nCopied:" + install + "\\daten.dat\r\n");
  ASSERT_TRUE(GetFileAttributesExA(target.c_str(), GetFileExInfoStandard, &info));
  EXPECT_NE(info.ftLastWriteTime.dwLowDateTime, marker.dwLowDateTime);
  EXPECT_TRUE(SameFile(target, dll));
  EXPECT_EQ(ui::SharedCount(target), 3);
  ui::ClearSharedCount(target);
}

TEST(CopyInstallScenario, SizeDifferentFromTheScriptIsReportedAndStillLogged) {
  std::string root = ui::JoinPath(ui::TestRoot(), "copy-size");
  ui::RemoveTree(root);
  std::string install = root + "\\Ziel";
  std::string bytes = ui::PatternBytes(100, 11);
  std::string script = "[Settings]\r\nDestination=" + install + "\r\n[Section1]\r\nInstall=1\r\n" +
                       Files({Entry("kurz.dat", "$(AppPath)", 120), Entry("gut.dat", "$(AppPath)", 100)});
  std::string medium = ui::MakeMedium("copy-size\\medium", script.c_str());
  ASSERT_TRUE(ui::WriteFiles(medium, {{"kurz.dat", bytes}, {"gut.dat", bytes}}));
  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, medium));
  // The scan finds it first, once, in a box of its own without caption or icon.
  HWND box = ui::WaitMessageBox(setup.Pid);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ui::WindowText(box), "");
  EXPECT_EQ(ui::MessageBoxText(box), "Fehlerhafte Dateigr\xF6\xDF" "e f\xFCr Datei: kurz.dat");
  EXPECT_EQ(ui::ButtonIds(box), std::vector<int>{IDOK});
  EXPECT_TRUE(ui::Answer(box, IDOK));
  HWND welcome = ui::WaitWelcomePage(setup.Pid);
  ASSERT_NE(welcome, nullptr);
  EXPECT_TRUE(ui::Dialogs(setup.Pid, "").size() <= 1u) << "the size is reported once";
  ASSERT_TRUE(ui::Click(welcome, 1000));
  HWND options = ui::WaitOptionsPage(setup.Pid);
  ASSERT_NE(options, nullptr);
  ASSERT_TRUE(ui::Click(options, 1000));
  box = ui::WaitMessageBox(setup.Pid);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ui::WindowText(box), "Schwerer Fehler");
  EXPECT_EQ(ui::MessageBoxText(box), "Fehler beim Lesen der Datei " + ui::JoinPath(medium, "kurz.dat") + "!");
  EXPECT_TRUE(ui::Answer(box, IDOK));
  EXPECT_EQ(ui::FinishWithErrors(&setup), 0) << "a size mismatch is an error of the run";
  EXPECT_TRUE(SameFile(install + "\\kurz.dat", bytes));
  EXPECT_EQ(ui::ReadSetupLog(install),
            "CreatedDir:" + install + "\r\nCopied:" + install + "\\kurz.dat\r\nCopied:" + install + "\\gut.dat\r\n");
}

}  // namespace

namespace {

// Copies every file of a folder (not its sub-folders) into another.
void CopyFolderFiles(const std::string& from, const std::string& to) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((from + "\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      CopyFileA(ui::JoinPath(from, found.cFileName).c_str(), ui::JoinPath(to, found.cFileName).c_str(), FALSE);
  } while (FindNextFileA(find, &found));
  FindClose(find);
}

// The sample medium of make demo, with the program and library the build made for it: files,
// self-registration, shortcuts in its group, its registry key, file type and INI entry.
TEST(CopyInstallScenario, SampleMediumInstallsAndItsLibraryIsCurrentTheSecondTime) {
  std::string exe = SETUP_EXE_PATH;
  std::string built = exe.substr(0, exe.find_last_of('\\')) + "\\medium";
  std::string medium = ui::MakeMedium("copy-sample", nullptr);
  CopyFolderFiles(built, medium);
  ASSERT_TRUE(ui::FileExists(medium + "\\SETUP.LST"));
  std::string install = "C:\\Programme\\Sprachtrainer", program = install + "\\Sprachtrainer.exe";
  std::string productKey = "Software\\" + ui::CompanyName() + "\\" + ui::ProductName();
  char programs[MAX_PATH] = "";
  SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, FALSE);
  std::string group = std::string(programs) + "\\Sprachtrainer";
  auto clean = [&] {
    ui::RemoveTree(install);
    ui::RemoveTree(group);
    ui::ClearSharedCount(install + "\\Woerter.dll");
    ui::DeleteRegTree(HKEY_LOCAL_MACHINE, productKey);
    ui::DeleteRegTree(HKEY_CURRENT_USER, "Software\\Sprachtrainer");
    ui::DeleteRegTree(HKEY_CLASSES_ROOT, ".wrt");
    ui::DeleteRegTree(HKEY_CLASSES_ROOT, "Sprachtrainer.Woerterliste");
  };
  clean();

  ui::Setup first;
  ASSERT_TRUE(ui::StartAndInstall(&first, medium));
  ASSERT_EQ(ui::WaitCleanExit(&first), 0);
  for (const char* name : {"Sprachtrainer.exe", "Woerter.dll", "Hilfe.txt"}) {
    std::string source;
    ASSERT_TRUE(ui::ReadFile(medium + "\\" + name, &source));
    EXPECT_TRUE(SameFile(install + "\\" + name, source)) << name;
  }
  EXPECT_TRUE(ui::FileExists(install + "\\Daten\\Kurzliste.wrt"));  // the companion of the unselected word list
  EXPECT_FALSE(ui::FileExists(install + "\\Daten\\Woerter.wrt"));
  EXPECT_EQ(ui::SharedCount(install + "\\Woerter.dll"), 1);
  EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, "Software\\Sprachtrainer\\Woerter", "Bibliothek"), install + "\\Woerter.dll");
  EXPECT_EQ(ui::RegString(HKEY_LOCAL_MACHINE, productKey + "\\CurrentVersion", "Path"), program);
  EXPECT_EQ(ui::RegString(HKEY_CLASSES_ROOT, ".wrt"), "Sprachtrainer.Woerterliste");
  EXPECT_EQ(ui::RegString(HKEY_CLASSES_ROOT, "Sprachtrainer.Woerterliste\\shell\\open\\command"), program + " %1");
  EXPECT_EQ(ui::IniValue(install + "\\Sprachtrainer.ini", "Optionen", "Woerterliste"),
            install + "\\Daten\\Kurzliste.wrt");
  EXPECT_EQ(ui::LinkTarget(group + "\\Sprachtrainer.lnk"), program);
  EXPECT_EQ(ui::LinkTarget(group + "\\Hilfe zum Sprachtrainer.lnk"), install + "\\Hilfe.txt");
  EXPECT_EQ(ui::RegString(HKEY_LOCAL_MACHINE, productKey + "\\2.0\\Files\\{5A7C0E21-9B3D-4f60-8E11-2C4B6D8F0A13}",
                          "InstallPath"),
            install + "\\Woerterbuch.hlp");

  ui::Setup second;
  ASSERT_TRUE(ui::StartAndInstall(&second, medium));
  ASSERT_EQ(ui::WaitCleanExit(&second), 0);
  std::string log = ui::ReadSetupLog(install, 1);
  EXPECT_NE(log.find("UpToDate:" + install + "\\Woerter.dll\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Copied:" + install + "\\Sprachtrainer.exe\r\n"), std::string::npos) << log;
  EXPECT_EQ(ui::SharedCount(install + "\\Woerter.dll"), 2);
  clean();
}

}  // namespace
