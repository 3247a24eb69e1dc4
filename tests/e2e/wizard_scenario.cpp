// The wizard seen from outside: the frame, the welcome page, the cancel questions and the
// closing notices.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "install_driver.h"
#include "ui_driver.h"

namespace {

// A script that leads into the wizard; the title has an umlaut to check on the screenshots.
const char kScript[] =
    "[Settings]\r\nMessage=W\xF6rterbuch Beispiel\r\n"
    "[Section1]\r\nName=Programm\r\nInstall=1\r\n";

const char kCancelCaption[] = "Setup abbrechen";

std::string Product() { return ui::ProductName(); }
std::string SetupCaption() { return Product() + "-Setup"; }

std::string Screenshots() {
  std::string folder = ui::JoinPath(ui::TestRoot(), "screenshots");
  ui::MakeFolders(folder);
  return folder;
}

// Waits until the window that has the keyboard focus in the page's thread is the control.
bool WaitFocus(HWND page, int id) {
  HWND control = GetDlgItem(page, id);
  for (int i = 0; i < 100; ++i) {
    if (ui::FocusOf(page) == control) return true;
    Sleep(20);
  }
  return false;
}

// The box is hidden a moment before the code that showed it enables the windows again.
bool WaitEnabled(HWND window) {
  for (int i = 0; i < 100; ++i) {
    if (ui::IsEnabled(window)) return true;
    Sleep(20);
  }
  return false;
}

// No text of a dialog keeps a placeholder after the names went in.
void ExpectNoPlaceholderLeft(HWND dialog) {
  for (const std::string& text : ui::AllTexts(dialog)) EXPECT_EQ(text.find('$'), std::string::npos) << text;
}

// The closing notice 137: nothing was changed yet.
void ExpectInterruptedNoticeThenExit(ui::Setup* setup) {
  HWND notice = ui::WaitDialog(setup->Pid, SetupCaption().c_str(), {1, 257, 258});
  ASSERT_NE(notice, nullptr) << "no closing notice";
  EXPECT_EQ(ui::ControlText(notice, 257),
            Product() + "-Setup wurde unterbrochen, bevor eine \xC4nderung auf Ihrem System durchgef\xFChrt wurde.");
  EXPECT_EQ(ui::ControlText(notice, 258), "Sie k\xF6nnen das " + Product() +
                                              "-Setup zu einem sp\xE4teren Zeitpunkt erneut aufrufen, um die "
                                              "Installation vollst\xE4ndig durchzuf\xFChren.");
  EXPECT_EQ(ui::ButtonIds(notice), std::vector<int>{1});
  ExpectNoPlaceholderLeft(notice);
  // The wizard has ended before the notice: the frame is gone.
  EXPECT_TRUE(ui::WaitFrame(setup->Pid, 0) == nullptr);
  EXPECT_TRUE(ui::Answer(notice, 1));
  EXPECT_EQ(ui::WaitExit(setup), 0);
}

void ExpectCancelQuestion(HWND box) {
  EXPECT_EQ(ui::WindowText(box), kCancelCaption);
  EXPECT_EQ(ui::ControlText(box, 257), "Sind Sie sicher, da\xDF Sie das Setup-Programm abbrechen m\xF6" "chten?");
  EXPECT_EQ(ui::ControlText(box, 258), "Das Setup-Programm hat noch keine \xC4nderungen an Dateien vorgenommen.");
  EXPECT_EQ(ui::ControlText(box, 1), "Setup &fortsetzen");
  EXPECT_EQ(ui::ControlText(box, 2), "Setup &abbrechen");
}

struct WizardRun {
  ui::Setup Setup;
  HWND Frame = nullptr;
  HWND Welcome = nullptr;
  // A run that a failed check left behind would make the next scenario's setup end at once.
  ~WizardRun() { ui::CloseSetup(&Setup); }
};

void StartToWelcome(WizardRun* run, const char* medium, const std::string& script = kScript) {
  ASSERT_TRUE(ui::StartSetup(&run->Setup, ui::MakeMedium(medium, script.c_str())));
  run->Frame = ui::WaitFrame(run->Setup.Pid);
  ASSERT_NE(run->Frame, nullptr) << "no frame window";
  run->Welcome = ui::WaitWelcomePage(run->Setup.Pid);
  ASSERT_NE(run->Welcome, nullptr) << "no welcome page";
}

struct Box {
  int Left = 1 << 30, Top = 1 << 30, Right = -1, Bottom = -1, Count = 0;
  void Add(int x, int y) {
    Left = std::min(Left, x), Top = std::min(Top, y), Right = std::max(Right, x), Bottom = std::max(Bottom, y);
    ++Count;
  }
};

TEST(WizardScenario, FrameIsMaximizedAndPaintsTheTitleWhiteOverABlackShadow) {
  WizardRun run;
  StartToWelcome(&run, "wizard-frame");
  if (HasFatalFailure()) return;

  EXPECT_EQ(ui::ClassName(run.Frame), "SETUPFRAME");
  EXPECT_EQ(ui::WindowText(run.Frame), SetupCaption());
  EXPECT_TRUE(IsZoomed(run.Frame));
  RECT client;
  GetClientRect(run.Frame, &client);
  EXPECT_GE(client.right, GetSystemMetrics(SM_CXSCREEN) - 16);
  EXPECT_GE(client.bottom, GetSystemMetrics(SM_CYSCREEN) * 3 / 4);
  // The page is a modeless dialog over the frame.
  EXPECT_EQ(ui::Owner(run.Welcome), run.Frame);

  Sleep(300);  // let the last paint reach the screen
  POINT origin = {0, 0};
  ClientToScreen(run.Frame, &origin);
  // Background: red 0, green 128, blue 128, below the title and left of the centred page.
  EXPECT_EQ(ui::ScreenPixel(origin.x + 5, origin.y + client.bottom - 5), 0x008080u);
  // The title band: the white text and its black shadow are the same glyphs moved by 3 pixels,
  // so the far edges of the two shapes are 3 pixels apart.
  Box white, black;
  HDC screen = GetDC(nullptr);
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 800; ++x) {
      COLORREF c = GetPixel(screen, origin.x + x, origin.y + y);
      if (GetRValue(c) > 245 && GetGValue(c) > 245 && GetBValue(c) > 245) white.Add(x, y);
      if (GetRValue(c) < 10 && GetGValue(c) < 10 && GetBValue(c) < 10) black.Add(x, y);
    }
  ReleaseDC(nullptr, screen);
  printf("title: white %d pixels (%d,%d)-(%d,%d), black %d pixels (%d,%d)-(%d,%d)\n", white.Count, white.Left,
         white.Top, white.Right, white.Bottom, black.Count, black.Left, black.Top, black.Right, black.Bottom);
  EXPECT_GT(white.Count, 500);
  EXPECT_GT(black.Count, 200);
  EXPECT_GE(white.Left, 17);
  EXPECT_GE(white.Top, 17);
  EXPECT_NEAR(black.Right - white.Right, 3, 1);
  EXPECT_NEAR(black.Bottom - white.Bottom, 3, 1);

