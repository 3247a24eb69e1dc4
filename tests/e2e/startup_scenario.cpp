// Start-up seen from outside: the missing script, one setup at a time, hostile scripts.
#include <gtest/gtest.h>

#include <string>

#include "ui_driver.h"

namespace {

const char kNoScriptText[] = "Kann die Datei SETUP.LST nicht finden, oder SETUP.LST enthält keine Sections!";

// Presses OK on the "no sections" box and expects the program to end with 0.
void ExpectNoSectionsBoxThenExit(ui::Setup* setup) {
  HWND box = ui::WaitMessageBox(setup->Pid);
  ASSERT_NE(box, nullptr) << "no message box appeared";
  EXPECT_EQ(ui::WindowText(box), "Fehler");
  EXPECT_EQ(ui::MessageBoxText(box), kNoScriptText);
  EXPECT_EQ(ui::ButtonIds(box), std::vector<int>{IDOK});
  ui::Click(box, IDOK);
  EXPECT_EQ(ui::WaitExit(setup), 0);
}

TEST(StartupScenario, MissingScriptShowsOnlyTheNoSectionsBox) {
  std::string medium = ui::MakeMedium("no-script", nullptr);
  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, medium));
  HWND box = ui::WaitMessageBox(setup.Pid);
  ASSERT_NE(box, nullptr);
  // The box is the only window of the run.
  EXPECT_EQ(ui::TopWindows(setup.Pid).size(), 1u);
  ExpectNoSectionsBoxThenExit(&setup);
}

TEST(StartupScenario, GermanTextReachesTheApiInWindows1252) {
  std::string medium = ui::MakeMedium("umlaut", nullptr);
  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, medium));
  HWND box = ui::WaitMessageBox(setup.Pid);
  ASSERT_NE(box, nullptr);
  std::string text = ui::MessageBoxText(box);
  // "enthält": the a-umlaut is the single byte E4, not a UTF-8 pair.
  EXPECT_NE(text.find("enth\xE4lt"), std::string::npos) << text;
  EXPECT_EQ(text.find("\xC3\xA4"), std::string::npos);
  ui::Click(box, IDOK);
  EXPECT_EQ(ui::WaitExit(&setup), 0);
}

TEST(StartupScenario, ScriptWithOnlySettingsAndDisksHasNoSections) {
  std::string medium = ui::MakeMedium("settings-only",
                                      "[Settings]\r\nDestination=C:\\Programme\\Beispiel\r\nDefaultGroup=Beispiel\r\n"
                                      "[Disks]\r\nDiskCount=1\r\nDisk1=Beispiel-CD\r\n");
  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, medium));
  ExpectNoSectionsBoxThenExit(&setup);
}

TEST(StartupScenario, SecondSetupEndsSilentlyWhileTheFirstRuns) {
  std::string medium = ui::MakeMedium("single-instance", nullptr);
  ui::Setup first;
  ASSERT_TRUE(ui::StartSetup(&first, medium));
  HWND box = ui::WaitMessageBox(first.Pid);
  ASSERT_NE(box, nullptr);

  ui::Setup second;
  ASSERT_TRUE(ui::StartSetup(&second, medium));
  DWORD secondPid = second.Pid;
  EXPECT_EQ(ui::WaitExit(&second, 5000), 0);
  EXPECT_TRUE(ui::TopWindows(secondPid).empty());
  // The first one's box is still the one up.
  EXPECT_TRUE(IsWindow(box));

  ui::Click(box, IDOK);
  EXPECT_EQ(ui::WaitExit(&first), 0);
}

TEST(StartupScenario, TheElevatedCopyRunsWhileItsFirstCopyHoldsTheEvent) {
  // The first copy holds the single-instance event while the copy it started with
  // administrator rights does the work; "/ELEVATED:0" is how that copy is started.
  HANDLE held = CreateEventA(nullptr, FALSE, FALSE, "{D8191700-73A7-11d0-9A6E-000100000000}");
  ASSERT_NE(held, nullptr);
  std::string medium = ui::MakeMedium("elevated-copy", nullptr);
  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, medium, "/ELEVATED:0"));
  ExpectNoSectionsBoxThenExit(&setup);
  CloseHandle(held);
}

}  // namespace
