#include <windows.h>

#include "startup/state.h"
#include "wizard/busy_page.h"
#include "wizard/dialog_services.h"

namespace {

constexpr UINT kDeferMs = 20;  // a step held off while a box is up comes back after this
int PromptDepth;               // prompts of the busy page now on screen

}  // namespace

int IsStepMessage(unsigned message) {
  return message == kStepNextOption || message == kStepNextFile || message == kStepCopyChunk;
}

void ScheduleStep(HWND page, unsigned message) {
  if (!SetTimer(page, message, 0, nullptr)) PostMessageA(page, message, 0, 0);
}

int OnStepTimer(HWND page, uintptr_t timerId) {
  if (!IsStepMessage(static_cast<unsigned>(timerId))) return 0;
  KillTimer(page, timerId);
  PostMessageA(page, static_cast<UINT>(timerId), 0, 0);
  return 1;
}

int PassBusyGate(HWND page, unsigned message, int cancelDialog) {
  if (!IsStepMessage(message)) return 1;
  if (ModalActive || PromptDepth > 0) {
    if (!SetTimer(page, message, kDeferMs, nullptr)) PostMessageA(page, message, 0, 0);
    return 0;
  }
  if (CancelRequested) {
    CancelRequested = 0;
    if (ConfirmCancel(page, cancelDialog, FrameWindow) == 1) return 0;
  }
  return 1;
}

PagePromptGuard::PagePromptGuard() { ++PromptDepth; }
PagePromptGuard::~PagePromptGuard() { --PromptDepth; }
int PagePromptActive() { return PromptDepth > 0; }

int BusyPageMessage(HWND page, const char* text, const char* caption, unsigned style) {
  PagePromptGuard guard;
  return MessageBoxA(page, text, caption, style);
}

void EndBusyPage(HWND page, int command) { LeavePage(page, command); }
