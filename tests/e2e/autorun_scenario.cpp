// "/AUTORUN": the medium's start program, seen from outside. The installed product is the
// fixture program Start.exe in an install folder that the product record names.
#include <gtest/gtest.h>

#include <string>

#include "install_driver.h"
#include "product_registry.h"
#include "ui_driver.h"

namespace {

const char kProductId[] = "{0123ABCD-4567-89ab-CDEF-0123456789AB}";  // of daten-v3.hlp

std::string ProductKey() { return ui::ProductKey(ui::CompanyName(), ui::ProductName()); }
std::string DataKey() { return ProductKey() + "\\2.0\\Files\\" + kProductId; }
std::string Size(const std::string& path) {
  std::string bytes;
  ui::ReadFile(path, &bytes);
  return std::to_string(bytes.size());
}
std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return text;
}

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
    std::string dll = ui::FixturePath("ver2000.dll"), hlp = ui::FixturePath("daten-v3.hlp");
    std::string script = "[Settings]\r\nDestination=" + Root + "\\Anderswo\r\n"
                         "[Section1]\r\nName=Programm\r\nInstall=1\r\nFileCount=1\r\nFile1=1,,erstes.txt,,$(AppPath),,,,7\r\n"
                         "[Section2]\r\nName=Daten\r\nInstall=1\r\nFileCount=1\r\nFile1=1,,zweites.txt,,$(AppPath),,,,8\r\n"
                         "[AutoRun]\r\nFileCount=3\r\nFile1=1,,bibliothek.dll,,$(AppPath),,,," + Size(dll) +
                         ",2.0.0.0\r\nFile2=1,,daten.hlp,,$(AppPath),$(KRVRegister),,," + Size(hlp) +
                         // Checked in the system folder, where it is installed.
                         "\r\nFile3=1,,kernel32.dll,,$(WinSysPath),,,,1,1.0.0.0\r\n";
    Medium = ui::MakeMedium(std::string(name) + "\\medium", script.c_str());
    if (setupExe) CopyFileA(setupExe, (Medium + "\\setup.exe").c_str(), FALSE);
    CopyFileA(dll.c_str(), (Medium + "\\bibliothek.dll").c_str(), FALSE);
    CopyFileA(hlp.c_str(), (Medium + "\\daten.hlp").c_str(), FALSE);
    ui::WriteFiles(Medium, {{"erstes.txt", "Eins!\r\n"}, {"zweites.txt", "Zwei\r\n\r\n"}});

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

// Runs the setup that "&Setup" went on with: welcome page, copy, end.
void InstallFromWelcomePage(ui::Setup* setup) {
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
  EXPECT_EQ(ui::CancelFromWelcomePage(&setup), 0);
}

TEST(AutorunScenario, RunningProductEndsAtOnceWithoutAWindow) {
  Installed run("autorun-laeuft");
  // Registered in lower case: the running program's event is named in upper case with slashes.
  run.Register(Lower(run.Program));
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
  DWORD pid = setup.Pid;
  EXPECT_EQ(ui::WaitExit(&setup, 5000), 0);
  EXPECT_TRUE(ui::TopWindows(pid).empty());
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
  Sleep(300);
  EXPECT_TRUE(ui::SaveScreenshot(Screenshot("autorun-ohne-bild.png")));
  ui::Click(box, 1);
  EXPECT_EQ(ui::WaitExit(&setup), 0);
  std::string started;
  for (int i = 0; i < 100 && (started = run.Started()) == "<nicht gestartet>"; ++i) Sleep(50);
  // The program in quotes (its path may hold blanks), the registered data file in quotes.
  EXPECT_EQ(started, "\"" + run.Program + "\" \"" + run.Data + "\"");
}

TEST(AutorunScenario, EndeStartsNothing) {
  Installed run("autorun-ende");
  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, run.Medium, "/AUTORUN"));
  HWND box = WaitAutorunBox(setup.Pid);
  ASSERT_NE(box, nullptr);
  ui::Click(box, 2);
  EXPECT_EQ(ui::WaitExit(&setup), 0);
  Sleep(500);
  EXPECT_EQ(run.Started(), "<nicht gestartet>");
}

TEST(AutorunScenario, ProgramThatCannotStartIsReported) {
  Installed run("autorun-fehlt");
  DeleteFileA(run.Program.c_str());
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
}

TEST(AutorunScenario, DeletedFileOffersTheFullSetup) {
  Installed run("autorun-geloescht");
  DeleteFileA((run.Install + "\\bibliothek.dll").c_str());
  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, run.Medium, "/AUTORUN"));
  HWND box = WaitAutorunBox(setup.Pid);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ui::ControlText(box, 1), "&Setup");
  ui::Click(box, 1);
  InstallFromWelcomePage(&setup);
  // Into the registered program's folder, with both options.
  EXPECT_TRUE(ui::FileExists(run.Install + "\\erstes.txt"));
  EXPECT_TRUE(ui::FileExists(run.Install + "\\zweites.txt"));
  EXPECT_EQ(run.Started(), "<nicht gestartet>");
}

TEST(AutorunScenario, NewerDataOnTheMediumRunsTheSetupWithoutItsFirstOption) {
  Installed run("autorun-neuer");
  ui::SetRegistryString(DataKey(), "", "2");
  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, run.Medium, "/AUTORUN"));
  HWND box = WaitAutorunBox(setup.Pid);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ui::ControlText(box, 1), "&Setup");
  ui::Click(box, 1);
  InstallFromWelcomePage(&setup);
  EXPECT_FALSE(ui::FileExists(run.Install + "\\erstes.txt"));
  EXPECT_TRUE(ui::FileExists(run.Install + "\\zweites.txt"));
}

TEST(AutorunScenario, BoxIsLaidOutFromBitmap100) {
  Installed run("autorun-bild", ui::FixturePath("setup-bild.exe").c_str());
  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, run.Medium, "/AUTORUN"));
  HWND box = WaitAutorunBox(setup.Pid);
  ASSERT_NE(box, nullptr);
  // The fixture picture is 320 by 200: the client area is the picture, then the buttons.
  RECT client, picture, start, end;
  GetClientRect(box, &client);
  GetWindowRect(GetDlgItem(box, 1021), &picture);
  GetWindowRect(GetDlgItem(box, 1), &start);
  GetWindowRect(GetDlgItem(box, 2), &end);
  MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&picture), 2);
  MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&start), 2);
  MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&end), 2);
  int bw = start.right - start.left, bh = start.bottom - start.top;
  EXPECT_EQ(picture.left, 0);
  EXPECT_EQ(picture.top, 0);
  EXPECT_EQ(picture.right, 320);
  EXPECT_EQ(picture.bottom, 200);
  EXPECT_EQ(client.right, 320);
  EXPECT_EQ(client.bottom, 200 + bh + 10);
  EXPECT_EQ(start.left, 320 - 2 * bw - 16);
  EXPECT_EQ(end.left, 320 - bw - 8);
  EXPECT_EQ(start.top, 205);
  EXPECT_EQ(end.top, 205);
  EXPECT_FALSE(ui::IsControlVisible(box, 1022));
  // Centred on the screen.
  RECT frame;
  GetWindowRect(box, &frame);
  EXPECT_EQ(frame.left, (GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2);
  EXPECT_EQ(frame.top, (GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 2);
  Sleep(300);
  EXPECT_TRUE(ui::SaveScreenshot(Screenshot("autorun-mit-bild.png")));
  ui::Click(box, 2);
  EXPECT_EQ(ui::WaitExit(&setup), 0);
}

}  // namespace
