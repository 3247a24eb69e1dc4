// The options page driven with the mouse and the keyboard: check boxes pressed, moved off and
// released, the pictures of each state, descriptions and sizes, folder and drive changes, and
// the free-space check before the page lets the user go on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install_driver.h"
#include "ui_driver.h"

namespace {

std::string Screenshot(const std::string& name) {
  std::string folder = ui::JoinPath(ui::TestRoot(), "screenshots");
  ui::MakeFolders(folder);
  return ui::JoinPath(folder, name);
}

// A medium whose install folder is <root>\Ziel, started up to the options page.
struct OptionsRun {
  std::string Root, Medium, Install;
  ui::Setup Setup;
  HWND Page = nullptr, List = nullptr;
  int ItemHeight = 0;
  OptionsRun(const char* name, const std::string& options, const std::vector<ui::NamedBytes>& files = {},
             const std::string& install = "") {
    Root = ui::FreshFolder(name);
    Install = install.empty() ? Root + "\\Ziel" : install;
    Medium = ui::MakeMedium(std::string(name) + "\\medium", ("[Settings]\r\nDestination=" + Install + "\r\n" + options).c_str());
    ui::WriteFiles(Medium, files);
  }
  void Start() {
    Page = ui::StartToOptions(&Setup, Medium);
    ASSERT_NE(Page, nullptr);
    List = GetDlgItem(Page, 768);
    ItemHeight = static_cast<int>(SendMessageA(List, LB_GETITEMHEIGHT, 0, 0));
    ui::Settle(300);  // the posted figures arrive
  }
  // The centre of item i's check box, in the list's client coordinates.
  int BoxX() const { return 10; }
  int BoxY(int i) const { return i * ItemHeight + ItemHeight / 2; }
  void Click(int i) {
    ui::MouseDown(List, BoxX(), BoxY(i));
    ui::MouseUp(List, BoxX(), BoxY(i));
    ui::Settle(300);
  }
  // The colour of a pixel of item i's picture (cell coordinates).
  COLORREF Picture(int i, int x, int y) const {
    POINT p = {(20 - 11) / 2 + x, i * ItemHeight + (ItemHeight - 11) / 2 + y};
    ClientToScreen(List, &p);
    return ui::ScreenPixel(p.x, p.y);
  }
  std::string Required() const { return ui::ControlText(Page, 1017); }
  int Selected() const { return static_cast<int>(SendMessageA(List, LB_GETCURSEL, 0, 0)); }
};

constexpr COLORREF kBlack = 0x000000, kWhite = 0xFFFFFF, kSilver = 0xC0C0C0, kGrey = 0x808080;

// The state a picture shows: two pixels tell the five looks apart.
std::string Look(const OptionsRun& run, int i) {
  COLORREF centre = run.Picture(i, 5, 5), tickOnly = run.Picture(i, 4, 8);
  if (centre == kWhite) return "leer";
  if (centre == kSilver) return "leer gedrueckt";
  if (centre == kGrey) return "grauer Haken";
  if (centre == kBlack) return tickOnly == kBlack ? "Haken" : "Kreuz";
  return "?";
}

std::string File(int n, const std::string& name, long long size, const std::string& version = "") {
  return "File" + std::to_string(n) + "=1,," + name + ",,$(AppPath),,,," + std::to_string(size) +
         (version.empty() ? "" : "," + version) + "\r\n";
}

const char kStates[] =
    "[Section1]\r\nName=Programm\r\nDescription=Das Programm\r\nInstall=1\r\nFileCount=1\r\n"
    // 2048 bytes: 2KB
    "File1=1,,prog.exe,,$(AppPath),,,,2048\r\n"
    "[Section2]\r\nName=Teilweise\r\nInstall=2\r\n"
    "[Section3]\r\nName=Gekreuzt\r\nInstall=3\r\n"
    "[Section4]\r\nName=Gedrueckt im Skript\r\nInstall=32768\r\nFileCount=1\r\nFile1=1,,nie.dat,,$(AppPath),,,,9999\r\n"
    "[Section5]\r\nName=Unbekannt\r\nInstall=-5\r\n"
    "[Section6]\r\nName=Daten\r\nDescription=Alle Daten\r\nDestination=Daten\r\nInstall=0\r\nFileCount=2\r\n"
    "File1=1,,bib.dll,,$(AppPath),,,,SIZE_DLL,2.0.0.0\r\nFile2=1,,gross.dat,,$(AppPath),,,,300000\r\n"
    "[Section6NoCopy]\r\nDescription=Nur die kurze Liste\r\nFileCount=1\r\nFile1=1,,kurz.dat,,$(AppPath),,,,1000\r\n";

std::string StatesScript(size_t dllSize) {
  std::string script = kStates;
  script.replace(script.find("SIZE_DLL"), 8, std::to_string(dllSize));
  return script;
}

TEST(OptionsPageScenario, ClicksOnTheBoxesToggleAsAUserExpects) {
  std::string dll;
  ui::ReadFile(ui::FixturePath("ver2000.dll"), &dll);
  std::string prog(2048, 'p'), big(300000, 'g'), shortList(1000, 'k');
  OptionsRun run("options-click", StatesScript(dll.size()),
                 {{"prog.exe", prog}, {"bib.dll", dll}, {"gross.dat", big}, {"kurz.dat", shortList}, {"nie.dat", "x"}});
  run.Start();
  if (HasFatalFailure()) return;
  EXPECT_EQ(Look(run, 0), "Haken");
  EXPECT_EQ(Look(run, 1), "grauer Haken");
  EXPECT_EQ(Look(run, 2), "Kreuz");
  EXPECT_EQ(Look(run, 3), "leer") << "a script's pressed mark is no selection";
  EXPECT_EQ(Look(run, 4), "Haken") << "an unknown state draws as selected";
  EXPECT_EQ(Look(run, 5), "leer");
  // Selected: the program's 2 KB and the companion of the unselected data, 1000 bytes.
  EXPECT_EQ(run.Required(), ui::ChargedKilobytes(2048 + 1000, 2));
  EXPECT_EQ(ui::ControlText(run.Page, 288), "Das Programm");
  EXPECT_EQ(ui::ControlText(run.Page, 1002), run.Install) << "the drive's figures come last: the install folder";

  // The keyboard moves the selection and the description follows; space toggles nothing.
  ASSERT_TRUE(ui::PressKey(run.Page, VK_END));
  ui::Settle(300);
  EXPECT_EQ(run.Selected(), 5);
  EXPECT_EQ(ui::ControlText(run.Page, 288), "Nur die kurze Liste") << "the companion stands in";
  EXPECT_EQ(ui::ControlText(run.Page, 1002), run.Install + "\\Daten\\");
  ui::PressKey(run.Page, VK_SPACE);
  ui::Settle(300);
  EXPECT_EQ(Look(run, 5), "leer");

  // Pressed, moved off and back, released: toggled once. Meanwhile the library became a
  // current installed copy: the scan that the selection runs measures it.
  ASSERT_TRUE(ui::WriteFiles(run.Install + "\\Daten", {{"bib.dll", dll}}));
  ui::MouseDown(run.List, run.BoxX(), run.BoxY(5));
  ui::Settle(300);
  EXPECT_EQ(Look(run, 5), "leer gedrueckt");
  EXPECT_TRUE(ui::SaveScreenshot(Screenshot("options-page-pressed.png")));
  ui::MouseMove(run.List, 150, run.BoxY(5));
  ui::Settle(300);
  EXPECT_EQ(Look(run, 5), "leer");
  ui::MouseMove(run.List, run.BoxX(), run.BoxY(5));
  ui::Settle(300);
  EXPECT_EQ(Look(run, 5), "leer gedrueckt");
  ui::MouseUp(run.List, run.BoxX(), run.BoxY(5));
  ui::Settle(500);
  EXPECT_EQ(Look(run, 5), "Haken");
  EXPECT_EQ(ui::ControlText(run.Page, 288), "Alle Daten");
  // 2 KB + 300000 bytes (the kept library needs nothing).
  EXPECT_EQ(run.Required(), ui::ChargedKilobytes(2048 + 300000, 3));
  EXPECT_TRUE(ui::SaveScreenshot(Screenshot("options-page.png")));

  // A release outside the box changes nothing; neither do clicks on fixed states.
  ui::MouseDown(run.List, run.BoxX(), run.BoxY(5));
  ui::MouseUp(run.List, 150, run.BoxY(5));
  ui::Settle(300);
  EXPECT_EQ(Look(run, 5), "Haken");
  run.Click(1);
  run.Click(2);
  run.Click(4);
  EXPECT_EQ(Look(run, 1), "grauer Haken");
  EXPECT_EQ(Look(run, 2), "Kreuz");
  EXPECT_EQ(Look(run, 4), "Haken");
  // Deselecting the program and going on: Enter still presses "&Weiter >".
  run.Click(0);
  EXPECT_EQ(Look(run, 0), "leer");
  EXPECT_EQ(run.Required(), ui::ChargedKilobytes(300000, 2));
  ASSERT_TRUE(ui::PressKey(run.Page, VK_RETURN));
  ASSERT_EQ(ui::WaitCleanExit(&run.Setup), 0);
  EXPECT_FALSE(ui::FileExists(run.Install + "\\prog.exe"));
  EXPECT_FALSE(ui::FileExists(run.Install + "\\nie.dat"));
  EXPECT_FALSE(ui::FileExists(run.Install + "\\Daten\\kurz.dat"));
  EXPECT_TRUE(ui::FileExists(run.Install + "\\Daten\\gross.dat"));
  EXPECT_NE(ui::ReadSetupLog(run.Install).find("UpToDate:" + run.Install + "\\Daten\\bib.dll"), std::string::npos);
}


TEST(OptionsPageScenario, ChosenFolderAndDriveMoveTheInstallFolder) {
  std::string dll;
  ui::ReadFile(ui::FixturePath("ver2000.dll"), &dll);
  OptionsRun run("options-folder",
                 "[Section1]\r\nName=Programm\r\nInstall=1\r\nFileCount=2\r\n" + File(1, "prog.exe", 4) +
                     File(2, "bib.dll", dll.size(), "2.0.0.0"),
                 {{"prog.exe", "prog"}, {"bib.dll", dll}});
  ui::WriteFiles(run.Install, {{"bib.dll", dll}});
  run.Start();
  if (HasFatalFailure()) return;
  EXPECT_EQ(run.Required(), ui::ChargedKilobytes(4, 2)) << "the installed library is kept";
  std::vector<std::string> drives = ui::ComboItems(run.Page, 1015);
  EXPECT_NE(std::find(drives.begin(), drives.end(), "C:\\"), drives.end());
  EXPECT_EQ(std::find(drives.begin(), drives.end(), "D:\\"), drives.end()) << "a CD-ROM drive is never offered";
  ASSERT_TRUE(ui::Click(run.Page, 12));
  HWND chooser = ui::WaitDialog(run.Setup.Pid, "Zielverzeichnis ausw\xE4hlen", {1, 2, 288, 1002});
  ASSERT_NE(chooser, nullptr);
  EXPECT_EQ(ui::ControlText(chooser, 288),
            "W\xE4hlen Sie das Verzeichnis, in das " + ui::ProductName() + " installiert werden soll.");
  EXPECT_EQ(ui::ControlText(chooser, 1002), run.Install);
  EXPECT_FALSE(ui::IsControlVisible(chooser, 5));
  std::string other = run.Root + "\\Anders";
  SendMessageA(GetDlgItem(chooser, 1002), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(other.c_str()));
  ASSERT_TRUE(ui::Click(chooser, 1));
  HWND create = ui::WaitDialog(run.Setup.Pid, "Zielverzeichnis erzeugen", {1, 2, 1002});
  ASSERT_NE(create, nullptr);
  ASSERT_TRUE(ui::Answer(create, 1));
  ASSERT_TRUE(ui::WaitGone(chooser));
  ui::Settle(300);
  EXPECT_EQ(ui::ControlText(run.Page, 1002), other);
  // The same drive, another folder: nothing installed there is kept.
  EXPECT_EQ(run.Required(), ui::ChargedKilobytes(4 + dll.size(), 2));
  // The drive of the install folder: its letter changes, the rest of the path stays.
  drives = ui::ComboItems(run.Page, 1015);
  auto c = std::find(drives.begin(), drives.end(), "C:\\");
  ASSERT_NE(c, drives.end());
  ASSERT_TRUE(ui::SelectComboItem(run.Page, 1015, static_cast<int>(c - drives.begin())));
  ui::Settle(500);
  std::string moved = "C" + other.substr(1);
  EXPECT_EQ(ui::ControlText(run.Page, 1002), moved);
  ASSERT_TRUE(ui::Click(run.Page, 1000));
  ASSERT_EQ(ui::WaitCleanExit(&run.Setup), 0);
  EXPECT_TRUE(ui::FileExists(moved + "\\prog.exe"));
  EXPECT_FALSE(ui::FileExists(other + "\\prog.exe"));
  ui::RemoveTree("C:\\work");
}

// Sizes in the script alone decide: no real file of a petabyte is needed.
TEST(OptionsPageScenario, NextIsRefusedWhileADriveLacksRoom) {
  OptionsRun run("options-space",
                 "[Section1]\r\nName=Programm\r\nInstall=1\r\nFileCount=1\r\n" + File(1, "prog.exe", 4) +
                     "[Section2]\r\nName=Riesig\r\nInstall=1\r\nFileCount=1\r\n" + File(1, "riesig.dat", 1000000000000000LL),
                 {{"prog.exe", "prog"}});
  run.Start();
  if (HasFatalFailure()) return;
  EXPECT_EQ(run.Required(), ui::ChargedKilobytes(1000000000000004LL, 2));
  ASSERT_TRUE(ui::Click(run.Page, 1000));
  HWND box = ui::WaitMessageBox(run.Setup.Pid);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ui::WindowText(box), "Warnung");
  EXPECT_EQ(ui::MessageBoxText(box).rfind("Auf einem der Ziellaufwerke steht nicht gen\xFCgend Speicherplatz", 0), 0u);
  ASSERT_TRUE(ui::Answer(box, IDOK));
  ui::Settle(300);
  EXPECT_TRUE(IsWindowVisible(run.Page)) << "the page stays";
  run.Click(1);
  ASSERT_TRUE(ui::Click(run.Page, 1000));
  ASSERT_EQ(ui::WaitCleanExit(&run.Setup), 0);
  EXPECT_TRUE(ui::FileExists(run.Install + "\\prog.exe"));
}

