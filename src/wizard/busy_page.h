// The machinery the busy pages (scan, copy, system update) share: work cut into step messages,
// each scheduled through a timer whose id is the message number, held off while a box is up,
// and the cancel question asked between steps.
#pragma once
#include <cstdint>

struct HWND__;
typedef HWND__* HWND;
struct tagMSG;

// Step messages, private to a busy page.
enum : unsigned {
  kStepNextOption = 0x0400 + 2,  // StepNextOption
  kStepNextFile = 0x0400 + 3,    // StepNextFile (or next record)
  kStepCopyChunk = 0x0400 + 4,   // StepCopyChunk
};

int IsStepMessage(unsigned message);

// Schedules a step: a 0 ms timer with the message number as its id, or the message posted at
// once when no timer can be started. Inside RunBusySteps the step may run at once instead.
void ScheduleStep(HWND page, unsigned message);

// Runs a step that passed the gate and, while a short time slice lasts (about 50 ms) and no
// input, paint or message waits for the thread, the steps it schedules one after the other,
// without a trip through the timer. The first step that finds the slice used up is scheduled
// as usual, so painting, "Abbrechen" and the frame's close command are served between slices.
void RunBusySteps(HWND page, unsigned message, void (*run)(HWND page, unsigned message));

// Inside RunBusySteps: 1 while the slice has time left and nothing waits for the thread (the
// queue is looked at every few milliseconds). A copy step goes on with blocks while it is 1.
int BusySliceLeft();

// Inside RunBusySteps: the step scheduled last goes through the message loop, so the page's
// gates see the next step (a question the step has set up comes first).
void EndBusySlice();

// A steady clock in microseconds, for timing the work of a step.
int64_t BusyClockUs();

// A busy page draws its figures at most this often while its steps go by, and always before a
// box comes up and at its end: drawing them at every step would cost more than a step itself
// (a small file copied, a record with nothing to do).
constexpr int64_t kDrawIntervalUs = 20000;

// For the page's WM_TIMER: stops a step timer and posts its step. 1 when the id was a step's.
int OnStepTimer(HWND page, uintptr_t timerId);

// GetMessageA for the wizard's message loops: once the thread's queue is empty, a step that
// waits for its timer (it let input, messages and paint go first) is posted at once. The
// timer's least interval, 10 ms (on Windows a tick of the system's clock, about 16 ms), would
// otherwise leave the thread idle at a busy page's start and after every slice that something
// ended. Returns what GetMessageA returns.
int GetWizardMessage(tagMSG* message);

// What every busy page's procedure does with its step timers and step messages (after the
// gate): a timer posts its step, a step runs its time slice through run. 1 when the message
// was one of them.
int HandleBusyStep(HWND page, unsigned message, uintptr_t wParam, void (*run)(HWND page, unsigned message));

// The gate every message of a busy page passes first. It acts on step messages only: while a
// cancel box or a box of the page itself is up the step is put off by 20 ms; a pending cancel
// request asks the cancel question (cancelDialog) first, and a confirmed cancel is logged with
// the page's place and the item in hand when place is given. 1 when the page handles the
// message now; 0 when it was put off or the user ended the setup.
int PassBusyGate(HWND page, unsigned message, int cancelDialog, const char* place = nullptr, const char* item = nullptr);

// A message box of the busy page, owned by the page, with the page's steps held off while it
// is up (so no cancel question stacks over it and no step runs in its modal loop). A silent
// run shows none: the result is the safe answer of its buttons (ShowMessage).
int BusyPageMessage(HWND page, const char* text, const char* caption, unsigned style);

// Holds the page's steps off while the page shows a prompt of its own (ChooseFolder and the
// like); one guard per prompt.
class PagePromptGuard {
 public:
  PagePromptGuard();
  ~PagePromptGuard();
  PagePromptGuard(const PagePromptGuard&) = delete;
  PagePromptGuard& operator=(const PagePromptGuard&) = delete;
};

// 1 while a busy page shows a prompt of its own.
int PagePromptActive();

// Ends the busy page and tells the frame: command 9 cancels the setup, 1000 goes on.
void EndBusyPage(HWND page, int command);
