// The option tree on trees read by the real reader: folders, installed paths,
// selected sizes with companions and sub-options, and the count of file entries.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host_platform.h"
#include "script/option_tree.h"
#include "script/reader.h"
#include "script/records.h"
#include "startup/arena.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

class OptionTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HostResetPlatform();
    ASSERT_EQ(ArenaCreate(kArenaBlockBytes), 1);
    CopyText(InstallDir, "C:\\Anwendung");
    CopyText(SystemDir, "C:\\WINDOWS\\SYSTEM");
    CopyText(WindowsDir, "C:\\WINDOWS");
    CopyText(SetupDir, "D:\\");
  }
  void TearDown() override {
    ArenaRelease();
    for (char* value : {InstallDir, SystemDir, WindowsDir, SetupDir}) value[0] = 0;
  }

  Option* Read(const std::string& script, size_t boxes = 0) {
    HostLoadScript(script);
    Option* root = ReadOptionList("Section", nullptr, 0);
    EXPECT_EQ(HostBoxes.size(), boxes);
    return root;
  }

  static std::string Folder(const Option* option) {
    char folder[kPathChars];
    EXPECT_EQ(OptionFolder(folder, option), 1);
    return folder;
  }
  static std::string Path(const Option* option, const FileEntry& entry) {
    char path[kPathChars];
    EXPECT_EQ(FileEntryPath(path, option, &entry), 1);
    return path;
  }
};

// A file entry of the given size on the option folder.
std::string File(int n, int size, const char* dest = "$(AppPath)") {
  return "File" + std::to_string(n) + "=1,,f" + std::to_string(n) + ".dat,," + dest + ",,,," + std::to_string(size) +
         "\n";
}

// --- Folders ------------------------------------------------------------------------------

TEST_F(OptionTreeTest, FolderJoinsInstallDirAndEveryDestinationFromTheTop) {
  Option* root = Read(
      "[Section1]\nName=P\nDestination=Prog\n"
      "[Section1:1]\nName=D\nDestination=Daten\n"
      "[Section1:1:1]\nName=Leer\n"
      "[Section1:1NoCopy]\nName=CD\nDestination=CD\n"
      "[Section2]\nName=Ohne\n");
  ASSERT_NE(root, nullptr);
  Option* daten = root->FirstChild;
  EXPECT_EQ(Folder(root), "C:\\Anwendung\\Prog\\");
  EXPECT_EQ(Folder(daten), "C:\\Anwendung\\Prog\\Daten\\");
  EXPECT_EQ(Folder(daten->FirstChild), "C:\\Anwendung\\Prog\\Daten\\");  // no Destination: the parent's
  EXPECT_EQ(Folder(daten->NoCopyNode), "C:\\Anwendung\\Prog\\Daten\\CD\\");  // below its option
  EXPECT_EQ(Folder(root->NextSibling), "C:\\Anwendung\\");
}

TEST_F(OptionTreeTest, FolderBackslashesAreNotDoubledAndEmptyStaysEmpty) {
  Option* root = Read("[Section1]\nName=P\nDestination=Prog\\\n[Section1:1]\nName=L\n[Section2]\nName=Q\n");
  CopyText(InstallDir, "C:\\");
  EXPECT_EQ(Folder(root), "C:\\Prog\\");
  EXPECT_EQ(Folder(root->FirstChild), "C:\\Prog\\");
  InstallDir[0] = 0;
  EXPECT_EQ(Folder(root), "Prog\\");
  EXPECT_EQ(Folder(root->NextSibling), "");
}

TEST_F(OptionTreeTest, NoOptionWritesNothing) {
  char folder[kPathChars] = "unverändert";
  EXPECT_EQ(OptionFolder(folder, nullptr), 0);
  EXPECT_STREQ(folder, "unverändert");
}

