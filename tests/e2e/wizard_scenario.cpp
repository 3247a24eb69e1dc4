// The wizard seen from outside: the frame and its title, the welcome page, the cancel
// questions and closing notices, and the keyboard after a question.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install_driver.h"
#include "ui_driver.h"

namespace {

const char kCancel[] = "Setup abbrechen";

std::string Product() { return ui::ProductName(); }
std::string Caption() { return Product() + "-Setup"; }
std::string Screenshot(const char* name) {
  ui::MakeFolders(ui::JoinPath(ui::TestRoot(), "screenshots"));
  return ui::JoinPath(ui::TestRoot(), std::string("screenshots\\") + name);
}

template <class Check> bool WaitFor(Check check) {
  for (int i = 0; i < 100; ++i, Sleep(20))
    if (check()) return true;
  return false;
}

bool WaitFocus(HWND page, int id) {
  return WaitFor([&] { return ui::FocusOf(page) == GetDlgItem(page, id); });
}

struct WizardRun {
  ui::Setup Setup;
  HWND Frame = nullptr, Welcome = nullptr;
  // With an install folder of its own and nothing to copy, "Weiter" runs to the end.
  explicit WizardRun(const char* name) {
    std::string target = ui::JoinPath(ui::TestRoot(), std::string(name) + "-ziel");
    ui::RemoveTree(target);
    std::string script = "[Settings]\r\nDestination=" + target +
                         "\r\nMessage=W\xF6rterbuch Beispiel\r\n[Section1]\r\nName=Programm\r\nInstall=1\r\n";
    if (!ui::StartSetup(&Setup, ui::MakeMedium(name, script.c_str()))) return;
    Frame = ui::WaitFrame(Setup.Pid);
    Welcome = ui::WaitWelcomePage(Setup.Pid);
  }
  HWND Question(int button = 0) {
    HWND box = ui::WaitDialog(Setup.Pid, kCancel, {1, 2, 257, 258});
    EXPECT_NE(box, nullptr) << "no cancel question";
    if (box && button) {
      EXPECT_TRUE(ui::Answer(box, button));
    }
    return box;
  }
  // The closing notice 137, and the end of the run.
  void ExpectInterrupted() {
    HWND notice = ui::WaitDialog(Setup.Pid, Caption().c_str(), {1, 257, 258});
    ASSERT_NE(notice, nullptr) << "no closing notice";
    EXPECT_EQ(ui::ControlText(notice, 257),
              Caption() + " wurde unterbrochen, bevor eine \xC4nderung auf Ihrem System durchgef\xFChrt wurde.");
    EXPECT_EQ(ui::WaitFrame(Setup.Pid, 0), nullptr);  // the wizard ended before the notice
    EXPECT_TRUE(ui::Answer(notice, 1));
    EXPECT_EQ(ui::WaitExit(&Setup), 2) << "cancelled before any change";
  }
};

TEST(WizardScenario, FrameWelcomePageAndTheCancelQuestion) {
  WizardRun run("wizard-welcome");
  ASSERT_TRUE(run.Frame && run.Welcome);
  EXPECT_EQ(ui::WindowText(run.Frame), Caption());
  EXPECT_TRUE(IsZoomed(run.Frame));
  EXPECT_EQ(ui::Owner(run.Welcome), run.Frame);
  HWND page = run.Welcome;
  EXPECT_EQ(ui::WindowText(page), Caption());
  EXPECT_EQ(ui::ControlText(page, 257), "Willkommen zum Installationsprogramm der " + Product() + ".");
  EXPECT_EQ(ui::ControlText(page, 258).substr(0, 40), "Das Setup-Programm kann Systemdateien ni");
  EXPECT_NE(ui::ControlText(page, 260).find(Product()), std::string::npos);
  for (const std::string& text : ui::AllTexts(page)) EXPECT_EQ(text.find('$'), std::string::npos) << text;
  EXPECT_EQ(ui::ButtonIds(page), (std::vector<int>{1000, 9}));
  EXPECT_TRUE(WaitFocus(page, 1000));
  ui::Settle(300);
  // The title: white text over a black shadow 3 pixels to the lower right, on teal.
  POINT origin = {0, 0};
  ClientToScreen(run.Frame, &origin);
  const int left = 17, top = 17, width = 400 + 3 - left, height = 80 + 3 - top;  // with the shadow's reach
  std::vector<COLORREF> title = ui::ScreenPixels({origin.x + left, origin.y + top, origin.x + left + width,
                                                  origin.y + top + height});
  ASSERT_EQ(title.size(), static_cast<size_t>(width * height));
  auto at = [&](int x, int y) { return title[(y - top) * width + (x - left)]; };
  int white = 0, shadowed = 0;
  for (int y = 17; y < 80; ++y)
    for (int x = 17; x < 400; ++x)
      if (at(x, y) == 0xFFFFFF) {
        ++white;
        shadowed += at(x + 3, y + 3) != 0x008080;
      }
  EXPECT_GT(white, 500);
  EXPECT_GT(shadowed, white * 9 / 10);
  EXPECT_EQ(ui::ScreenPixel(origin.x + 5, origin.y + 300), 0x008080u);
  EXPECT_TRUE(ui::SaveScreenshot(Screenshot("welcome.png")));

  ASSERT_TRUE(ui::PressEscape(page));
  HWND box = run.Question();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ui::ControlText(box, 257), "Sind Sie sicher, da\xDF Sie das Setup-Programm abbrechen m\xF6" "chten?");
  EXPECT_EQ(ui::ControlText(box, 258), "Das Setup-Programm hat noch keine \xC4nderungen an Dateien vorgenommen.");
  EXPECT_EQ(ui::ControlText(box, 1) + "|" + ui::ControlText(box, 2), "Setup &fortsetzen|Setup &abbrechen");
  EXPECT_EQ(ui::Owner(box), page);
  EXPECT_FALSE(ui::IsEnabled(run.Frame));
  EXPECT_TRUE(ui::SaveScreenshot(Screenshot("confirm-cancel-115.png")));
  EXPECT_TRUE(ui::Answer(box, 1));
  EXPECT_TRUE(WaitFocus(page, 1000));
  ASSERT_TRUE(ui::Click(page, 9));  // "Setup &abbrechen" asks like Escape
  run.Question(2);
  run.ExpectInterrupted();
}

