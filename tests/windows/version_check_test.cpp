// The version test against real version resources of the fixture libraries.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "install/pe_version.h"
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

// The version parser of the publisher's tool, over each file's bytes, against the version
// library: every program and library of the system folder (64-bit), the fixtures, and the
// programs of the 32-bit build.
TEST(ReadPeFileVersion, AgreesWithTheVersionLibrary) {
  std::vector<std::string> files;
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  for (std::string folder : {std::string(system), std::string(SETUP_FIXTURES_DIR)})
    for (const char* pattern : {"\\*.dll", "\\*.exe"}) {
      WIN32_FIND_DATAA found;
      HANDLE find = FindFirstFileA((folder + pattern).c_str(), &found);
      for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &found))
        files.push_back(folder + "\\" + found.cFileName);
      if (find != INVALID_HANDLE_VALUE) FindClose(find);
    }
  std::string build32 = SETUP_EXE_PATH;
  build32 = build32.substr(0, build32.rfind("\\win64\\")) + "\\win32\\";
  files.push_back(build32 + "setup.exe");
  files.push_back(build32 + "setuplst.exe");

  int withVersion = 0, pe32 = 0;
  for (const std::string& file : files) {
    std::string bytes;
    ASSERT_TRUE(ui::ReadFile(file, &bytes)) << file;
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
    std::vector<char> info(size + 1);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    bool platform = size && GetFileVersionInfoA(file.c_str(), 0, size, info.data()) &&
                    VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize) && fixed &&
                    fixedSize >= sizeof(VS_FIXEDFILEINFO);
    uint32_t ms = 0, ls = 0;
    int parsed = ReadPeFileVersion(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &ms, &ls);
    EXPECT_EQ(parsed, platform ? 1 : 0) << file;
    if (!parsed || !platform) continue;
    EXPECT_EQ(ms, fixed->dwFileVersionMS) << file;
    EXPECT_EQ(ls, fixed->dwFileVersionLS) << file;
    ++withVersion;
    uint32_t pe = bytes.size() > 0x40 ? *reinterpret_cast<const uint32_t*>(bytes.data() + 0x3C) : 0;
    pe32 += pe + 26 <= bytes.size() && bytes[pe + 24] == 0x0B && bytes[pe + 25] == 0x01;
  }
  printf("%zu files compared with the version library, %d with a version, %d of them 32-bit\n", files.size(),
         withVersion, pe32);
  EXPECT_GT(withVersion, 100);
  EXPECT_EQ(pe32, 2);
}

}  // namespace
