// The portable parts of the install services: the drive table's sums and check, the progress
// bar's arithmetic, the setup log's names and lines, and stored shared-file counts.
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
#include "script/reader.h"
#include "script/records.h"
#include "startup/arena.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

std::string ReadSourceFile(const std::string& relative) {
  std::string here = __FILE__;
  std::string root = here.substr(0, here.rfind("/tests/host/"));
  std::ifstream in(root + "/" + relative, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

constexpr int C = 2, D = 3, P = 15, S = 18;

// ---------------------------------------------------------------------------------------------
// Drive table

TEST(FreeSpaceBytes, ProductIsTakenInFull64Bits) {
  // 4 KB clusters, 2^20 + 1 of them free: right above 4 GB, where a 32-bit product gives 4096.
  EXPECT_EQ(FreeSpaceBytes(512, 8, 1048577), 4294971392ull);
  EXPECT_EQ(FreeSpaceBytes(4096, 1, 0xFFFFFFFFu), 0xFFFFFFFFull * 4096);
  // Bytes per cluster themselves above 32 bits still multiply out.
  EXPECT_EQ(FreeSpaceBytes(0x10000, 0x10000, 2), 0x200000000ull);
  EXPECT_EQ(FreeSpaceBytes(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu), UINT64_MAX);
  EXPECT_EQ(FreeSpaceBytes(512, 8, 0), 0u);
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

TEST(DriveIndexOfPath, OnlyALetterAndAColonNameADrive) {
  EXPECT_EQ(DriveIndexOfPath("C:\\Programme\\x.exe"), C);
  EXPECT_EQ(DriveIndexOfPath("c:\\x"), C);
  EXPECT_EQ(DriveIndexOfPath("z:"), 25);
  EXPECT_EQ(DriveIndexOfPath("a:x"), 0);
  // An empty install folder leaves "prog.exe": no drive P.
  EXPECT_EQ(DriveIndexOfPath("prog.exe"), -1);
  EXPECT_EQ(DriveIndexOfPath("Prog\\prog.exe"), -1);
  EXPECT_EQ(DriveIndexOfPath("\\\\server\\share\\x"), -1);
  EXPECT_EQ(DriveIndexOfPath("1:\\x"), -1);
  EXPECT_EQ(DriveIndexOfPath("\xC4:\\x"), -1);
  EXPECT_EQ(DriveIndexOfPath(""), -1);
  EXPECT_EQ(DriveIndexOfPath(nullptr), -1);
}

class RequiredSpaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HostResetPlatform();
    ASSERT_EQ(ArenaCreate(kArenaBlockBytes), 1);
    std::string script = ReadSourceFile("tests/fixtures/drives_setup.lst");
    ASSERT_FALSE(script.empty());
    HostLoadScript(script);
    OptionRoot = ReadOptionList("Section", nullptr, 0);
    ASSERT_NE(OptionRoot, nullptr);
    CopyText(InstallDir, "C:\\Programme\\Test");
    CopyText(SystemDir, "S:\\Windows\\System");
    CopyText(SetupDir, "D:\\");
    for (DriveInfo& d : DriveTable) d = DriveInfo{};
  }
  void TearDown() override {
    ArenaRelease();
    OptionRoot = nullptr;
  }
  FileEntry* Entry(Option* option, int i) { return &option->FileEntries[i]; }
  int64_t Sum() {
    int64_t sum = 0;
    for (const DriveInfo& d : DriveTable) sum += d.RequiredBytes;
    return sum;
  }
};

TEST_F(RequiredSpaceTest, SelectedOptionsAndSubOptionsAddUpPerDriveBeyond4GB) {
  DriveTable[P].RequiredBytes = 12345;  // stale figures are cleared first
  ComputeRequiredSpace();
  // prog.exe 1000, daten1 2000000000, gross1+2 2 x 2147483647, hilfe.hlp 300.
  EXPECT_EQ(DriveTable[C].RequiredBytes, 1000 + 2000000000ll + 2 * 2147483647ll + 300);
  EXPECT_GT(DriveTable[C].RequiredBytes, 4294967296ll);
  // Both system classes resolve to the system folder: sys.dll 200, ctl3d.dll 50.
  EXPECT_EQ(DriveTable[S].RequiredBytes, 250);
  // Nothing else: not the medium's file (NoCopy), not the unselected options with their
  // sub-options and companions, not the option with only the pressed mark.
  EXPECT_EQ(Sum(), DriveTable[C].RequiredBytes + 250);
  EXPECT_EQ(DriveTable[D].RequiredBytes, 0);
}

TEST_F(RequiredSpaceTest, SelectionChangesAreSummedAfresh) {
  Option* second = OptionRoot->NextSibling;
  second->Install = 1;  // voll.exe 999; its companion still counts nothing
  OptionRoot->Install = 0;
  ComputeRequiredSpace();
  EXPECT_EQ(DriveTable[C].RequiredBytes, 999 + 300);
  EXPECT_EQ(DriveTable[S].RequiredBytes, 50);
  // A sub-option below an unselected option is not counted, whatever its own state; a
  // selected one below a selected option is.
  OptionRoot->Install = 1;
  Option* third = OptionRoot->FirstChild->NextSibling->NextSibling;
  ASSERT_STREQ(third->Description, "Nicht gew\xE4hlt");
  third->Install = 1;
  ComputeRequiredSpace();
  EXPECT_EQ(DriveTable[C].RequiredBytes, 1000 + 2000000000ll + 2 * 2147483647ll + 777 + 888 + 999 + 300);
}

TEST_F(RequiredSpaceTest, KeptLargerCopiesMakeATotalNegative) {
  Entry(OptionRoot, 1)->PresentSize = 5000;           // sys.dll: 200 - 5000
  Entry(OptionRoot->NextSibling->NextSibling->NextSibling, 1)->PresentSize = 50;  // ctl3d.dll: kept as is
  ComputeRequiredSpace();
  EXPECT_EQ(DriveTable[S].RequiredBytes, -4800);
  // A drive that needs less than nothing is never short, even with no free space at all.
  DriveTable[C].FreeBytes = UINT64_MAX;
  DriveTable[S].FreeBytes = 0;
  EXPECT_EQ(FirstShortDrive(), -1);
}

TEST_F(RequiredSpaceTest, NetworkAndDrivelessPathsAreChargedNowhere) {
  CopyText(InstallDir, "\\\\server\\share\\Test");
  CopyText(SystemDir, "\\\\server\\windows\\system");
  ComputeRequiredSpace();
  EXPECT_EQ(Sum(), 0);
  // An empty install folder: "Prog\prog.exe" and "hilfe.hlp" name no drive (not P, not H).
  InstallDir[0] = 0;
  CopyText(SystemDir, "c:\\windows\\system");
  ComputeRequiredSpace();
  EXPECT_EQ(DriveTable[P].RequiredBytes, 0);
  EXPECT_EQ(DriveTable['H' - 'A'].RequiredBytes, 0);
  EXPECT_EQ(DriveTable[C].RequiredBytes, 250);  // only the system files, lower-case letter
  EXPECT_EQ(Sum(), 250);
}

TEST_F(RequiredSpaceTest, ShortDrivesComparedInFull64Bits) {
  ComputeRequiredSpace();
  const int64_t need = DriveTable[C].RequiredBytes;
  DriveTable[S].FreeBytes = 250;  // exactly enough
  DriveTable[C].FreeBytes = static_cast<uint64_t>(need);
  EXPECT_EQ(FirstShortDrive(), -1);
  DriveTable[C].FreeBytes = static_cast<uint64_t>(need) - 1;
  EXPECT_EQ(FirstShortDrive(), C);
  // Right above 4 GB free against about 6 GB needed: short, though the low 32 bits of the
  // free space (4096) exceed those of a 32-bit requirement cut from it.
  DriveTable[C].FreeBytes = 4294971392ull;
  EXPECT_EQ(FirstShortDrive(), C);
  // More than 4 GB beyond the need: room enough.
  DriveTable[C].FreeBytes = static_cast<uint64_t>(need) + 0x100000000ull;
  EXPECT_EQ(FirstShortDrive(), -1);
  // A drive that is not usable has nothing free: any positive need there is short.
  DriveTable[C].FreeBytes = UINT64_MAX;
  DriveTable[S].FreeBytes = 0;
  EXPECT_EQ(FirstShortDrive(), S);
}

// ---------------------------------------------------------------------------------------------
// Progress bar arithmetic

TEST(ProgressPercent, RoundsToTheNearestLikeMulDiv) {
  EXPECT_EQ(ProgressPercent(50, 100), 50);
  EXPECT_EQ(ProgressPercent(1, 3), 33);
  EXPECT_EQ(ProgressPercent(2, 3), 67);
  EXPECT_EQ(ProgressPercent(1, 200), 1);  // a half rounds away from zero
  EXPECT_EQ(ProgressPercent(0, 12345), 0);
  EXPECT_EQ(ProgressPercent(300, 100), 300);
  EXPECT_EQ(ProgressPercent(-50, 100), -50);
  EXPECT_EQ(ProgressPercent(1, 0), 0);
}

TEST(ProgressPercent, FiguresAbove4GBStayExact) {
  EXPECT_EQ(ProgressPercent(6442450944ll, 8589934592ll), 75);  // 1.5 of 2 x 4 GB
  EXPECT_EQ(ProgressPercent(0x100000000ll, 0x100000000ll), 100);
  EXPECT_EQ(ProgressPercent(INT64_MAX, INT64_MAX), 100);
  EXPECT_EQ(ProgressPercent(INT64_MAX / 2, INT64_MAX), 50);
  EXPECT_EQ(ProgressPercent(INT64_MAX / 3, INT64_MAX), 33);
  EXPECT_EQ(ProgressPercent(INT64_MAX, 1), INT64_MAX);  // saturates, never wraps negative
  EXPECT_EQ(ProgressPercent(INT64_MIN, 1), -INT64_MAX);
  EXPECT_EQ(ProgressPercent(5000000000ll, 100), 5000000000ll);
}

TEST(ProgressFillWidth, IsClampedToTheBar) {
  EXPECT_EQ(ProgressFillWidth(50, 216), 108);
  EXPECT_EQ(ProgressFillWidth(33, 216), 71);
  EXPECT_EQ(ProgressFillWidth(100, 216), 216);
  EXPECT_EQ(ProgressFillWidth(300, 216), 216);
  EXPECT_EQ(ProgressFillWidth(INT64_MAX, 216), 216);
  EXPECT_EQ(ProgressFillWidth(-5, 216), 0);
  EXPECT_EQ(ProgressFillWidth(0, 216), 0);
  EXPECT_EQ(ProgressFillWidth(50, 0), 0);
  // A real file far larger than the script said: the fill stays full, never negative.
  EXPECT_EQ(ProgressFillWidth(ProgressPercent(5000000000ll, 100), 216), 216);
}

// ---------------------------------------------------------------------------------------------
// Setup log names and lines

// A fast disk reaches the largest block within a few blocks; a slow one falls back to the
// first size, never below it, and the size never leaves the buffer.
TEST(NextBlockBytes, GrowsWhileQuickAndShrinksWhenSlowWithinTheBuffer) {
  uint32_t block = kFirstBlockBytes;
  int steps = 0;
  while (block < kLargestBlockBytes && steps < 100) {
    block = NextBlockBytes(block, 100);
    ++steps;
  }
  EXPECT_EQ(block, kLargestBlockBytes);
  EXPECT_EQ(steps, 7);  // 8 KB doubled seven times is 1 MB
  EXPECT_EQ(NextBlockBytes(kLargestBlockBytes, 0), kLargestBlockBytes);

  while (block > kFirstBlockBytes && steps < 200) {
    block = NextBlockBytes(block, kSlowBlockUs + 1);
    ++steps;
  }
  EXPECT_EQ(block, kFirstBlockBytes);
  EXPECT_EQ(NextBlockBytes(kFirstBlockBytes, 10000000), kFirstBlockBytes);  // a floppy stays at 8 KB

  // Between quick and slow the size holds; so it does when the clock went backwards.
  EXPECT_EQ(NextBlockBytes(65536, kQuickBlockUs), 65536u);
  EXPECT_EQ(NextBlockBytes(65536, kSlowBlockUs), 65536u);
  EXPECT_EQ(NextBlockBytes(65536, -5), 65536u);
  // Out-of-range sizes are brought back into the buffer.
  EXPECT_EQ(NextBlockBytes(0, 100), kFirstBlockBytes);
  EXPECT_EQ(NextBlockBytes(kLargestBlockBytes * 4, 100), kLargestBlockBytes);
}

TEST(BuildLogName, AddsOneBackslashAndNeverCutsTheNumber) {
  char name[kLogNameChars];
  EXPECT_EQ(BuildLogName(name, sizeof name, "C:\\Programme\\Test", 0), 1);
  EXPECT_STREQ(name, "C:\\Programme\\Test\\setup0.log");
  EXPECT_EQ(BuildLogName(name, sizeof name, "C:\\", 12), 1);
  EXPECT_STREQ(name, "C:\\setup12.log");
  EXPECT_EQ(BuildLogName(name, sizeof name, "", 3), 1);
  EXPECT_STREQ(name, "setup3.log");
  // 249 + "\" + "setup0.log" is 260 characters: one too many for the buffer.
  std::string folder(249, 'x');
  EXPECT_EQ(BuildLogName(name, sizeof name, folder.c_str(), 0), 0);
  EXPECT_EQ(BuildLogName(name, sizeof name, folder.substr(1).c_str(), 0), 1);
  EXPECT_EQ(strlen(name), 259u);
  EXPECT_EQ(BuildLogName(name, sizeof name, folder.substr(1).c_str(), 10), 0);
}

class LogLinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HostResetPlatform();
    SetupLogHandle = &HostLogBytes;
    LogEnabled = 1;
  }
  void TearDown() override { SetupLogHandle = nullptr; }
};

