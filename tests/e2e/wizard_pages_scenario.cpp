// The pages around the copy, seen from outside: the scan for installed copies, the program
// group page and the finish page that can start the program, in the order of the wizard.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "install_driver.h"
#include "ui_driver.h"

namespace {

std::string ShellFolder(int csidl) {
  char path[MAX_PATH] = "";
  SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
  return path;
}

std::string Screenshot(const std::string& name) {
  std::string folder = ui::JoinPath(ui::TestRoot(), "screenshots");
  ui::MakeFolders(folder);
  return ui::JoinPath(folder, name);
}

std::string Fixture(const std::string& name) {
  std::string bytes;
  ui::ReadFile(ui::FixturePath(name), &bytes);
  return bytes;
}

// A medium whose install folder is <root>\Ziel; settings go before the options.
struct PagesRun {
  std::string Root, Medium, Install;
  PagesRun(const char* name, const std::string& settings, const std::string& options,
           const std::vector<ui::NamedBytes>& files = {}) {
    Root = ui::FreshFolder(name);
    Install = Root + "\\Ziel";
    Medium = ui::MakeMedium(std::string(name) + "\\medium",
                            ("[Settings]\r\nDestination=" + Install + "\r\n" + settings + options).c_str());
    ui::WriteFiles(Medium, files);
  }
};

HWND BusyPage(DWORD pid, int textId, const std::string& text) {
  for (HWND page : ui::Dialogs(pid, ""))
    if (GetDlgItem(page, 1008) && ui::ControlText(page, textId) == text) return page;
  return nullptr;
}

const char kScanText[] = "Das Setup-Programm durchsucht das System nach bereits installierten Komponenten...";
const char kUpdateText[] = "Das Setup-Programm aktualisiert Ihr System...";

// Moves a box below the page it covers, so a screenshot shows both.
void MoveBelow(HWND box, HWND page) {
  RECT r;
  GetWindowRect(page, &r);
  SetWindowPos(box, nullptr, r.left, r.bottom + 8, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ui::Settle(300);
}

// Each page waits at a box of its own, so the walk is seen page by page: the scan at a size
// that differs, the copy at a missing source, the update at a failed record.
TEST(WizardPagesScenario, ScanWelcomeOptionsGroupCopyUpdateFinishInThisOrder) {
  PagesRun run("pages-order", "DefaultGroup=Seitentest\r\n",
               "[Section1]\r\nName=Programm\r\nInstall=1\r\nFileCount=2\r\n"
               // Used in place on the medium: measured by the scan, never copied.
               "File1=1,,a.txt,,$(NoCopy),,,,99\r\nFile2=1,,fehlt.txt,,$(AppPath),,,,5\r\n"
               "RegisterKeyCount=1\r\nRegisterKey1=HKEY_UNBEKANNT,Software\\SetupTests,x,,\r\n",
               {{"a.txt", "kurz\r\n"}});
  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, run.Medium));
  DWORD pid = setup.Pid;
  HWND box = ui::WaitMessageBox(pid);
  ASSERT_NE(box, nullptr);
  HWND scan = BusyPage(pid, 257, kScanText);
  ASSERT_NE(scan, nullptr) << "the scan comes first";
  EXPECT_EQ(ui::WaitWelcomePage(pid, 0), nullptr);
  MoveBelow(box, scan);
  EXPECT_TRUE(ui::SaveScreenshot(Screenshot("scan-page.png")));
  ASSERT_TRUE(ui::Answer(box, IDOK));

  HWND welcome = ui::WaitWelcomePage(pid);
  ASSERT_NE(welcome, nullptr);
  EXPECT_FALSE(IsWindowVisible(scan) && IsWindow(scan));
  ASSERT_TRUE(ui::Click(welcome, 1000));
  HWND options = ui::WaitOptionsPage(pid);
  ASSERT_NE(options, nullptr);
  EXPECT_EQ(ui::WaitGroupPage(pid, 0), nullptr);
  {
    // Two presses queued before the page answers the first (a double click on a slow machine)
    // move on by one page.
    ui::ProcessThreads threads(pid);
    ASSERT_TRUE(threads.Suspend());
    ui::Click(options, 1000);
    ui::Click(options, 1000);
    threads.Resume();
  }
  HWND group = ui::WaitGroupPage(pid);
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(ui::WaitCopyPage(pid, 0), nullptr);
  ASSERT_TRUE(ui::Click(group, 1000));

