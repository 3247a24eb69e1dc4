// The dialog services and the frame's page walk, run in this process against the real dialog
// templates (linked in from setup.rc). The boxes are modal on the test's thread, so a second
// thread reads and answers them.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "startup/state.h"
#include "startup/text.h"
#include "ui_driver.h"
#include "wizard/dialog_services.h"
#include "wizard/frame.h"

namespace {

// What one dialog showed when it came up.
struct SeenDialog {
  std::string Caption;
  std::map<int, std::string> Texts;  // by control id
  HWND Owner = nullptr;
  bool WatchedEnabled = true;  // the watched window, while the dialog was up
  int PageClosableSeen = -1;
  int ModalActiveSeen = -1;
};

struct Step {
  std::string Caption;
  int Button;
  DWORD TimeoutMs = 5000;
};

// Answers the dialogs of this process in the given order, each found by its caption.
class DialogAnswerer {
 public:
  DialogAnswerer(std::vector<Step> steps, HWND watched = nullptr, std::function<void(HWND)> whileUp = {})
      : steps_(std::move(steps)), watched_(watched), whileUp_(std::move(whileUp)) {
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
  }
  ~DialogAnswerer() { Join(); }
  DialogAnswerer(const DialogAnswerer&) = delete;
  DialogAnswerer& operator=(const DialogAnswerer&) = delete;

  // Waits for the thread (the steps are done or timed out) and returns what it saw.
  const std::vector<SeenDialog>& Seen() {
    Join();
    return seen_;
  }

 private:
  void Join() {
    if (!thread_) return;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }

  static DWORD WINAPI Run(void* param) {
    auto* self = static_cast<DialogAnswerer*>(param);
    std::vector<HWND> answered;
    for (const Step& step : self->steps_) {
      HWND box = nullptr;
      DWORD start = GetTickCount();
      while (!box && GetTickCount() - start < step.TimeoutMs) {
        for (HWND w : ui::Dialogs(GetCurrentProcessId(), step.Caption.c_str())) {
          bool old = false;
          for (HWND a : answered) old |= a == w;
          if (!old) box = w;
        }
        if (!box) Sleep(10);
      }
      if (!box) continue;  // not shown: the step is skipped
      Sleep(50);  // let the dialog finish its initialisation
      SeenDialog seen;
      seen.Caption = ui::WindowText(box);
      for (int id : {1, 2, IDC_TEXT_1, IDC_TEXT_2, IDC_PATH_LINE, 65535})
        if (GetDlgItem(box, id)) seen.Texts[id] = ui::ControlText(box, id);
      seen.Owner = ui::Owner(box);
      if (self->watched_) seen.WatchedEnabled = IsWindowEnabled(self->watched_);
      seen.PageClosableSeen = PageClosable;
      seen.ModalActiveSeen = ModalActive;
      if (self->whileUp_) self->whileUp_(box);
      self->seen_.push_back(seen);
      answered.push_back(box);
      ui::Click(box, step.Button);
      ui::WaitGone(box, 5000);
    }
    return 0;
  }

