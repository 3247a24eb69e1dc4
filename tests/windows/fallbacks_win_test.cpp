// The ways of Windows 95 and NT 4.0: every function looked up at run time, taken away through
// OldestWindowsOnly, must leave the same results behind as where the system has it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "install/filesystem.h"
#include "startup/compat.h"
#include "startup/state.h"
#include "ui_driver.h"

namespace {

// Runs the test body once as on a current Windows and once as on the oldest.
class Fallbacks : public testing::TestWithParam<int> {
 protected:
  void SetUp() override { OldestWindowsOnly = GetParam(); }
  void TearDown() override { OldestWindowsOnly = 0; }
  std::string Fresh(const char* name) {
    return ui::FreshFolder(std::string(name) + (GetParam() ? "-old" : "-new"));
  }
};

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (found.cFileName[0] != '.') names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

std::string Contents(const std::string& path) {
  std::string bytes = "(missing)";
  ui::ReadFile(path, &bytes);
  return bytes;
}

TEST_P(Fallbacks, ReadFileDataTellsWhatTheSystemTells) {
  std::string folder = Fresh("filedata");
  std::string file = folder + "\\Daten äöü.bin";
  ASSERT_TRUE(ui::WriteFile(file, std::string(70000, 'x')));
  const std::string paths[] = {file, folder, "C:\\"};
  for (const std::string& path : paths) {
    WIN32_FILE_ATTRIBUTE_DATA want, got;
    ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &want)) << path;
    ASSERT_TRUE(ReadFileData(path.c_str(), &got)) << path;
    EXPECT_EQ(got.dwFileAttributes, want.dwFileAttributes) << path;
    EXPECT_EQ(got.nFileSizeLow, want.nFileSizeLow) << path;
    // A root's times come from no directory entry where the function is missing.
    if (path == "C:\\" && GetParam()) continue;
    EXPECT_EQ(CompareFileTime(&got.ftLastWriteTime, &want.ftLastWriteTime), 0) << path;
  }
  WIN32_FILE_ATTRIBUTE_DATA data;
  EXPECT_FALSE(ReadFileData((folder + "\\fehlt.bin").c_str(), &data));
  EXPECT_FALSE(ReadFileData((folder + "\\*.bin").c_str(), &data));
}

TEST_P(Fallbacks, PutFileInPlaceReplacesOrKeepsTheInstalledFile) {
  std::string folder = Fresh("place");
  std::string target = folder + "\\Programm.exe", copy = folder + "\\stp1234.tmp";
  // Replacing an installed file leaves the new file alone in the folder.
  ASSERT_TRUE(ui::WriteFile(target, "alt") && ui::WriteFile(copy, "neu"));
  EXPECT_TRUE(PutFileInPlace(copy.c_str(), target.c_str()));
  EXPECT_EQ(Contents(target), "neu");
  EXPECT_EQ(Names(folder), std::vector<std::string>{"Programm.exe"});
  // The new file cannot take the target's place (it has gone): the installed file stays.
  EXPECT_FALSE(PutFileInPlace(copy.c_str(), target.c_str()));
  EXPECT_EQ(Contents(target), "neu");
  EXPECT_EQ(Names(folder), std::vector<std::string>{"Programm.exe"});
  // A leftover of a run that ended between the two moves does not stand in the way.
  ASSERT_TRUE(ui::WriteFile(folder + "\\stp1234.old", "rest") && ui::WriteFile(copy, "neuer"));
  EXPECT_TRUE(PutFileInPlace(copy.c_str(), target.c_str()));
  EXPECT_EQ(Contents(target), "neuer");
  // Nothing installed yet.
  std::string fresh = folder + "\\Neu.dll";
  ASSERT_TRUE(ui::WriteFile(copy, "erst"));
  EXPECT_TRUE(PutFileInPlace(copy.c_str(), fresh.c_str()));
  EXPECT_EQ(Contents(fresh), "erst");
  EXPECT_FALSE(ui::FileExists(copy));
}

INSTANTIATE_TEST_SUITE_P(CurrentAndOldestWindows, Fallbacks, testing::Values(0, 1));

}  // namespace
