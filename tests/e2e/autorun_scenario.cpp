// "/AUTORUN": the medium's start program, seen from outside. The installed product is the
// fixture program Start.exe in an install folder that the product record names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install_driver.h"
#include "product_registry.h"
#include "ui_driver.h"

namespace {

const char kProductId[] = "{0123ABCD-4567-89ab-CDEF-0123456789AB}";  // of daten-v3.hlp

std::string ProductKey() { return ui::ProductKey(ui::CompanyName(), ui::ProductName()); }
std::string DataKey() { return ProductKey() + "\\2.0\\Files\\" + kProductId; }
// An installed product and its medium: [AutoRun] checks a versioned library and names the
// product data file; Section1 and Section2 each install one file.
struct Installed {
  std::string Root, Medium, Install, Program, Data;

  Installed(const char* name, const char* setupExe = nullptr) {
    Root = ui::FreshFolder(name);
    Install = Root + "\\Installiert";
    Program = Install + "\\Start.exe";
    Data = Install + "\\daten.hlp";
    ui::MakeFolders(Install);
    CopyFileA(ui::FixturePath("Start.exe").c_str(), Program.c_str(), FALSE);
    CopyFileA(ui::FixturePath("ver2000.dll").c_str(), (Install + "\\bibliothek.dll").c_str(), FALSE);
    CopyFileA(ui::FixturePath("daten-v3.hlp").c_str(), Data.c_str(), FALSE);
    // [AutoRun] entries are checked, never copied: their sizes do not matter. The last one is
    // checked in the system folder, where it is installed.
    std::string script = "[Settings]\r\nDestination=" + Root + "\\Anderswo\r\n"
                         "[Section1]\r\nInstall=1\r\nFileCount=1\r\nFile1=1,,erstes.txt,,$(AppPath),,,,6\r\n"
                         "[Section2]\r\nInstall=1\r\nFileCount=1\r\nFile1=1,,zweites.txt,,$(AppPath),,,,6\r\n"
                         "[AutoRun]\r\nFileCount=3\r\nFile1=1,,bibliothek.dll,,$(AppPath),,,,1,2.0.0.0\r\n"
                         "File2=1,,daten.hlp,,$(AppPath),$(KRVRegister),,,1\r\n"
                         "File3=1,,kernel32.dll,,$(WinSysPath),,,,1,1.0.0.0\r\n";
    Medium = ui::MakeMedium(std::string(name) + "\\medium", script.c_str());
    if (setupExe) CopyFileA(setupExe, (Medium + "\\setup.exe").c_str(), FALSE);
    CopyFileA(Data.c_str(), (Medium + "\\daten.hlp").c_str(), FALSE);
    ui::WriteFiles(Medium, {{"erstes.txt", "Eins\r\n"}, {"zweites.txt", "Zwei\r\n"}});

    ui::DeleteKeyTree(ProductKey());
    // The installed data file is registered as current, where it is installed.
    Register(Program);
    ui::SetRegistryString(DataKey(), "", "3");
    ui::SetRegistryString(DataKey(), "InstallPath", Data);
  }
  ~Installed() { ui::DeleteKeyTree(ProductKey()); }
  void Register(const std::string& path) { ui::SetRegistryString(ProductKey() + "\\CurrentVersion", "Path", path); }
  std::string Started() const {
    std::string line;
    return ui::ReadFile(Install + "\\gestartet.txt", &line) ? line : "<nicht gestartet>";
  }
};

HWND WaitAutorunBox(DWORD pid) { return ui::WaitDialog(pid, (ui::ProductName() + "-Autorun").c_str(), {1, 2}); }

std::string Screenshot(const char* name) {
  std::string folder = ui::JoinPath(ui::TestRoot(), "screenshots");
  ui::MakeFolders(folder);
  return ui::JoinPath(folder, name);
}

// The box offers "&Setup"; taken, the setup runs: welcome page, copy, end.
void InstallThroughSetupButton(const Installed& run, ui::Setup* setup) {
  ASSERT_TRUE(ui::StartSetup(setup, run.Medium, "/AUTORUN"));
  HWND box = WaitAutorunBox(setup->Pid);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ui::ControlText(box, 1), "&Setup");
  ui::Click(box, 1);
  HWND welcome = ui::WaitWelcomePage(setup->Pid);
  ASSERT_NE(welcome, nullptr);
  ui::Click(welcome, 1000);
  ASSERT_EQ(ui::WaitCleanExit(setup), 0);
}

