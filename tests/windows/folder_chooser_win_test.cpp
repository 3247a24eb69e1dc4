// The folder chooser run through ChooseFolder in this process and driven from the test thread:
// growth for its text, the path field, the OK check with the create-folder question, the
// buttons and their results.
#include <gtest/gtest.h>
#include <windows.h>
#include <commdlg.h>
#include <dlgs.h>

#include <string>

#include "resources/resource_ids.h"
#include "startup/state.h"
#include "startup/text.h"
#include "ui_driver.h"
#include "wizard/folder_chooser.h"

namespace {

const char kTitle[] = "Quelldatei nicht gefunden!";

// ChooseFolder on a thread of its own, so the test thread can drive it like a user.
class ChooserRun {
 public:
  ChooserRun(const std::string& folder, const std::string& text, int showSkip) : text_(text) {
    Instance = GetModuleHandleA(nullptr);
    memset(&prompt_, 0, sizeof prompt_);
    prompt_.Title = kTitle;
    CopyText(prompt_.Folder, folder.c_str());
    prompt_.Text = text_.c_str();
    prompt_.ShowSkip = showSkip;
    prompt_.Result = -1;
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    dialog_ = ui::WaitWindow(GetCurrentProcessId(), kTitle);
    if (!dialog_) {
      WaitForSingleObject(thread_, 2000);
      ADD_FAILURE() << "no chooser: result " << result_ << ", common dialog error " << error_;
    }
  }
  ~ChooserRun() {
    if (WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT && IsWindow(dialog_)) ui::Click(dialog_, IDCANCEL);
    WaitForSingleObject(thread_, 10000);
    CloseHandle(thread_);
  }
  HWND Dialog() const { return dialog_; }
  // Waits for ChooseFolder to return; its result, or -1 on time-out.
  int Finish() {
    if (WaitForSingleObject(thread_, 10000) != WAIT_OBJECT_0) return -1;
    return result_;
  }
  const FolderPrompt& Prompt() const { return prompt_; }

 private:
  static DWORD WINAPI Run(void* self) {
    auto* run = static_cast<ChooserRun*>(self);
    run->result_ = ChooseFolder(nullptr, &run->prompt_);
    run->error_ = CommDlgExtendedError();
    return 0;
  }
  std::string text_;
  FolderPrompt prompt_;
  HANDLE thread_ = nullptr;
  HWND dialog_ = nullptr;
  int result_ = -1;

 public:
  DWORD error_ = 0;
};


RECT ChildRect(HWND dialog, int id) {
  RECT r = {};
  GetWindowRect(GetDlgItem(dialog, id), &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

HWND ChildWithText(HWND dialog, const char* text) {
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (ui::WindowText(child) == text) return child;
  return nullptr;
}

struct Geometry {
  int LineHeight;     // height of one line of the text in its font
  int WrappedHeight;  // height of the text wrapped into the control's width
  int TextWidth;      // width of the text as one line
  int ControlWidth;
  RECT Text;
  RECT PathField;
  RECT PathLabel;
  RECT Window;
  int PathFieldTemplateTop;  // where the template puts the path field, in pixels
};

Geometry Measure(HWND dialog) {
  Geometry g = {};
  HWND text = GetDlgItem(dialog, IDC_CHOOSER_TEXT);
  std::string content = ui::WindowText(text);
  HDC dc = GetDC(text);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(text, WM_GETFONT, 0, 0)));
  SIZE extent = {};
  GetTextExtentPoint32A(dc, content.c_str(), static_cast<int>(content.size()), &extent);
  RECT client;
  GetClientRect(text, &client);
  RECT wrapped = {0, 0, client.right, 0};
  DrawTextA(dc, content.c_str(), -1, &wrapped, DT_CALCRECT | DT_WORDBREAK);
  SelectObject(dc, old);
  ReleaseDC(text, dc);
  g.LineHeight = extent.cy;
  g.TextWidth = extent.cx;
  g.ControlWidth = client.right;
  g.WrappedHeight = wrapped.bottom;
  g.Text = ChildRect(dialog, IDC_CHOOSER_TEXT);
  g.PathField = ChildRect(dialog, IDC_CHOOSER_PATH);
  GetWindowRect(ChildWithText(dialog, "&Pfad:"), &g.PathLabel);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&g.PathLabel), 2);
  GetWindowRect(dialog, &g.Window);
  RECT field = {7, 12, 168, 24};
  MapDialogRect(dialog, &field);
  g.PathFieldTemplateTop = field.top;
  return g;
}

