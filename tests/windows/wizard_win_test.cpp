// The wizard's machinery in this process against the real dialog templates (linked in from
// setup.rc): the boxes of ConfirmCancel, leaving a page, the frame's page walk and activation,
// the busy pages' steps, the progress bar as painted, and the folder chooser. Modal boxes run
// on the test's thread, so a second thread reads and answers them.
#include <gtest/gtest.h>
#include <windows.h>
#include <dlgs.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "install/progress_bar.h"
#include "install_support.h"
#include "resources/resource_ids.h"
#include "startup/state.h"
#include "startup/text.h"
#include "ui_driver.h"
#include "wizard/busy_page.h"
#include "wizard/dialog_services.h"
#include "wizard/folder_chooser.h"
#include "wizard/frame.h"

namespace {

using installtest::DialogAnswerer;
using installtest::SeenDialog;

INT_PTR CALLBACK StubPageProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

void Pump(DWORD ms = 0) {
  DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (ms) Sleep(1);
  } while (GetTickCount() - start < ms);
}

// A wizard command the services posted to the frame; 0 when there is none.
int TakeWizardCommand() {
  MSG msg;
  return PeekMessageA(&msg, FrameWindow, WM_WIZARD_COMMAND, WM_WIZARD_COMMAND, PM_REMOVE) ? static_cast<int>(msg.wParam)
                                                                                         : 0;
}