TEST_F(LogLinesTest, EveryKindHasItsPrefix) {
  const char* expected[] = {
      "CreatedDir:", "Copied:", "UpToDate:", "Register:", "RegisterFileType:", "Link:", "DLLSelfRegister:",
      "Error: Fehler beim Registrieren von ", "Error: LoadLibrary() failed, ", "Error: Creating Group ",
      "Error: Creating Link ", "Error: Creating RegistryKey ", "Error: Creating FileType ",
      "Error: Creating IniSetting "};
  ASSERT_EQ(std::size(expected), static_cast<size_t>(kLogLineKinds));
  std::string all;
  for (int k = 0; k < kLogLineKinds; ++k) {
    EXPECT_STREQ(LogLinePrefix(static_cast<LogLineKind>(k)), expected[k]);
    WriteLogLine(static_cast<LogLineKind>(k), "X");
    all += std::string(expected[k]) + "X\r\n";
  }
  EXPECT_EQ(HostLogBytes, all);
  EXPECT_EQ(LogLinePrefix(kLogLineKinds), nullptr);
  EXPECT_EQ(LogLinePrefix(static_cast<LogLineKind>(-1)), nullptr);
}

TEST_F(LogLinesTest, FieldsAreJoinedByCommasAndEmptyOnesKept) {
  WriteLogLine(kLogLink, "C:\\Prog\\start.exe", "C:\\Gruppe\\Start.lnk");
  WriteLogLine(kLogLink, "C:\\Prog\\start.exe");
  WriteLogLine(kLogCopied, "C:\\Prog\\Gr\xF6\xDF" "e.dat");
  WriteRegisterLine(kRootLocalMachine, "Software\\Firma", "", "", "");
  WriteRegisterLine(kRootCurrentUser, "Software\\Firma", "Standard", "Pfad", "C:\\Prog");
  WriteRegisterLine(kRootClassesRoot, ".xyz", "xyzfile", nullptr, nullptr);
  EXPECT_EQ(HostLogBytes,
            "Link:C:\\Prog\\start.exe,C:\\Gruppe\\Start.lnk\r\n"
            "Link:C:\\Prog\\start.exe\r\n"
            "Copied:C:\\Prog\\Gr\xF6\xDF" "e.dat\r\n"
            "Register:HKEY_LOCAL_MACHINE,Software\\Firma,,,\r\n"
            "Register:Software\\Firma,Standard,Pfad,C:\\Prog\r\n"
            "Register:HKEY_CLASSES_ROOT,.xyz,xyzfile,,\r\n");
}