// The frame's close asks over the frame; one box at a time; after going on, the page has the
// keyboard, also after a click on the frame's background, and Enter presses "Weiter".
TEST(WizardScenario, CloseQuestionAndTheKeyboardAfterIt) {
  WizardRun run("wizard-close");
  ASSERT_TRUE(run.Frame && run.Welcome);
  HWND page = run.Welcome;
  ASSERT_TRUE(ui::CloseWindowCommand(run.Frame));
  HWND box = run.Question();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ui::Owner(box), run.Frame);
  EXPECT_FALSE(ui::IsEnabled(page));
  ui::SendCommand(page, IDCANCEL);
  ui::SendCommand(page, 9);
  ui::CloseWindowCommand(run.Frame);
  ui::Settle(500);
  EXPECT_EQ(ui::Dialogs(run.Setup.Pid).size(), 2u);  // the page and the one box
  EXPECT_TRUE(ui::Answer(box, 1));
  EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == page; }));
  EXPECT_TRUE(WaitFocus(page, 1000));
  SetForegroundWindow(run.Frame);
  EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == page; })) << "the frame kept the activation";
  HWND focus = ui::FocusOf(page);
  PostMessageA(focus, WM_KEYDOWN, VK_RETURN, 1);
  PostMessageA(focus, WM_KEYUP, VK_RETURN, 0xC0000001);
  EXPECT_TRUE(ui::WaitGone(page));
  EXPECT_EQ(ui::WaitCleanExit(&run.Setup), 0);
}

// Back from the welcome page leads to the page before it: the scan runs again and hands over
// to a new welcome page.
TEST(WizardScenario, BackFromTheWelcomePageRunsTheScanAgain) {
  WizardRun run("wizard-back");
  ASSERT_TRUE(run.Frame && run.Welcome);
  ASSERT_TRUE(ui::SendCommand(run.Welcome, 1001));  // no back button: sent as one would send it
  ASSERT_TRUE(ui::WaitGone(run.Welcome));
  HWND again = ui::WaitWelcomePage(run.Setup.Pid);
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, run.Welcome);
  EXPECT_EQ(ui::CancelFromWelcomePage(&run.Setup), 2);
}

// Without a default group the program group page is passed over; the frame's close box on the
// last page closes at once, and after a clean run no notice follows.
TEST(WizardScenario, TheFinishPageEndsTheWizardWithoutANotice) {
  WizardRun run("wizard-next");
  ASSERT_TRUE(run.Frame && run.Welcome);
  ASSERT_TRUE(ui::Click(run.Welcome, 1000));
  HWND options = ui::WaitOptionsPage(run.Setup.Pid);
  ASSERT_NE(options, nullptr);
  ASSERT_TRUE(ui::Click(options, 1000));
  HWND finish = nullptr;
  for (int i = 0; i < 500 && !finish; ++i) {
    EXPECT_EQ(ui::WaitGroupPage(run.Setup.Pid, 0), nullptr);
    finish = ui::WaitFinishPage(run.Setup.Pid, 20);
  }
  ASSERT_NE(finish, nullptr);
  std::vector<HWND> before = ui::TopWindows(run.Setup.Pid);
  std::vector<std::string> shown;
  ASSERT_TRUE(ui::CloseWindowCommand(run.Frame));
  EXPECT_EQ(ui::WaitExitWatching(&run.Setup, &shown, before), 0);
  EXPECT_EQ(shown, std::vector<std::string>{});
}

}  // namespace