  HWND prompt = ui::WaitDialog(pid, "Quelldatei nicht gefunden!", {1, 2, 5});
  ASSERT_NE(prompt, nullptr);
  EXPECT_NE(ui::WaitCopyPage(pid, 0), nullptr);
  ASSERT_TRUE(ui::Answer(prompt, 5));
  box = ui::WaitMessageBox(pid);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ui::MessageBoxText(box), "Fehler beim Schreiben von \"Software\\SetupTests\" in Registraturdatenbank!");
  HWND update = BusyPage(pid, 257, kUpdateText);
  ASSERT_NE(update, nullptr) << "the system update comes after the copy";
  EXPECT_EQ(ui::WaitCopyPage(pid, 0), nullptr);
  MoveBelow(box, update);
  EXPECT_TRUE(ui::SaveScreenshot(Screenshot("update-page.png")));
  ASSERT_TRUE(ui::Answer(box, IDOK));

  HWND finish = ui::WaitFinishPage(pid);
  ASSERT_NE(finish, nullptr);
  EXPECT_TRUE(ui::IsControlVisible(finish, 258));
  EXPECT_FALSE(ui::IsControlVisible(finish, 257));
  EXPECT_EQ(ui::ControlText(finish, 258), ui::ProductName() +
                                              "-Setup wurde ausgef\xFChrt. Einige Komponenten wurden evtl. nicht "
                                              "ordnungsgem\xE4\xDF installiert, was die Funktionalit\xE4t der "
                                              "Anwendung beeintr\xE4" "chtigen kann!");
  ui::Settle(300);
  EXPECT_TRUE(ui::SaveScreenshot(Screenshot("finish-page-errors.png")));
  // "&Beenden" ends the run without a closing notice, errors or not; the exit code tells.
  std::vector<HWND> before = ui::TopWindows(pid);
  std::vector<std::string> shown;
  ASSERT_TRUE(ui::Answer(finish, 1));
  EXPECT_EQ(ui::WaitExitWatching(&setup, &shown, before), 4);
  EXPECT_EQ(shown, std::vector<std::string>{});
}

// An installed file that is current and held open by another program for writing.
TEST(WizardPagesScenario, KeptFileInUseAsksAndTheAnswerDecides) {
  std::string dll = Fixture("ver2000.dll");
  PagesRun run("pages-in-use", "", "[Section1]\r\nInstall=1\r\nFileCount=1\r\nFile1=1,,ver2000.dll,bib.dll,$(AppPath),,,," +
                                       std::to_string(dll.size()) + ",2.0.0.0\r\n",
               {{"ver2000.dll", dll}});
  ASSERT_TRUE(ui::WriteFiles(run.Install, {{"bib.dll", dll}}));
  HANDLE held = CreateFileA((run.Install + "\\bib.dll").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  for (int answer : {1, 2}) {
    ui::Setup setup;
    ASSERT_TRUE(ui::StartSetup(&setup, run.Medium));
    HWND box = ui::WaitDialog(setup.Pid, "Laufende Anwendungen...", {1, 2, 257, 258});
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ui::ControlText(box, 1), "Setup &fortsetzen");
    EXPECT_EQ(ui::ControlText(box, 2), "Setup &beenden");
    HWND scan = BusyPage(setup.Pid, 257, kScanText);
    ASSERT_NE(scan, nullptr);
    EXPECT_EQ(ui::Owner(box), scan);
    if (answer == 1) {
      MoveBelow(box, scan);
      EXPECT_TRUE(ui::SaveScreenshot(Screenshot("scan-files-in-use.png")));
      ASSERT_TRUE(ui::Answer(box, 1));
      ASSERT_NE(ui::WaitWelcomePage(setup.Pid), nullptr) << "going on ends the scan";
      EXPECT_EQ(ui::CancelFromWelcomePage(&setup), 2);
    } else {
      ASSERT_TRUE(ui::Answer(box, 2));
      HWND notice = ui::WaitDialog(setup.Pid, (ui::ProductName() + "-Setup").c_str(), {1, 257, 258});
      ASSERT_NE(notice, nullptr) << "nothing changed yet: notice 137";
      EXPECT_EQ(ui::ControlText(notice, 257).find("wurde unterbrochen"), ui::ProductName().size() + 7);
      EXPECT_TRUE(ui::Answer(notice, 1));
      EXPECT_EQ(ui::WaitExit(&setup), 5) << "nothing changed: files in use";
    }
  }
  CloseHandle(held);
  EXPECT_FALSE(ui::FileExists(run.Install + "\\setup0.log"));
}