TEST(AutorunScenario, NotInstalledGoesStraightIntoTheSetup) {
  Installed run("autorun-neu");
  ui::DeleteKeyTree(ProductKey());
  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, run.Medium, "/AUTORUN"));
  ASSERT_NE(ui::WaitWelcomePage(setup.Pid), nullptr);
  EXPECT_TRUE(ui::Dialogs(setup.Pid, (ui::ProductName() + "-Autorun").c_str()).empty());
  EXPECT_EQ(ui::CancelFromWelcomePage(&setup), 2);
}

TEST(AutorunScenario, RunningProductEndsAtOnceWithoutAWindow) {
  Installed run("autorun-laeuft");
  // Registered in lower case: the running program's event is named in upper case with slashes.
  std::string lower = run.Program;
  for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  run.Register(lower);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION holder = {};
  std::string line = "\"" + run.Program + "\" /hold";
  ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &holder));
  std::string event = run.Program;
  for (char& c : event) c = c == '\\' ? '/' : static_cast<char>(toupper(static_cast<unsigned char>(c)));
  HANDLE held = nullptr;
  for (int i = 0; i < 200 && !held; ++i, Sleep(25)) held = OpenEventA(SYNCHRONIZE, FALSE, event.c_str());
  ASSERT_NE(held, nullptr) << "the program does not hold its event";
  CloseHandle(held);

  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, run.Medium, "/AUTORUN"));
  std::vector<std::string> shown;
  EXPECT_EQ(ui::WaitExitWatching(&setup, &shown, {}, 5000), 0);
  EXPECT_EQ(shown, std::vector<std::string>{});
  TerminateProcess(holder.hProcess, 0);
  WaitForSingleObject(holder.hProcess, 5000);
  CloseHandle(holder.hProcess);
  CloseHandle(holder.hThread);
}

TEST(AutorunScenario, CurrentProductStartsWithTheInstalledDataFile) {
  Installed run("autorun-starten");
  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, run.Medium, "/AUTORUN"));
  HWND box = WaitAutorunBox(setup.Pid);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ui::ControlText(box, 1), "&Starten");
  EXPECT_EQ(ui::ControlText(box, 2), "&Ende");
  // Without bitmap 100 the box says in words what it offers.
  EXPECT_EQ(ui::ControlText(box, 1022).find(ui::ProductName() + " ist auf diesem Computer installiert."), 0u);
  EXPECT_FALSE(ui::IsControlVisible(box, 1021));
  ui::Settle(300);
  EXPECT_TRUE(ui::SaveScreenshot(Screenshot("autorun-ohne-bild.png")));
  ui::Click(box, 1);
  EXPECT_EQ(ui::WaitExit(&setup), 0);
  std::string started;
  for (int i = 0; i < 100 && (started = run.Started()) == "<nicht gestartet>"; ++i) Sleep(50);
  // The program in quotes (its path may hold blanks), the registered data file in quotes.
  EXPECT_EQ(started, "\"" + run.Program + "\" \"" + run.Data + "\"");
}

