// The figures of an install: option folders and installed paths, the sums of the selection
// (progress total and space per drive, which must charge what the copy copies), the
// progress bar's arithmetic, copy blocks, log lines and stored counts.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "host_platform.h"
#include "install/copy_blocks.h"
#include "install/drives.h"
#include "install/progress_bar.h"
#include "install/setup_log.h"
#include "install/shared_dlls.h"
#include "script/option_tree.h"
#include "script/reader.h"
#include "startup/arena.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

constexpr int C = 2, D = 3, S = 18;

class FiguresTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HostResetPlatform();
    ASSERT_EQ(ArenaCreate(kArenaBlockBytes), 1);
    CopyText(InstallDir, "C:\\Programme\\Test");
    CopyText(SystemDir, "S:\\Windows\\System");
    CopyText(SetupDir, "D:\\");
  }
  void TearDown() override {
    ArenaRelease();
    OptionRoot = nullptr;
    for (char* v : {InstallDir, SystemDir, SetupDir}) v[0] = 0;
  }
  Option* Read(const std::string& script) {
    HostLoadScript(script);
    return OptionRoot = ReadOptionList("Section", nullptr, 0);
  }
  // The fixture script: selected and unselected options, sub-options, companions, files kept
  // on the medium, system files, and sizes that add up past 4 GB.
  Option* ReadFixture() {
    std::string here = __FILE__;
    std::ifstream in(here.substr(0, here.rfind("/tests/host/")) + "/tests/fixtures/drives_setup.lst");
    std::stringstream text;
    text << in.rdbuf();
    return Read(text.str());
  }
  static std::string Path(const Option* option, const FileEntry* entry) {
    char path[kPathChars] = "unverändert";
    int ok = FileEntryPath(path, option, entry);
    return std::string(ok ? "" : "0:") + path;
  }
};

// Folders and paths are used in the scenarios; here only what they cannot reach.
TEST_F(FiguresTest, PathsThatDoNotFitAreRefusedNotCut) {
  std::string sub(115, 's');
  Option* root = Read("[Section1]\nDestination=" + sub + "\nFileCount=2\nFile1=1,," + std::string(250, 'n') +
                      ",,$(WinSysPath),,,,1\nFile2=1,,cd.exe,z.exe,$(NoCopy),,,,1\n[Section1:1]\nDestination=" + sub + "\n");
  char folder[kPathChars];
  EXPECT_EQ(OptionFolder(folder, root->FirstChild), 1);  // 17 + 1 + 115 + 1 + 115 + 1 = 250 characters
  CopyText(InstallDir, "C:\\Programme\\Test\\123456789");
  EXPECT_EQ(OptionFolder(folder, root->FirstChild), 0);
  EXPECT_STREQ(folder, "");
  EXPECT_EQ(Path(root, &root->FileEntries[0]), "0:");
  EXPECT_EQ(Path(root, &root->FileEntries[1]), "D:\\cd.exe");  // on the medium, by its source name
  FileEntry odd{};
  odd.DestKind = 3;
  EXPECT_EQ(Path(root, &odd), "0:unverändert");
}