// The group page lists the Programs menu's folders, takes a chosen one, refuses a name whose
// folder would not fit a path, and each of its four buttons puts the shortcuts somewhere else.
TEST(WizardPagesScenario, EachGroupChoiceGivesTheShortcutFolder) {
  std::string programs = ShellFolder(CSIDL_PROGRAMS);
  for (const char* folder : {"Zeta Testgruppe", "Alpha Testgruppe", ".Versteckte Testgruppe"})
    ui::MakeFolders(ui::JoinPath(programs, folder));
  ui::WriteFile(ui::JoinPath(programs, "Datei Testgruppe"), "keine Gruppe");
  struct Choice {
    int Radio;
    std::string Folder;
  } choices[] = {{1017, programs + "\\Gruppentest"},
                 {1020, programs},
                 {1011, ShellFolder(CSIDL_STARTMENU)},
                 {1012, ShellFolder(CSIDL_DESKTOPDIRECTORY)}};
  for (const Choice& choice : choices) {
    PagesRun run("pages-group", "DefaultGroup=Vorgabe\r\n",
                 "[Section1]\r\nInstall=1\r\nLinkCount=1\r\nLink1=$(AppPath)\\prog.exe,$(Link)\\Gruppentest.lnk\r\n");
    std::string link = choice.Folder + "\\Gruppentest.lnk";
    DeleteFileA(link.c_str());
    ui::Setup setup;
    ASSERT_TRUE(ui::StartAndInstall(&setup, run.Medium));
    HWND page = ui::WaitGroupPage(setup.Pid);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(ui::ControlText(page, 515), "Vorgabe");
    EXPECT_TRUE(ui::IsChecked(page, 1017));
    if (choice.Radio == 1017) {
      std::vector<std::string> items = ui::ListItems(page, 768);
      auto at = [&](const std::string& name) { return std::find(items.begin(), items.end(), name) - items.begin(); };
      EXPECT_LT(at("Alpha Testgruppe"), at("Zeta Testgruppe"));
      EXPECT_LT(at("Zeta Testgruppe"), static_cast<long>(items.size()));
      EXPECT_EQ(at(".Versteckte Testgruppe"), static_cast<long>(items.size()));
      EXPECT_EQ(at("Datei Testgruppe"), static_cast<long>(items.size()));
      ASSERT_TRUE(ui::SelectListItem(page, 768, at("Alpha Testgruppe")));
      ui::Settle(200);
      EXPECT_EQ(ui::ControlText(page, 515), "Alpha Testgruppe");
      ui::Settle(100);
      EXPECT_TRUE(ui::SaveScreenshot(Screenshot("group-page.png")));
      // A name that would not fit a path beside the Programs folder stays on the page.
      std::string tooLong(259 - programs.size(), 'g');
      SendMessageA(GetDlgItem(page, 515), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(tooLong.c_str()));
      ASSERT_TRUE(ui::Click(page, 1000));
      HWND box = ui::WaitMessageBox(setup.Pid);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(ui::MessageBoxText(box), "Die Programmgruppe \"" + tooLong + "\" kann nicht erstellt werden!");
      ASSERT_TRUE(ui::Answer(box, IDOK));
      EXPECT_TRUE(IsWindowVisible(page));
      // Edited after choosing: the field counts; trailing backslashes go.
      SendMessageA(GetDlgItem(page, 515), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Gruppentest\\\\"));
    } else {
      ASSERT_TRUE(ui::Click(page, choice.Radio));
      ui::Settle(200);
      EXPECT_TRUE(ui::IsChecked(page, choice.Radio));
      EXPECT_FALSE(ui::IsControlEnabled(page, 768));
      EXPECT_FALSE(ui::IsControlEnabled(page, 515));
    }
    ASSERT_TRUE(ui::Click(page, 1000));
    ASSERT_EQ(ui::WaitCleanExit(&setup), 0);
    EXPECT_EQ(ui::LinkTarget(link), run.Install + "\\prog.exe") << link;
    DeleteFileA(link.c_str());
  }
  ui::RemoveTree(programs + "\\Gruppentest");
  for (const char* folder : {"Zeta Testgruppe", "Alpha Testgruppe", ".Versteckte Testgruppe", "Datei Testgruppe"})
    ui::RemoveTree(ui::JoinPath(programs, folder));
}

// A file where the group folder belongs: the folder cannot be made, and the shortcut into it
// is still tried.
TEST(WizardPagesScenario, GroupFolderThatCannotBeCreatedIsReportedBeforeItsShortcut) {
  std::string programs = ShellFolder(CSIDL_PROGRAMS), blocked = programs + "\\Blockierte Testgruppe";
  ASSERT_TRUE(ui::WriteFile(blocked, "eine Datei"));
  PagesRun run("pages-group-blocked", "DefaultGroup=Blockierte Testgruppe\r\n",
               "[Section1]\r\nInstall=1\r\nLinkCount=1\r\nLink1=$(AppPath)\\prog.exe,$(Link)\\Verweis.lnk\r\n");
  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, run.Medium));
  HWND page = ui::WaitGroupPage(setup.Pid);
  ASSERT_NE(page, nullptr);
  ASSERT_TRUE(ui::Click(page, 1000));
  for (const std::string& text : {"Die Programmgruppe \"" + blocked + "\" kann nicht erstellt werden!",
                                  std::string("Verkn\xFCpfung mit \"$(AppPath)\\prog.exe\" kann nicht erstellt werden")}) {
    HWND box = ui::WaitMessageBox(setup.Pid);
    ASSERT_NE(box, nullptr) << text;
    EXPECT_EQ(ui::WindowText(box), "Hinweis...");
    EXPECT_EQ(ui::MessageBoxText(box), text);
    ASSERT_TRUE(ui::Answer(box, IDOK));
  }
  EXPECT_EQ(ui::FinishWithErrors(&setup), 4);
  std::string log = ui::ReadSetupLog(run.Install);
  EXPECT_NE(log.find("Error: Creating Group " + blocked + "\r\nLink:" + run.Install + "\\prog.exe," + blocked +
                     "\\Verweis.lnk\r\nError: Creating Link $(Link)\\Verweis.lnk\r\n"),
            std::string::npos)
      << log;
  DeleteFileA(blocked.c_str());
}