TEST_F(OptionTreeTest, FolderThatDoesNotFitIsReportedNotCut) {
  std::string sub(120, 's');
  Option* root = Read("[Section1]\nName=P\nDestination=" + sub + "\n[Section1:1]\nName=D\nDestination=" + sub +
                      "\n[Section2]\nName=Q\n");
  ASSERT_NE(root, nullptr);
  char folder[kPathChars];
  // 12 + 1 + 120 + 1 = 134 characters fit; 134 + 120 + 1 = 255 still fits 259.
  EXPECT_EQ(OptionFolder(folder, root->FirstChild), 1);
  EXPECT_EQ(strlen(folder), 255u);
  CopyText(InstallDir, "C:\\Anwendung\\abcd");  // 5 more: 260 characters do not fit
  EXPECT_EQ(OptionFolder(folder, root->FirstChild), 0);
  EXPECT_STREQ(folder, "");
  // One less fits exactly.
  CopyText(InstallDir, "C:\\Anwendung\\abc");
  EXPECT_EQ(OptionFolder(folder, root->FirstChild), 1);
  EXPECT_EQ(strlen(folder), 259u);
  // The trailing backslash alone may be what does not fit.
  CopyText(InstallDir, "C:\\Anwendung");
  ASSERT_NE(root->NextSibling, nullptr);
  char exact[14], small[13];
  EXPECT_EQ(OptionFolder(exact, root->NextSibling), 1);
  EXPECT_STREQ(exact, "C:\\Anwendung\\");
  EXPECT_EQ(OptionFolder(small, root->NextSibling), 0);
}

// --- Installed paths ------------------------------------------------------------------------

TEST_F(OptionTreeTest, PathByDestinationClass) {
  Option* root = Read(
      "[Section1]\nName=P\nDestination=Prog\nFileCount=5\n"
      "File1=1,,quelle.exe,prog.exe,$(AppPath)\\unbeachtet,,,,1\n"
      "File2=1,,w.ini,,$(WinPath),,,,1\n"
      "File3=1,,s.dll,,$(WinSysPath)\\sub,,,,1\n"
      "File4=1,,cd.exe,ziel.exe,$(NoCopy),,,,1\n"
      "File5=1,,kein.dat,,C:\\fest,,,,1\n");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(Path(root, root->FileEntries[0]), "C:\\Anwendung\\Prog\\prog.exe");
  // $(WinPath) resolves to the system folder, as installed media expect.
  EXPECT_EQ(Path(root, root->FileEntries[1]), "C:\\WINDOWS\\SYSTEM\\w.ini");
  EXPECT_EQ(Path(root, root->FileEntries[2]), "C:\\WINDOWS\\SYSTEM\\s.dll");
  EXPECT_EQ(Path(root, root->FileEntries[3]), "D:\\cd.exe");  // the source name on the medium
  EXPECT_EQ(Path(root, root->FileEntries[4]), "C:\\Anwendung\\Prog\\kein.dat");

  CopyText(SystemDir, "C:\\SYS\\");
  CopyText(SetupDir, "D:\\CD");
  EXPECT_EQ(Path(root, root->FileEntries[2]), "C:\\SYS\\s.dll");
  EXPECT_EQ(Path(root, root->FileEntries[3]), "D:\\CD\\cd.exe");
}

TEST_F(OptionTreeTest, UnknownClassLeavesTheOutputUnchanged) {
  FileEntry entry{};
  CopyText(entry.TargetName, "x.dat");
  char path[kPathChars] = "vorher";
  for (int32_t kind : {3, 4, 5, -1, 7}) {
    entry.DestKind = kind;
    EXPECT_EQ(FileEntryPath(path, nullptr, &entry), 0);
    EXPECT_STREQ(path, "vorher");
  }
}

TEST_F(OptionTreeTest, PathThatDoesNotFitIsReportedNotCut) {
  std::string name(250, 'n');
  Option* root = Read("[Section1]\nName=P\nFileCount=3\nFile1=1,," + name + ",,$(AppPath),,,,1\nFile2=1,," + name +
                      ",,$(WinSysPath),,,,1\nFile3=1,," + name + ",,$(NoCopy),,,,1\n");
  ASSERT_NE(root, nullptr);
  CopyText(SetupDir, "D:\\CD\\Setup");
  char path[kPathChars];
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(FileEntryPath(path, root, &root->FileEntries[i]), 0) << i;
    EXPECT_STREQ(path, "") << i;
  }
  // D:\ + 250 = 253 characters fit.
  CopyText(SetupDir, "D:\\");
  CopyText(InstallDir, "C:");
  EXPECT_EQ(FileEntryPath(path, root, &root->FileEntries[2]), 1);
  EXPECT_EQ(strlen(path), 253u);
  EXPECT_EQ(FileEntryPath(path, root, &root->FileEntries[0]), 1);  // C:\ + name
}

