// The drive table on a real system: drive types and free space, the requirements of a real
// install script, and the warning of the free-space check.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

#include "install/drives.h"
#include "box_watcher.h"
#include "install_support.h"
#include "script/option_tree.h"
#include "script/reader.h"
#include "startup/arena.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

constexpr int C = 2, D = 3, Q = 16;

TEST(RefreshDrives, FixedDrivesAreUsableAndTheCdromIsNot) {
  // The test prefix maps d: to a folder registered as a CD-ROM drive.
  ASSERT_EQ(GetDriveTypeA("d:\\"), static_cast<UINT>(DRIVE_CDROM));
  ASSERT_EQ(GetDriveTypeA("c:\\"), static_cast<UINT>(DRIVE_FIXED));
  ASSERT_EQ(GetLogicalDrives() & (1u << Q), 0u) << "q: must not exist for this test";
  for (DriveInfo& d : DriveTable) d = DriveInfo{1234, 99, 1};
  RefreshDrives();

  EXPECT_EQ(DriveTable[C].Usable, 1);
  EXPECT_EQ(DriveTable[D].Usable, 0);
  EXPECT_EQ(DriveTable[D].FreeBytes, 0u);  // the CD-ROM has free space, but it does not count
  EXPECT_EQ(DriveTable[Q].Usable, 0);
  EXPECT_EQ(DriveTable[Q].FreeBytes, 0u);
  for (const DriveInfo& d : DriveTable) EXPECT_EQ(d.RequiredBytes, 0);

  // The free space is the full 64-bit figure: compare with the system's own 64-bit count.
  ULARGE_INTEGER available, total, freeBytes;
  ASSERT_TRUE(GetDiskFreeSpaceExA("c:\\", &available, &total, &freeBytes));
  uint64_t diff = DriveTable[C].FreeBytes > freeBytes.QuadPart ? DriveTable[C].FreeBytes - freeBytes.QuadPart
                                                                : freeBytes.QuadPart - DriveTable[C].FreeBytes;
  EXPECT_LT(diff, 64ull << 20) << DriveTable[C].FreeBytes << " vs " << freeBytes.QuadPart;
  printf("C: free %llu bytes (%.2f GB)%s\n", static_cast<unsigned long long>(DriveTable[C].FreeBytes),
         DriveTable[C].FreeBytes / 1073741824.0, DriveTable[C].FreeBytes > 0xFFFFFFFFull ? ", above 4 GB" : "");
}

class ScriptDrivesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ArenaCreate(kArenaBlockBytes), 1);
    // The script is read through the system's profile functions, as setup.exe reads it.
    CopyText(ScriptPath, SETUP_SOURCE_ROOT "\\tests\\fixtures\\drives_setup.lst");
    OptionRoot = ReadOptionList("Section", nullptr, 0);
    ASSERT_NE(OptionRoot, nullptr);
    ReadScriptString("Settings", "Destination", InstallDir, sizeof InstallDir);
    ASSERT_STREQ(InstallDir, "C:\\Programme\\Test");
    CopyText(SetupDir, "D:\\");
  }
  void TearDown() override {
    ArenaRelease();
    OptionRoot = nullptr;
    ScriptPath[0] = 0;
  }
};

TEST_F(ScriptDrivesTest, RequirementsAreSummedPerDriveLetter) {
  GetSystemDirectoryA(SystemDir, sizeof SystemDir);
  ASSERT_EQ(toupper(SystemDir[0]), 'C');
  RefreshDrives();
  ComputeRequiredSpace();
  // Selected options and sub-options on C: (install folder and system folder), above 4 GB;
  // the medium's file, unselected options, their sub-options and the companions count nothing.
  const int64_t expected = 1000 + 2000000000ll + 2 * 2147483647ll + 300 + 200 + 50;
  EXPECT_EQ(DriveTable[C].RequiredBytes, expected);
  int64_t elsewhere = 0;
  for (int i = 0; i < kDriveCount; ++i)
    if (i != C) elsewhere += DriveTable[i].RequiredBytes;
  EXPECT_EQ(elsewhere, 0);

  // A network install folder is charged to no drive; the system files stay on C:.
  CopyText(InstallDir, "\\\\server\\share\\Test");
  ComputeRequiredSpace();
  EXPECT_EQ(DriveTable[C].RequiredBytes, 250);
  // Copies that are kept and larger than the new files turn the total negative.
  OptionRoot->FileEntries[1].PresentSize = 1000;
  ComputeRequiredSpace();
  EXPECT_EQ(DriveTable[C].RequiredBytes, 250 - 1000);
}