// "&Starten" starts the program quoted, so a program at the cut-off path of one with blanks
// cannot start in its place, and hands it the arguments.
TEST(WizardPagesScenario, FinishPageStartsTheProgramWithItsArguments) {
  std::string program = Fixture("started.exe");
  PagesRun run("pages-finish-start", "",
               // The program in a folder with a blank; the decoy where an unquoted line breaks.
               "[Section1]\r\nInstall=1\r\nDestination=Mein Produkt\r\nFileCount=1\r\n"
               "File1=1,,started.exe,start.exe,$(AppPath),,,," + std::to_string(program.size()) + "\r\n"
               "[Section2]\r\nInstall=1\r\nFileCount=1\r\n"
               "File1=1,,started.exe,Mein.exe,$(AppPath),,,," + std::to_string(program.size()) + "\r\n"
               "[SuccessRun]\r\nSuccessRunCount=1\r\n"
               "SuccessRun1=$(AppPath)\\Mein Produkt\\start.exe,/demo \"$(Product), jetzt\",$p &starten\r\n",
               {{"started.exe", program}});
  std::string productFolder = run.Install + "\\Mein Produkt";
  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, run.Medium));
  HWND finish = ui::WaitFinishPage(setup.Pid, 20000);
  ASSERT_NE(finish, nullptr);
  EXPECT_TRUE(ui::IsControlVisible(finish, 257));
  EXPECT_FALSE(ui::IsControlVisible(finish, 258));
  EXPECT_EQ(ui::ControlText(finish, 257), ui::ProductName() + "-Setup wurde erfolgreich ausgef\xFChrt.");
  EXPECT_EQ(ui::ControlText(finish, 100), ui::ProductName() + " &starten");  // the caption says "$p" too
  ui::Settle(300);
  EXPECT_TRUE(ui::SaveScreenshot(Screenshot("finish-page.png")));
  ASSERT_TRUE(ui::Answer(finish, 100));
  EXPECT_EQ(ui::WaitExit(&setup), 0);
  std::string args;
  for (int i = 0; i < 100 && !ui::ReadFile(productFolder + "\\start.exe.args", &args); ++i) Sleep(50);
  EXPECT_EQ(args, "\"" + productFolder + "\\start.exe\" /demo " + ui::ProductName() + ", jetzt");
  EXPECT_FALSE(ui::FileExists(run.Install + "\\Mein.exe.args")) << "the decoy was started";
}

