// The setup log on a real file system: the choice of its number, its sharing, and its bytes.
#include <gtest/gtest.h>
#include <windows.h>

#include "install/setup_log.h"
#include "install/shared_dlls.h"
#include "install_support.h"
#include "script/records.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

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
};

TEST_F(SetupLogTest, TakesTheFirstFreeNumber) {
  char name[kLogNameChars];
  ASSERT_EQ(OpenSetupLog(name), 1);
  EXPECT_EQ(std::string(name), Path("setup0.log"));
  CloseSetupLog();
  ASSERT_TRUE(ui::WriteFile(Path("setup1.log"), "alt"));
  ASSERT_EQ(OpenSetupLog(name), 1);
  EXPECT_EQ(std::string(name), Path("setup2.log"));
  CloseSetupLog();
  // An earlier run's log is never overwritten.
  std::string old;
  ASSERT_TRUE(ui::ReadFile(Path("setup1.log"), &old));
  EXPECT_EQ(old, "alt");
  // With a trailing backslash on the install folder, still one separator.
  AppendText(InstallDir, "\\");
  ASSERT_EQ(OpenSetupLog(name), 1);
  EXPECT_EQ(std::string(name), Path("setup3.log"));
}

TEST_F(SetupLogTest, NamesThatExistButAreNoReadableFileArePassedOver) {
  ASSERT_TRUE(CreateDirectoryA(Path("setup0.log").c_str(), nullptr));
  // A file another program holds open without sharing cannot be read, but it exists.
  HANDLE held = CreateFileA(Path("setup1.log").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FileExists(Path("setup0.log").c_str()), 0);
  EXPECT_EQ(FileExists(Path("setup1.log").c_str()), 0);
  char name[kLogNameChars];
  EXPECT_EQ(OpenSetupLog(name), 1);
  EXPECT_EQ(std::string(name), Path("setup2.log"));
  CloseHandle(held);
}

TEST_F(SetupLogTest, OthersCannotOpenTheLogWhileItIsOpen) {
  char name[kLogNameChars];
  ASSERT_EQ(OpenSetupLog(name), 1);
  WriteLog("x");
  HANDLE other = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(other, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
  EXPECT_EQ(FileExists(name), 0);

  // Another process: the command interpreter cannot copy it while it is open, and can after.
  std::string copy = Path("kopie.txt");
  auto copyInOtherProcess = [&]() -> DWORD {
    std::string command = "cmd.exe /c copy \"" + std::string(name) + "\" \"" + copy + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
      return 9999;
    DWORD code = 9998;
    if (WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
  };
  EXPECT_NE(copyInOtherProcess(), 0u);
  EXPECT_FALSE(ui::FileExists(copy));

  // Once closed, anyone may read it.
  CloseSetupLog();
  EXPECT_EQ(FileExists(name), 1);
  EXPECT_EQ(copyInOtherProcess(), 0u);
  std::string copied;
  EXPECT_TRUE(ui::ReadFile(copy, &copied));
  EXPECT_EQ(copied, "x");
}

TEST_F(SetupLogTest, LinesAreWrittenByteForByte) {
  char name[kLogNameChars];
  ASSERT_EQ(OpenSetupLog(name), 1);
  WriteLogLine(kLogCreatedDir, "C:\\Programme\\Wörterbuch");
  WriteLogLine(kLogCopied, "C:\\Programme\\Wörterbuch\\Größe.dat");
  WriteLogLine(kLogUpToDate, "C:\\Windows\\System\\ctl3d.dll");
  WriteRegisterLine(kRootCurrentUser, "Software\\Müller", "", "Pfad", "C:\\Programme");
  WriteRegisterLine(kRootLocalMachine, "Software\\Müller", "", "", "");
  WriteLogLine(kLogLink, "C:\\Programme\\start.exe", "C:\\Gruppe\\Start.lnk");
  WriteLogLine(kLogErrorRegistering, "C:\\Windows\\System\\a.dll");
  LogEnabled = 0;
  WriteLogLine(kLogCopied, "nicht im Log");
  LogEnabled = 1;
  WriteLog("");
  WriteLog(nullptr);
  CloseSetupLog();
  WriteLogLine(kLogCopied, "nach dem Schließen");

  std::string bytes;
  ASSERT_TRUE(ui::ReadFile(name, &bytes));
  const std::string expected =
      "CreatedDir:C:\\Programme\\W\xF6rterbuch\r\n"
      "Copied:C:\\Programme\\W\xF6rterbuch\\Gr\xF6\xDF" "e.dat\r\n"
      "UpToDate:C:\\Windows\\System\\ctl3d.dll\r\n"
      "Register:Software\\M\xFCller,,Pfad,C:\\Programme\r\n"
      "Register:HKEY_LOCAL_MACHINE,Software\\M\xFCller,,,\r\n"
      "Link:C:\\Programme\\start.exe,C:\\Gruppe\\Start.lnk\r\n"
      "Error: Fehler beim Registrieren von C:\\Windows\\System\\a.dll\r\n";
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(bytes.find('\0'), std::string::npos);
}

TEST_F(SetupLogTest, AFolderThatCannotBeCreatedInOrANameThatDoesNotFitFails) {
  char name[kLogNameChars];
  CopyText(InstallDir, Path("fehlt\\noch").c_str());
  EXPECT_EQ(OpenSetupLog(name), 0);
  EXPECT_EQ(std::string(name), Path("fehlt\\noch\\setup0.log"));  // for the caller's message
  EXPECT_EQ(SetupLogHandle, nullptr);

  // A folder of 248 characters holds setup0.log to setup9.log (259 characters each); the
  // next name, setup10.log, does not fit: the log fails, no cut name is created.
  std::string longFolder = folder_ + "\\" + std::string(248 - folder_.size() - 1, 'x');
  ASSERT_EQ(longFolder.size(), 248u);
  ASSERT_TRUE(CreateDirectoryA(longFolder.c_str(), nullptr));
  CopyText(InstallDir, longFolder.c_str());
  for (int n = 0; n < 10; ++n) {
    ASSERT_EQ(OpenSetupLog(name), 1) << n;
    EXPECT_EQ(strlen(name), 259u);
    CloseSetupLog();
  }
  EXPECT_EQ(OpenSetupLog(name), 0);
  EXPECT_EQ(SetupLogHandle, nullptr);
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((longFolder + "\\*").c_str(), &found);
  int entries = 0;
  if (find != INVALID_HANDLE_VALUE) {
    do entries += found.cFileName[0] != '.';
    while (FindNextFileA(find, &found));
    FindClose(find);
  }
  EXPECT_EQ(entries, 10);
}

}  // namespace