Geometry MeasureChooser(const std::string& folder, const std::string& text, const char* screenshot) {
  ChooserRun run(folder, text, 1);
  Geometry g = {};
  if (!run.Dialog()) return g;
  g = Measure(run.Dialog());
  if (screenshot) {
    Sleep(300);  // let every control paint
    ui::SaveScreenshot(ui::JoinPath(ui::TestRoot(), screenshot));
  }
  return g;
}

TEST(FolderChooser, GrowsByTwoTextHeightsPlusOnePerFurtherControlWidth) {
  std::string folder = ui::FreshFolder("chooser-grow");
  Geometry one = MeasureChooser(folder, "Bitte Ordner wählen.", "chooser-one-line.png");
  Geometry three = MeasureChooser(
      folder, "Bitte legen Sie den Datenträger mit der Bezeichnung \"Beispiel-CD 1\" in das angegebene Laufwerk ein.",
      "chooser-three-lines.png");
  ASSERT_GT(one.LineHeight, 0);
  ASSERT_GT(three.LineHeight, 0);
  // The cases are what they claim to be.
  ASSERT_LT(one.TextWidth, one.ControlWidth);
  ASSERT_EQ(three.WrappedHeight, 3 * three.LineHeight) << "the text should wrap to three lines";
  ASSERT_EQ(three.TextWidth / three.ControlWidth, 2);

  // One line: two text heights. Three lines (two further control widths): four.
  EXPECT_EQ(one.PathField.top - one.PathFieldTemplateTop, 2 * one.LineHeight);
  EXPECT_EQ(three.PathField.top - three.PathFieldTemplateTop, 4 * three.LineHeight);
  EXPECT_EQ((three.Window.bottom - three.Window.top) - (one.Window.bottom - one.Window.top), 2 * one.LineHeight);
  // The text control keeps its top edge and holds the wrapped text; the label is below it.
  EXPECT_EQ(one.Text.top, three.Text.top);
  EXPECT_GE(three.Text.bottom - three.Text.top, three.WrappedHeight);
  EXPECT_GE(one.PathLabel.top, one.Text.top + one.WrappedHeight);
  EXPECT_GE(three.PathLabel.top, three.Text.top + three.WrappedHeight);
  // Centred horizontally on the screen.
  int width = three.Window.right - three.Window.left;
  EXPECT_EQ(three.Window.left, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
}

TEST(FolderChooser, AWrappedTextNeedingMoreLinesStillEndsAboveTheLabel) {
  // The source prompt's text: long words push it onto more lines than its width alone says.
  std::string folder = ui::FreshFolder("chooser-grow-wrapped");
  Geometry g = MeasureChooser(
      folder,
      "Bitte legen Sie den Datenträger mit der Bezeichnung \"Beispiel-CD 1\" in das angegebene Laufwerk ein, oder "
      "wählen Sie ein Laufwerk/Verzeichnis, in dem die Datei \"daten.dat\" zu finden ist.",
      "chooser-source-prompt.png");
  ASSERT_GT(g.LineHeight, 0);
  ASSERT_GT(g.WrappedHeight, (g.TextWidth / g.ControlWidth + 1) * g.LineHeight) << "not a case of uneven wrapping";
  EXPECT_GE(g.Text.bottom - g.Text.top, g.WrappedHeight);
  EXPECT_GE(g.PathLabel.top, g.Text.top + g.WrappedHeight);
  EXPECT_EQ(g.PathField.top - g.PathFieldTemplateTop, g.WrappedHeight + g.LineHeight);
}

TEST(FolderChooser, ShowsThePathAndOnlyTheFolderControls) {
  std::string folder = ui::FreshFolder("chooser-controls");
  ChooserRun run(folder, "Text", 0);
  HWND dialog = run.Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ui::ControlText(dialog, IDC_CHOOSER_PATH), folder);
  EXPECT_EQ(ui::ControlText(dialog, IDC_CHOOSER_TEXT), "Text");
  for (int id : {IDC_CHOOSER_PATH, lst2, cmb2, IDOK, IDCANCEL, psh14}) EXPECT_TRUE(ui::IsControlVisible(dialog, id)) << id;
  for (int id : {IDC_CHOOSER_SKIP, pshHelp, chx1, stc3, edt1, lst1, cmb1, stc2})
    EXPECT_FALSE(ui::IsControlVisible(dialog, id)) << id;
  EXPECT_EQ(ui::ControlText(dialog, IDCANCEL), "&Abbrechen");

  // An empty path field disables OK.
  SetDlgItemTextA(dialog, IDC_CHOOSER_PATH, "");
  EXPECT_FALSE(ui::IsControlEnabled(dialog, IDOK));
  SetDlgItemTextA(dialog, IDC_CHOOSER_PATH, "C:\\");
  EXPECT_TRUE(ui::IsControlEnabled(dialog, IDOK));

  ui::Click(dialog, IDCANCEL);
  EXPECT_EQ(run.Finish(), kPromptCancel);
  EXPECT_EQ(std::string(run.Prompt().Folder), folder);
}