TEST_F(FiguresTest, SelectedSizesFollowSelectionCompanionsAndSubOptions) {
  auto file = [](int n, const char* size) {
    return "File" + std::to_string(n) + "=1,,f" + std::to_string(n) + ",,$(AppPath),,,," + size + "\n";
  };
  Option* root = Read("[Section1]\nInstall=0\nFileCount=1\n" + file(1, "1") +
                      "[Section1:1]\nInstall=1\nFileCount=1\n" + file(1, "2") +
                      "[Section1NoCopy]\nFileCount=2\n" + file(1, "4") + file(2, "-8") +
                      "[Section1NoCopy1:]\nInstall=1\nFileCount=1\n" + file(1, "16") +
                      "[Section2]\nInstall=32768\nFileCount=1\n" + file(1, "32") +
                      "[Section3]\nInstall=2\nFileCount=3\n" + file(1, "64") + file(2, "5000000000") +
                      "File3=1,,m,,$(NoCopy),,,,128\n"
                      "[Section3:1]\nInstall=0\nFileCount=1\n" + file(1, "256") +
                      "[Section3:2]\nInstall=1\nFileCount=1\n" + file(1, "512"));
  // Unselected: its companion stands in, with its own sub-option; the invalid -8 counts 0.
  EXPECT_EQ(SelectedSize(root, false, true), 4 + 16);
  // The pressed mark alone is no selection; NoCopy entries and unselected sub-options count nothing.
  EXPECT_EQ(SelectedSize(root, true, true), 4 + 16 + 64 + 5000000000LL + 512);
  root->Install = 1;
  EXPECT_EQ(SelectedSize(root, false, true), 1 + 2);
  root->FileEntries[0].PresentSize = 1;
  EXPECT_EQ(SelectedSize(root, false, false), 2);
  EXPECT_EQ(SelectedSize(nullptr, true, true), 0);
  EXPECT_EQ(CountFileEntries(root), 1 + 1 + 1 + 3 + 1 + 1);  // every slot, no companions
}

TEST_F(FiguresTest, SpaceIsChargedPerDriveForWhatTheCopyCopies) {
  ReadFixture();
  DriveTable[C].RequiredBytes = 12345;  // stale figures go first
  ComputeRequiredSpace();
  // prog.exe 1000, daten1 2000000000, gross1+2 2 x 2147483647, ersatz.exe 555 (the companion of
  // the unselected Section2, copied in its place), hilfe.hlp 300; not the medium's file, not
  // the pressed mark alone, not below an unselected sub-option.
  int64_t onC = 1000 + 2000000000LL + 2 * 2147483647LL + 555 + 300;
  // The install folder's drive also takes the run's record (its notes of every file copied,
  // eight here) and the uninstaller.
  SetupProgramBytes = 100000;
  ComputeRequiredSpace();
  int64_t undo = 8 * kUndoNoteBytes + 100000;
  EXPECT_EQ(DriveTable[C].RequiredBytes, onC + undo);
  SetupProgramBytes = 0;
  undo -= 100000;
  EXPECT_EQ(DriveTable[S].RequiredBytes, 200 + 50);
  EXPECT_EQ(DriveTable[D].RequiredBytes, 0);
  EXPECT_EQ(SelectedSize(OptionRoot, true, true), onC + 250);  // the progress total agrees
  OptionRoot->FileEntries[0].Size = -116;  // an invalid size lowers nothing
  // A kept copy larger than the new file frees nothing for the files after it.
  OptionRoot->FileEntries[1].PresentSize = 5000;
  // hilfe.hlp as a product data file over an installed one of 250 bytes: copied again, it
  // needs its whole size while the old one stands.
  FileEntry& data = OptionRoot->NextSibling->NextSibling->NextSibling->FileEntries[0];
  data.FileKind = kKindProductData;
  data.PresentSize = 250;
  ComputeRequiredSpace();
  EXPECT_EQ(DriveTable[C].RequiredBytes, onC + undo - 1000);
  EXPECT_EQ(DriveTable[S].RequiredBytes, 50);
  DriveTable[C].FreeBytes = static_cast<uint64_t>(onC + undo - 1000);
  DriveTable[S].FreeBytes = 50;
  EXPECT_EQ(FirstShortDrive(), -1);  // exactly enough
  DriveTable[C].FreeBytes = 4294971392ull;  // past 4 GB, yet short of 6 GB
  EXPECT_EQ(FirstShortDrive(), C);
  // Nothing of an install folder without a drive lands on one: not on S of "\\server", not on
  // P of "Prog\prog.exe".
  for (const char* folder : {"\\\\server\\share", ""}) {
    CopyText(InstallDir, folder);
    ComputeRequiredSpace();
    EXPECT_EQ(DriveTable[C].RequiredBytes, 0) << folder;
    EXPECT_EQ(DriveTable[S].RequiredBytes, 50) << folder;
    EXPECT_EQ(DriveTable['P' - 'A'].RequiredBytes, 0) << folder;
  }
  // Installed files wait aside until the run is complete: a data file of 300 bytes over one of
  // 1000 needs 300 throughout, and the new file after it 500 more.
  Read("[Section1]\nInstall=1\nFileCount=2\nFile1=1,,d.hlp,,$(AppPath),$(KRVRegister),,,300\n"
       "File2=1,,n.dat,,$(AppPath),,,,500\n");
  CopyText(InstallDir, "C:\\Programme\\Test");
  OptionRoot->FileEntries[0].PresentSize = 1000;
  ComputeRequiredSpace();
  EXPECT_EQ(DriveTable[C].RequiredBytes, 800 + 2 * kUndoNoteBytes);
  EXPECT_EQ(FreeSpaceBytes(512, 8, 1048577), 4294971392ull);
  EXPECT_EQ(FreeSpaceBytes(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu), UINT64_MAX);
  EXPECT_EQ(DriveIndexOfPath("c:x"), C);
  EXPECT_EQ(DriveIndexOfPath("\xC4:\\x"), -1);
}