TEST(WizardPagesScenario, FinishPageWithoutAProgramOrWithOneThatCannotStart) {
  PagesRun none("pages-finish-none", "", "[Section1]\r\nInstall=1\r\n");
  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, none.Medium));
  HWND finish = ui::WaitFinishPage(setup.Pid);
  ASSERT_NE(finish, nullptr);
  EXPECT_FALSE(ui::IsControlVisible(finish, 100));
  RECT client, button;
  GetClientRect(finish, &client);
  GetWindowRect(GetDlgItem(finish, 1), &button);
  MapWindowPoints(nullptr, finish, reinterpret_cast<POINT*>(&button), 2);
  EXPECT_NEAR(button.left, (client.right - (button.right - button.left)) / 2, 1) << "centred";
  ASSERT_TRUE(ui::Answer(finish, 1));
  EXPECT_EQ(ui::WaitExit(&setup), 0);

  PagesRun missing("pages-finish-missing", "",
                   "[Section1]\r\nInstall=1\r\n[SuccessRun]\r\nSuccessRunCount=1\r\n"
                   "SuccessRun1=$(AppPath)\\fehlt.exe,-x,&Starten\r\n");
  ui::Setup second;
  ASSERT_TRUE(ui::StartAndInstall(&second, missing.Medium));
  finish = ui::WaitFinishPage(second.Pid);
  ASSERT_NE(finish, nullptr);
  ASSERT_TRUE(ui::Click(finish, 100));
  HWND box = ui::WaitMessageBox(second.Pid);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ui::WindowText(box), "Fehler");
  EXPECT_EQ(ui::MessageBoxText(box),
            "Fehler beim Ausf\xFChren der Anwendung \"\"" + missing.Install + "\\fehlt.exe\" -x\"!");
  EXPECT_EQ(ui::ClassName(ui::Owner(box)), "SETUPFRAME");
  std::vector<HWND> before = ui::TopWindows(second.Pid);
  std::vector<std::string> shown;
  ASSERT_TRUE(ui::Answer(box, IDOK));
  EXPECT_EQ(ui::WaitExitWatching(&second, &shown, before), 4) << "finished, but the program could not be started";
  EXPECT_EQ(shown, std::vector<std::string>{}) << "no closing notice";
}

}  // namespace