TEST(FolderChooser, IgnoreEndsWithSkipAndLeavesTheFolder) {
  std::string folder = ui::FreshFolder("chooser-skip");
  ChooserRun run(folder, "Text", 1);
  ASSERT_NE(run.Dialog(), nullptr);
  EXPECT_TRUE(ui::IsControlVisible(run.Dialog(), IDC_CHOOSER_SKIP));
  EXPECT_EQ(ui::ControlText(run.Dialog(), IDC_CHOOSER_SKIP), "&Ignorieren");
  SetDlgItemTextA(run.Dialog(), IDC_CHOOSER_PATH, "C:\\");
  ui::Click(run.Dialog(), IDC_CHOOSER_SKIP);
  EXPECT_EQ(run.Finish(), kPromptSkip);
  EXPECT_EQ(std::string(run.Prompt().Folder), folder);
}

// Without its template the chooser cannot come up: ChooseFolder returns at once with a result
// that is none of OK, cancel and skip, and the folder is left alone.
TEST(FolderChooser, AChooserThatCannotBeShownReturnsNoAnswer) {
  HINSTANCE saved = Instance;
  Instance = GetModuleHandleA("kernel32.dll");
  FolderPrompt prompt;
  memset(&prompt, 0, sizeof prompt);
  prompt.Title = kTitle;
  CopyText(prompt.Folder, "C:\\Quelle");
  prompt.Text = "Text";
  prompt.ShowSkip = 1;
  int result = ChooseFolder(nullptr, &prompt);
  Instance = saved;
  EXPECT_EQ(result, kPromptOpen);
  EXPECT_EQ(std::string(prompt.Folder), "C:\\Quelle");
}

TEST(FolderChooser, AnExistingFolderIsTakenWithoutAQuestion) {
  std::string folder = ui::FreshFolder("chooser-existing");
  std::string other = ui::FreshFolder("chooser-existing-other");
  ChooserRun run(folder, "Text", 1);
  ASSERT_NE(run.Dialog(), nullptr);
  SetDlgItemTextA(run.Dialog(), IDC_CHOOSER_PATH, other.c_str());
  ui::Click(run.Dialog(), IDOK);
  EXPECT_EQ(run.Finish(), kPromptOk);
  EXPECT_EQ(std::string(run.Prompt().Folder), other);
}

