// File entries, option tree and dates on the real platform: DateToFileTime against
// SystemTimeToFileTime, and option trees read from SETUP.LST through the profile API.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "box_watcher.h"
#include "script/file_entry.h"
#include "script/option_tree.h"
#include "script/reader.h"
#include "script/records.h"
#include "startup/arena.h"
#include "startup/state.h"
#include "startup/text.h"
#include "ui_driver.h"

namespace {

bool RunsOnWine() { return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// --- Dates --------------------------------------------------------------------------------

// The conversion as the program did it: the parts go into a SYSTEMTIME (16 bits each).
uint64_t PlatformFileTime(int year, int month, int day, bool* valid) {
  SYSTEMTIME date{};
  date.wYear = static_cast<WORD>(year);
  date.wMonth = static_cast<WORD>(month);
  date.wDay = static_cast<WORD>(day);
  FILETIME time{};
  *valid = SystemTimeToFileTime(&date, &time) != 0;
  return *valid ? static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime : 0;
}

TEST(DateToFileTimeWin, MatchesSystemTimeToFileTimeOverASpreadOfDates) {
  const int years[] = {-1,   0,    97,   1600, 1601, 1602,  1700,  1752,  1899,  1900,         1970,
                       1996, 1997, 1999, 2000, 2001, 2004,  2024,  2100,  2400,  9999,         30826,
                       30827, 30828, 32767, 32768, 40000, 65535, 65536, 65536 + 1997, 70000};
  const int months[] = {-1, 0, 1, 2, 3, 4, 6, 9, 11, 12, 13, 65535, 65536 + 2};
  const int days[] = {-1, 0, 1, 15, 28, 29, 30, 31, 32, 65536 + 29};
  const bool wine = RunsOnWine();
  int compared = 0, valid = 0, wineDeviations = 0;
  for (int y : years)
    for (int m : months)
      for (int d : days) {
        bool platformValid = false;
        uint64_t expected = PlatformFileTime(y, m, d, &platformValid);
        uint64_t actual = DateToFileTime(y, m, d);
        int16_t y16 = static_cast<int16_t>(static_cast<uint16_t>(y));
        // Wine accepts 29 February of every year and the years 30828 to 32767, which Windows
        // refuses (the documented range ends in 30827); there the program keeps Windows' answer.
        bool wineOnly = (static_cast<uint16_t>(m) == 2 && static_cast<uint16_t>(d) == 29 && !IsLeap(y16)) ||
                        (y16 > 30827);
        if (wine && wineOnly && platformValid) {
          EXPECT_EQ(actual, 0u) << y << "/" << m << "/" << d;
          ++wineDeviations;
          continue;
        }
        EXPECT_EQ(actual, expected) << y << "/" << m << "/" << d;
        ++compared;
        valid += platformValid;
      }
  printf("dates: %d compared with SystemTimeToFileTime (%d valid), %d known Wine deviations\n", compared, valid,
         wineDeviations);
  EXPECT_GT(valid, 100);
}

TEST(DateToFileTimeWin, EveryDayOfFourHundredYears) {
  // One whole cycle of the Gregorian calendar, day by day, plus its edges.
  int mismatches = 0;
  for (int y = 1600; y <= 2001; ++y)
    for (int m = 1; m <= 12; ++m)
      for (int d = 1; d <= 31; ++d) {
        bool platformValid = false;
        uint64_t expected = PlatformFileTime(y, m, d, &platformValid);
        if (RunsOnWine() && m == 2 && d == 29 && !IsLeap(y)) continue;
        if (DateToFileTime(y, m, d) != expected && ++mismatches < 5) ADD_FAILURE() << y << "/" << m << "/" << d;
      }
  EXPECT_EQ(mismatches, 0);
}

// --- Option trees through the profile API ---------------------------------------------------

class ScriptTreeWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = ui::JoinPath(ui::TestRoot(), "script-semantics");
    ui::RemoveTree(folder_);
    ASSERT_TRUE(ui::MakeFolders(folder_));
    ASSERT_EQ(ArenaCreate(kArenaBlockBytes), 1);
    GetSystemDirectoryA(SystemDir, sizeof SystemDir);
    GetWindowsDirectoryA(WindowsDir, sizeof WindowsDir);
    CopyText(SetupDir, folder_.c_str());
  }
  void TearDown() override {
    ArenaRelease();
    for (char* value : {InstallDir, SystemDir, WindowsDir, SetupDir, ScriptPath}) value[0] = 0;
  }