HWND MakeWindow(const char* text, HWND parent = nullptr, DWORD style = WS_POPUP | WS_VISIBLE) {
  return CreateWindowExA(0, "STATIC", text, style | (parent ? WS_CHILD : 0), 10, 10, 200, 100, parent, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

HWND MakePage(HWND owner) {
  HWND page = CreateDialogParamA(Instance, MAKEINTRESOURCEA(IDD_BACK_BEFORE_FIRST), owner, StubPageProc, 0);
  ShowWindow(page, SW_SHOW);
  return CurrentPage = page;
}

class WizardTest : public testing::Test {
 protected:
  void SetUp() override {
    Instance = GetModuleHandleA(nullptr);
    CopyText(ProductName, "Atlas");
    CopyText(CompanyName, "Kartenhaus");
    FrameWindow = frame_ = MakeWindow("frame", nullptr, WS_POPUP);  // receives the posted wizard commands
    owner_ = MakeWindow("Besitzer");
    disabled_ = MakeWindow("abgeschaltet");
    ModalActive = CancelRequested = ErrorsOccurred = 0;
    PageClosable = 1;
    CurrentPage = nullptr;
  }
  void TearDown() override {
    while (TakeWizardCommand()) {
    }
    for (HWND w : {disabled_, owner_, frame_}) DestroyWindow(w);
    FrameWindow = nullptr;
    ProductName[0] = CompanyName[0] = 0;
  }
  HWND frame_ = nullptr, owner_ = nullptr, disabled_ = nullptr;
};

TEST_F(WizardTest, EachBoxShowsItsExpandedTextsAndGoingOnChangesNothing) {
  const char* const boxes[][5] = {
      {"115", "Setup abbrechen", "Sind Sie sicher, daß Sie das Setup-Programm abbrechen möchten?",
       "Das Setup-Programm hat noch keine Änderungen an Dateien vorgenommen.", "Setup &abbrechen"},
      {"121", "Setup abbrechen", "Sind Sie sicher, daß Sie das Setup-Programm abbrechen möchten?",
       "Wenn Sie abbrechen, wird die Anwendung nicht ordnungsgemäß installiert und kann nicht gestartet werden.",
       "Setup &abbrechen"},
      {"134", "Laufende Anwendungen...",
       "Setup muß auf Dateien zugreifen, die zur Zeit von anderen Anwendungen genutzt werden. Bitte schließen Sie "
       "alle noch laufenden Anwendungen und starten Sie Setup erneut.",
       "Setup kann auch fortgesetzt werden, jedoch besteht die Gefahr, daß Setup Änderungen an Systemdateien nicht "
       "durchführen kann.",
       "Setup &beenden"},
      {"114", "Atlas-Setup",
       "Atlas-Setup wurde nicht vollständig ausgeführt.\n\nBitte führen Sie Setup erneut aus, da die Anwendung "
       "nicht ordnungsgemäß funktionieren wird.",
       nullptr, nullptr},
      {"137", "Atlas-Setup", "Atlas-Setup wurde unterbrochen, bevor eine Änderung auf Ihrem System durchgeführt wurde.",
       "Sie können das Atlas-Setup zu einem späteren Zeitpunkt erneut aufrufen, um die Installation vollständig "
       "durchzuführen.",
       nullptr},
  };
  for (const auto& c : boxes) {
    SCOPED_TRACE(c[0]);
    DialogAnswerer answerer({{c[1], 1}}, disabled_);
    EXPECT_EQ(ConfirmCancel(owner_, atoi(c[0]), disabled_), 0);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    const SeenDialog& box = answerer.Seen()[0];
    EXPECT_EQ(box.Texts.at(IDC_TEXT_1), c[2]);
    EXPECT_EQ(box.Texts.count(IDC_TEXT_2) ? box.Texts.at(IDC_TEXT_2) : "", c[3] ? c[3] : "");
    EXPECT_EQ(box.Texts.at(1), c[4] ? "Setup &fortsetzen" : "OK");
    EXPECT_EQ(box.Texts.count(2) ? box.Texts.at(2) : "", c[4] ? c[4] : "");
    EXPECT_EQ(box.Texts.count(65535), 0u);  // no message box: the driver must not take it for one
    EXPECT_EQ(box.Owner, owner_);
    EXPECT_FALSE(box.WatchedEnabled);
    EXPECT_EQ(box.PageClosableSeen, 0);  // the frame's close may not ask while it is up
    EXPECT_EQ(box.ModalActiveSeen, 1);
    EXPECT_TRUE(IsWindowEnabled(disabled_));
    EXPECT_EQ(PageClosable + ModalActive + ErrorsOccurred + TakeWizardCommand(), 1);
  }
}

TEST_F(WizardTest, StoppingEndsThePageAndASecondRequestIsRefused) {
  HWND page = MakePage(frame_);
  PageClosable = 0;
  CancelRequested = 1;
  int second = 99;
  DialogAnswerer answerer({{"Setup abbrechen", 2}}, nullptr, [&](HWND) {
    second = static_cast<int>(SendMessageA(owner_, WM_NULL, 0, 0));  // the loop is the test thread's: post instead
  });
  SetWindowLongPtrA(owner_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM p, LPARAM l) -> LRESULT {
    if (m == WM_NULL) return ConfirmCancel(w, IDD_CONFIRM_CANCEL, nullptr);
    return DefWindowProcA(w, m, p, l);
  }));
  EXPECT_EQ(ConfirmCancel(page, IDD_CONFIRM_CANCEL_CHANGED, disabled_), 1);
  answerer.Seen();
  EXPECT_EQ(second, -1);  // a box is up: nothing happens
  EXPECT_EQ(ErrorsOccurred, 1);
  EXPECT_EQ(TakeWizardCommand(), CmdCancel);
  EXPECT_EQ(CurrentPage, nullptr);
  EXPECT_FALSE(IsWindowVisible(page));  // ended as a dialog
  EXPECT_EQ(PageClosable, 0);           // as it was before the box
  EXPECT_EQ(CancelRequested + ModalActive, 0);
  DestroyWindow(page);
}

TEST_F(WizardTest, NamesGoIntoWordingsAndTemplatesButNeverIntoValues) {
  const char path[] = "C:\\Programme\\$p Neu\\Daten";
  for (int button : {1, 2}) {
    DialogAnswerer answerer({{"Zielverzeichnis erzeugen", button}});
    EXPECT_EQ(AskCreateFolder(owner_, path), button);
    ASSERT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(answerer.Seen()[0].Texts.at(IDC_PATH_LINE), path);
    EXPECT_EQ(answerer.Seen()[0].Texts.at(IDC_TEXT_2), "existiert nicht. Soll es erstellt werden?");
  }
  char wording[64];
  ExpandWording(wording, "in das $p von $c installiert, 100%");
  EXPECT_STREQ(wording, "in das Atlas von Kartenhaus installiert, 100%");
  HWND top = MakeWindow("$p-Setup ($c)");
  HWND grandchild = MakeWindow("a$xb$", MakeWindow("von $c", top, WS_VISIBLE), WS_VISIBLE);
  HWND icon = MakeWindow("", top, WS_VISIBLE | SS_ICON);
  HICON setupIcon = LoadIconA(Instance, MAKEINTRESOURCEA(IDI_SETUP));
  SendMessageA(icon, STM_SETICON, reinterpret_cast<WPARAM>(setupIcon), 0);
  ExpandDialogTexts(top);
  EXPECT_EQ(ui::WindowText(top), "Atlas-Setup (Kartenhaus)");
  EXPECT_EQ(ui::WindowText(grandchild), "ab");
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(icon, STM_GETICON, 0, 0)), setupIcon);
  DestroyWindow(top);
}