  std::vector<Step> steps_;
  HWND watched_;
  std::function<void(HWND)> whileUp_;
  std::vector<SeenDialog> seen_;
  HANDLE thread_ = nullptr;
};

INT_PTR CALLBACK StubPageProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// A wizard command the services posted to the frame; 0 when there is none.
int TakeWizardCommand() {
  MSG msg;
  if (!PeekMessageA(&msg, FrameWindow, WM_WIZARD_COMMAND, WM_WIZARD_COMMAND, PM_REMOVE)) return 0;
  return static_cast<int>(msg.wParam);
}

HWND MakeWindow(const char* text, HWND parent = nullptr, DWORD style = WS_POPUP | WS_VISIBLE) {
  return CreateWindowExA(0, "STATIC", text, style | (parent ? WS_CHILD : 0), 10, 10, 200, 100, parent, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

class WizardDialogs : public testing::Test {
 protected:
  void SetUp() override {
    Instance = GetModuleHandleA(nullptr);
    CopyText(savedProduct_, ProductName);
    CopyText(savedCompany_, CompanyName);
    CopyText(ProductName, "Atlas");
    CopyText(CompanyName, "Kartenhaus");
    frame_ = MakeWindow("frame", nullptr, WS_POPUP);  // receives the posted wizard commands
    FrameWindow = frame_;
    owner_ = MakeWindow("Besitzer");
    disabled_ = MakeWindow("abgeschaltet");
    ModalActive = 0;
    PageClosable = 1;
    CancelRequested = 0;
    ErrorsOccurred = 0;
    CurrentPage = nullptr;
  }
  void TearDown() override {
    while (TakeWizardCommand()) {
    }
    DestroyWindow(disabled_);
    DestroyWindow(owner_);
    DestroyWindow(frame_);
    FrameWindow = nullptr;
    CopyText(ProductName, savedProduct_);
    CopyText(CompanyName, savedCompany_);
  }
  HWND frame_ = nullptr, owner_ = nullptr, disabled_ = nullptr;
  char savedProduct_[kPathChars], savedCompany_[kPathChars];
};

struct BoxCase {
  int Id;
  const char* Caption;
  const char* Text1;
  const char* Text2;  // null: the box has one text
  const char* Button1;
  const char* Button2;  // null: the box has one button
};

const BoxCase kBoxes[] = {
    {IDD_CONFIRM_CANCEL, "Setup abbrechen", "Sind Sie sicher, daß Sie das Setup-Programm abbrechen möchten?",
     "Das Setup-Programm hat noch keine Änderungen an Dateien vorgenommen.", "Setup &fortsetzen",
     "Setup &abbrechen"},
    {IDD_CONFIRM_CANCEL_CHANGED, "Setup abbrechen", "Sind Sie sicher, daß Sie das Setup-Programm abbrechen möchten?",
     "Wenn Sie abbrechen, wird die Anwendung nicht ordnungsgemäß installiert und kann nicht gestartet werden.",
     "Setup &fortsetzen", "Setup &abbrechen"},
    {IDD_FILES_IN_USE, "Laufende Anwendungen...",
     "Setup muß auf Dateien zugreifen, die zur Zeit von anderen Anwendungen genutzt werden. Bitte schließen Sie alle "
     "noch laufenden Anwendungen und starten Sie Setup erneut.",
     "Setup kann auch fortgesetzt werden, jedoch besteht die Gefahr, daß Setup Änderungen an Systemdateien nicht "
     "durchführen kann.",
     "Setup &fortsetzen", "Setup &beenden"},
    {IDD_NOTICE_INCOMPLETE, "Atlas-Setup",
     "Atlas-Setup wurde nicht vollständig ausgeführt.\n\nBitte führen Sie Setup erneut aus, da die Anwendung nicht "
     "ordnungsgemäß funktionieren wird.",
     nullptr, "OK", nullptr},
    {IDD_NOTICE_INTERRUPTED, "Atlas-Setup",
     "Atlas-Setup wurde unterbrochen, bevor eine Änderung auf Ihrem System durchgeführt wurde.",
     "Sie können das Atlas-Setup zu einem späteren Zeitpunkt erneut aufrufen, um die Installation vollständig "
     "durchzuführen.",
     "OK", nullptr},
};

TEST_F(WizardDialogs, EachBoxShowsItsExpandedTextsAndGoingOnChangesNothing) {
  for (const BoxCase& c : kBoxes) {
    SCOPED_TRACE(c.Id);
    DialogAnswerer answerer({{c.Caption, 1}}, disabled_);
    EXPECT_EQ(ConfirmCancel(owner_, c.Id, disabled_), 0);
    const std::vector<SeenDialog>& seen = answerer.Seen();
    ASSERT_EQ(seen.size(), 1u);
    const SeenDialog& box = seen[0];
    EXPECT_EQ(box.Texts.at(IDC_TEXT_1), c.Text1);
    if (c.Text2) EXPECT_EQ(box.Texts.at(IDC_TEXT_2), c.Text2);
    else EXPECT_EQ(box.Texts.count(IDC_TEXT_2), 0u);
    EXPECT_EQ(box.Texts.at(1), c.Button1);
    if (c.Button2) EXPECT_EQ(box.Texts.at(2), c.Button2);
    else EXPECT_EQ(box.Texts.count(2), 0u);
    EXPECT_EQ(box.Texts.count(65535), 0u);  // no message box: the driver must not take it for one
    EXPECT_EQ(box.Owner, owner_);
    // While it is up: the window to disable is off, the frame's close may not ask, a box is up.
    EXPECT_FALSE(box.WatchedEnabled);
    EXPECT_EQ(box.PageClosableSeen, 0);
    EXPECT_EQ(box.ModalActiveSeen, 1);
    // Afterwards everything is as it was.
    EXPECT_TRUE(IsWindowEnabled(disabled_));
    EXPECT_EQ(PageClosable, 1);
    EXPECT_EQ(ModalActive, 0);
    EXPECT_EQ(ErrorsOccurred, 0);
    EXPECT_EQ(TakeWizardCommand(), 0);
  }
}

TEST_F(WizardDialogs, StoppingEndsTheOwnerPageAndTellsTheFrame) {
  for (int id : {IDD_CONFIRM_CANCEL_CHANGED, IDD_FILES_IN_USE}) {
    SCOPED_TRACE(id);
    HWND page = CreateDialogParamA(Instance, MAKEINTRESOURCEA(IDD_BACK_BEFORE_FIRST), frame_, StubPageProc, 0);
    ASSERT_NE(page, nullptr);
    ShowWindow(page, SW_SHOW);
    CurrentPage = page;
    ErrorsOccurred = 0;
    DialogAnswerer answerer({{id == IDD_FILES_IN_USE ? "Laufende Anwendungen..." : "Setup abbrechen", 2}});
    EXPECT_EQ(ConfirmCancel(page, id, disabled_), 1);
    EXPECT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(ErrorsOccurred, 1);
    EXPECT_EQ(TakeWizardCommand(), CmdCancel);
    EXPECT_EQ(TakeWizardCommand(), 0);
    EXPECT_EQ(CurrentPage, nullptr);
    EXPECT_FALSE(IsWindowVisible(page));  // ended as a dialog
    EXPECT_TRUE(IsWindowEnabled(disabled_));
    EXPECT_EQ(ModalActive, 0);
    EXPECT_EQ(PageClosable, 1);
    DestroyWindow(page);
  }
}

TEST_F(WizardDialogs, BoxKeepsPageClosableAndClearsCancelRequested) {
  // A busy page runs (PageClosable 0) and the user asked to cancel.
  PageClosable = 0;
  CancelRequested = 1;
  DialogAnswerer answerer({{"Setup abbrechen", 1}});
  EXPECT_EQ(ConfirmCancel(owner_, IDD_CONFIRM_CANCEL_CHANGED, nullptr), 0);
  EXPECT_EQ(answerer.Seen().size(), 1u);
  EXPECT_EQ(PageClosable, 0);
  EXPECT_EQ(CancelRequested, 0);
}

// A second request while a box is up, made on the test's thread from inside the box's loop.
int SecondResult = 99;
LRESULT CALLBACK SecondRequestProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) {
    SecondResult = ConfirmCancel(window, IDD_CONFIRM_CANCEL, nullptr);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(WizardDialogs, SecondRequestWhileABoxIsUpIsRefused) {
  HWND requester = MakeWindow("zweite Anfrage");
  SetWindowLongPtrA(requester, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SecondRequestProc));
  SecondResult = 99;
  size_t boxesWhileUp = 0;
  DialogAnswerer answerer({{"Setup abbrechen", 1}}, nullptr, [&](HWND) {
    PostMessageA(requester, WM_APP, 0, 0);
    for (int i = 0; i < 100 && SecondResult == 99; ++i) Sleep(20);
    Sleep(200);
    boxesWhileUp = ui::Dialogs(GetCurrentProcessId(), "Setup abbrechen").size();
  });
  EXPECT_EQ(ConfirmCancel(owner_, IDD_CONFIRM_CANCEL, disabled_), 0);
  EXPECT_EQ(answerer.Seen().size(), 1u);
  EXPECT_EQ(SecondResult, -1);
  EXPECT_EQ(boxesWhileUp, 1u);
  EXPECT_EQ(ModalActive, 0);
  DestroyWindow(requester);
}

TEST_F(WizardDialogs, AskCreateFolderShowsThePathAsItIs) {
  const char path[] = "C:\\Programme\\$p Neu\\Daten";
  for (int button : {1, 2}) {
    DialogAnswerer answerer({{"Zielverzeichnis erzeugen", button}});
    EXPECT_EQ(AskCreateFolder(owner_, path), button);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    const SeenDialog& box = answerer.Seen()[0];
    EXPECT_EQ(box.Texts.at(IDC_PATH_LINE), path);  // no names put into a path
    EXPECT_EQ(box.Texts.at(IDC_TEXT_1), "Das Verzeichnis:");
    EXPECT_EQ(box.Texts.at(IDC_TEXT_2), "existiert nicht. Soll es erstellt werden?");
    EXPECT_EQ(box.Texts.at(1), "&Ja");
    EXPECT_EQ(box.Texts.at(2), "&Nein");
    EXPECT_EQ(box.Owner, owner_);
  }
  EXPECT_EQ(ModalActive, 0);  // not one of the cancel boxes
}

TEST_F(WizardDialogs, ExpandDialogTextsReachesEveryWindowBelowAndLeavesIconsAlone) {
  HWND top = MakeWindow("$p-Setup ($c)");
  HWND child = MakeWindow("von $c", top, WS_VISIBLE);
  HWND grandchild = MakeWindow("a$xb$", child, WS_VISIBLE);
  HWND plain = MakeWindow("", top, WS_VISIBLE);
  HWND icon = MakeWindow("", top, WS_VISIBLE | SS_ICON);
  HICON setupIcon = LoadIconA(Instance, MAKEINTRESOURCEA(IDI_SETUP));
  ASSERT_NE(setupIcon, nullptr);
  SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(setupIcon), 0);
  ExpandDialogTexts(top);
  EXPECT_EQ(ui::WindowText(top), "Atlas-Setup (Kartenhaus)");
  EXPECT_EQ(ui::WindowText(child), "von Kartenhaus");
  EXPECT_EQ(ui::WindowText(grandchild), "ab");
  EXPECT_EQ(ui::WindowText(plain), "");
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(icon, STM_GETICON, 0, 0)), setupIcon);
  DestroyWindow(top);
}

TEST_F(WizardDialogs, LeavePageTurnsButtonsIntoWizardCommands) {
  const struct {
    WPARAM Id;
    int Command;  // 0: not a page command
  } cases[] = {{1, CmdNext},   {2, CmdBack},  {9, CmdCancel}, {1000, CmdNext}, {1001, CmdBack},
               {MAKEWPARAM(1000, BN_CLICKED), CmdNext}, {0, 0}, {3, 0}, {12, 0}, {1002, 0}, {IDC_GROUP_NAME, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Id);
    HWND page = CreateDialogParamA(Instance, MAKEINTRESOURCEA(IDD_BACK_BEFORE_FIRST), frame_, StubPageProc, 0);
    ASSERT_NE(page, nullptr);
    ShowWindow(page, SW_SHOW);
    CurrentPage = page;
    EXPECT_EQ(LeavePage(page, c.Id), c.Command != 0);
    EXPECT_EQ(TakeWizardCommand(), c.Command);
    EXPECT_EQ(CurrentPage, c.Command ? nullptr : page);
    EXPECT_EQ(IsWindowVisible(page) != 0, c.Command == 0);
    DestroyWindow(page);
  }
}

// The frame in this process, driven by sending it its messages directly.
class FrameWalk : public WizardDialogs {
 protected:
  void SetUp() override {
    WizardDialogs::SetUp();
    memcpy(saved_, PageTable, sizeof saved_);
    for (int i = 0; i < kPageCount; ++i) PageTable[i].Procedure = nullptr;
    savedGroup_ = HasDefaultGroup;
    ASSERT_TRUE(RegisterFrameClass());
    wizard_ = CreateFrameWindow();
    ASSERT_NE(wizard_, nullptr);
  }
  void TearDown() override {
    if (IsWindow(wizard_)) {
      ChangesMade = 1;  // no closing notice
      ErrorsOccurred = 0;
      DestroyWindow(wizard_);
    }
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    UnregisterFrameClass();
    memcpy(PageTable, saved_, sizeof saved_);
    HasDefaultGroup = savedGroup_;
    WizardDialogs::TearDown();
  }
  void Command(int command) { SendMessageA(wizard_, WM_WIZARD_COMMAND, command, 0); }
  bool QuitPosted() {
    MSG msg;
    return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && msg.wParam == 0;
  }
  PageEntry saved_[kPageCount + 1];
  int savedGroup_ = 0;
  HWND wizard_ = nullptr;
};

TEST_F(FrameWalk, CreationSetsTheCaptionAndResetsTheRun) {
  EXPECT_EQ(ui::WindowText(wizard_), "Atlas-Setup");
  EXPECT_EQ(FrameWindow, wizard_);
  EXPECT_EQ(PageIndex, -1);
  EXPECT_EQ(CurrentPage, nullptr);
  EXPECT_EQ(FirstPaintDone, 0);
  EXPECT_EQ(ChangesMade, 0);
}

TEST_F(FrameWalk, WalkPassesOverPagesNotBuiltAndTheGroupPageWithoutDefaultGroup) {
  PageTable[2] = {IDD_BACK_BEFORE_FIRST, StubPageProc};
  PageTable[3] = {IDD_PROGRAM_GROUP, StubPageProc};
  PageTable[4] = {IDD_BACK_BEFORE_FIRST, StubPageProc};
  HasDefaultGroup = 0;
  Command(CmdNext);
  EXPECT_EQ(PageIndex, 2);
  HWND first = CurrentPage;
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(ui::Owner(first), wizard_);
  Command(CmdNext);
  EXPECT_EQ(PageIndex, 4);  // no default group: the program group page is passed over
  EXPECT_FALSE(IsWindow(first));  // the page before is gone
  ASSERT_NE(CurrentPage, nullptr);
  Command(CmdBack);
  EXPECT_EQ(PageIndex, 2);
  EXPECT_EQ(PageClosable, 1);
  EXPECT_EQ(CancelRequested, 0);
  // Back before the first built page: dialog 102, then the frame ends with notice 137.
  DialogAnswerer answerer({{"Atlas-Setup", 1}, {"Atlas-Setup", 1}});
  Command(CmdBack);
  const std::vector<SeenDialog>& seen = answerer.Seen();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].Texts.at(IDC_TEXT_1), "Vor dieser Seite gibt es keine weitere Seite. Das Atlas-Setup wird jetzt beendet.");
  EXPECT_EQ(seen[0].Owner, wizard_);
  EXPECT_EQ(seen[1].Texts.at(IDC_TEXT_1),
            "Atlas-Setup wurde unterbrochen, bevor eine Änderung auf Ihrem System durchgeführt wurde.");
  EXPECT_FALSE(IsWindow(wizard_));
  EXPECT_TRUE(QuitPosted());
}