  // Writes SETUP.LST, reads [Settings] Destination and the option tree as start-up does.
  Option* Read(const std::string& script) {
    std::string path = ui::JoinPath(folder_, "SETUP.LST");
    EXPECT_TRUE(ui::WriteFile(path, script));
    CopyText(ScriptPath, path.c_str());
    ReadScriptString("Settings", "Destination", InstallDir, sizeof InstallDir);
    return ReadOptionList("Section", nullptr, 0);
  }

  static std::string Folder(const Option* option) {
    char folder[kPathChars];
    EXPECT_EQ(OptionFolder(folder, option), 1);
    return folder;
  }
  static std::string Path(const Option* option, int index) {
    char path[kPathChars];
    EXPECT_EQ(FileEntryPath(path, option, &option->FileEntries[index]), 1);
    return path;
  }

  std::string folder_;
};

const char kThreeLevels[] =
    "[Settings]\r\nDestination=C:\\Anwendung\r\n"
    "[Section1]\r\nName=Programm\r\nDestination=Prog\r\nInstall=1\r\nFileCount=2\r\n"
    "File1=1,,prog.exe,,$(AppPath),,,5/20/1997,1000,2.0.0.17\r\n"
    "File2=1,,hilfe.dll,,$(WinSysPath),$(DLLSelfRegister),$(Shared),,200\r\n"
    "[Section1:1]\r\nName=Daten\r\nDestination=Daten\r\nInstall=1\r\nFileCount=1\r\n"
    "File1=1,,daten.dat,,$(AppPath),,,,30000\r\n"
    "[Section1:1:1]\r\nName=Beispiele\r\nDestination=Beispiele\r\nInstall=0\r\nFileCount=1\r\n"
    "File1=1,,beispiel.dat,,$(AppPath),,,,400000\r\n"
    "[Section1:1:1NoCopy]\r\nName=Beispiele von CD\r\nDestination=CD\r\nFileCount=2\r\n"
    "File1=1,,index.dat,,$(AppPath),,,,5000\r\n"
    "File2=1,,beispiele.cab,,$(NoCopy),,,,7000000\r\n"
    "[Section1:1:2]\r\nName=Extras\r\nInstall=1\r\nFileCount=1\r\n"
    "File1=1,,extra.ini,,$(WinPath),,,,60\r\n"
    "[Section2]\r\nName=Handbuch\r\nInstall=0\r\nFileCount=1\r\n"
    "File1=1,,handbuch.pdf,,$(AppPath),,,,8000000\r\n"
    "[Section2NoCopy]\r\nName=Handbuch von CD\r\nDestination=CD\r\nFileCount=1\r\n"
    "File1=1,,handbuch.pdf,,$(NoCopy),,,,8000000\r\n"
    "[Section2NoCopy1:]\r\nName=Leser\r\nDestination=Leser\r\nInstall=1\r\nFileCount=1\r\n"
    "File1=1,,leser.exe,,$(AppPath),,,,90000\r\n"
    "[Section3]\r\nName=Werkzeuge\r\nInstall=1\r\nFileCount=1\r\n"
    "File1=1,,tool.exe,,$(AppPath),,,,3\r\n";