  EXPECT_TRUE(ui::SaveScreenshot(ui::JoinPath(Screenshots(), "welcome.png")));
  EXPECT_EQ(ui::CancelFromWelcomePage(&run.Setup), 0);
}

TEST(WizardScenario, WelcomePageShowsTheProductInItsTexts) {
  WizardRun run;
  StartToWelcome(&run, "wizard-welcome");
  if (HasFatalFailure()) return;
  HWND page = run.Welcome;
  EXPECT_EQ(ui::WindowText(page), SetupCaption());
  EXPECT_EQ(ui::ControlText(page, 257), "Willkommen zum Installationsprogramm der " + Product() + ".");
  EXPECT_EQ(ui::ControlText(page, 258),
            "Das Setup-Programm kann Systemdateien nicht installieren und gemeinsam genutzte Dateien nicht "
            "aktualisieren, wenn diese gerade verwendet werden. Beenden Sie alle aktiven Anwendungen, bevor Sie "
            "fortfahren.");
  EXPECT_FALSE(ui::ControlText(page, 259).empty());
  // The sample second notice names the product through "$p".
  EXPECT_NE(ui::ControlText(page, 260).find(Product()), std::string::npos) << ui::ControlText(page, 260);
  ExpectNoPlaceholderLeft(page);
  EXPECT_EQ(ui::ControlText(page, 1000), "&Weiter >");
  EXPECT_EQ(ui::ControlText(page, 9), "Setup &abbrechen");
  EXPECT_EQ(ui::ButtonIds(page), (std::vector<int>{1000, 9}));
  EXPECT_TRUE(ui::IsControlVisible(page, 2000));
  // The names went into the texts, the icon stayed an icon.
  DWORD_PTR icon = 0;
  SendMessageTimeoutA(ui::Control(page, 1280), STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 5000, &icon);
  EXPECT_NE(icon, 0u);
  // The default focus is on "Weiter".
  EXPECT_TRUE(WaitFocus(page, 1000));
  EXPECT_EQ(ui::CancelFromWelcomePage(&run.Setup), 0);
}