TEST(FolderChooser, AMissingFolderAsksFirstAndNoKeepsTheChooserOpen) {
  std::string folder = ui::FreshFolder("chooser-missing");
  std::string missing = folder + "\\Neu\\Ordner";
  ChooserRun run(folder, "Text", 0);
  HWND dialog = run.Dialog();
  ASSERT_NE(dialog, nullptr);
  SetDlgItemTextA(dialog, IDC_CHOOSER_PATH, missing.c_str());
  ui::Click(dialog, IDOK);
  HWND ask = ui::WaitWindow(GetCurrentProcessId(), "Zielverzeichnis erzeugen");
  ASSERT_NE(ask, nullptr);
  EXPECT_EQ(ui::ControlText(ask, IDC_PATH_LINE), missing);
  ui::Click(ask, 2);  // "&Nein"
  ASSERT_TRUE(ui::WaitGone(ask));
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_EQ(ui::ControlText(dialog, IDC_CHOOSER_PATH), missing);

  ui::Click(dialog, IDOK);
  ask = ui::WaitWindow(GetCurrentProcessId(), "Zielverzeichnis erzeugen");
  ASSERT_NE(ask, nullptr);
  ui::SaveScreenshot(ui::JoinPath(ui::TestRoot(), "chooser-create-question.png"));
  ui::Click(ask, 1);  // "&Ja"
  EXPECT_EQ(run.Finish(), kPromptOk);
  EXPECT_EQ(std::string(run.Prompt().Folder), missing);
  // Taking the path does not create it; whoever uses the folder does.
  EXPECT_EQ(GetFileAttributesA(missing.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(FolderChooser, NoThenCancelLeavesTheFolderUnchanged) {
  std::string folder = ui::FreshFolder("chooser-no-cancel");
  ChooserRun run(folder, "Text", 0);
  ASSERT_NE(run.Dialog(), nullptr);
  SetDlgItemTextA(run.Dialog(), IDC_CHOOSER_PATH, (folder + "\\fehlt").c_str());
  ui::Click(run.Dialog(), IDOK);
  HWND ask = ui::WaitWindow(GetCurrentProcessId(), "Zielverzeichnis erzeugen");
  ASSERT_NE(ask, nullptr);
  ui::Click(ask, 2);
  ASSERT_TRUE(ui::WaitGone(ask));
  ui::Click(run.Dialog(), IDCANCEL);
  EXPECT_EQ(run.Finish(), kPromptCancel);
  EXPECT_EQ(std::string(run.Prompt().Folder), folder);
}

TEST(FolderChooser, ARelativePathIsStoredAbsoluteAgainstTheFolderShown) {
  std::string folder = ui::FreshFolder("chooser-relative");
  ASSERT_TRUE(ui::MakeFolders(folder + "\\Vorhanden"));
  ChooserRun run(folder, "Text", 0);
  ASSERT_NE(run.Dialog(), nullptr);
  SetDlgItemTextA(run.Dialog(), IDC_CHOOSER_PATH, "Vorhanden");
  ui::Click(run.Dialog(), IDOK);
  EXPECT_EQ(run.Finish(), kPromptOk);
  EXPECT_STRCASEEQ(run.Prompt().Folder, (folder + "\\Vorhanden").c_str());
}

TEST(FolderChooser, DoubleClickInTheFolderListFillsThePath) {
  std::string folder = ui::FreshFolder("chooser-dblclk");
  ASSERT_TRUE(ui::MakeFolders(folder + "\\Unterordner"));
  ChooserRun run(folder, "Text", 0);
  HWND dialog = run.Dialog();
  ASSERT_NE(dialog, nullptr);
  HWND list = GetDlgItem(dialog, lst2);
  int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  int index = -1;
  std::string items;
  for (int i = 0; i < count; ++i) {
    char item[MAX_PATH] = "";
    SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item));
    items += std::string(item) + "|";
    if (lstrcmpiA(item, "unterordner") == 0 || lstrcmpiA(item, "[unterordner]") == 0) index = i;
  }
  ASSERT_GE(index, 0) << "the folder list does not show the sub-folder: " << items;
  RECT item;
  SendMessageA(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item));
  LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(list, WM_LBUTTONUP, 0, at);
  PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  PostMessageA(list, WM_LBUTTONUP, 0, at);
  std::string expected = folder + "\\Unterordner";
  std::string shown;
  for (int i = 0; i < 100; ++i) {
    shown = ui::ControlText(dialog, IDC_CHOOSER_PATH);
    if (lstrcmpiA(shown.c_str(), expected.c_str()) == 0) break;
    Sleep(20);
  }
  EXPECT_STRCASEEQ(shown.c_str(), expected.c_str());
  ui::SaveScreenshot(ui::JoinPath(ui::TestRoot(), "chooser-after-double-click.png"));
  ui::Click(dialog, IDOK);
  EXPECT_EQ(run.Finish(), kPromptOk);
  EXPECT_STRCASEEQ(run.Prompt().Folder, expected.c_str());
}

}  // namespace