// --- Selection and sizes -------------------------------------------------------------------

TEST_F(OptionTreeTest, SelectedSubOptionsAddUp) {
  Option* root = Read("[Section1]\nName=P\nInstall=1\n"
                      "[Section1:1]\nName=A\nInstall=1\nFileCount=1\n" + File(1, 100) +
                      "[Section1:2]\nName=B\nInstall=1\nFileCount=1\n" + File(1, 200) +
                      "[Section1:3]\nName=C\nInstall=0\nFileCount=1\n" + File(1, 400));
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(SelectedSize(root, false, true), 300);
  // A sub-option alone, without its siblings, and with them.
  EXPECT_EQ(SelectedSize(root->FirstChild, false, true), 100);
  EXPECT_EQ(SelectedSize(root->FirstChild, true, true), 300);
}

TEST_F(OptionTreeTest, SelectionIgnoresThePressedMarkOnly) {
  Option* root = Read("[Section1]\nName=P\nInstall=32768\nFileCount=1\n" + File(1, 1) +
                      "[Section2]\nName=Q\nInstall=32769\nFileCount=1\n" + File(1, 10) +
                      "[Section3]\nName=R\nInstall=2\nFileCount=1\n" + File(1, 100) +
                      "[Section4]\nName=S\nInstall=3\nFileCount=1\n" + File(1, 1000) +
                      "[Section5]\nName=T\nInstall=65536\nFileCount=1\n" + File(1, 10000) +
                      "[Section6]\nName=U\nInstall=-1\nFileCount=1\n" + File(1, 100000));
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(SelectedSize(root, false, true), 0);
  EXPECT_EQ(SelectedSize(root, true, true), 111110);
}

TEST_F(OptionTreeTest, UnselectedOptionWithoutCompanionCountsNothingButTheSumGoesOn) {
  Option* root = Read("[Section1]\nName=P\nInstall=0\nFileCount=1\n" + File(1, 1) +
                      "[Section1:1]\nName=Sub\nInstall=1\nFileCount=1\n" + File(1, 2) +
                      "[Section2]\nName=Q\nInstall=1\nFileCount=1\n" + File(1, 40) +
                      "[Section3]\nName=R\nInstall=1\nFileCount=1\n" + File(1, 800));
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(SelectedSize(root, false, true), 0);  // its selected sub-option does not count either
  EXPECT_EQ(SelectedSize(root, true, true), 840);
  EXPECT_EQ(SelectedSize(nullptr, true, true), 0);
}

TEST_F(OptionTreeTest, CompanionStandsInForItsUnselectedOption) {
  Option* root = Read("[Section1]\nName=P\nInstall=0\nFileCount=1\n" + File(1, 1) +
                      "[Section1:1]\nName=Sub\nInstall=1\nFileCount=1\n" + File(1, 2) +
                      "[Section1NoCopy]\nName=CD\nFileCount=2\n" + File(1, 4) + File(2, 8) +
                      "[Section1NoCopy1:]\nName=CD-Teil\nInstall=1\nFileCount=1\n" + File(1, 16) +
                      "[Section2]\nName=Q\nInstall=1\nFileCount=1\n" + File(1, 32) +
                      "[Section2NoCopy]\nName=Q-CD\nFileCount=1\n" + File(1, 64));
  ASSERT_NE(root, nullptr);
  // Unselected: the companion and its own sub-option, not the option's sub-option.
  EXPECT_EQ(SelectedSize(root, false, true), 4 + 8 + 16);
  // With siblings the walk goes on from the companion to Section2; a selected option's
  // companion never counts.
  EXPECT_EQ(SelectedSize(root, true, true), 4 + 8 + 16 + 32);
  root->Install = 1;
  EXPECT_EQ(SelectedSize(root, true, true), 1 + 2 + 32);
}