TEST(WizardScenario, EscapeAsksAndGoingOnReturnsToWeiter) {
  WizardRun run;
  StartToWelcome(&run, "wizard-escape");
  if (HasFatalFailure()) return;
  HWND page = run.Welcome;
  // Put the focus elsewhere first, so that its return to "Weiter" means something.
  SendMessageA(page, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ui::Control(page, 9)), TRUE);
  ASSERT_TRUE(WaitFocus(page, 9));

  ASSERT_TRUE(ui::PressEscape(page));
  HWND box = ui::WaitDialog(run.Setup.Pid, kCancelCaption, {1, 2, 257, 258});
  ASSERT_NE(box, nullptr) << "Escape did not ask";
  ExpectCancelQuestion(box);
  EXPECT_EQ(ui::Owner(box), page);
  EXPECT_FALSE(ui::IsEnabled(run.Frame));  // disabled while the box is up
  EXPECT_TRUE(WaitFocus(box, 1));           // "Setup fortsetzen" is the default
  EXPECT_TRUE(ui::SaveScreenshot(ui::JoinPath(Screenshots(), "confirm-cancel-115.png")));

  ASSERT_TRUE(ui::Answer(box, 1));
  EXPECT_TRUE(WaitFocus(page, 1000)) << "focus is on control " << GetDlgCtrlID(ui::FocusOf(page));
  EXPECT_TRUE(WaitEnabled(run.Frame));
  EXPECT_TRUE(WaitEnabled(page));
  EXPECT_TRUE(IsWindowVisible(page));
  EXPECT_TRUE(ui::Dialogs(run.Setup.Pid, kCancelCaption).empty());

  // "Setup abbrechen" ends the wizard; the closing notice follows.
  ASSERT_TRUE(ui::PressEscape(page));
  box = ui::WaitDialog(run.Setup.Pid, kCancelCaption, {1, 2});
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(ui::Answer(box, 2));
  HWND notice = ui::WaitDialog(run.Setup.Pid, SetupCaption().c_str(), {1, 257, 258});
  ASSERT_NE(notice, nullptr);
  EXPECT_TRUE(ui::SaveScreenshot(ui::JoinPath(Screenshots(), "notice-137.png")));
  ExpectInterruptedNoticeThenExit(&run.Setup);
}

TEST(WizardScenario, CancelButtonAsksLikeEscape) {
  WizardRun run;
  StartToWelcome(&run, "wizard-cancel-button");
  if (HasFatalFailure()) return;
  ASSERT_TRUE(ui::Click(run.Welcome, 9));
  HWND box = ui::WaitDialog(run.Setup.Pid, kCancelCaption, {1, 2});
  ASSERT_NE(box, nullptr);
  ExpectCancelQuestion(box);
  ASSERT_TRUE(ui::Answer(box, 2));
  ExpectInterruptedNoticeThenExit(&run.Setup);
}

TEST(WizardScenario, ClosingTheFrameAsksWithTheFrameAsOwnerAndNoSecondBox) {
  WizardRun run;
  StartToWelcome(&run, "wizard-close");
  if (HasFatalFailure()) return;
  HWND page = run.Welcome;

  ASSERT_TRUE(ui::CloseWindowCommand(run.Frame));
  HWND box = ui::WaitDialog(run.Setup.Pid, kCancelCaption, {1, 2});
  ASSERT_NE(box, nullptr) << "closing the frame did not ask";
  ExpectCancelQuestion(box);
  EXPECT_EQ(ui::Owner(box), run.Frame);
  EXPECT_FALSE(ui::IsEnabled(page));

  // Every further cancel request while the box is up is refused: Escape and the cancel
  // button of the page, and the frame's close command.
  ui::SendCommand(page, IDCANCEL);
  ui::SendCommand(page, 9);
  ui::CloseWindowCommand(run.Frame);
  Sleep(1000);
  EXPECT_EQ(ui::Dialogs(run.Setup.Pid, kCancelCaption).size(), 1u);
  EXPECT_EQ(ui::Dialogs(run.Setup.Pid).size(), 2u);  // the page and the one box
  EXPECT_TRUE(IsWindow(box));

  // Going on leaves everything as it was.
  ASSERT_TRUE(ui::Answer(box, 1));
  EXPECT_TRUE(WaitEnabled(page));
  EXPECT_TRUE(IsWindowVisible(page));
  EXPECT_TRUE(WaitEnabled(run.Frame));
  EXPECT_EQ(ui::WaitWelcomePage(run.Setup.Pid, 0), page);
  EXPECT_TRUE(ui::Dialogs(run.Setup.Pid, kCancelCaption).empty());

  // PageClosable is back at 1: closing again asks again (a busy-page state would only note it).
  ASSERT_TRUE(ui::CloseWindowCommand(run.Frame));
  box = ui::WaitDialog(run.Setup.Pid, kCancelCaption, {1, 2});
  ASSERT_NE(box, nullptr) << "the second close did not ask";
  EXPECT_EQ(ui::Owner(box), run.Frame);
  ASSERT_TRUE(ui::Answer(box, 2));
  ExpectInterruptedNoticeThenExit(&run.Setup);
}