// The 256 KB volume the test run mounts, as drive S: of the test prefix.
TEST(OptionsPageScenario, ASmallDriveThatWouldRunFullIsRefusedToo) {
  if (GetDriveTypeA("S:\\") != DRIVE_FIXED) GTEST_SKIP() << "no small volume as drive S: (the test run mounts it as root)";
  std::string install = "S:\\Ziel";
  ui::RemoveTree(install);
  std::string big(300 * 1024, 'b');
  OptionsRun run("options-small",
                 "[Section1]\r\nName=Klein\r\nInstall=1\r\nFileCount=1\r\n" + File(1, "klein.dat", 1000) +
                     "[Section2]\r\nName=Zu gross\r\nInstall=1\r\nFileCount=1\r\n" + File(1, "gross.dat", big.size()),
                 {{"klein.dat", std::string(1000, 'k')}, {"gross.dat", big}}, install);
  run.Start();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(ui::Click(run.Page, 1000));
  HWND box = ui::WaitMessageBox(run.Setup.Pid);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ui::WindowText(box), "Warnung");
  ASSERT_TRUE(ui::Answer(box, IDOK));
  run.Click(1);
  ASSERT_TRUE(ui::Click(run.Page, 1000));
  ASSERT_EQ(ui::WaitCleanExit(&run.Setup), 0);
  EXPECT_TRUE(ui::FileExists(install + "\\klein.dat"));
  EXPECT_FALSE(ui::FileExists(install + "\\gross.dat"));
  ui::RemoveTree(install);
}