TEST_F(OptionTreeTest, SubOptionsCountUnderTheirOwnSelectionAndCompanions) {
  Option* root = Read("[Section1]\nName=P\nInstall=1\n"
                      "[Section1:1]\nName=A\nInstall=0\nFileCount=1\n" + File(1, 100) +
                      "[Section1:1NoCopy]\nName=A-CD\nFileCount=1\n" + File(1, 7) +
                      "[Section1:2]\nName=B\nInstall=1\nFileCount=1\n" + File(1, 200) +
                      "[Section1:2:1]\nName=B1\nInstall=1\nFileCount=1\n" + File(1, 1000) +
                      "[Section1:2:2]\nName=B2\nInstall=0\nFileCount=1\n" + File(1, 5000));
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(SelectedSize(root, false, true), 7 + 200 + 1000);
}

TEST_F(OptionTreeTest, NoCopyEntriesNeverCountAndNetSubtractsPresentSize) {
  Option* root = Read("[Section1]\nName=P\nInstall=1\nFileCount=3\n" + File(1, 1000) +
                      File(2, 500, "$(NoCopy)") + File(3, 300, "$(WinSysPath)"));
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(SelectedSize(root, false, true), 1300);
  EXPECT_EQ(SelectedSize(root, false, false), 1300);
  root->FileEntries[0].PresentSize = 1000;
  root->FileEntries[1].PresentSize = 500;
  root->FileEntries[2].PresentSize = 100;
  EXPECT_EQ(SelectedSize(root, false, true), 1300);
  EXPECT_EQ(SelectedSize(root, false, false), 200);
}

TEST_F(OptionTreeTest, SizesPastTwoGigabytesDoNotWrap) {
  Option* root = Read("[Section1]\nName=P\nInstall=1\nFileCount=3\n" + File(1, 2000000000) + File(2, 2000000000) +
                      File(3, 2147483647) + "[Section2]\nName=Q\nInstall=1\nFileCount=1\n" +
                      File(1, 99999999) + "[Section2:1]\nName=Q1\nInstall=1\nFileCount=1\n" +
                      "File1=1,,g.dat,,$(AppPath),,,,99999999999\n");
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(SelectedSize(root, false, true), 6147483647LL);
  EXPECT_EQ(SelectedSize(root, true, true), 6147483647LL + 99999999 + 99999999999LL);
  EXPECT_GT(SelectedSize(root, true, false), 0);
}

// --- Counting -------------------------------------------------------------------------------

TEST_F(OptionTreeTest, CountCoversSubOptionsAndFollowersSelectedOrNotButNoCompanions) {
  Option* root = Read("[Section1]\nName=P\nInstall=0\nFileCount=2\n" + File(1, 1) + "File2=kaputt\n" +
                      "[Section1:1]\nName=A\nFileCount=3\n" + File(1, 1) + File(2, 1, "$(NoCopy)") +
                      "[Section1:1:1]\nName=A1\nFileCount=1\n" + File(1, 1) +
                      "[Section1NoCopy]\nName=CD\nFileCount=50\n" +
                      "[Section1NoCopy1:]\nName=CD-Teil\nFileCount=60\n" +
                      "[Section2]\nName=Q\nFileCount=4\n" +
                      "[Section2:1NoCopy]\nName=nie\nFileCount=70\n",
                      1);
  ASSERT_NE(root, nullptr);
  // Slots count whether complete, faulty or missing: 2 + 3 + 1 + 4.
  EXPECT_EQ(CountFileEntries(root), 10);
  EXPECT_EQ(CountFileEntries(root->NextSibling), 4);
  EXPECT_EQ(CountFileEntries(root->FirstChild), 4);
  EXPECT_EQ(CountFileEntries(nullptr), 0);
}

}  // namespace
