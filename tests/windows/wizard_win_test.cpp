// The wizard's machinery in this process against the real dialog templates (linked in from
// setup.rc): a confirmed cancel, names in texts, the frame's page walk, the progress bar as
// painted, and the folder chooser. Modal boxes run on the test's thread, so a second thread
// reads and answers them.
#include <gtest/gtest.h>
#include <windows.h>
#include <dlgs.h>

#include <cstring>
#include <string>
#include <vector>

#include "install/progress_bar.h"
#include "install_support.h"
#include "resources/resource_ids.h"
#include "startup/startup.h"
#include "startup/state.h"
#include "startup/text.h"
#include "ui_driver.h"
#include "wizard/dialog_services.h"
#include "wizard/folder_chooser.h"
#include "wizard/frame.h"

namespace {

using installtest::DialogAnswerer;
using installtest::SeenDialog;

INT_PTR CALLBACK StubPageProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

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

TEST_F(WizardTest, StoppingEndsThePageAndTellsTheFrame) {
  HWND page = MakePage(frame_);
  PageClosable = 0;
  CancelRequested = 1;
  DialogAnswerer answerer({{"Setup abbrechen", 2}});
  EXPECT_EQ(ConfirmCancel(page, IDD_CONFIRM_CANCEL_CHANGED, disabled_), 1);
  EXPECT_EQ(ErrorsOccurred, 1);
  EXPECT_EQ(TakeWizardCommand(), CmdCancel);
  EXPECT_EQ(CurrentPage, nullptr);
  EXPECT_FALSE(IsWindowVisible(page));  // ended as a dialog
  EXPECT_EQ(PageClosable, 0);           // as it was before the box
  EXPECT_EQ(CancelRequested + ModalActive, 0);
  DestroyWindow(page);
}

TEST_F(WizardTest, NamesGoIntoWordingsAndTemplatesButNeverIntoValues) {
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
  EXPECT_EQ(WizardOutcome(), kExitCannotStart) << "the run could not start, whatever was changed";
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

// "$" in the folder and the text stay as they are; a missing folder is asked for first, and
// "&Nein" keeps the chooser open.
TEST(FolderChooser, ValuesStayAsTheyAreAndAMissingFolderIsAskedFor) {
  std::string folder = ui::FreshFolder("chooser$1\\med$p");
  CopyText(ProductName, "Atlas");
  ChooserRun run(folder, "Datei \"preis$.txt\" auf \"CD$1\"");
  HWND dialog = run.Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ui::WindowText(dialog), "Quelldatei nicht gefunden!");
  EXPECT_EQ(ui::ControlText(dialog, IDC_CHOOSER_PATH), folder);
  EXPECT_EQ(ui::ControlText(dialog, IDC_CHOOSER_TEXT), "Datei \"preis$.txt\" auf \"CD$1\"");
  std::string missing = folder + "\\Neu\\Ordner";
  for (int answer : {2, 1}) {
    DialogAnswerer ask({{"Zielverzeichnis erzeugen", answer}});
    int result = run.Press(IDOK, missing);
    ASSERT_EQ(ask.Seen().size(), 1u);
    EXPECT_EQ(ask.Seen()[0].Texts.at(IDC_PATH_LINE), missing);
    EXPECT_EQ(result, answer == 2 ? -1 : kPromptOk);  // "&Nein": the chooser stays open
  }
  EXPECT_EQ(run.Folder(), missing);
  EXPECT_EQ(GetFileAttributesA(missing.c_str()), INVALID_FILE_ATTRIBUTES);  // taken, not made
  ProductName[0] = 0;
}

}  // namespace
