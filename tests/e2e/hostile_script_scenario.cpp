// Scripts that ask for absurd amounts end well: a box where memory cannot be had, and no
// endless loops or deep recursion.
#include <gtest/gtest.h>

#include <string>

#include "ui_driver.h"

namespace {

// A script that could be read leads into the wizard: the run is ended there through the
// cancel question and the closing notice.
int FinishRun(ui::Setup* setup) {
  return ui::CancelFromWelcomePage(setup);
}

TEST(HostileScriptScenario, AbsurdFileCountShowsIncreaseMemAndTheRunGoesOn) {
  std::string medium = ui::MakeMedium("filecount", "[Section1]\r\nName=Programm\r\nInstall=1\r\n"
                                                   "FileCount=2000000000\r\n"
                                                   "[Section2]\r\nName=Daten\r\nFileCount=1\r\n"
                                                   "File1=1,,daten.dat,,$(AppPath),,,,10\r\n");
  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, medium));
  HWND box = ui::WaitMessageBox(setup.Pid);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ui::WindowText(box), "");
  EXPECT_EQ(ui::MessageBoxText(box), "IncreaseMem");
  ui::Click(box, IDOK);
  ASSERT_TRUE(ui::WaitGone(box));
  // Only one box: the failed array is left empty and reading goes on with Section2.
  HWND next = ui::WaitMessageBox(setup.Pid, 1500);
  EXPECT_EQ(next, nullptr) << ui::MessageBoxText(next);
  EXPECT_EQ(FinishRun(&setup), 0);
}

TEST(HostileScriptScenario, AbsurdDiskCountAndDeepChainReadQuickly) {
  std::string script = "[Disks]\r\nDiskCount=2000000000\r\nDisk1=CD 1\r\n";
  // A chain of sub-options deeper than section names and nesting allow.
  std::string name = "Section1";
  for (int level = 0; level < 140; ++level) {
    script += "[" + name + "]\r\nName=Stufe " + std::to_string(level) + "\r\nInstall=1\r\n";
    name += ":1";
  }
  std::string medium = ui::MakeMedium("deep", script.c_str());
  ui::Setup setup;
  DWORD start = GetTickCount();
  ASSERT_TRUE(ui::StartSetup(&setup, medium));
  // No box may interrupt the reading: a box would hold the run up until the time-out.
  EXPECT_EQ(FinishRun(&setup), 0);
  printf("deep script: the whole run took %lu ms\n", static_cast<unsigned long>(GetTickCount() - start));
}

}  // namespace