TEST_F(LogLinesTest, NothingIsWrittenWhileDisabledOrWithoutALog) {
  LogEnabled = 0;
  WriteLogLine(kLogCopied, "a");
  WriteRegisterLine(kRootLocalMachine, "k", "d", "n", "v");
  LogEnabled = 1;
  SetupLogHandle = nullptr;
  WriteLogLine(kLogCopied, "b");
  WriteLog("c");
  SetupLogHandle = &HostLogBytes;
  WriteLog(nullptr);
  EXPECT_EQ(HostLogBytes, "");
  WriteLog("d");
  EXPECT_EQ(HostLogBytes, "d");
}

// ---------------------------------------------------------------------------------------------
// Stored shared-file counts

uint64_t Decode(uint32_t type, const std::string& bytes, int* ok = nullptr) {
  uint64_t v = 12345;
  int r = DecodeStoredCount(type, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &v);
  if (ok) *ok = r;
  return v;
}

TEST(StoredCount, NumbersAreReadInTheirOwnType) {
  int ok;
  EXPECT_EQ(Decode(kRegDword, std::string("\x03\0\0\0", 4), &ok), 3u);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(Decode(kRegDword, std::string("\xFF\xFF\xFF\xFF", 4)), 0xFFFFFFFFu);
  EXPECT_EQ(Decode(kRegSz, std::string("3\0", 2), &ok), 3u);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(Decode(kRegSz, "12"), 12u);  // without its terminating zero
  EXPECT_EQ(Decode(kRegExpandSz, std::string(" 7x\0", 4)), 7u);
  EXPECT_EQ(Decode(kRegSz, "99999999999999999999999"), UINT64_MAX);
  EXPECT_EQ(Decode(kRegBinary, std::string("\x03\0\0\0", 4)), 3u);
  EXPECT_EQ(Decode(kRegBinary, std::string("\x02\x01", 2)), 0x102u);
  EXPECT_EQ(Decode(kRegQword, std::string("\0\0\0\0\x01\0\0\0", 8)), 0x100000000u);
  EXPECT_EQ(Decode(kRegDwordBigEndian, std::string("\0\0\x01\x02", 4)), 0x102u);
}

