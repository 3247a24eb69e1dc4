// The busy-page machinery on a real window: steps through timers named after their message,
// steps held off while a box is up, and the cancel question asked at the next step.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "resources/resource_ids.h"
#include "startup/state.h"
#include "ui_driver.h"
#include "wizard/busy_page.h"

namespace {

std::vector<UINT> Handled;  // step messages the page handled, in order
std::vector<WPARAM> FrameCommands;

LRESULT CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!PassBusyGate(page, message, IDD_CONFIRM_CANCEL_CHANGED)) return 0;
  if (message == WM_TIMER && OnStepTimer(page, wParam)) return 0;
  if (IsStepMessage(message)) {
    Handled.push_back(message);
    return 0;
  }
  return DefWindowProcA(page, message, wParam, lParam);
}

LRESULT CALLBACK FrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_WIZARD_COMMAND) FrameCommands.push_back(wParam);
  return DefWindowProcA(frame, message, wParam, lParam);
}

// Runs the thread's messages for a while.
void Pump(DWORD ms) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < ms) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(1);
  }
}

class BusyPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Instance = GetModuleHandleA(nullptr);
    WNDCLASSA page = {};
    page.lpfnWndProc = PageProc;
    page.hInstance = Instance;
    page.lpszClassName = "BusyPageTestPage";
    RegisterClassA(&page);
    WNDCLASSA frame = page;
    frame.lpfnWndProc = FrameProc;
    frame.lpszClassName = "BusyPageTestFrame";
    RegisterClassA(&frame);
    FrameWindow = CreateWindowA("BusyPageTestFrame", "Rahmen", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                Instance, nullptr);
    page_ = CreateWindowA("BusyPageTestPage", "Seite", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, FrameWindow,
                          nullptr, Instance, nullptr);
    Handled.clear();
    FrameCommands.clear();
    ModalActive = 0;
    CancelRequested = 0;
    ErrorsOccurred = 0;
    PageClosable = 0;
  }
  void TearDown() override {
    DestroyWindow(page_);
    DestroyWindow(FrameWindow);
    FrameWindow = nullptr;
  }
  HWND page_ = nullptr;
};

// Answers the first "Setup abbrechen" box of this process with the given button, from a
// thread of its own (the box runs its modal loop in the test's thread).
struct BoxAnswer {
  int Button;
  bool Seen = false;
  HANDLE Thread;
  explicit BoxAnswer(int button) : Button(button) { Thread = CreateThread(nullptr, 0, Run, this, 0, nullptr); }
  ~BoxAnswer() {
    WaitForSingleObject(Thread, 15000);
    CloseHandle(Thread);
  }
  static DWORD WINAPI Run(void* self) {
    auto* answer = static_cast<BoxAnswer*>(self);
    HWND box = ui::WaitDialog(GetCurrentProcessId(), "Setup abbrechen", {1, 2}, 10000);
    if (box) {
      answer->Seen = true;
      ui::Click(box, answer->Button);
    }
    return 0;
  }
};

TEST_F(BusyPageTest, AScheduledStepArrivesOnceThroughItsTimer) {
  ScheduleStep(page_, kStepNextFile);
  Pump(150);
  EXPECT_EQ(Handled, std::vector<UINT>{kStepNextFile});
  ScheduleStep(page_, kStepNextOption);
  ScheduleStep(page_, kStepCopyChunk);
  Pump(150);
  EXPECT_EQ(Handled, (std::vector<UINT>{kStepNextFile, kStepNextOption, kStepCopyChunk}));
  // A timer of another id is not taken for a step.
  EXPECT_FALSE(OnStepTimer(page_, 7));
}

TEST_F(BusyPageTest, StepsWaitWhileACancelBoxOrAPromptOfThePageIsUp) {
  ModalActive = 1;
  PostMessageA(page_, kStepCopyChunk, 0, 0);
  Pump(150);
  EXPECT_TRUE(Handled.empty());
  ModalActive = 0;
  Pump(100);
  EXPECT_EQ(Handled, std::vector<UINT>{kStepCopyChunk});

  {
    PagePromptGuard prompt;
    EXPECT_TRUE(PagePromptActive());
    ScheduleStep(page_, kStepNextFile);
    Pump(150);
    EXPECT_EQ(Handled.size(), 1u);
  }
  EXPECT_FALSE(PagePromptActive());
  Pump(100);
  EXPECT_EQ(Handled, (std::vector<UINT>{kStepCopyChunk, kStepNextFile}));
}