TEST_F(ScriptTreeWinTest, ThreeLevelsWithCompanionsGiveTheirFoldersAndSums) {
  ui::BoxWatcher boxes;
  Option* programm = Read(kThreeLevels);
  ASSERT_NE(programm, nullptr);
  EXPECT_TRUE(boxes.Boxes().empty());
  Option* daten = programm->FirstChild;
  ASSERT_NE(daten, nullptr);
  Option* beispiele = daten->FirstChild;
  ASSERT_NE(beispiele, nullptr);
  Option* beispieleCd = beispiele->NoCopyNode;
  ASSERT_NE(beispieleCd, nullptr);
  Option* extras = beispiele->NextSibling;
  ASSERT_NE(extras, nullptr);
  EXPECT_EQ(beispieleCd->NextSibling, extras);  // a companion walks on to its option's follower
  Option* handbuch = programm->NextSibling;
  ASSERT_NE(handbuch, nullptr);
  Option* handbuchCd = handbuch->NoCopyNode;
  ASSERT_NE(handbuchCd, nullptr);
  ASSERT_NE(handbuchCd->FirstChild, nullptr);
  Option* werkzeuge = handbuch->NextSibling;
  ASSERT_NE(werkzeuge, nullptr);

  // Folders: InstallDir and every Destination from the top down.
  EXPECT_EQ(Folder(programm), "C:\\Anwendung\\Prog\\");
  EXPECT_EQ(Folder(daten), "C:\\Anwendung\\Prog\\Daten\\");
  EXPECT_EQ(Folder(beispiele), "C:\\Anwendung\\Prog\\Daten\\Beispiele\\");
  EXPECT_EQ(Folder(beispieleCd), "C:\\Anwendung\\Prog\\Daten\\Beispiele\\CD\\");
  EXPECT_EQ(Folder(extras), "C:\\Anwendung\\Prog\\Daten\\");
  EXPECT_EQ(Folder(handbuchCd), "C:\\Anwendung\\CD\\");
  EXPECT_EQ(Folder(handbuchCd->FirstChild), "C:\\Anwendung\\CD\\Leser\\");
  EXPECT_EQ(Folder(werkzeuge), "C:\\Anwendung\\");

  // Installed paths by class; $(WinPath) resolves to the system folder.
  std::string system = SystemDir;
  EXPECT_EQ(Path(programm, 0), "C:\\Anwendung\\Prog\\prog.exe");
  EXPECT_EQ(Path(programm, 1), system + "\\hilfe.dll");
  EXPECT_EQ(Path(extras, 0), system + "\\extra.ini");
  EXPECT_EQ(Path(beispieleCd, 0), "C:\\Anwendung\\Prog\\Daten\\Beispiele\\CD\\index.dat");
  EXPECT_EQ(Path(beispieleCd, 1), folder_ + "\\beispiele.cab");
  EXPECT_EQ(Path(handbuchCd->FirstChild, 0), "C:\\Anwendung\\CD\\Leser\\leser.exe");

  // Sums: Programm 1000 + 200, Daten 30000, Beispiele unselected so its companion's 5000
  // (the $(NoCopy) cab never counts), Extras 60; Handbuch unselected, its companion has only
  // a $(NoCopy) entry and a selected sub-option of 90000; Werkzeuge 3.
  EXPECT_EQ(SelectedSize(programm, false, true), 36260);
  EXPECT_EQ(SelectedSize(handbuch, false, true), 90000);
  EXPECT_EQ(SelectedSize(programm, true, true), 126263);
  EXPECT_EQ(SelectedSize(daten, true, true), 35060);  // no siblings after it
  EXPECT_EQ(SelectedSize(beispiele, true, true), 5060);
  EXPECT_EQ(CountFileEntries(programm), 7);  // all options and sub-options, no companions
  printf("three levels: %s for Beispiele von CD, %lld bytes selected, %d file entries\n", Folder(beispieleCd).c_str(),
         static_cast<long long>(SelectedSize(programm, true, true)), CountFileEntries(programm));

  programm->FileEntries[0].PresentSize = 1000;
  EXPECT_EQ(SelectedSize(programm, true, false), 125263);
  EXPECT_EQ(SelectedSize(programm, true, true), 126263);
  // Selecting Beispiele and Handbuch replaces their companions.
  beispiele->Install = 1;
  handbuch->Install = 1;
  EXPECT_EQ(SelectedSize(programm, true, true), 1200 + 30000 + 400000 + 60 + 8000000 + 3);
  // An option held under the mouse only (PressedMark) is not selected.
  handbuch->Install = kPressedMark;
  EXPECT_EQ(SelectedSize(handbuch, false, true), 90000);
}