TEST(Figures, ProgressBlocksAndTemporaryNames) {
  for (auto [done, total, percent] : std::vector<std::tuple<int64_t, int64_t, int64_t>>{
           {2, 3, 67}, {1, 200, 1}, {1, 0, 0}, {6442450944LL, 8589934592LL, 75}, {INT64_MAX, 1, INT64_MAX}})
    EXPECT_EQ(ProgressPercent(done, total), percent) << done << "/" << total;
  EXPECT_EQ(ProgressFillWidth(INT64_MAX, 216), 216);
  EXPECT_EQ(ProgressFillWidth(33, 300), 99);
  EXPECT_EQ(ProgressFillWidth(99, 2000000000), 1980000000);  // no overflow on the way
  uint32_t block = kFirstBlockBytes;
  for (int i = 0; i < 7; ++i) block = NextBlockBytes(block, 100);
  EXPECT_EQ(block, kLargestBlockBytes);  // 8 KB doubled seven times
  EXPECT_EQ(NextBlockBytes(65536, kSlowBlockUs + 1), 32768u);
  EXPECT_EQ(NextBlockBytes(kFirstBlockBytes, 10000000), kFirstBlockBytes);
}

TEST(Figures, LogNamesAndLines) {
  HostResetPlatform();
  char name[kLogNameChars];
  EXPECT_EQ(BuildLogName(name, sizeof name, "C:\\", 12), 1);
  EXPECT_STREQ(name, "C:\\setup12.log");
  EXPECT_EQ(BuildLogName(name, sizeof name, std::string(249, 'x').c_str(), 0), 0);  // 260 would not fit
  SetupLogHandle = &HostLogBytes;
  EXPECT_STREQ(LogLinePrefix(kLogErrorCreatingIniSetting), "Error: Creating IniSetting ");
  EXPECT_STREQ(LogLinePrefix(kLogError), "Error: ");
  WriteLogLine(kLogLink, "C:\\P\\s.exe", "C:\\G\\S.lnk");
  WriteRegisterLine(kRootLocalMachine, "Software\\F", "", "", "");
  WriteRegisterLine(kRootCurrentUser, "Software\\F", "Standard", "Pfad", "C:\\P");
  WriteLogError("Die Datei \"x\" kann nicht erzeugt werden!\nSoll Setup beendet werden?\r\n");
  LogEnabled = 0;
  WriteLogLine(kLogCopied, "a");
  LogEnabled = 1;
  SetupLogHandle = nullptr;
  WriteLogLine(kLogCopied, "b");
  EXPECT_EQ(HostLogBytes,
            "Link:C:\\P\\s.exe,C:\\G\\S.lnk\r\n"
            "Register:HKEY_LOCAL_MACHINE,Software\\F,,,\r\n"
            "Register:Software\\F,Standard,Pfad,C:\\P\r\n"
            "Error: Die Datei \"x\" kann nicht erzeugt werden! Soll Setup beendet werden?  \r\n");
}

