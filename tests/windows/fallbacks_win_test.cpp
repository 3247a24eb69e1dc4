// The ways of Windows 95 and NT 4.0: every function looked up at run time, taken away through
// OldestWindowsOnly, must leave the same results behind as where the system has it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "install/filesystem.h"
#include "startup/compat.h"
#include "startup/elevation.h"
#include "startup/state.h"
#include "system/program_start.h"
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

// The lines the start probe wrote: parent process, current folder, arguments after the first.
std::vector<std::string> ProbeRecord(const std::string& path) {
  std::string text;
  for (int i = 0; i < 200 && !ui::ReadFile(path, &text); ++i) Sleep(50);
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

TEST_P(Fallbacks, StartProgramHasTheShellStartItWhereTheSetupRunsElevated) {
  std::string folder = Fresh("start");
  std::string probe = std::string(SETUP_FIXTURES_DIR) + "\\start_probe";
  // Wine runs every program as an elevated administrator with a split token, as Windows runs
  // an elevated setup: the desktop's shell starts the program. On the oldest Windows the setup
  // starts it itself. Quoted or not, the program gets the same arguments and folder.
  const std::string lines[] = {"\"" + probe + ".exe\" \"" + folder + "\\eins.txt\" zwei \"drei vier\"",
                               probe + " " + folder + "\\zwei.txt zwei \"drei vier\""};
  char saved[MAX_PATH];
  GetCurrentDirectoryA(sizeof saved, saved);
  for (const std::string& line : lines) {
    SetCurrentDirectoryA(folder.c_str());
    EXPECT_TRUE(StartProgram(line.c_str())) << line;
    SetCurrentDirectoryA(saved);
  }
  for (const char* name : {"eins.txt", "zwei.txt"}) {
    std::vector<std::string> record = ProbeRecord(folder + "\\" + name);
    ASSERT_EQ(record.size(), 3u) << name;
    EXPECT_EQ(record[0] == std::to_string(GetCurrentProcessId()), GetParam() == 1) << name;
    EXPECT_EQ(record[1], folder) << name;
    EXPECT_EQ(record[2], "zwei|drei vier") << name;
  }
}

INSTANTIATE_TEST_SUITE_P(CurrentAndOldestWindows, Fallbacks, testing::Values(0, 1));

TEST(Elevation, TheFirstCopyWaitsAndEndsWithTheElevatedCopysExitCode) {
  char cmd[MAX_PATH];
  GetSystemDirectoryA(cmd, sizeof cmd);
  lstrcatA(cmd, "\\cmd.exe");
  unsigned long code = 0;
  EXPECT_TRUE(RunAsAdministrator(cmd, "/c exit 7", &code));
  EXPECT_EQ(code, 7u);
  EXPECT_FALSE(RunAsAdministrator("C:\\fehlt\\setup.exe", "", &code));
  // Windows before Vista has no elevation: the setup never tries.
  OldestWindowsOnly = 1;
  EXPECT_FALSE(CanAskForAdministrator());
  OldestWindowsOnly = 0;
}

}  // namespace