// A press on a box that the cancel question interrupts leaves no pressed mark behind; after the
// scan that a selection runs, the frame's close box asks its question again; a network install
// folder keeps its text when the drive figures come.
TEST(OptionsPageScenario, InterruptedPressesAndTheCloseBoxAfterASelection) {
  OptionsRun run("options-mends", "[Section1]\r\nName=Programm\r\nInstall=0\r\nFileCount=1\r\n" + File(1, "prog.exe", 5000));
  run.Start();
  if (HasFatalFailure()) return;
  run.Click(0);
  EXPECT_EQ(Look(run, 0), "Haken");
  HWND frame = ui::WaitFrame(run.Setup.Pid);
  ASSERT_TRUE(ui::CloseWindowCommand(frame));
  HWND box = ui::WaitDialog(run.Setup.Pid, "Setup abbrechen", {1, 2});
  ASSERT_NE(box, nullptr) << "the close box asks after the scan ran";
  ASSERT_TRUE(ui::Answer(box, 1));
  ui::Settle(300);

  ui::MouseDown(run.List, run.BoxX(), run.BoxY(0));
  ui::Settle(300);
  ASSERT_TRUE(ui::PressEscape(run.Page));
  box = ui::WaitDialog(run.Setup.Pid, "Setup abbrechen", {1, 2});
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(ui::Answer(box, 1));
  ui::MouseUp(run.List, run.BoxX(), run.BoxY(0));
  ui::Settle(300);
  EXPECT_EQ(Look(run, 0), "Haken") << "not pressed, not toggled";
  EXPECT_EQ(run.Required(), ui::ChargedKilobytes(5000, 1));
  EXPECT_EQ(ui::CancelFromPage(&run.Setup, run.Page), 2) << "cancelled before any change";

  OptionsRun unc("options-unc", "[Section1]\r\nName=Programm\r\nInstall=1\r\n", {}, "\\\\server\\share\\App");
  unc.Start();
  if (HasFatalFailure()) return;
  EXPECT_EQ(ui::ControlText(unc.Page, 1002), "\\\\server\\share\\App");
  EXPECT_EQ(ui::CancelFromPage(&unc.Setup, unc.Page), 2);
}

}  // namespace