TEST_F(ScriptTreeWinTest, FieldsThroughTheProfileApi) {
  ui::BoxWatcher boxes;
  Option* programm = Read(kThreeLevels);
  ASSERT_NE(programm, nullptr);
  const FileEntry& prog = programm->FileEntries[0];
  EXPECT_EQ(prog.Number, 1);
  EXPECT_EQ(prog.Size, 1000);
  EXPECT_EQ(prog.VersionMS, 2u << 16);
  EXPECT_EQ(prog.VersionLS, 17u);
  SYSTEMTIME date{};
  date.wYear = 1997;
  date.wMonth = 5;
  date.wDay = 20;
  FILETIME time{};
  ASSERT_TRUE(SystemTimeToFileTime(&date, &time));
  EXPECT_EQ(prog.FileTimeLow, time.dwLowDateTime);
  EXPECT_EQ(prog.FileTimeHigh, time.dwHighDateTime);
  const FileEntry& hilfe = programm->FileEntries[1];
  EXPECT_EQ(hilfe.DestKind, kDestWinSysPath);
  EXPECT_EQ(hilfe.FileKind, kKindDllSelfRegister);
  EXPECT_EQ(hilfe.Shared, 1);
  EXPECT_EQ(programm->FirstChild->FirstChild->NoCopyNode->FileEntries[1].DestKind, kDestNoCopy);
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(ScriptTreeWinTest, TenThousandFileEntriesInAHundredOptionsReadCompletely) {
  std::string script = "[Settings]\r\nDestination=C:\\Anwendung\r\n[Disks]\r\nDiskCount=1\r\nDisk1=CD\r\n";
  for (int s = 1; s <= 100; ++s) {
    script += "[Section" + std::to_string(s) + "]\r\nName=Teil " + std::to_string(s) +
              "\r\nInstall=1\r\nDestination=Teil" + std::to_string(s) + "\r\nFileCount=100\r\n";
    for (int f = 1; f <= 100; ++f)
      script += "File" + std::to_string(f) + "=1,,t" + std::to_string(s) + "f" + std::to_string(f) +
                ".dat,,$(AppPath),,,12/31/1997," + std::to_string(s * 1000 + f) + ",1.0.0." + std::to_string(f) +
                "\r\n";
  }
  ui::BoxWatcher boxes;
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  Option* root = Read(script);
  QueryPerformanceCounter(&end);
  double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
  printf("10000 file entries in 100 options (%zu bytes of script) read in %.1f ms\n", script.size(), ms);

  ASSERT_NE(root, nullptr);
  int options = 0, complete = 0;
  int64_t expectedBytes = 0;
  for (const Option* o = root; o; o = o->NextSibling) {
    ++options;
    ASSERT_EQ(o->FileCount, 100) << o->Name;
    for (int f = 1; f <= 100; ++f) {
      const FileEntry& e = o->FileEntries[f - 1];
      std::string name = "t" + std::to_string(options) + "f" + std::to_string(f) + ".dat";
      complete += e.Number == f && e.Size == options * 1000 + f && name == e.TargetName &&
                  e.VersionLS == static_cast<uint32_t>(f) && e.FileTimeHigh != 0;
      expectedBytes += options * 1000 + f;
    }
  }
  EXPECT_EQ(options, 100);
  EXPECT_EQ(complete, 10000);
  EXPECT_EQ(CountFileEntries(root), 10000);
  EXPECT_EQ(SelectedSize(root, true, true), expectedBytes);
  EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace
