// The copy page installing for real and when things go wrong: every file where it belongs and
// byte for byte, the log with a line for every step and every failure, companions, files kept
// on the medium, a second run and "/ALL", shared counts, missing sources, unwritable targets,
// read and write errors: a run that ends before it is complete takes back what it did.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "install_driver.h"
#include "product_registry.h"
#include "ui_driver.h"

namespace {

std::string E(const std::string& name, size_t size, int disk = 1, const std::string& dest = "$(AppPath)") {
  return std::to_string(disk) + ",," + name + ",," + dest + ",,,," + std::to_string(size);
}

// A medium and an install folder below the test root; %I and %M in texts stand for them.
struct Medium {
  std::string Root, Path, Install;
  Medium(const std::string& name, const std::string& sections, const std::vector<ui::NamedBytes>& files,
         const std::string& install = "") {
    Root = ui::FreshFolder(name);
    Install = install.empty() ? Root + "\\Ziel" : install;
    std::string script = "[Settings]\r\nDestination=" + Install +
                         "\r\n[Disks]\r\nDiskCount=2\r\nDisk1=Beispiel-CD 1\r\nDisk2=Beispiel-CD 2\r\n" + sections;
    Path = ui::MakeMedium(name + "\\medium", script.c_str());
    ui::WriteFiles(Path, files);
  }
  std::string Fill(std::string text) const {
    std::string entry = "HKEY_LOCAL_MACHINE\\" + ui::UninstallKey(ui::CompanyName(), ui::ProductName());
    for (auto [mark, value] : {std::pair<std::string, std::string>{"%I", Install}, {"%M", Path}, {"%U", entry}})
      for (size_t at; (at = text.find(mark)) != std::string::npos;) text.replace(at, 2, value);
    return text;
  }
};

TEST(CopyScenario, CleanInstallSecondRunAndAll) {
  std::vector<ui::NamedBytes> files;
  std::vector<std::string> entries;
  // Sizes around the blocks, which start at 8 KB and double while they come quickly.
  for (size_t size : {1u, 8191u, 8192u, 8193u, 8192u + 16384u, (2u << 20) - 8192u + 1, 3u * 1024 * 1024 + 5}) {
    files.push_back({"f" + std::to_string(size) + ".dat", ui::PatternBytes(size, size)});
    entries.push_back(E(files.back().Name, size));
  }
  std::string dll;
  ASSERT_TRUE(ui::ReadFile(ui::FixturePath("ver2000.dll"), &dll));
  files.push_back({"ver2000.dll", dll});
  // Listed twice with the same path: counted once per run.
  for (int twice = 0; twice < 2; ++twice)
    entries.push_back("1,,ver2000.dll,bib.dll,$(AppPath),,$(Shared),5/20/1997," + std::to_string(dll.size()) +
                      ",2.0.0.0");
  entries.push_back(E("liesmich.txt", 5, 1, "$(NoCopy)"));
  files.push_back({"bild.dat", "Bild"});
  files.push_back({"extra.txt", "Begleiter"});
  Medium m("copy-clean",
           ui::Section(1, "Install=1\r\n", entries) +
               ui::Section(2, "Install=1\r\nDestination=Daten\\Bilder\r\n", {E("bild.dat", 4)}) +
               ui::Section(3, "Install=0\r\n", {E("nie.dat", 3)}) + ui::Section(4, "Install=0\r\n", {E("statt.txt", 3)}) +
               "[Section4NoCopy]\r\nDestination=Extra\r\nFileCount=1\r\nFile1=" + E("extra.txt", 9) + "\r\n",
           files);
  std::string target = m.Install + "\\bib.dll";
  ui::ClearSharedCount(target);
  for (int run = 0; run < 3; ++run) {
    ui::Setup setup;
    ASSERT_TRUE(ui::StartAndInstall(&setup, m.Path, run == 2 ? "/ALL" : ""));
    ASSERT_EQ(ui::WaitCleanExit(&setup), 0);
    std::string expected = run ? "" : m.Fill("CreatedDir:%I\r\n");
    for (size_t i = 0; i + 3 < files.size(); ++i) expected += "Copied:" + m.Install + "\\" + files[i].Name + "\r\n";
    expected += (run == 1 ? "UpToDate:" : "Copied:") + target + "\r\n" + (run == 2 ? "Copied:" : "UpToDate:") +
                target + "\r\n";
    if (!run) expected += m.Fill("CreatedDir:%I\\Daten\\Bilder\r\nCreatedDir:%I\\Daten\r\n");
    expected += m.Fill("Copied:%I\\Daten\\Bilder\\bild.dat\r\n") + (run ? "" : m.Fill("CreatedDir:%I\\Extra\r\n")) +
                m.Fill("Copied:%I\\Extra\\extra.txt\r\n");
    EXPECT_EQ(ui::ReadSetupLog(m.Install, run), expected) << "run " << run;
    EXPECT_EQ(ui::SharedCount(target), run + 1);
  }
  for (size_t i = 0; i + 3 < files.size(); ++i) EXPECT_TRUE(ui::Holds(m.Install + "\\" + files[i].Name, files[i].Bytes));
  EXPECT_TRUE(ui::Holds(target, dll));
  EXPECT_EQ(ui::Listing(m.Install), (std::vector<std::string>{"Daten", "Extra", "bib.dll", "f1.dat", "f2088961.dat",
                                                          "f24576.dat", "f3145733.dat", "f8191.dat", "f8192.dat",
                                                          "f8193.dat", "setup0.log", "setup1.log", "setup2.log",
                                                          "uninst.dat", "uninst.exe"}));
  ui::ClearSharedCount(target);
}

// One failure: the script's Section1, what lies on the medium and in the install folder, the
// boxes with their texts and answers, and what is there afterwards.
struct Reply {
  const char* Caption;
  std::string Text;  // the box's text, or the prompt's explanation; empty: the box may not come
  int Button;
  std::function<void(HWND)> Before = {};
};

struct FailureCase {
  const char* Name;
  std::vector<std::string> Entries;
  std::vector<ui::NamedBytes> OnMedium, Installed;
  std::vector<Reply> Replies;
  std::vector<ui::NamedBytes> After;  // files in the install folder afterwards
  std::string Log;
  // How the run ends: cancelled or aborted, everything taken back (notice 137, exit code 2), or
  // before anything could be noted (notice 114, 3), finished with errors (the finish page's
  // partial-success text, 4) or cleanly (0).
  int ExitCode = 2;
  std::function<void(const Medium&)> Prepare = {};
  std::string Install = "";
  std::vector<Reply> AtStart = {};  // boxes before the welcome page
};

std::string Prompt(const char* label, const char* file) {
  return std::string("Bitte legen Sie den Datentr\xE4ger mit der Bezeichnung \"") + label +
         "\" in das angegebene Laufwerk ein, oder w\xE4hlen Sie ein Laufwerk/Verzeichnis, in dem die Datei \"" + file +
         "\" zu finden ist.";
}

std::string TargetBox(const char* name) {
  return std::string("Die Datei \"%I\\") + name +
         "\" kann nicht erzeugt werden! Bitte beenden Sie alle anderen Anwendungen und starten Sie Setup "
         "erneut!\nSoll Setup beendet werden?";
}

std::string OneLine(std::string text) {
  for (char& c : text) c = c == '\n' ? ' ' : c;
  return text;
}

HANDLE HeldFile;

void RunFailure(const FailureCase& c) {
  SCOPED_TRACE(c.Name);
  Medium m(c.Name, ui::Section(1, "Install=1\r\n", c.Entries), c.OnMedium, c.Install);
  ui::RemoveTree(m.Install);
  if (!c.Installed.empty()) ui::WriteFiles(m.Install, c.Installed);
  if (c.Prepare) c.Prepare(m);
  ui::Setup setup;
  ASSERT_TRUE(ui::StartSetup(&setup, m.Path));
  for (const Reply& r : c.AtStart) {
    HWND box = ui::WaitMessageBox(setup.Pid);
    ASSERT_NE(box, nullptr) << "no box " << r.Text;
    EXPECT_EQ(ui::MessageBoxText(box), m.Fill(r.Text));
    EXPECT_TRUE(ui::Answer(box, r.Button));
  }
  ASSERT_TRUE(ui::WalkToCopy(&setup));
  for (const Reply& r : c.Replies) {
    HWND box = ui::WaitDialog(setup.Pid, r.Caption, {}, r.Text.empty() ? 2000 : ui::kWait);
    if (!box && r.Text.empty()) continue;
    ASSERT_NE(box, nullptr) << "no box " << r.Caption;
    if (!r.Text.empty()) {
      EXPECT_EQ(GetDlgItem(box, 288) ? ui::ControlText(box, 288) : ui::MessageBoxText(box), m.Fill(r.Text));
      if (HWND page = ui::WaitCopyPage(setup.Pid, 0)) {
        EXPECT_EQ(ui::Owner(box), page);  // the page is shown once it runs
      }
    }
    if (r.Before) r.Before(box);
    EXPECT_TRUE(ui::Answer(box, r.Button));
  }
  if (c.ExitCode == 2 || c.ExitCode == 3) {
    HWND notice = c.ExitCode == 2 ? ui::WaitInterruptedNotice(setup.Pid) : ui::WaitIncompleteNotice(setup.Pid);
    ASSERT_NE(notice, nullptr) << "no closing notice";
    EXPECT_TRUE(ui::Answer(notice, 1));
    EXPECT_EQ(ui::WaitExit(&setup), c.ExitCode);
  } else if (c.ExitCode == 4) {
    EXPECT_EQ(ui::FinishWithErrors(&setup), 4);
  } else {
    EXPECT_EQ(ui::WaitCleanExit(&setup), 0);
  }
  // A finished run leaves its record and the uninstaller.
  std::vector<std::string> expected{c.Log.empty() ? "" : "setup0.log"};
  if (c.ExitCode == 0 || c.ExitCode == 4) expected.insert(expected.end(), {"uninst.dat", "uninst.exe"});
  for (const ui::NamedBytes& file : c.After) {
    EXPECT_TRUE(ui::Holds(m.Install + "\\" + file.Name, file.Bytes)) << file.Name;
    expected.push_back(file.Name);
  }
  std::sort(expected.begin(), expected.end());
  if (expected[0].empty()) expected.erase(expected.begin());
  EXPECT_EQ(ui::Listing(m.Install), expected);  // nothing else: no temporary file either
  EXPECT_EQ(ui::ReadSetupLog(m.Install), m.Fill(c.Log));
}

const std::string kOld = "die alte Fassung\r\n", kNew = ui::PatternBytes(20000, 21);
// The last lines of a run taken back: where its record was, in the list of software.
const std::string kTakenBack = "RegistryRestored:%U,InstallLocation\r\nRemovedKey:%U\r\n";

TEST(CopyScenario, MissingSourcesAndUnwritableTargets) {
  auto readOnly = [](const Medium& m) { SetFileAttributesA((m.Install + "\\prog.exe").c_str(), FILE_ATTRIBUTE_READONLY); };
  const FailureCase cases[] = {
      {"copy-skip", {E("a.txt", 1), E("fehlt.txt", 10, 2), E("weg.txt", 10, 7), E("b.txt", 1)},
       {{"a.txt", "a"}, {"b.txt", "b"}}, {},
       {{"Quelldatei nicht gefunden!", Prompt("Beispiel-CD 2", "fehlt.txt"), 5,
         [](HWND prompt) {
           EXPECT_TRUE(ui::IsControlVisible(prompt, 5));
           ui::Settle(300);
           ui::SaveScreenshot(ui::JoinPath(ui::TestRoot(), "screenshots\\copy-source-prompt.png"));
         }},
        {"Quelldatei nicht gefunden!", Prompt("", "weg.txt"), 5}},  // a disk beyond the labels
       {{"a.txt", "a"}, {"b.txt", "b"}},
       "CreatedDir:%I\r\nCopied:%I\\a.txt\r\nError: " + Prompt("Beispiel-CD 2", "fehlt.txt") + "\r\nError: " +
           Prompt("", "weg.txt") + "\r\nCopied:%I\\b.txt\r\n",
       4},
      {"copy-prompt-cancel", {E("fehlt.txt", 10, 2), E("b.txt", 1)}, {{"b.txt", "b"}}, {},
       {{"Quelldatei nicht gefunden!", Prompt("Beispiel-CD 2", "fehlt.txt"), IDCANCEL}}, {},
       "CreatedDir:%I\r\nError: " + Prompt("Beispiel-CD 2", "fehlt.txt") + "\r\nCancelled:copy,%I\\fehlt.txt\r\n" +
           kTakenBack},
      {"copy-readonly-ignore", {E("prog.exe", 20000), E("danach.txt", 1)}, {{"prog.exe", kNew}, {"danach.txt", "d"}},
       {{"prog.exe", kOld}}, {{"Schwerer Fehler!", TargetBox("prog.exe"), IDIGNORE}},
       {{"prog.exe", kOld}, {"danach.txt", "d"}}, "Error: " + OneLine(TargetBox("prog.exe")) + "\r\nCopied:%I\\danach.txt\r\n",
       4, readOnly},
      {"copy-readonly-abort", {E("prog.exe", 20000), E("danach.txt", 1)}, {{"prog.exe", kNew}, {"danach.txt", "d"}},
       {{"prog.exe", kOld}}, {{"Schwerer Fehler!", TargetBox("prog.exe"), IDABORT}}, {{"prog.exe", kOld}},
       "Error: " + OneLine(TargetBox("prog.exe")) + "\r\nCancelled:copy,%I\\prog.exe\r\n" + kTakenBack, 2, readOnly},
      {"copy-readonly-retry", {E("prog.exe", 20000)}, {{"prog.exe", kNew}}, {{"prog.exe", kOld}},
       {{"Schwerer Fehler!", TargetBox("prog.exe"), IDRETRY,
         [](HWND) {
           EXPECT_EQ(ui::ReadSetupLog(ui::JoinPath(ui::TestRoot(), "copy-readonly-retry\\Ziel")), "");
           SetFileAttributesA(ui::JoinPath(ui::TestRoot(), "copy-readonly-retry\\Ziel\\prog.exe").c_str(),
                              FILE_ATTRIBUTE_NORMAL);
         }}},
       {{"prog.exe", kNew}}, "Copied:%I\\prog.exe\r\n", 0, readOnly},
      {"copy-held-open", {E("prog.exe", 20000)}, {{"prog.exe", kNew}}, {{"prog.exe", kOld}},
       {{"Schwerer Fehler!", TargetBox("prog.exe"), IDRETRY, [](HWND) { CloseHandle(HeldFile); }}},
       {{"prog.exe", kNew}}, "Copied:%I\\prog.exe\r\n", 0,
       [](const Medium& m) {
         HeldFile = CreateFileA((m.Install + "\\prog.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
       }},
      // A short source: a new file is kept as copied; an installed file stays as it was.
      {"copy-size", {E("kurz.dat", 120), E("alt.dat", 120), E("gut.dat", 3)},
       {{"kurz.dat", kOld}, {"alt.dat", "neu"}, {"gut.dat", "gut"}}, {{"alt.dat", kOld}},
       {{"Schwerer Fehler", "Fehler beim Lesen der Datei %M\\kurz.dat!", IDOK},
        {"Schwerer Fehler", "Fehler beim Lesen der Datei %M\\alt.dat!", IDOK}},
       {{"kurz.dat", kOld}, {"alt.dat", kOld}, {"gut.dat", "gut"}},
       "Error: Fehler beim Lesen der Datei %M\\kurz.dat!\r\nCopied:%I\\kurz.dat\r\nRestored:%I\\alt.dat\r\n"
       "Error: Fehler beim Lesen der Datei %M\\alt.dat!\r\nCopied:%I\\gut.dat\r\n",
       4, {}, "",
       // the scan finds the sizes first, once each
       {{"", "Fehlerhafte Dateigr\xF6\xDF" "e f\xFCr Datei: kurz.dat", IDOK},
        {"", "Fehlerhafte Dateigr\xF6\xDF" "e f\xFCr Datei: alt.dat", IDOK}}},
  };
  for (const FailureCase& c : cases) RunFailure(c);
}

// A source that opens but cannot be read: a named pipe whose other end goes away once the
// setup has opened it, reached through the source prompt.
DWORD WINAPI ServeOnePipeClient(void* pipe) {
  ConnectNamedPipe(pipe, nullptr);
  ui::Settle(200);  // the setup is blocked in its read by now
  DisconnectNamedPipe(pipe);
  return 0;
}

std::string SmallVolume() {
  std::string volume = ui::JoinPath(ui::TestRoot(), "small-volume");
  ULARGE_INTEGER total = {};
  if (!GetDiskFreeSpaceExA((volume + "\\").c_str(), nullptr, &total, nullptr) || total.QuadPart > (1u << 20)) return "";
  return volume;
}

TEST(CopyScenario, ReadWriteFolderAndLogErrors) {
  std::string pipeName = "setup-lesefehler-" + std::to_string(GetCurrentProcessId());
  HANDLE pipe = CreateNamedPipeA(("\\\\.\\pipe\\" + pipeName).c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 8192,
                                 8192, 0, nullptr);
  HANDLE server = CreateThread(nullptr, 0, ServeOnePipeClient, pipe, 0, nullptr);
  std::string readError = "Fehler beim Lesen der Datei \\\\.\\pipe\\" + pipeName + "!";
  RunFailure({"copy-read-error", {E("davor.txt", 5), E(pipeName, 20000, 2)}, {{"davor.txt", "davor"}}, {{pipeName, kOld}},
              {{"Quelldatei nicht gefunden!", Prompt("Beispiel-CD 2", pipeName.c_str()), IDOK,
                [](HWND prompt) {
                  SendMessageA(GetDlgItem(prompt, 1002), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("\\\\.\\pipe"));
                }},
               {"Zielverzeichnis erzeugen", "", 1},  // where the pipe namespace cannot be made current
               {"Schwerer Fehler", readError, IDOK}},
              {{"davor.txt", "davor"}, {pipeName, kOld}},
              "Copied:%I\\davor.txt\r\nRestored:%I\\" + pipeName + "\r\nError: " + readError + "\r\n", 4});
  WaitForSingleObject(server, 5000);
  CloseHandle(server);
  CloseHandle(pipe);

  std::string blocked = ui::JoinPath(ui::TestRoot(), "copy-no-folder\\Datei");  // a file where a folder should be
  RunFailure({"copy-no-folder", {E("a.txt", 1)}, {{"a.txt", "a"}}, {},
              {{"Fehler", "Fehler beim Erzeugen des Verzeichnisses \"%I\"", IDOK}}, {}, "", 3,
              [blocked](const Medium&) { ui::WriteFile(blocked, "ein Hindernis"); }, blocked + "\\Ziel"});
  // An install folder of 255 characters: it can be made, its log's name does not fit a path.
  std::string noLog = ui::JoinPath(ui::TestRoot(), "copy-no-log\\");
  noLog += std::string(255 - noLog.size(), 'L');
  RunFailure({"copy-no-log", {E("a.txt", 1)}, {{"a.txt", "a"}}, {},
              {{"Fehler", "Kann Log-Datei \"" + (noLog + "\\setup0.log").substr(0, 259) + "\" nicht erzeugen!", IDOK}},
              {}, "", 3, {}, noLog});

}

// The 256 KB volume that tools/run-tests mounts (as root) runs full during the copy.
TEST(CopyScenario, ADiskThatRunsFullEndsTheSetup) {
  std::string volume = SmallVolume();
  if (volume.empty()) GTEST_SKIP() << "no small volume mounted (tools/run-tests mounts one as root)";
  std::string big = ui::PatternBytes(1u << 20, 52);
  RunFailure({"copy-disk-full", {E("zuerst.txt", 6), E("gross.dat", big.size()), E("danach.txt", 1)},
              {{"zuerst.txt", "zuerst"}, {"gross.dat", big}, {"danach.txt", "d"}}, {{"gross.dat", kOld}},
              {{"Schwerer Fehler", "Fehler beim Schreiben in die Datei %I\\gross.dat!", IDOK}},
              {{"gross.dat", kOld}},
              "Copied:%I\\zuerst.txt\r\nRestored:%I\\gross.dat\r\nError: Fehler beim Schreiben in die Datei "
              "%I\\gross.dat!\r\nRemoved:%I\\zuerst.txt\r\n" + kTakenBack, 2, {},
              volume + "\\Ziel"});
  ui::RemoveTree(volume + "\\Ziel");
}

}  // namespace