TEST_F(ScriptDrivesTest, ShortDriveWarnsOwnedByThePageAndRefreshes) {
  // System files onto the CD-ROM drive: 250 bytes needed where nothing counts as free.
  CopyText(SystemDir, "D:\\Windows\\System");
  RefreshDrives();
  ComputeRequiredSpace();
  ASSERT_EQ(DriveTable[D].RequiredBytes, 250);
  const uint64_t freeC = DriveTable[C].FreeBytes;
  ASSERT_GT(freeC, 0u);
  // Stale figures that the check must replace.
  DriveTable[C].FreeBytes = 1;
  DriveTable[Q].RequiredBytes = 999;

  installtest::TestWindow page(300, 200);
  int result;
  std::vector<ui::SeenBox> boxes;
  {
    ui::BoxWatcher watcher(IDOK, ui::JoinPath(ui::TestRoot(), "free_space_warning.png"));
    result = CheckFreeSpace(page.Handle());
    boxes = watcher.Boxes();
  }
  EXPECT_EQ(result, 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Owner, page.Handle());
  EXPECT_EQ(boxes[0].Caption, "Warnung");
  EXPECT_EQ(boxes[0].Text,
            "Auf einem der Ziellaufwerke steht nicht genügend Speicherplatz zur Verfügung! Die hier errechneten "
            "Werte sind Absolutwerte und beziehen den durch Überschreiben bestehender Dateien freiwerdenden "
            "Speicherplatz mit ein! Das Setup-Programm kann erst dann fortgesetzt werden, wenn genügend freier "
            "Speicherplatz bereitsteht!");
  EXPECT_EQ(boxes[0].Buttons, std::vector<int>{IDOK});

  // Fresh figures after the box: free space read again, requirements summed again.
  EXPECT_GT(DriveTable[C].FreeBytes, freeC / 2);
  EXPECT_EQ(DriveTable[Q].RequiredBytes, 0);
  EXPECT_EQ(DriveTable[D].RequiredBytes, 250);
  EXPECT_EQ(DriveTable[C].RequiredBytes, 1000 + 2000000000ll + 2 * 2147483647ll + 300);
}

TEST_F(ScriptDrivesTest, EnoughRoomOrNothingNeededPassesWithoutABox) {
  CopyText(SystemDir, "D:\\Windows\\System");
  RefreshDrives();
  // Everything on the CD-ROM drive already installed and kept: nothing needed there.
  OptionRoot->FileEntries[1].PresentSize = OptionRoot->FileEntries[1].Size;
  Option* help = OptionRoot->NextSibling->NextSibling->NextSibling;
  ASSERT_EQ(help->FileCount, 2);
  help->FileEntries[1].PresentSize = help->FileEntries[1].Size + 1;
  ComputeRequiredSpace();
  ASSERT_LE(DriveTable[D].RequiredBytes, 0);
  DriveTable[C].FreeBytes = static_cast<uint64_t>(DriveTable[C].RequiredBytes);  // exactly enough
  installtest::TestWindow page(100, 100);
  ui::BoxWatcher watcher;
  EXPECT_EQ(CheckFreeSpace(page.Handle()), 1);
  Sleep(50);
  EXPECT_TRUE(watcher.Boxes().empty());
}

}  // namespace
