// Start-up seen from outside: the missing script, one setup at a time, a script too large for
// memory, and a setup started at the root of a drive.
#include <gtest/gtest.h>

#include <string>

#include "ui_driver.h"

namespace {

// Waits for a message box of the run, checks it and presses OK.
void ExpectBox(ui::Setup* setup, const std::string& text, const char* caption) {
  HWND box = ui::WaitMessageBox(setup->Pid);
  ASSERT_NE(box, nullptr) << "no box: " << text;
  EXPECT_EQ(ui::TopWindows(setup->Pid), std::vector<HWND>{box});  // before any other window
  EXPECT_EQ(ui::MessageBoxText(box), text);
  if (caption) {
    EXPECT_EQ(ui::WindowText(box), caption);
  }
  EXPECT_EQ(ui::ButtonIds(box), std::vector<int>{IDOK});
  EXPECT_TRUE(ui::Answer(box, IDOK));
}

const char kNoScript[] = "Kann die Datei SETUP.LST nicht finden, oder SETUP.LST enth\xE4lt keine Sections!";

TEST(StartupScenario, WithoutAScriptOnlyItsBoxAndASecondSetupEndsSilently) {
  std::string medium = ui::MakeMedium("no-script", "[Settings]\r\nDestination=C:\\x\r\n[Disks]\r\nDiskCount=1\r\n");
  ui::Setup first, second;
  ASSERT_TRUE(ui::StartSetup(&first, medium));
  HWND box = ui::WaitMessageBox(first.Pid);
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(ui::StartSetup(&second, medium));
  std::vector<std::string> shown;
  EXPECT_EQ(ui::WaitExitWatching(&second, &shown, {}, 5000), 6) << "another setup is running";
  EXPECT_EQ(shown, std::vector<std::string>{});
  ExpectBox(&first, kNoScript, "Fehler");  // the umlaut reaches the system as the one byte E4
  EXPECT_EQ(ui::WaitExit(&first), 1) << "could not start";
}

TEST(StartupScenario, TheElevatedCopyRunsWhileItsFirstCopyHoldsTheEvent) {
  // The first copy holds the single-instance event while the copy it started with
  // administrator rights does the work; "/ELEVATED:0" is how that copy is started.
  HANDLE held = CreateEventA(nullptr, FALSE, FALSE, "{D8191700-73A7-11d0-9A6E-000100000000}");
  ASSERT_NE(held, nullptr);
  std::string medium = ui::MakeMedium("elevated-copy", nullptr);
  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, medium, "/ELEVATED:0"));
  ExpectBox(&setup, kNoScript, "Fehler");
  EXPECT_EQ(ui::WaitExit(&setup), 1);
  CloseHandle(held);
}

// A script that does not fit is never installed in part: one "IncreaseMem", and the run ends
// before any page is shown.
TEST(StartupScenario, AScriptTooLargeForMemoryShowsIncreaseMemOnceAndEnds) {
  std::string medium = ui::MakeMedium("increase-mem",
                                      "[Disks]\r\nDiskCount=99\r\n[Section1]\r\nInstall=1\r\nFileCount=1000000\r\n"
                                      "[Section2]\r\nInstall=1\r\nFileCount=1000000\r\n");
  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, medium));
  ExpectBox(&setup, "IncreaseMem", "");
  std::vector<std::string> shown;
  EXPECT_EQ(ui::WaitExitWatching(&setup, &shown), 1) << "no memory for the script";
  EXPECT_EQ(shown, std::vector<std::string>{}) << "no page, no frame";
}

// A CD setup started at the drive's root from a launcher whose folder is below it reads the
// root's script, not that folder's. tools/wine-run maps m: to the test folder drive-root.
TEST(StartupScenario, AtTheRootOfADriveTheRootsScriptIsRead) {
  ui::MakeMedium("drive-root", "[Section1]\r\nName=Wurzel\r\nInstall=1\r\n");
  ui::MakeMedium("drive-root\\unter", nullptr);  // a setup.exe but no script
  if (GetFileAttributesA("M:\\setup.exe") == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no drive m: (tools/wine-run)";
  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, "M:\\", "", "M:\\unter"));
  EXPECT_NE(ui::WaitWelcomePage(setup.Pid), nullptr) << ui::MessageBoxText(ui::WaitMessageBox(setup.Pid, 0));
  EXPECT_EQ(ui::CancelFromWelcomePage(&setup), 2);
}

}  // namespace
