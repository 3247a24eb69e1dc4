#include <windows.h>

#include "install/answers.h"
#include "install/setup_log.h"
#include "startup/state.h"
#include "startup/text.h"
#include "wizard/busy_page.h"
#include "wizard/dialog_services.h"

namespace {

constexpr UINT kDeferMs = 20;        // a step held off while a box is up comes back after this
constexpr LONGLONG kSliceUs = 50000;  // steps run back to back at most this long
constexpr LONGLONG kLookUs = 2000;    // the queue is looked at this often within a slice

int PromptDepth;  // prompts of the busy page now on screen

// The slice RunBusySteps is in; no page while none runs.
HWND SlicePage;
unsigned SliceNextStep;  // the step the running step scheduled, not started yet
LONGLONG SliceStart;
LONGLONG SliceLastLook;
int SliceOver;   // the slice is over: its time is used up, or something waits
int SliceWaits;  // something waits for the thread: input, paint, a timer or a message

constexpr UINT kWaitingKinds = QS_INPUT | QS_PAINT | QS_TIMER | QS_POSTMESSAGE | QS_SENDMESSAGE;

int ThreadHasWaiting() { return HIWORD(GetQueueStatus(kWaitingKinds)) != 0; }

// The step whose timer runs now (one busy page runs at a time); it may also go as soon as the
// thread's queue is empty (PostIdleStep).
HWND TimedPage;
unsigned TimedStep;

void StartStepTimer(HWND page, unsigned message) {
  if (!SetTimer(page, message, 0, nullptr)) {
    PostMessageA(page, message, 0, 0);
    return;
  }
  TimedPage = page;
  TimedStep = message;
}

}  // namespace

int64_t BusyClockUs() {
  static LARGE_INTEGER frequency;
  if (!frequency.QuadPart && !QueryPerformanceFrequency(&frequency)) return static_cast<LONGLONG>(GetTickCount()) * 1000;
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  uint64_t ticks = static_cast<uint64_t>(now.QuadPart), rate = static_cast<uint64_t>(frequency.QuadPart), rest;
  uint64_t seconds = DivideWide(ticks, rate, &rest);
  return static_cast<int64_t>(seconds * 1000000 + DivideWide(rest * 1000000, rate));
}

int BusySliceLeft() {
  if (!SlicePage || SliceOver) return 0;
  LONGLONG now = BusyClockUs();
  if (now - SliceStart >= kSliceUs) SliceOver = 1;
  // Looking at the queue costs a call into the system: every few milliseconds is enough.
  else if (now - SliceLastLook >= kLookUs) {
    SliceLastLook = now;
    if (ThreadHasWaiting()) SliceOver = SliceWaits = 1;
  }
  return !SliceOver;
}

void EndBusySlice() {
  if (SlicePage) SliceOver = SliceWaits = 1;
}

void RunBusySteps(HWND page, unsigned message, void (*run)(HWND page, unsigned message)) {
  SlicePage = page;
  SliceStart = BusyClockUs();
  SliceLastLook = SliceStart - kLookUs;  // the first look is at once
  SliceOver = SliceWaits = 0;
  for (;;) {
    SliceNextStep = 0;
    run(page, message);
    unsigned next = SliceNextStep;
    if (!next) break;
    // A box shown by the step (its modal loop) also ends the slice: whatever it left
    // pending is served first.
    if (!IsWindow(page) || ModalActive || PromptDepth > 0 || CancelRequested || !BusySliceLeft()) {
      // A slice that only ran out of time, with nothing waiting, goes on through the message
      // loop at once: the timer's least interval (10 ms and more) would leave the thread idle
      // for a fifth of the time. Anything that arrives meanwhile ends the next slice within
      // a look, and is then served before the step's timer fires.
      if (IsWindow(page) && !ModalActive && PromptDepth == 0 && !CancelRequested && !SliceWaits &&
          !ThreadHasWaiting() && PostMessageA(page, next, 0, 0))
        break;
      StartStepTimer(page, next);
      break;
    }
    message = next;
  }
  SliceNextStep = 0;
  SlicePage = nullptr;
}

int IsStepMessage(unsigned message) {
  return message == kStepNextOption || message == kStepNextFile || message == kStepCopyChunk;
}

void ScheduleStep(HWND page, unsigned message) {
  // Inside a slice the step is only noted; RunBusySteps starts it or schedules it.
  if (page == SlicePage && !SliceNextStep) {
    SliceNextStep = message;
    return;
  }
  StartStepTimer(page, message);
}

int OnStepTimer(HWND page, uintptr_t timerId) {
  if (!IsStepMessage(static_cast<unsigned>(timerId))) return 0;
  if (page == TimedPage && timerId == TimedStep) TimedPage = nullptr;
  // Only the way that stops the timer posts its step: never twice.
  if (KillTimer(page, timerId)) PostMessageA(page, static_cast<UINT>(timerId), 0, 0);
  return 1;
}

namespace {

// A step that waits for its timer (it let input, messages and paint go first) is posted now
// instead. 1 when a step was posted.
int PostIdleStep() {
  HWND page = TimedPage;
  if (!page) return 0;
  TimedPage = nullptr;
  return IsWindow(page) && KillTimer(page, TimedStep) && PostMessageA(page, TimedStep, 0, 0);
}

}  // namespace

int GetWizardMessage(MSG* message) {
  while (!PeekMessageA(message, nullptr, 0, 0, PM_REMOVE))
    if (!PostIdleStep()) return GetMessageA(message, nullptr, 0, 0);
  return message->message == WM_QUIT ? 0 : 1;
}

int HandleBusyStep(HWND page, unsigned message, uintptr_t wParam, void (*run)(HWND page, unsigned message)) {
  if (message == WM_TIMER) return OnStepTimer(page, wParam);
  if (!IsStepMessage(message)) return 0;
  RunBusySteps(page, message, run);
  return 1;
}

int PassBusyGate(HWND page, unsigned message, int cancelDialog, const char* place, const char* item) {
  if (!IsStepMessage(message)) return 1;
  if (ModalActive || PromptDepth > 0) {
    if (!SetTimer(page, message, kDeferMs, nullptr)) PostMessageA(page, message, 0, 0);
    return 0;
  }
  if (CancelRequested) {
    CancelRequested = 0;
    if (ConfirmCancel(page, cancelDialog, FrameWindow) == 1) {
      // The log of a cancelled run says so, and where.
      if (place) WriteLogLine(kLogCancelled, place, item);
      return 0;
    }
  }
  return 1;
}

PagePromptGuard::PagePromptGuard() { ++PromptDepth; }
PagePromptGuard::~PagePromptGuard() { --PromptDepth; }
int PagePromptActive() { return PromptDepth > 0; }

int BusyPageMessage(HWND page, const char* text, const char* caption, unsigned style) {
  PagePromptGuard guard;
  return ShowMessage(page, text, caption, style);
}

void EndBusyPage(HWND page, int command) { LeavePage(page, command); }