TEST(StoredCount, OtherDataIsNoNumber) {
  int ok;
  Decode(kRegSz, std::string("abc\0", 4), &ok);
  EXPECT_EQ(ok, 0);
  Decode(kRegSz, std::string("\0", 1), &ok);
  EXPECT_EQ(ok, 0);
  Decode(kRegSz, "-3", &ok);
  EXPECT_EQ(ok, 0);
  Decode(kRegBinary, "", &ok);
  EXPECT_EQ(ok, 0);
  Decode(kRegBinary, std::string(9, '\1'), &ok);
  EXPECT_EQ(ok, 0);
  Decode(7 /* REG_MULTI_SZ */, std::string("3\0\0", 3), &ok);
  EXPECT_EQ(ok, 0);
}

std::string Encode(uint32_t type, uint64_t count, size_t original = 4) {
  unsigned char out[32];
  size_t n = EncodeStoredCount(type, count, original, out, sizeof out);
  return std::string(reinterpret_cast<char*>(out), n);
}

TEST(StoredCount, CountsAreWrittenBackInTheirOwnType) {
  EXPECT_EQ(Encode(kRegDword, 4), std::string("\x04\0\0\0", 4));
  EXPECT_EQ(Encode(kRegSz, 4), std::string("4\0", 2));
  EXPECT_EQ(Encode(kRegExpandSz, 4294967295u), std::string("4294967295\0", 11));
  EXPECT_EQ(Encode(kRegBinary, 4, 4), std::string("\x04\0\0\0", 4));
  EXPECT_EQ(Encode(kRegBinary, 4, 1), std::string("\x04", 1));            // keeps its width
  EXPECT_EQ(Encode(kRegBinary, 0x100, 1), std::string("\0\x01\0\0", 4));   // or grows to 4 bytes
  EXPECT_EQ(Encode(kRegQword, 5, 8), std::string("\x05\0\0\0\0\0\0\0", 8));
  EXPECT_EQ(Encode(kRegDwordBigEndian, 0x102), std::string("\0\0\x01\x02", 4));
  EXPECT_EQ(Encode(kRegDword, 0x100000000ull), "");  // a DWORD cannot hold it
  EXPECT_EQ(Encode(7, 4), "");
  // Every type reads back what it wrote.
  for (uint32_t type : {kRegDword, kRegSz, kRegBinary, kRegQword, kRegDwordBigEndian}) {
    std::string bytes = Encode(type, 4000000000u);
    EXPECT_EQ(Decode(type, bytes), 4000000000u) << type;
  }
}

}  // namespace