TEST(WizardScenario, EscapeWhileTheCloseQuestionIsUpShowsNoSecondBox) {
  WizardRun run;
  StartToWelcome(&run, "wizard-escape-twice");
  if (HasFatalFailure()) return;
  ASSERT_TRUE(ui::PressEscape(run.Welcome));
  HWND box = ui::WaitDialog(run.Setup.Pid, kCancelCaption, {1, 2});
  ASSERT_NE(box, nullptr);
  // Escape again (in the box it answers "abbrechen", so it goes to the page) and close.
  ui::SendCommand(run.Welcome, IDCANCEL);
  ui::CloseWindowCommand(run.Frame);
  Sleep(1000);
  EXPECT_EQ(ui::Dialogs(run.Setup.Pid, kCancelCaption).size(), 1u);
  // Escape in the box itself is "Setup abbrechen".
  ASSERT_TRUE(ui::PressEscape(box));
  ASSERT_TRUE(ui::WaitGone(box));
  ExpectInterruptedNoticeThenExit(&run.Setup);
}

// Back from the welcome page leads to the page before it: the scan runs again and hands over
// to a new welcome page.
TEST(WizardScenario, BackFromTheWelcomePageRunsTheScanAgain) {
  WizardRun run;
  StartToWelcome(&run, "wizard-back");
  if (HasFatalFailure()) return;
  // The welcome page has no back button; the command is sent as one would send it.
  ASSERT_TRUE(ui::SendCommand(run.Welcome, 1001));
  ASSERT_TRUE(ui::WaitGone(run.Welcome));
  HWND again = ui::WaitWelcomePage(run.Setup.Pid);
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, run.Welcome);
  EXPECT_EQ(ui::CancelFromWelcomePage(&run.Setup), 0);
}

// A script with an install folder of its own below the test root and nothing to copy.
std::string NothingToCopyScript(const char* name) {
  std::string target = ui::JoinPath(ui::TestRoot(), name);
  ui::RemoveTree(target);
  return "[Settings]\r\nDestination=" + target + "\r\n[Section1]\r\nName=Programm\r\nInstall=1\r\n";
}

// Next on the welcome page walks the pages through to the finish page; after it the walk runs
// off the table, and as changes were made without errors no closing notice is shown.
TEST(WizardScenario, TheFinishPageEndsTheWizardWithoutANotice) {
  WizardRun run;
  StartToWelcome(&run, "wizard-next", NothingToCopyScript("wizard-next-ziel"));
  if (HasFatalFailure()) return;
  ASSERT_TRUE(ui::Click(run.Welcome, 1000));
  HWND options = ui::WaitOptionsPage(run.Setup.Pid);
  ASSERT_NE(options, nullptr);
  ASSERT_TRUE(ui::Click(options, 1000));
  // Without a default group the program group page is passed over.
  HWND finish = nullptr;
  for (int i = 0; i < 500 && !finish; ++i) {
    EXPECT_EQ(ui::WaitGroupPage(run.Setup.Pid, 0), nullptr);
    finish = ui::WaitFinishPage(run.Setup.Pid, 20);
  }
  ASSERT_NE(finish, nullptr);
  // The frame's close box on the last page closes at once: no question, and no notice after
  // a clean run.
  ASSERT_TRUE(ui::CloseWindowCommand(run.Frame));
  EXPECT_EQ(ui::WaitExit(&run.Setup), 0);
  EXPECT_TRUE(ui::Dialogs(run.Setup.Pid).empty());
}

TEST(WizardScenario, EnterOnTheWelcomePagePressesWeiter) {
  WizardRun run;
  StartToWelcome(&run, "wizard-enter", NothingToCopyScript("wizard-enter-ziel"));
  if (HasFatalFailure()) return;
  ASSERT_TRUE(WaitFocus(run.Welcome, 1000));
  HWND focus = ui::FocusOf(run.Welcome);
  PostMessageA(focus, WM_KEYDOWN, VK_RETURN, 1);
  PostMessageA(focus, WM_KEYUP, VK_RETURN, 0xC0000001);
  EXPECT_TRUE(ui::WaitGone(run.Welcome));  // the page left for the next one
  EXPECT_EQ(ui::WaitCleanExit(&run.Setup), 0);
}

}  // namespace
