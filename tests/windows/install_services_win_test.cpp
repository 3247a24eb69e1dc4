// The install services on the real system: drive types and free space with the warning of a
// short drive, the setup log's sharing and bytes, and shared counts in the registry.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "install/drives.h"
#include "install/filesystem.h"
#include "install/setup_log.h"
#include "install/shared_dlls.h"
#include "install_driver.h"
#include "install_support.h"
#include "script/option_tree.h"
#include "script/reader.h"
#include "startup/arena.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

constexpr int C = 2, D = 3, Q = 16;

TEST(InstallServices, DrivesAndTheWarningOfAShortOne) {
  ASSERT_EQ(GetDriveTypeA("d:\\"), static_cast<UINT>(DRIVE_CDROM));  // the test prefix's CD-ROM drive
  ASSERT_EQ(GetLogicalDrives() & (1u << Q), 0u) << "q: must not exist for this test";
  ASSERT_EQ(ArenaCreate(kArenaBlockBytes), 1);
  CopyText(ScriptPath, SETUP_SOURCE_ROOT "\\tests\\fixtures\\drives_setup.lst");
  OptionRoot = ReadOptionList("Section", nullptr, 0);
  CopyText(InstallDir, "C:\\Programme\\Test");
  CopyText(SystemDir, "D:\\Windows\\System");  // system files onto the CD-ROM drive
  for (DriveInfo& d : DriveTable) d = DriveInfo{1234, 99, 1};
  RefreshDrives();
  EXPECT_EQ(DriveTable[C].Usable, 1);
  EXPECT_EQ(DriveTable[D].Usable + DriveTable[Q].Usable, 0);
  EXPECT_EQ(DriveTable[D].FreeBytes, 0u);  // a CD-ROM has free space, but it does not count
  ULARGE_INTEGER available, total, freeBytes;
  ASSERT_TRUE(GetDiskFreeSpaceExA("c:\\", &available, &total, &freeBytes));
  EXPECT_NEAR(static_cast<double>(DriveTable[C].FreeBytes), static_cast<double>(freeBytes.QuadPart), 64 << 20);
  ComputeRequiredSpace();
  // The files, and the record of the eight of them on the install folder's drive.
  const int64_t onC = 1000 + 2000000000LL + 2 * 2147483647LL + 555 + 300 + 8 * kUndoNoteBytes;
  EXPECT_EQ(DriveTable[C].RequiredBytes, onC);
  EXPECT_EQ(DriveTable[D].RequiredBytes, 250);
  DriveTable[C].FreeBytes = 1;  // stale figures the check replaces
  DriveTable[Q].RequiredBytes = 999;
  installtest::TestWindow page(300, 200);
  {
    installtest::DialogAnswerer answerer({{"Warnung", IDOK}}, nullptr, [](HWND) {
      ui::SaveScreenshot(ui::JoinPath(ui::TestRoot(), "free_space_warning.png"));
    });
    EXPECT_EQ(CheckFreeSpace(page.Handle()), 0);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].Owner, page.Handle());
    EXPECT_EQ(answerer.Seen()[0].Texts.at(65535), kFreeSpaceWarning);
    EXPECT_EQ(answerer.Seen()[0].Buttons, std::vector<int>{IDOK});
  }
  EXPECT_GT(DriveTable[C].FreeBytes, 1u);
  EXPECT_EQ(DriveTable[Q].RequiredBytes, 0);
  // Kept copies as large as the new files: nothing needed on D:, and no box.
  OptionRoot->FileEntries[1].PresentSize = 200;
  OptionRoot->NextSibling->NextSibling->NextSibling->FileEntries[1].PresentSize = 51;
  ComputeRequiredSpace();
  DriveTable[C].FreeBytes = static_cast<uint64_t>(DriveTable[C].RequiredBytes);
  EXPECT_EQ(CheckFreeSpace(page.Handle()), 1);
  ArenaRelease();
  OptionRoot = nullptr;
  ScriptPath[0] = 0;
}

class SetupLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = ui::FreshFolder("setuplog");
    CopyText(InstallDir, folder_.c_str());
    LogEnabled = 1;
  }
  void TearDown() override {
    CloseSetupLog();
    InstallDir[0] = 0;
  }
  std::string Path(const char* name) { return ui::JoinPath(folder_, name); }
  std::string folder_;
  char name_[kLogNameChars];
};

TEST_F(SetupLogTest, OthersCannotReadItWhileItIsOpen) {
  ASSERT_EQ(OpenSetupLog(name_), 1);
  EXPECT_TRUE(CreateDirectoryTree((folder_ + "\\Eins\\Zwei").c_str()));
  HANDLE other = CreateFileA(name_, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(other, INVALID_HANDLE_VALUE);
  CloseSetupLog();
  std::string bytes;
  ASSERT_TRUE(ui::ReadFile(name_, &bytes));
  EXPECT_EQ(bytes, "CreatedDir:" + folder_ + "\\Eins\\Zwei\r\nCreatedDir:" + folder_ + "\\Eins\r\n");
}

const char kKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char kPath[] = "C:\\Programme\\Test\\teilen.dll";

struct Stored {
  DWORD Type = 0;
  std::string Bytes;
};

Stored Count(const char* name = kPath) {
  Stored v;
  HKEY key;
  char data[512];
  DWORD size = sizeof data;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return v;
  if (RegQueryValueExA(key, name, nullptr, &v.Type, reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS)
    v.Bytes.assign(data, size);
  RegCloseKey(key);
  return v;
}

void Store(DWORD type, const std::string& bytes, const char* name = kPath) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
  if (type) RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()), bytes.size());
  else RegDeleteValueA(key, name);
  RegCloseKey(key);
}

std::string Dword(DWORD v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

TEST_F(SetupLogTest, SharedCountsRiseOncePerRunInTheirOwnTypeAndLeaveNoLine) {
  ASSERT_EQ(OpenSetupLog(name_), 1);
  struct Case {
    DWORD Type;
    std::string Before, After;
  } cases[] = {
      {0, "", Dword(1)},                                          // no count yet
      {REG_DWORD, Dword(3), Dword(4)},
      {REG_SZ, std::string("3\0", 2), std::string("4\0", 2)},
      {REG_SZ, std::string(100, '0') + "7" + '\0', std::string("8\0", 2)},  // long, and still a number
      {REG_BINARY, std::string("\xFF", 1), Dword(256)},
      {REG_DWORD, Dword(0xFFFFFFFF), Dword(0xFFFFFFFF)},          // never wraps to 0
      {REG_SZ, std::string("7 (Programm X)\0", 15), std::string("7 (Programm X)\0", 15)},  // another's note
  };
  for (const Case& c : cases) {
    ForgetReferencesThisRun();
    Store(c.Type, c.Before);
    AddSharedDllReference(kPath);
    AddSharedDllReference(kPath);  // the same file listed by a second option
    Stored after = Count();
    EXPECT_EQ(after.Bytes, c.After) << c.Type << " " << c.Before;
    EXPECT_EQ(after.Type, c.Type ? c.Type : static_cast<DWORD>(REG_DWORD));
  }
  Store(0, "");
  uint32_t value = 0;
  uint32_t standard = 4000000000u;
  EXPECT_EQ(WriteRegistryDword(HKEY_CURRENT_USER, "Software\\SetupTests\\Dword", &standard, "Anzahl", 42), 1);
  EXPECT_EQ(ReadRegistryDword(HKEY_CURRENT_USER, "Software\\SetupTests\\Dword", "", &value), 1);
  EXPECT_EQ(value, 4000000000u);
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\SetupTests\\Dword");
  CloseSetupLog();
  std::string log;
  ui::ReadFile(name_, &log);
  EXPECT_EQ(log, "Register:Software\\SetupTests\\Dword,4000000000,Anzahl,42\r\n");  // none for the counts
  ForgetReferencesThisRun();
}

}  // namespace