TEST_F(FrameWalk, NextOffTheTableEndsTheWizardWithTheNoticeTheFlagsCallFor) {
  PageTable[5] = {IDD_BACK_BEFORE_FIRST, StubPageProc};
  Command(CmdNext);
  EXPECT_EQ(PageIndex, 5);
  ChangesMade = 1;
  ErrorsOccurred = 1;
  DialogAnswerer answerer({{"Atlas-Setup", 1}});
  Command(CmdNext);
  ASSERT_EQ(answerer.Seen().size(), 1u);
  EXPECT_EQ(answerer.Seen()[0].Texts.at(IDC_TEXT_1).substr(0, 47), "Atlas-Setup wurde nicht vollständig ausgeführt.");
  EXPECT_EQ(PageIndex, kPageCount);
  EXPECT_FALSE(IsWindow(wizard_));
  EXPECT_TRUE(QuitPosted());
}

TEST_F(FrameWalk, ChangesWithoutErrorsEndWithoutANotice) {
  ChangesMade = 1;
  ErrorsOccurred = 0;
  DialogAnswerer answerer({{"Atlas-Setup", 1, 1500}});
  Command(CmdCancel);
  EXPECT_TRUE(answerer.Seen().empty());
  EXPECT_FALSE(IsWindow(wizard_));
  EXPECT_TRUE(QuitPosted());
}

