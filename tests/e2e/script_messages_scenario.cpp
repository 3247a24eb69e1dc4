// Faulty File<n> values seen from outside: the three file-entry messages come while the
// script is read, one after the other in reading order, each naming its section and number,
// before any other window; once they are answered the run goes on into the wizard and ends
// with 0.
#include <gtest/gtest.h>

#include <string>

#include "ui_driver.h"

namespace {

// Section1 reads its own entries first, then its sub-option Section1:1.
const char kScript[] =
    "[Settings]\r\nDestination=C:\\Programme\\Beispiel\r\n"
    "[Section1]\r\nName=Programm\r\nInstall=1\r\nFileCount=3\r\n"
    "File1=1,,prog.exe,,$(AppPath),,,5/20/1997,123456\r\n"
    "File2=1\r\n"
    "File3=1,,hilfe.dll,,$(WinSysPath),$(DLLSelfRegister),$(Shared),,2048\r\n"
    "[Section1:1]\r\nName=Beispieldaten\r\nDestination=Daten\r\nInstall=1\r\nFileCount=3\r\n"
    "File1=1,,daten.dat,daten.dat\r\n"
    "File2=1,,gut.dat,,$(AppPath),,,,50\r\n"
    "File3=1,,kaputt.dat,,$(AppPath),,,,-17\r\n"
    "[Section2]\r\nName=Handbuch\r\nFileCount=1\r\n"
    "File1=1,,handbuch.pdf,,$(AppPath),,,,1000\r\n";

// Ends the program if a failed assertion leaves it behind with a box up.
struct SetupGuard {
  ui::Setup* Setup;
  ~SetupGuard() { ui::CloseSetup(Setup); }
};

// The icon of a message box: its static control with the icon style.
HWND IconControl(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (ui::ClassName(child) == "Static" && (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) return child;
  return nullptr;
}

// The error icon is the red one (warning yellow, question and information blue): waits until
// the icon control shows red pixels on the screen.
bool ShowsRedIcon(HWND icon) {
  RECT r;
  if (!GetWindowRect(icon, &r)) return false;
  for (DWORD start = GetTickCount(); GetTickCount() - start < 3000; Sleep(50)) {
    int red = 0;
    for (int y = r.top; y < r.bottom; y += 2)
      for (int x = r.left; x < r.right; x += 2) {
        COLORREF c = ui::ScreenPixel(x, y);
        red += (c >> 16 & 0xFF) > 160 && (c >> 8 & 0xFF) < 90 && (c & 0xFF) < 90;
      }
    if (red > 20) return true;
  }
  return false;
}

struct Expected {
  const char* Text;  // Windows-1252, as the program hands it to the API
  bool EmptyCaption;
};

TEST(ScriptMessagesScenario, ThreeFaultyEntriesAreReportedInReadingOrderAndTheRunGoesOn) {
  const Expected expected[] = {
      {"Fehlende Quelldatei in [Section1] File2", true},
      {"Fehlendes Zielverzeichnis in [Section1:1] File1", true},
      // No caption of its own: the platform's default caption stands there.
      {"Fehlende oder ung\xFCltige Dateigr\xF6\xDF" "e in [Section1:1] File3", false},
  };
  std::string medium = ui::MakeMedium("script-messages", kScript);
  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, medium));
  SetupGuard guard{&setup};

  int index = 0;
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.Text);
    HWND box = ui::WaitMessageBox(setup.Pid);
    ASSERT_NE(box, nullptr) << "message " << index + 1 << " did not appear";
    // Shown while the script is read: no other window of the run, and owned by none.
    EXPECT_EQ(ui::TopWindows(setup.Pid), std::vector<HWND>{box});
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    EXPECT_EQ(ui::MessageBoxText(box), e.Text);
    if (e.EmptyCaption)
      EXPECT_EQ(ui::WindowText(box), "");
    else
      EXPECT_NE(ui::WindowText(box), "");
    EXPECT_EQ(ui::ButtonIds(box), std::vector<int>{IDOK});
    // The error icon: the box's icon control shows the system's error icon.
    HWND icon = IconControl(box);
    ASSERT_NE(icon, nullptr);
    EXPECT_TRUE(ShowsRedIcon(icon));
    if (index == 2) ui::SaveScreenshot(ui::JoinPath(ui::TestRoot(), "script-messages-size.png"));
    ASSERT_TRUE(ui::Click(box, IDOK));
    ASSERT_TRUE(ui::WaitGone(box));
    ++index;
  }
  // No fourth message: the good entries and Section2 are read without one.
  HWND extra = ui::WaitMessageBox(setup.Pid, 1500);
  EXPECT_EQ(extra, nullptr) << ui::MessageBoxText(extra);
  // The run goes on into the wizard; ended there by the user, it exits with 0.
  EXPECT_NE(ui::WaitFrame(setup.Pid), nullptr);
  EXPECT_EQ(ui::CancelFromWelcomePage(&setup), 0);
}

}  // namespace