TEST_F(BusyPageTest, ACancelRequestIsAskedAtTheNextStepAndGoingOnRunsTheStep) {
  CancelRequested = 1;
  // Other messages pass without the question.
  SendMessageA(page_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Seite"));
  EXPECT_EQ(CancelRequested, 1);
  {
    BoxAnswer answer(1);  // "Setup &fortsetzen"
    PostMessageA(page_, kStepNextFile, 0, 0);
    Pump(3000);
    EXPECT_TRUE(answer.Seen);
  }
  EXPECT_EQ(Handled, std::vector<UINT>{kStepNextFile});
  EXPECT_EQ(CancelRequested, 0);
  EXPECT_EQ(ErrorsOccurred, 0);
  EXPECT_TRUE(FrameCommands.empty());
}

TEST_F(BusyPageTest, ConfirmingTheCancelDropsTheStepAndTellsTheFrame) {
  CancelRequested = 1;
  {
    BoxAnswer answer(2);  // "Setup &abbrechen"
    PostMessageA(page_, kStepCopyChunk, 0, 0);
    Pump(3000);
    EXPECT_TRUE(answer.Seen);
  }
  Pump(100);
  EXPECT_TRUE(Handled.empty());
  EXPECT_EQ(ErrorsOccurred, 1);
  EXPECT_EQ(FrameCommands, std::vector<WPARAM>{static_cast<WPARAM>(IDC_CANCEL_SETUP)});
}

}  // namespace

namespace {

int ChainLeft;                  // steps the chained handler still schedules
std::vector<UINT> ChainHandled;

void ChainStep(HWND page, unsigned message) {
  ChainHandled.push_back(message);
  if (ChainLeft-- > 0) ScheduleStep(page, message == kStepNextFile ? kStepCopyChunk : kStepNextFile);
}

TEST_F(BusyPageTest, StepsScheduledInsideASliceRunAtOnceWhileNothingWaits) {
  ChainLeft = 5;
  ChainHandled.clear();
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  RunBusySteps(page_, kStepNextFile, ChainStep);
  // Six steps in one go, and no timer left behind.
  EXPECT_EQ(ChainHandled, (std::vector<UINT>{kStepNextFile, kStepCopyChunk, kStepNextFile, kStepCopyChunk,
                                             kStepNextFile, kStepCopyChunk}));
  Pump(100);
  EXPECT_TRUE(Handled.empty());
  EXPECT_FALSE(BusySliceLeft());  // outside a slice
}

TEST_F(BusyPageTest, AWaitingMessageEndsTheSliceAndTheNextStepGoesThroughItsTimer) {
  ChainLeft = 1;
  ChainHandled.clear();
  PostMessageA(page_, WM_NULL, 0, 0);  // something for the thread to serve
  Sleep(5);
  RunBusySteps(page_, kStepNextFile, ChainStep);
  EXPECT_EQ(ChainHandled, std::vector<UINT>{kStepNextFile});
  Pump(150);
  EXPECT_EQ(Handled, std::vector<UINT>{kStepCopyChunk});  // scheduled, then run by the page
}

// Uses up the slice with nothing waiting, once.
void TimeUpStep(HWND page, unsigned message) {
  ChainHandled.push_back(message);
  while (BusySliceLeft()) {
  }
  if (ChainLeft-- > 0) ScheduleStep(page, kStepCopyChunk);
}

TEST_F(BusyPageTest, ASliceThatOnlyRanOutOfTimeGoesOnWithoutWaitingForATimer) {
  ChainLeft = 1;
  ChainHandled.clear();
  Pump(50);  // the window's first paint and anything else pending
  RunBusySteps(page_, kStepNextFile, TimeUpStep);
  EXPECT_EQ(ChainHandled, std::vector<UINT>{kStepNextFile});
  // The next step is already in the queue: no timer's least interval lies between.
  MSG msg;
  EXPECT_TRUE(PeekMessageA(&msg, page_, kStepCopyChunk, kStepCopyChunk, PM_NOREMOVE));
  Pump(50);
  EXPECT_EQ(Handled, std::vector<UINT>{kStepCopyChunk});
}

}  // namespace