TEST_F(WizardTest, LeavePageTurnsButtonsIntoWizardCommands) {
  const int cases[][2] = {{1, CmdNext}, {2, CmdBack}, {9, CmdCancel}, {1000, CmdNext}, {1001, CmdBack},
                          {MAKEWPARAM(1000, BN_CLICKED), CmdNext}, {0, 0}, {3, 0}, {1002, 0}};
  for (const auto& c : cases) {
    HWND page = MakePage(frame_);
    EXPECT_EQ(LeavePage(page, c[0]), c[1] != 0) << c[0];
    EXPECT_EQ(TakeWizardCommand(), c[1]);
    EXPECT_EQ(CurrentPage, c[1] ? nullptr : page);
    EXPECT_EQ(IsWindowVisible(page) != 0, c[1] == 0);
    DestroyWindow(page);
  }
}

// The frame in this process, driven by sending it its messages directly.
class FrameTest : public WizardTest {
 protected:
  void SetUp() override {
    WizardTest::SetUp();
    memcpy(saved_, PageTable, sizeof saved_);
    for (int i = 0; i < kPageCount; ++i) PageTable[i].Procedure = nullptr;
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
    HasDefaultGroup = 0;
    WizardTest::TearDown();
  }
  void Command(int command) { SendMessageA(wizard_, WM_WIZARD_COMMAND, command, 0); }
  PageEntry saved_[kPageCount + 1];
  HWND wizard_ = nullptr;
};

TEST_F(FrameTest, WalkPassesOverPagesNotBuiltAndTheGroupPageWithoutDefaultGroup) {
  EXPECT_EQ(ui::WindowText(wizard_), "Atlas-Setup");
  PageTable[2] = {IDD_BACK_BEFORE_FIRST, StubPageProc};
  PageTable[3] = {IDD_PROGRAM_GROUP, StubPageProc};
  PageTable[4] = {IDD_BACK_BEFORE_FIRST, StubPageProc};
  Command(CmdNext);
  EXPECT_EQ(PageIndex, 2);
  HWND first = CurrentPage;
  EXPECT_EQ(ui::Owner(first), wizard_);
  Command(CmdNext);
  EXPECT_EQ(PageIndex, 4);  // no default group: the program group page is passed over
  EXPECT_FALSE(IsWindow(first));
  Command(CmdBack);
  EXPECT_EQ(PageIndex, 2);
  DialogAnswerer answerer({{"Atlas-Setup", 1}, {"Atlas-Setup", 1}});
  Command(CmdBack);  // before the first built page: dialog 102, then notice 137
  ASSERT_EQ(answerer.Seen().size(), 2u);
  EXPECT_EQ(answerer.Seen()[0].Texts.at(IDC_TEXT_1),
            "Vor dieser Seite gibt es keine weitere Seite. Das Atlas-Setup wird jetzt beendet.");
  EXPECT_EQ(answerer.Seen()[1].Texts.at(IDC_TEXT_1).substr(0, 26), "Atlas-Setup wurde unterbro");
  EXPECT_FALSE(IsWindow(wizard_));
}

TEST_F(FrameTest, APageThatCannotBeCreatedEndsTheWizard) {
  PageTable[2] = {9999, StubPageProc};
  DialogAnswerer answerer({{"Schwerer Fehler", IDOK}, {"Atlas-Setup", 1}});
  Command(CmdNext);
  ASSERT_EQ(answerer.Seen().size(), 2u);
  EXPECT_EQ(answerer.Seen()[0].Texts.at(65535), "Kann Dialog nicht erstellen");
  EXPECT_EQ(answerer.Seen()[0].Owner, wizard_);
  EXPECT_FALSE(IsWindow(wizard_));
}

TEST_F(FrameTest, CloseCommandFollowsThePageState) {
  PageTable[4] = {IDD_BACK_BEFORE_FIRST, StubPageProc};
  PageIndex = 3;
  FirstPaintDone = 1;  // shown, but its first paint is not to start a walk
  ShowWindow(wizard_, SW_SHOW);
  Command(CmdNext);
  HWND page = CurrentPage;
  ShowWindow(page, SW_SHOW);  // the stub template is not visible by itself
  PageClosable = 0;  // a busy page runs: the close only notes the request, not while a box is up
  SendMessageA(wizard_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(CancelRequested, 1);
  CancelRequested = 0;
  ModalActive = 1;
  SendMessageA(wizard_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(CancelRequested, 0);
  ModalActive = 0;
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
  // The frame, active again when the box ends, hands activation on to the page; activated
  // while the page shows a box of its own (a click on its background), on to that box.
  Pump(300);
  EXPECT_EQ(GetActiveWindow(), page);
  bool boxActive = false;
  DialogAnswerer ask({{"Zielverzeichnis erzeugen", 2}}, nullptr, [&](HWND box) {
    SetForegroundWindow(wizard_);
    Sleep(300);
    boxActive = GetForegroundWindow() == box;
  });
  AskCreateFolder(page, "C:\\x");
  ask.Seen();
  EXPECT_TRUE(boxActive);
  ErrorsOccurred = 1;
  DialogAnswerer answerer({{"Atlas-Setup", 1}});
  PageIndex = kFinishPageIndex;  // on the finish page the close ends at once; errors: notice 114
  SendMessageA(wizard_, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_EQ(answerer.Seen().size(), 1u);
  EXPECT_EQ(answerer.Seen()[0].Texts.at(IDC_TEXT_1).substr(0, 47), "Atlas-Setup wurde nicht vollständig ausgeführt.");
  EXPECT_FALSE(IsWindow(wizard_));
}

// --- Busy pages ----------------------------------------------------------------------------

std::vector<UINT> Handled;  // step messages the page handled, in order

LRESULT CALLBACK BusyProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!PassBusyGate(page, message, IDD_CONFIRM_CANCEL_CHANGED)) return 0;
  if (message == WM_TIMER && OnStepTimer(page, wParam)) return 0;
  if (!IsStepMessage(message)) return DefWindowProcA(page, message, wParam, lParam);
  Handled.push_back(message);
  return 0;
}

int ChainLeft;
void ChainStep(HWND page, unsigned message) {
  Handled.push_back(message + 100);
  if (ChainLeft-- > 0) ScheduleStep(page, message == kStepNextFile ? kStepCopyChunk : kStepNextFile);
}

TEST_F(WizardTest, BusyStepsRunByTimerWaitForBoxesAndAskAboutCancel) {
  WNDCLASSA busy = {};
  busy.lpfnWndProc = BusyProc;
  busy.hInstance = Instance;
  busy.lpszClassName = "BusyTestPage";
  RegisterClassA(&busy);
  HWND page = CreateWindowA("BusyTestPage", "Seite", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, frame_, nullptr, Instance,
                            nullptr);
  Handled.clear();
  ScheduleStep(page, kStepNextFile);
  ScheduleStep(page, kStepCopyChunk);
  Pump(150);
  EXPECT_EQ(Handled, (std::vector<UINT>{kStepNextFile, kStepCopyChunk}));
  EXPECT_FALSE(OnStepTimer(page, 7));  // another timer is no step
  for (int held = 0; held < 2; ++held) {
    Handled.clear();
    ModalActive = !held;
    {
      PagePromptGuard prompt;  // a prompt of the page itself holds steps off too
      PostMessageA(page, kStepCopyChunk, 0, 0);
      Pump(100);
      EXPECT_TRUE(Handled.empty());
      ModalActive = 0;
    }
    Pump(100);
    EXPECT_EQ(Handled, std::vector<UINT>{kStepCopyChunk});
  }
  for (int button : {1, 2}) {  // "Setup &fortsetzen" runs the step, "Setup &abbrechen" drops it
    Handled.clear();
    CancelRequested = 1;
    DialogAnswerer answerer({{"Setup abbrechen", button}});
    PostMessageA(page, kStepNextFile, 0, 0);
    Pump(1500);
    EXPECT_EQ(answerer.Seen().size(), 1u);
    EXPECT_EQ(Handled.size(), button == 1 ? 1u : 0u);
    EXPECT_EQ(ErrorsOccurred, button == 2);
  }
  // Inside a slice, steps run at once while nothing waits; something waiting sends the next
  // one through its timer.
  Pump(50);
  Handled.clear();
  ChainLeft = 3;
  RunBusySteps(page, kStepNextFile, ChainStep);
  EXPECT_EQ(Handled.size(), 4u);
  Handled.clear();
  ChainLeft = 1;
  PostMessageA(page, WM_NULL, 0, 0);
  RunBusySteps(page, kStepNextFile, ChainStep);
  Pump(150);
  EXPECT_EQ(Handled, (std::vector<UINT>{kStepNextFile + 100, kStepCopyChunk}));
  EXPECT_FALSE(BusySliceLeft());  // outside a slice
  DestroyWindow(page);
}

// --- The progress bar as painted ----------------------------------------------------------

constexpr int kBarWidth = 216, kBarHeight = 24;

// The bar's pixels as 'f' (highlight), '.' (window colour) or '?', read from the window's
// surface at once after SetProgress: the bar must be painted before it returns.
std::vector<std::string> PaintedBar(HWND bar, int64_t done, int64_t total, int text) {
  SetProgress(bar, done, total, text);
  HDC dc = GetDC(bar);
  std::vector<std::string> rows(kBarHeight, std::string(kBarWidth, '?'));
  for (int y = 0; y < kBarHeight; ++y)
    for (int x = 0; x < kBarWidth; ++x) {
      COLORREF c = GetPixel(dc, x, y);
      rows[y][x] = c == GetSysColor(COLOR_HIGHLIGHT) ? 'f' : c == GetSysColor(COLOR_WINDOW) ? '.' : '?';
    }
  ReleaseDC(bar, dc);
  return rows;
}

// The same picture drawn here: fill columns, and the text's pixels inverted.
std::vector<std::string> ExpectedBar(int fill, const char* text) {
  std::vector<std::string> rows(kBarHeight, std::string(fill, 'f') + std::string(kBarWidth - fill, '.'));
  if (!*text) return rows;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP mono = CreateBitmap(kBarWidth, kBarHeight, 1, 1, nullptr);
  HGDIOBJ old = SelectObject(dc, mono);
  SIZE extent{};
  GetTextExtentPoint32A(dc, text, strlen(text), &extent);
  RECT all = {0, 0, kBarWidth, kBarHeight};
  ExtTextOutA(dc, (kBarWidth - extent.cx) / 2, (kBarHeight - extent.cy) / 2, ETO_OPAQUE, &all, text, strlen(text), nullptr);
  for (int y = 0; y < kBarHeight; ++y)
    for (int x = 0; x < kBarWidth; ++x)
      if (GetPixel(dc, x, y) == 0) rows[y][x] = rows[y][x] == 'f' ? '.' : 'f';
  SelectObject(dc, old);
  DeleteObject(mono);
  DeleteDC(dc);
  return rows;
}

TEST(ProgressBar, PaintsFillAndPercentageAtOnce) {
  installtest::TestWindow window(300, 100);
  HWND bar = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 20, 20, kBarWidth, kBarHeight, window.Handle(),
                             nullptr, GetModuleHandleA(nullptr), nullptr);
  AttachProgressBar(bar);
  installtest::TestWindow::Pump();
  struct {
    int64_t Done, Total;
    int Fill;
    const char* Text;
  } cases[] = {{50, 100, 108, "50%"}, {1, 3, 71, ""},  {0, 100, 0, "0%"}, {0, 0, kBarWidth, "100%"},
               {300, 100, kBarWidth, "300%"}, {6442450944LL, 8589934592LL, 162, "75%"}, {-50, 100, 0, ""}};
  for (const auto& c : cases)
    EXPECT_EQ(PaintedBar(bar, c.Done, c.Total, c.Text[0] != 0), ExpectedBar(c.Fill, c.Text)) << c.Done << "/" << c.Total;
}

// --- The folder chooser --------------------------------------------------------------------

// ChooseFolder on a thread of its own, so the test thread can drive it like a user.
class ChooserRun {
 public:
  ChooserRun(const std::string& folder, const std::string& text, int showSkip = 0) : text_(text) {
    Instance = GetModuleHandleA(nullptr);
    prompt_ = FolderPrompt{};
    prompt_.Title = "Quelldatei nicht gefunden!";
    CopyText(prompt_.Folder, folder.c_str());
    prompt_.Text = text_.c_str();
    prompt_.ShowSkip = showSkip;
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    dialog_ = ui::WaitWindow(GetCurrentProcessId(), prompt_.Title);
  }
  ~ChooserRun() {
    if (IsWindow(dialog_)) ui::Click(dialog_, IDCANCEL);
    WaitForSingleObject(thread_, 10000);
    CloseHandle(thread_);
  }
  HWND Dialog() const { return dialog_; }
  // Types a path and presses a button; ChooseFolder's result, or -1 while it stays open.
  int Press(int button, const std::string& path = "") {
    if (!path.empty()) SetDlgItemTextA(dialog_, IDC_CHOOSER_PATH, path.c_str());
    ui::Click(dialog_, button);
    return WaitForSingleObject(thread_, 2000) == WAIT_OBJECT_0 ? result_ : -1;
  }
  std::string Folder() const { return prompt_.Folder; }

