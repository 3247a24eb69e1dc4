// The ways of Windows 95 and NT 4.0: every function looked up at run time, taken away through
// OldestWindowsOnly, must leave the same results behind as where the system has it.
#include <gtest/gtest.h>
#include <windows.h>

#include <exdisp.h>
#include <sddl.h>
#include <shlobj.h>

#include <functional>
#include <string>
#include <vector>

#include "install/filesystem.h"
#include "install_driver.h"
#include "script/records.h"
#include "startup/compat.h"
#include "startup/elevation.h"
#include "startup/startup.h"
#include "startup/state.h"
#include "startup/text.h"
#include "system/program_start.h"
#include "system/registry.h"
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

// Waits (ten seconds at most) until the desktop's shell window answers as the setup asks it.
bool DesktopShellUp() {
  CoInitialize(nullptr);
  bool up = false;
  for (int i = 0; i < 200 && !up; ++i) {
    IShellWindows* windows = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                   reinterpret_cast<void**>(&windows)))) {
      VARIANT location = {}, root = {};
      V_VT(&location) = VT_I4;
      V_I4(&location) = CSIDL_DESKTOP;
      long window = 0;
      IDispatch* desktop = nullptr;
      up = windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &desktop) == S_OK;
      if (desktop) desktop->Release();
      windows->Release();
    }
    if (!up) Sleep(50);
  }
  CoUninitialize();
  return up;
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
  // The desktop's shell comes up with Wine's first programs: the test may come before it.
  if (GetParam() == 0) {
    ASSERT_TRUE(DesktopShellUp()) << "the desktop's shell window";
  }
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

// What this process's standard error handle received while body ran.
std::string StandardErrorOf(const std::function<void()>& body) {
  std::string path = ui::FreshFolder("elevated-stderr") + "\\stderr.txt";
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  HANDLE saved = GetStdHandle(STD_ERROR_HANDLE);
  SetStdHandle(STD_ERROR_HANDLE, file);
  body();
  SetStdHandle(STD_ERROR_HANDLE, saved);
  CloseHandle(file);
  return Contents(path);
}

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

  // The elevated copy learns who started it and says so in its log (here the same account).
  std::string install = ui::FreshFolder("elevated-report") + "\\Ziel";
  std::string medium = ui::MakeMedium("elevated-report\\medium", ("[Settings]\r\nDestination=" + install +
                                                                  "\r\n[Section1]\r\nInstall=1\r\nFileCount=1\r\n"
                                                                  "File1=1,,da.txt,,$(AppPath),,,,3\r\n").c_str());
  ASSERT_TRUE(ui::WriteFile(medium + "\\da.txt", "abc"));
  char arguments[64], user[256];
  DWORD n = sizeof user;
  ASSERT_TRUE(GetUserNameA(user, &n));
  ASSERT_TRUE(ElevatedArgumentsN(arguments, sizeof arguments, 0, GetCurrentProcessId(), "/S"));
  std::string setup = medium + "\\setup.exe";
  EXPECT_EQ(StandardErrorOf([&] { EXPECT_TRUE(RunAsAdministrator(setup.c_str(), arguments, &code)); }), "");
  EXPECT_EQ(code, 0u);
  EXPECT_NE(ui::ReadSetupLog(install).find(std::string("\r\nUserAccount:") + user + ",S-1-5-"), std::string::npos)
      << ui::ReadSetupLog(install);
  // Its standard error output and its exit code reach the first copy, also where the system
  // gives no process to wait for.
  ASSERT_TRUE(ElevatedArgumentsN(arguments, sizeof arguments, 0, GetCurrentProcessId(), "/S /X"));
  std::string said = StandardErrorOf([&] {
    void* report = OpenElevatedReport();
    ui::Setup copy;
    // Its own standard error handle is another file: what reaches this one came through.
    ASSERT_TRUE(ui::StartSetup(&copy, medium, arguments, "", install + ".stderr"));
    EXPECT_EQ(AwaitElevatedCopy(report, nullptr), 1u);
  });
  EXPECT_EQ(said, "Unbekannter Schalter: /X\r\n");
  // A copy that ends without a word: how it ended is unknown.
  void* report = OpenElevatedReport();
  char name[64];
  ReportPipeName(name, GetCurrentProcessId());
  CloseHandle(CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_EQ(AwaitElevatedCopy(report, nullptr), static_cast<unsigned long>(kExitOutcomeUnknown));
}

// Another account cannot be had under Wine: the first copy's account is made up here.
TEST(Elevation, WhereAnotherAccountElevatedTheUsersFoldersAndHiveAreTheStarters) {
  union {
    TOKEN_USER user;
    char bytes[128];
  } token;
  char* own = nullptr;
  ASSERT_TRUE(ReadProcessToken(TokenUser, &token, sizeof token) && ConvertSidToStringSidA(token.user.User.Sid, &own));
  StarterAccount account = {"", "Benutzer", "C:\\Benutzer\\Programme", "C:\\Benutzer\\Start", "C:\\Benutzer\\Desktop"};
  const std::string other = "S-1-5-21-1-2-3-1001";
  ui::DeleteRegTree(HKEY_USERS, other);
  ui::DeleteRegTree(HKEY_CURRENT_USER, "Software\\SetupTests\\Benutzer");
  HKEY hive;
  ASSERT_EQ(RegCreateKeyExA(HKEY_USERS, other.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hive, nullptr), 0);
  RegCloseKey(hive);
  CopyText(ProgramsFolder, "C:\\Admin\\Programme");
  // The account that elevated is the one that started the setup: its own records.
  CopyText(account.Sid, own);
  LocalFree(own);
  UseStarterAccount(account);
  EXPECT_STREQ(ProgramsFolder, "C:\\Admin\\Programme");
  EXPECT_EQ(RootKey(kRootCurrentUser), HKEY_CURRENT_USER);
  // Another account: the starter's folders, and HKEY_CURRENT_USER records in the starter's hive.
  CopyText(account.Sid, other.c_str());
  UseStarterAccount(account);
  EXPECT_EQ(std::string(ProgramsFolder) + StartMenuFolder + DesktopFolder,
            std::string(account.Programs) + account.StartMenu + account.Desktop);
  EXPECT_TRUE(WriteRegistryKey(RootKey(kRootCurrentUser), "Software\\SetupTests\\Benutzer", "ja", "", ""));
  EXPECT_EQ(ui::RegString(HKEY_USERS, other + "\\Software\\SetupTests\\Benutzer"), "ja");
  EXPECT_EQ(ui::RegString(HKEY_CURRENT_USER, "Software\\SetupTests\\Benutzer"), "<none>");
  RegCloseKey(static_cast<HKEY>(UserHive));
  // A hive that cannot be opened: the records fail rather than land in another account.
  CopyText(account.Sid, "S-1-5-21-9-9-9-1");
  UseStarterAccount(account);
  EXPECT_EQ(RootKey(kRootCurrentUser), nullptr);
  OtherUserRecords = 0;
  UserHive = nullptr;
  ProgramsFolder[0] = StartMenuFolder[0] = DesktopFolder[0] = 0;
  ui::DeleteRegTree(HKEY_USERS, other);
}

}  // namespace
