// The version test against real version resources of the fixture libraries.
#include <gtest/gtest.h>
#include <windows.h>

#include "install/version_check.h"
#include "install_support.h"
#include "script/records.h"
#include "startup/state.h"

namespace {

std::string Fixture(const char* name) { return std::string(SETUP_FIXTURES_DIR) + "\\" + name; }

constexpr uint32_t Ms(uint32_t a, uint32_t b) { return a << 16 | b; }
constexpr uint32_t Ls(uint32_t c, uint32_t d) { return c << 16 | d; }

int Current(const char* fixture, uint32_t ms, uint32_t ls) {
  return IsInstalledCurrent(Fixture(fixture).c_str(), ms, ls, 0);
}

TEST(IsInstalledCurrent, EqualOrHigherInstalledVersionsAreCurrent) {
  EXPECT_EQ(Current("ver1009.dll", Ms(1, 0), Ls(0, 9)), 1);     // equal
  EXPECT_EQ(Current("ver10010.dll", Ms(1, 0), Ls(0, 9)), 1);    // higher in the low half
  EXPECT_EQ(Current("ver2000.dll", Ms(1, 0), Ls(0, 10)), 1);    // higher in the high half
  EXPECT_EQ(Current("ver2000.dll", Ms(1, 99), Ls(65535, 65535)), 1);
  EXPECT_EQ(Current("ver471.dll", Ms(4, 71), 0), 1);            // 4.71 as a script states it
  EXPECT_EQ(Current("ver471.dll", 0, 0), 1);                    // an entry without a version
}

TEST(IsInstalledCurrent, LowerInstalledVersionsAreNot) {
  // 1.0.0.9 against 1.0.0.10: numbers per half, not text.
  EXPECT_EQ(Current("ver1009.dll", Ms(1, 0), Ls(0, 10)), 0);
  EXPECT_EQ(Current("ver10010.dll", Ms(2, 0), Ls(0, 0)), 0);
  EXPECT_EQ(Current("ver2000.dll", Ms(2, 0), Ls(0, 1)), 0);
  EXPECT_EQ(Current("ver471.dll", Ms(4, 72), 0), 0);
  EXPECT_EQ(Current("ver471.dll", Ms(4, 71), Ls(0, 1)), 0);
  // The halves are unsigned: a first number of 40000 is higher, not negative.
  EXPECT_EQ(Current("ver2000.dll", Ms(40000, 0), 0), 0);
}

TEST(IsInstalledCurrent, FilesWithoutAVersionAndMissingFilesAreNotCurrent) {
  EXPECT_EQ(Current("nover.dll", 0, 0), 0);
  std::string folder = ui::FreshFolder("version");
  std::string text = ui::JoinPath(folder, "liesmich.txt");
  ASSERT_TRUE(ui::WriteFile(text, "Kein Versionseintrag\r\n"));
  EXPECT_EQ(IsInstalledCurrent(text.c_str(), 0, 0, 0), 0);
  EXPECT_EQ(IsInstalledCurrent(ui::JoinPath(folder, "fehlt.dll").c_str(), 0, 0, 0), 0);
  EXPECT_EQ(IsInstalledCurrent(ui::JoinPath(folder, "gibtsnicht\\fehlt.dll").c_str(), 0, 0, 0), 0);
}

TEST(IsInstalledCurrent, AllModeMakesEveryFileNotCurrent) {
  AllFiles = 1;
  int higher = Current("ver2000.dll", 0, 0);
  int equal = Current("ver1009.dll", Ms(1, 0), Ls(0, 9));
  AllFiles = 0;
  EXPECT_EQ(higher, 0);
  EXPECT_EQ(equal, 0);
  EXPECT_EQ(Current("ver2000.dll", 0, 0), 1);
}

TEST(IsInstalledCurrent, FileEntryVersionAndDateAreHandedOn) {
  FileEntry entry = {};
  entry.VersionMS = Ms(1, 0);
  entry.VersionLS = Ls(0, 10);
  entry.FileTimeLow = 0x12345678;  // a date has no say in the result
  entry.FileTimeHigh = 0x01BC0000;
  EXPECT_EQ(IsEntryInstalledCurrent(Fixture("ver10010.dll").c_str(), &entry), 1);
  EXPECT_EQ(IsEntryInstalledCurrent(Fixture("ver1009.dll").c_str(), &entry), 0);
}

}  // namespace