 private:
  static DWORD WINAPI Run(void* self) {
    auto* run = static_cast<ChooserRun*>(self);
    run->result_ = ChooseFolder(nullptr, &run->prompt_);
    return 0;
  }
  std::string text_;
  FolderPrompt prompt_;
  HANDLE thread_ = nullptr;
  HWND dialog_ = nullptr;
  int result_ = -1;
};

RECT ChildRect(HWND dialog, HWND child) {
  RECT r = {};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

TEST(FolderChooser, GrowsForItsTextAndShowsOnlyTheFolderControls) {
  std::string folder = ui::FreshFolder("chooser");
  const char* texts[] = {"Bitte Ordner wählen.",
                         "Bitte legen Sie den Datenträger mit der Bezeichnung \"Beispiel-CD 1\" in das angegebene "
                         "Laufwerk ein, oder wählen Sie ein Laufwerk/Verzeichnis, in dem die Datei \"daten.dat\" zu "
                         "finden ist."};
  for (const char* text : texts) {
    ChooserRun run(folder, text, text == texts[1]);
    HWND dialog = run.Dialog();
    ASSERT_NE(dialog, nullptr);
    HWND label = nullptr;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
      if (ui::WindowText(c) == "&Pfad:") label = c;
    HWND control = GetDlgItem(dialog, IDC_CHOOSER_TEXT);
    HDC dc = GetDC(control);
    SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT wrapped = ChildRect(dialog, control);
    int lineHeight = DrawTextA(dc, "X", 1, &wrapped, DT_CALCRECT);
    wrapped.right = ChildRect(dialog, control).right;
    DrawTextA(dc, text, -1, &wrapped, DT_CALCRECT | DT_WORDBREAK);
    ReleaseDC(control, dc);
    RECT field = {7, 12, 168, 24};
    MapDialogRect(dialog, &field);
    // At least two text heights, and always enough that the wrapped text ends above the label.
    EXPECT_GE(ChildRect(dialog, GetDlgItem(dialog, IDC_CHOOSER_PATH)).top - field.top, 2 * lineHeight);
    EXPECT_GE(ChildRect(dialog, label).top, wrapped.bottom);
    EXPECT_GE(ChildRect(dialog, control).bottom, wrapped.bottom);
    EXPECT_EQ(ui::ControlText(dialog, IDC_CHOOSER_TEXT), text);
    EXPECT_EQ(ui::ControlText(dialog, IDC_CHOOSER_PATH), folder);
    for (int id : {IDC_CHOOSER_PATH, lst2, cmb2, IDOK, IDCANCEL, psh14}) EXPECT_TRUE(ui::IsControlVisible(dialog, id));
    for (int id : {pshHelp, chx1, stc3, edt1, lst1, cmb1, stc2}) EXPECT_FALSE(ui::IsControlVisible(dialog, id)) << id;
    EXPECT_EQ(ui::IsControlVisible(dialog, IDC_CHOOSER_SKIP), text == texts[1]);
    Sleep(300);
    ui::SaveScreenshot(ui::JoinPath(ui::TestRoot(), text == texts[0] ? "chooser.png" : "chooser-source-prompt.png"));
    SetDlgItemTextA(dialog, IDC_CHOOSER_PATH, "");
    EXPECT_FALSE(ui::IsControlEnabled(dialog, IDOK));  // an empty path field disables OK
  }
}

TEST(FolderChooser, ButtonsResultsAndTheCreateFolderQuestion) {
  std::string folder = ui::FreshFolder("chooser-buttons");
  ASSERT_TRUE(ui::MakeFolders(folder + "\\Vorhanden"));
  {
    ChooserRun run(folder, "Text", 1);
    EXPECT_EQ(run.Press(IDC_CHOOSER_SKIP, "C:\\"), kPromptSkip);
    EXPECT_EQ(run.Folder(), folder);
  }
  {
    ChooserRun run(folder, "Text");
    EXPECT_EQ(run.Press(IDOK, "Vorhanden"), kPromptOk);  // relative: made absolute against the folder shown
    EXPECT_STRCASEEQ(run.Folder().c_str(), (folder + "\\Vorhanden").c_str());
  }
  std::string missing = folder + "\\Neu\\Ordner";
  for (int answer : {2, 1}) {
    ChooserRun run(folder, "Text");
    DialogAnswerer ask({{"Zielverzeichnis erzeugen", answer}});
    int result = run.Press(IDOK, missing);
    ASSERT_EQ(ask.Seen().size(), 1u);
    EXPECT_EQ(ask.Seen()[0].Texts.at(IDC_PATH_LINE), missing);
    if (answer == 2) {  // "&Nein": the chooser stays; "&Abbrechen" then leaves the folder alone
      EXPECT_EQ(result, -1);
      EXPECT_EQ(run.Press(IDCANCEL), kPromptCancel);
      EXPECT_EQ(run.Folder(), folder);
    } else {
      EXPECT_EQ(result, kPromptOk);
      EXPECT_EQ(run.Folder(), missing);
      EXPECT_EQ(GetFileAttributesA(missing.c_str()), INVALID_FILE_ATTRIBUTES);  // taken, not made
    }
  }
}

TEST(FolderChooser, DollarSignsInValuesStayAndADoubleClickFillsThePath) {
  std::string folder = ui::FreshFolder("chooser$1\\med$p");
  ASSERT_TRUE(ui::MakeFolders(folder + "\\Unter$c"));
  CopyText(ProductName, "Atlas");
  ChooserRun run(folder, "Datei \"preis$.txt\" auf \"CD$1\"");
  HWND dialog = run.Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ui::WindowText(dialog), "Quelldatei nicht gefunden!");
  EXPECT_EQ(ui::ControlText(dialog, IDC_CHOOSER_PATH), folder);
  EXPECT_EQ(ui::ControlText(dialog, IDC_CHOOSER_TEXT), "Datei \"preis$.txt\" auf \"CD$1\"");
  HWND list = GetDlgItem(dialog, lst2);
  int index = -1;
  for (int i = 0; i < SendMessageA(list, LB_GETCOUNT, 0, 0); ++i) {
    char item[MAX_PATH] = "";
    SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item));
    if (strstr(item, "nter$c") || strstr(item, "NTER$C")) index = i;
  }
  ASSERT_GE(index, 0) << "the folder list does not show the sub-folder";
  RECT item;
  SendMessageA(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
  LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) PostMessageA(list, m, MK_LBUTTON, at);
  std::string expected = folder + "\\Unter$c";
  for (int i = 0; i < 100 && lstrcmpiA(ui::ControlText(dialog, IDC_CHOOSER_PATH).c_str(), expected.c_str()); ++i)
    Sleep(20);
  EXPECT_EQ(run.Press(IDOK), kPromptOk);
  EXPECT_STRCASEEQ(run.Folder().c_str(), expected.c_str());
  ProductName[0] = 0;
}

}  // namespace