TEST_F(FrameWalk, PageThatCannotBeCreatedEndsTheWizard) {
  PageTable[2] = {9999, StubPageProc};
  DialogAnswerer answerer({{"Schwerer Fehler", IDOK}, {"Atlas-Setup", 1}});
  Command(CmdNext);
  const std::vector<SeenDialog>& seen = answerer.Seen();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].Texts.at(65535), "Kann Dialog nicht erstellen");
  EXPECT_EQ(seen[0].Owner, wizard_);
  EXPECT_FALSE(IsWindow(wizard_));
}

TEST_F(FrameWalk, CloseCommandFollowsThePageState) {
  PageTable[4] = {IDD_BACK_BEFORE_FIRST, StubPageProc};
  PageIndex = 3;
  Command(CmdNext);
  ASSERT_EQ(PageIndex, 4);
  HWND page = CurrentPage;
  // A busy page runs: the close only notes the request.
  PageClosable = 0;
  SendMessageA(wizard_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(CancelRequested, 1);
  EXPECT_TRUE(IsWindow(wizard_));
  // Not while a box is up.
  CancelRequested = 0;
  ModalActive = 1;
  SendMessageA(wizard_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(CancelRequested, 0);
  ModalActive = 0;
  // Changes made: the frame asks 121 itself, over the page, which is disabled meanwhile.
  PageClosable = 1;
  ChangesMade = 1;
  {
    DialogAnswerer answerer({{"Setup abbrechen", 1}}, page);
    SendMessageA(wizard_, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].Texts.at(IDC_TEXT_2).substr(0, 24), "Wenn Sie abbrechen, wird");
    EXPECT_EQ(answerer.Seen()[0].Owner, wizard_);
    EXPECT_FALSE(answerer.Seen()[0].WatchedEnabled);
  }
  EXPECT_TRUE(IsWindow(wizard_));
  EXPECT_TRUE(IsWindowEnabled(page));
  EXPECT_EQ(PageClosable, 1);
  // Stopping: the frame ends; errors are marked, so notice 114 follows.
  DialogAnswerer answerer({{"Setup abbrechen", 2}, {"Atlas-Setup", 1}});
  SendMessageA(wizard_, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_EQ(answerer.Seen().size(), 2u);
  EXPECT_EQ(answerer.Seen()[1].Texts.at(IDC_TEXT_1).substr(0, 47), "Atlas-Setup wurde nicht vollständig ausgeführt.");
  EXPECT_FALSE(IsWindow(wizard_));
  EXPECT_EQ(ErrorsOccurred, 1);
}

TEST_F(FrameWalk, CloseOnTheFinishPageEndsWithoutAQuestion) {
  PageIndex = kFinishPageIndex;
  ChangesMade = 1;
  ErrorsOccurred = 1;  // the finish page has not reset them yet: notice 114
  DialogAnswerer answerer({{"Setup abbrechen", 1, 1000}, {"Atlas-Setup", 1}});
  SendMessageA(wizard_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindow(wizard_));
  const std::vector<SeenDialog>& seen = answerer.Seen();
  ASSERT_EQ(seen.size(), 1u);  // no question, only the notice
  EXPECT_EQ(seen[0].Texts.at(IDC_TEXT_1).substr(0, 47), "Atlas-Setup wurde nicht vollständig ausgeführt.");
}

}  // namespace