TEST(Figures, StoredCountsOnlyOfPlainNumbers) {
  auto decode = [](uint32_t type, const std::string& bytes) {
    uint64_t v = 0;
    int ok = DecodeStoredCount(type, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &v);
    return ok ? static_cast<int64_t>(v > INT64_MAX ? INT64_MAX : v) : -1;
  };
  for (auto [type, bytes, count] : std::vector<std::tuple<uint32_t, std::string, int64_t>>{
           {kRegDword, std::string("\x03\0\0\0", 4), 3}, {kRegSz, std::string("3\0", 2), 3}, {kRegSz, "12", 12},
           {kRegExpandSz, std::string(" 7 \0", 4), 7}, {kRegSz, std::string(70, '0') + "7", 7},
           {kRegSz, "99999999999999999999999", INT64_MAX}, {kRegBinary, std::string("\x02\x01", 2), 0x102},
           {kRegQword, std::string("\0\0\0\0\x01\0\0\0", 8), 0x100000000LL},
           {kRegDwordBigEndian, std::string("\0\0\x01\x02", 4), 0x102},
           // another installer's notes are no count: left exactly as they are
           {kRegSz, std::string("7 (Programm X)\0", 15), -1}, {kRegSz, " 7x", -1}, {kRegSz, "-3", -1},
           {kRegSz, std::string("\0", 1), -1}, {kRegBinary, std::string(9, '\1'), -1}, {7, std::string("3\0\0", 3), -1}})
    EXPECT_EQ(decode(type, bytes), count) << type << " " << bytes;
  unsigned char out[32];
  EXPECT_EQ(EncodeStoredCount(kRegBinary, 4, 1, out, sizeof out), 1u);  // keeps its width
  EXPECT_EQ(EncodeStoredCount(kRegBinary, 0x100, 1, out, sizeof out), 4u);
  EXPECT_EQ(EncodeStoredCount(kRegDword, 0x100000000ull, 4, out, sizeof out), 0u);
  EXPECT_EQ(EncodeStoredCount(kRegSz, 4294967295u, 4, out, sizeof out), 11u);
  EXPECT_STREQ(reinterpret_cast<char*>(out), "4294967295");

  ForgetReferencesThisRun();
  EXPECT_EQ(FirstReferenceThisRun("C:\\S\\a.dll"), 1);
  for (int i = 0; i < 1000; ++i) FirstReferenceThisRun(("C:\\S\\f" + std::to_string(i)).c_str());
  EXPECT_EQ(FirstReferenceThisRun("C:\\S\\a.dll"), 0);  // a second option listing it counts nothing
  EXPECT_EQ(FirstReferenceThisRun("C:\\S\\A.DLL"), 1);  // another path text is another value
  ForgetReferencesThisRun();
  EXPECT_EQ(FirstReferenceThisRun("C:\\S\\a.dll"), 1);
  ForgetReferencesThisRun();
}

// The options page's figures: drives with more than 2 TiB free are shown whole, not through
// a signed 32-bit value; a requirement is rounded up and never shown below 0.
TEST(KilobyteFigures, FreeSpaceBeyondTwoTebibytesAndRequirementsRoundedUp) {
  const uint64_t tib = 1ull << 40;
  char text[32];
  FormatKilobytes(text, FreeKilobytes(3 * tib));
  EXPECT_STREQ(text, "3221225472KB");
  FormatKilobytes(text, FreeKilobytes(5 * tib + 1023));
  EXPECT_STREQ(text, "5368709120KB");
  EXPECT_EQ(FreeKilobytes(1023), 0);
  for (auto [bytes, kb] : {std::pair<int64_t, int64_t>{1, 1}, {1024, 1}, {1025, 2}, {0, 0}, {-5000, 0},
                           {INT64_MAX, INT64_MAX / 1024 + 1}, {300000 + 2048, 295}})
    EXPECT_EQ(RequiredKilobytes(bytes), kb) << bytes;
  FormatKilobytes(text, RequiredKilobytes(1000000000000000LL));
  EXPECT_STREQ(text, "976562500000KB");
}

}  // namespace