// The registered program is missing: never started in its place is a program whose path is the
// first word of it ("Mein.exe" for "Mein Start.exe").
TEST(AutorunScenario, ProgramThatCannotStartIsReported) {
  Installed run("autorun-fehlt");
  DeleteFileA(run.Program.c_str());
  run.Program = run.Install + "\\Mein Start.exe";
  run.Register(run.Program);
  CopyFileA(ui::FixturePath("Start.exe").c_str(), (run.Install + "\\Mein.exe").c_str(), FALSE);
  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, run.Medium, "/AUTORUN"));
  HWND box = WaitAutorunBox(setup.Pid);
  ASSERT_NE(box, nullptr);
  ui::Click(box, 1);
  HWND message = ui::WaitMessageBox(setup.Pid);
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(ui::WindowText(message), "Setup");
  EXPECT_EQ(ui::MessageBoxText(message),
            "Die Datei " + run.Program +
                " kann nicht gestartet werden! Bitte \xFC" "berpr\xFC" "fen Sie Laufwerk und Verzeichnis!\n"
                "Nach einer versehentlichen L\xF6schung des Programms m\xFCssen Sie Setup erneut aufrufen!");
  ui::Click(message, IDOK);
  EXPECT_EQ(ui::WaitExit(&setup), 0);
  Sleep(500);
  EXPECT_EQ(run.Started(), "<nicht gestartet>");
}

TEST(AutorunScenario, DeletedFileOffersTheFullSetup) {
  Installed run("autorun-geloescht");
  DeleteFileA((run.Install + "\\bibliothek.dll").c_str());
  ui::Setup setup;
  InstallThroughSetupButton(run, &setup);
  if (HasFatalFailure()) return;
  // Into the registered program's folder, with both options.
  EXPECT_TRUE(ui::FileExists(run.Install + "\\erstes.txt"));
  EXPECT_TRUE(ui::FileExists(run.Install + "\\zweites.txt"));
  EXPECT_EQ(run.Started(), "<nicht gestartet>");
}

TEST(AutorunScenario, NewerDataOnTheMediumRunsTheSetupWithoutItsFirstOption) {
  Installed run("autorun-neuer");
  ui::SetRegistryString(DataKey(), "", "2");
  ui::Setup setup;
  InstallThroughSetupButton(run, &setup);
  if (HasFatalFailure()) return;
  EXPECT_FALSE(ui::FileExists(run.Install + "\\erstes.txt"));
  EXPECT_TRUE(ui::FileExists(run.Install + "\\zweites.txt"));
}

TEST(AutorunScenario, BoxIsLaidOutFromBitmap100AndEndeStartsNothing) {
  Installed run("autorun-bild", ui::FixturePath("setup-bild.exe").c_str());
  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, run.Medium, "/AUTORUN"));
  HWND box = WaitAutorunBox(setup.Pid);
  ASSERT_NE(box, nullptr);
  // The fixture picture is 240 by 150: the client area is the picture, then the buttons.
  const LONG w = 240, h = 150;
  RECT client, rects[3];  // picture, first and second button
  GetClientRect(box, &client);
  for (int i = 0; i < 3; ++i) {
    GetWindowRect(GetDlgItem(box, i == 0 ? 1021 : i), &rects[i]);
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&rects[i]), 2);
  }
  int bw = rects[1].right - rects[1].left, bh = rects[1].bottom - rects[1].top;
  EXPECT_EQ(std::vector<LONG>({rects[0].left, rects[0].top, rects[0].right, rects[0].bottom}),
            std::vector<LONG>({0, 0, w, h}));
  EXPECT_EQ(std::vector<LONG>({client.right, client.bottom}), std::vector<LONG>({w, h + bh + 10}));
  EXPECT_EQ(std::vector<LONG>({rects[1].left, rects[1].top, rects[2].left, rects[2].top}),
            std::vector<LONG>({w - 2 * bw - 16, h + 5, w - bw - 8, h + 5}));
  EXPECT_FALSE(ui::IsControlVisible(box, 1022));
  // Centred on the screen.
  RECT frame;
  GetWindowRect(box, &frame);
  EXPECT_EQ(frame.left, (GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2);
  EXPECT_EQ(frame.top, (GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 2);
  ui::Settle(300);
  EXPECT_TRUE(ui::SaveScreenshot(Screenshot("autorun-mit-bild.png")));
  ui::Click(box, 2);
  EXPECT_EQ(ui::WaitExit(&setup), 0);
  ui::Settle(500);
  EXPECT_EQ(run.Started(), "<nicht gestartet>");
}

}  // namespace
