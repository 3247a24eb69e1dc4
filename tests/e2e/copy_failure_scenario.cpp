// The copy page when things go wrong: a missing source file and its prompt, a target that
// cannot be written, and the user cancelling in the middle of a copy.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install_driver.h"
#include "ui_driver.h"

namespace {

const char kPromptTitle[] = "Quelldatei nicht gefunden!";

std::string Entry(int disk, const std::string& source, size_t size) {
  return std::to_string(disk) + ",," + source + ",,$(AppPath),,,," + std::to_string(size);
}

std::string Script(const std::string& install, const std::vector<std::string>& entries) {
  std::string text = "[Settings]\r\nDestination=" + install +
                     "\r\n[Disks]\r\nDiskCount=2\r\nDisk1=Beispiel-CD 1\r\nDisk2=Beispiel-CD 2\r\n"
                     "[Section1]\r\nInstall=1\r\nFileCount=" +
                     std::to_string(entries.size()) + "\r\n";
  for (size_t i = 0; i < entries.size(); ++i) text += "File" + std::to_string(i + 1) + "=" + entries[i] + "\r\n";
  return text;
}

bool SameFile(const std::string& path, const std::string& bytes) {
  std::string read;
  return ui::ReadFile(path, &read) && read == bytes;
}

std::string Screenshots() {
  std::string folder = ui::JoinPath(ui::TestRoot(), "screenshots");
  ui::MakeFolders(folder);
  return folder;
}

std::string PromptText(const std::string& label, const std::string& file) {
  return "Bitte legen Sie den Datentr\xE4ger mit der Bezeichnung \"" + label +
         "\" in das angegebene Laufwerk ein, oder w\xE4hlen Sie ein Laufwerk/Verzeichnis, in dem die Datei \"" + file +
         "\" zu finden ist.";
}

HWND WaitSourcePrompt(DWORD pid) { return ui::WaitDialog(pid, kPromptTitle, {1, 2, 5, 288, 1002}); }

// Ends a run that went through with errors.
void ExpectFinishedWithErrors(ui::Setup* setup) { EXPECT_EQ(ui::FinishWithErrors(setup), 0); }

// Ends a run that was cancelled after changes: notice 114.
void ExpectIncompleteThenExit(ui::Setup* setup) {
  HWND notice = ui::WaitIncompleteNotice(setup->Pid);
  ASSERT_NE(notice, nullptr) << "no notice 114";
  EXPECT_EQ(ui::ControlText(notice, 257).rfind(ui::ProductName() + "-Setup wurde nicht vollst\xE4ndig ausgef\xFChrt.", 0),
            0u);
  EXPECT_TRUE(ui::Answer(notice, 1));
  EXPECT_EQ(ui::WaitExit(setup), 0);
}

struct Medium {
  std::string Root, Path, Install;
  Medium(const char* name, const std::vector<std::string>& entries) {
    Root = ui::JoinPath(ui::TestRoot(), name);
    ui::RemoveTree(Root);
    Install = Root + "\\Ziel";
    Path = ui::MakeMedium(std::string(name) + "\\medium", Script(Install, entries).c_str());
  }
};

TEST(CopyFailureScenario, MissingSourceIgnoreSkipsTheFileAndEndsIncomplete) {
  std::string a = "erste Datei\r\n", b = "letzte Datei\r\n";
  Medium m("copy-missing-skip", {Entry(1, "a.txt", a.size()), Entry(2, "fehlt.txt", 10), Entry(7, "weg.txt", 10),
                                 Entry(1, "b.txt", b.size())});
  ASSERT_TRUE(ui::WriteFiles(m.Path, {{"a.txt", a}, {"b.txt", b}}));
  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, m.Path));

  HWND prompt = WaitSourcePrompt(setup.Pid);
  ASSERT_NE(prompt, nullptr);
  EXPECT_EQ(ui::ControlText(prompt, 288), PromptText("Beispiel-CD 2", "fehlt.txt"));
  EXPECT_EQ(ui::ControlText(prompt, 1002), m.Path);
  EXPECT_TRUE(ui::IsControlVisible(prompt, 5));
  HWND page = ui::WaitCopyPage(setup.Pid, 0);
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(ui::ControlText(page, 1005), ui::JoinPath(m.Path, "fehlt.txt"));
  EXPECT_EQ(ui::Owner(prompt), page);
  Sleep(300);
  ui::SaveScreenshot(ui::JoinPath(Screenshots(), "copy-source-prompt.png"));
  EXPECT_TRUE(ui::Answer(prompt, 5));

  // A disk number beyond the labels read shows an empty label.
  prompt = WaitSourcePrompt(setup.Pid);
  ASSERT_NE(prompt, nullptr);
  EXPECT_EQ(ui::ControlText(prompt, 288), PromptText("", "weg.txt"));
  EXPECT_TRUE(ui::Answer(prompt, 5));

  ExpectFinishedWithErrors(&setup);
  EXPECT_TRUE(SameFile(m.Install + "\\a.txt", a));
  EXPECT_TRUE(SameFile(m.Install + "\\b.txt", b));
  EXPECT_EQ(ui::ReadSetupLog(m.Install),
            "CreatedDir:" + m.Install + "\r\nCopied:" + m.Install + "\\a.txt\r\nCopied:" + m.Install + "\\b.txt\r\n");
}

TEST(CopyFailureScenario, MissingSourceFoundInAnotherFolderServesEveryLaterFileToo) {
  std::string a = "vom Medium\r\n", moved = "verschoben\r\n", later = "zweite Quelle\r\n";
  Medium m("copy-missing-other", {Entry(1, "a.txt", a.size()), Entry(2, "fehlt.txt", moved.size()),
                                  Entry(1, "c.txt", later.size())});
  std::string other = m.Root + "\\Zweite CD";
  ASSERT_TRUE(ui::WriteFiles(m.Path, {{"a.txt", a}, {"c.txt", "alte c-Quelle\r\n"}}));  // of the same size
  ASSERT_TRUE(ui::WriteFiles(other, {{"fehlt.txt", moved}, {"c.txt", later}}));
  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, m.Path));
  HWND prompt = WaitSourcePrompt(setup.Pid);
  ASSERT_NE(prompt, nullptr);
  SendMessageA(GetDlgItem(prompt, 1002), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(other.c_str()));
  EXPECT_TRUE(ui::Answer(prompt, IDOK));
  ASSERT_EQ(ui::WaitCleanExit(&setup), 0);
  EXPECT_TRUE(SameFile(m.Install + "\\a.txt", a));
  EXPECT_TRUE(SameFile(m.Install + "\\fehlt.txt", moved));
  EXPECT_TRUE(SameFile(m.Install + "\\c.txt", later));
}

TEST(CopyFailureScenario, MissingSourceCancelEndsTheWizard) {
  Medium m("copy-missing-cancel", {Entry(2, "fehlt.txt", 10), Entry(1, "b.txt", 3)});
  ASSERT_TRUE(ui::WriteFiles(m.Path, {{"b.txt", "abc"}}));
  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, m.Path));
  HWND prompt = WaitSourcePrompt(setup.Pid);
  ASSERT_NE(prompt, nullptr);
  EXPECT_TRUE(ui::Answer(prompt, IDCANCEL));
  ExpectIncompleteThenExit(&setup);
  EXPECT_FALSE(ui::FileExists(m.Install + "\\b.txt"));
}

// A source that opens but cannot be read: a named pipe whose other end goes away once the
// setup has opened it. Reached through the source prompt, whose chosen folder is then the
// pipe namespace.
DWORD WINAPI ServeOnePipeClient(void* pipe) {
  ConnectNamedPipe(pipe, nullptr);
  Sleep(200);  // the setup is blocked in its read by now
  DisconnectNamedPipe(pipe);
  return 0;
}

TEST(CopyFailureScenario, ReadErrorAbandonsTheFileKeepsTheOldOneAndEndsIncomplete) {
  std::string old = "die alte Fassung\r\n", before = "davor\r\n";
  std::string pipeName = "setup-lesefehler-" + std::to_string(GetCurrentProcessId());
  // The pipe comes last: the folder chosen in the prompt serves every later file.
  Medium m("copy-read-error", {Entry(1, "davor.txt", before.size()), Entry(2, pipeName, 20000)});
  ASSERT_TRUE(ui::WriteFiles(m.Path, {{"davor.txt", before}}));
  ASSERT_TRUE(ui::WriteFiles(m.Install, {{pipeName, old}}));
  std::string pipePath = "\\\\.\\pipe\\" + pipeName;
  HANDLE pipe = CreateNamedPipeA(pipePath.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 8192, 8192, 0,
                                 nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  HANDLE server = CreateThread(nullptr, 0, ServeOnePipeClient, pipe, 0, nullptr);

  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, m.Path));
  HWND prompt = WaitSourcePrompt(setup.Pid);
  ASSERT_NE(prompt, nullptr);
  SendMessageA(GetDlgItem(prompt, 1002), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("\\\\.\\pipe"));
  EXPECT_TRUE(ui::Answer(prompt, IDOK));
  // Where the pipe namespace cannot be made current, the chooser asks before taking it.
  if (HWND create = ui::WaitDialog(setup.Pid, "Zielverzeichnis erzeugen", {1, 2, 1002}, 2000)) {
    EXPECT_TRUE(ui::Answer(create, 1));
  }

  HWND box = ui::WaitMessageBox(setup.Pid);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ui::WindowText(box), "Schwerer Fehler");
  EXPECT_EQ(ui::MessageBoxText(box), "Fehler beim Lesen der Datei " + pipePath + "!");
  EXPECT_TRUE(ui::Answer(box, IDOK));
  // The entry is abandoned and the run is reported as incomplete.
  ExpectFinishedWithErrors(&setup);
  WaitForSingleObject(server, 5000);
  CloseHandle(server);
  CloseHandle(pipe);

  EXPECT_TRUE(SameFile(m.Install + "\\" + pipeName, old));
  EXPECT_TRUE(SameFile(m.Install + "\\davor.txt", before));
  EXPECT_EQ(ui::ReadSetupLog(m.Install), "Copied:" + m.Install + "\\davor.txt\r\n");
  // Nothing of the abandoned copy is left beside the installed file.
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((m.Install + "\\stp*").c_str(), &found);
  EXPECT_EQ(find, INVALID_HANDLE_VALUE) << found.cFileName;
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

// An installed read-only file: the Abort/Retry/Ignore box comes before anything is written.
struct ReadOnlyTarget : Medium {
  std::string Old = "die alte Fassung\r\n", New = ui::PatternBytes(20000, 21), Next = "danach\r\n";
  explicit ReadOnlyTarget(const char* name)
      : Medium(name, {Entry(1, "prog.exe", 20000), Entry(1, "danach.txt", 8)}) {
    ui::WriteFiles(Path, {{"prog.exe", New}, {"danach.txt", Next}});
    ui::WriteFiles(Install, {{"prog.exe", Old}});
    SetFileAttributesA(Target().c_str(), FILE_ATTRIBUTE_READONLY);
  }
  std::string Target() const { return Install + "\\prog.exe"; }
};

HWND WaitTargetBox(ui::Setup* setup, const std::string& target) {
  HWND box = ui::WaitMessageBox(setup->Pid);
  if (!box) return nullptr;
  EXPECT_EQ(ui::WindowText(box), "Schwerer Fehler!");
  EXPECT_EQ(ui::MessageBoxText(box), "Die Datei \"" + target +
                                         "\" kann nicht erzeugt werden! Bitte beenden Sie alle anderen Anwendungen "
                                         "und starten Sie Setup erneut!\nSoll Setup beendet werden?");
  EXPECT_EQ(ui::ButtonIds(box), (std::vector<int>{IDABORT, IDRETRY, IDIGNORE}));
  return box;
}

TEST(CopyFailureScenario, ReadOnlyTargetRetryAfterTheAttributeIsClearedCopiesIt) {
  ReadOnlyTarget t("copy-readonly-retry");
  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, t.Path));
  HWND box = WaitTargetBox(&setup, t.Target());
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(SameFile(t.Target(), t.Old));  // nothing written before the box
  SetFileAttributesA(t.Target().c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(ui::Answer(box, IDRETRY));
  ASSERT_EQ(ui::WaitCleanExit(&setup), 0);
  EXPECT_TRUE(SameFile(t.Target(), t.New));
  EXPECT_TRUE(SameFile(t.Install + "\\danach.txt", t.Next));
}

TEST(CopyFailureScenario, ReadOnlyTargetIgnoreGoesOnAndEndsIncomplete) {
  ReadOnlyTarget t("copy-readonly-ignore");
  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, t.Path));
  HWND box = WaitTargetBox(&setup, t.Target());
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(ui::Answer(box, IDIGNORE));
  ExpectFinishedWithErrors(&setup);
  EXPECT_TRUE(SameFile(t.Target(), t.Old));
  EXPECT_TRUE(SameFile(t.Install + "\\danach.txt", t.Next));
  EXPECT_EQ(ui::ReadSetupLog(t.Install), "Copied:" + t.Install + "\\danach.txt\r\n");
}

TEST(CopyFailureScenario, ReadOnlyTargetAbortEndsTheWizard) {
  ReadOnlyTarget t("copy-readonly-abort");
  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, t.Path));
  HWND box = WaitTargetBox(&setup, t.Target());
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(ui::Answer(box, IDABORT));
  ExpectIncompleteThenExit(&setup);
  EXPECT_TRUE(SameFile(t.Target(), t.Old));
  EXPECT_FALSE(ui::FileExists(t.Install + "\\danach.txt"));
}

TEST(CopyFailureScenario, TargetHeldOpenWithoutWriteSharingAsksAndRetryCopiesOnceFree) {
  Medium m("copy-held-open", {Entry(1, "prog.exe", 5000)});
  std::string fresh = ui::PatternBytes(5000, 31);
  ASSERT_TRUE(ui::WriteFiles(m.Path, {{"prog.exe", fresh}}));
  ASSERT_TRUE(ui::WriteFiles(m.Install, {{"prog.exe", "in Benutzung"}}));
  std::string target = m.Install + "\\prog.exe";
  HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, m.Path));
  HWND box = WaitTargetBox(&setup, target);
  ASSERT_NE(box, nullptr);
  CloseHandle(held);
  EXPECT_TRUE(ui::Answer(box, IDRETRY));
  ASSERT_EQ(ui::WaitCleanExit(&setup), 0);
  EXPECT_TRUE(SameFile(target, fresh));
}

// A file large enough that the copy runs for a while.
constexpr size_t kLarge = 96u * 1024 * 1024;

// Lets the setup run in short steps until the large file is being written (the small one
// before it is in place and a temporary copy has grown beyond the given size), then holds it
// there: between looks the setup stands still, so however fast the copy is, it is caught at
// its start. False, with the setup running, when that point never came.
bool HoldCopyInProgress(ui::ProcessThreads* threads, const std::string& folder, DWORD beyond = 0) {
  if (!threads->Suspend()) return false;
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  for (int i = 0; i < 100000; ++i) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*.tmp").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      FindClose(find);
      if (ui::FileExists(folder + "\\zuerst.txt") && found.nFileSizeLow > beyond) return true;
    }
    threads->Resume();
    QueryPerformanceCounter(&start);
    do QueryPerformanceCounter(&now);
    while ((now.QuadPart - start.QuadPart) * 10000 < frequency.QuadPart);  // 0.1 ms
    threads->Suspend();
  }
  threads->Resume();
  return false;
}

// The copy page of a held setup, found by its controls: a program that stands still answers no
// message, so its captions cannot be asked.
HWND HeldCopyPage(DWORD pid) { return ui::WaitDialog(pid, nullptr, {1005, 1006, 1008, IDCANCEL}, 0); }

bool NoTemporaryFile(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "\\*.tmp").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return true;
  FindClose(find);
  return false;
}

HWND WaitChangedCancelQuestion(DWORD pid) {
  HWND box = ui::WaitDialog(pid, "Setup abbrechen", {1, 2, 258});
  if (box) {
    EXPECT_EQ(ui::ControlText(box, 258), "Wenn Sie abbrechen, wird die Anwendung nicht ordnungsgem\xE4\xDF installiert "
                                         "und kann nicht gestartet werden.");
  }
  return box;
}

struct LargeCopy : Medium {
  std::string First = "zuerst\r\n", Old = ui::PatternBytes(kLarge, 41), New = ui::PatternBytes(kLarge, 42);
  explicit LargeCopy(const char* name) : Medium(name, {Entry(1, "zuerst.txt", 8), Entry(1, "gross.dat", kLarge)}) {
    ui::WriteFiles(Path, {{"zuerst.txt", First}, {"gross.dat", New}});
    ui::WriteFiles(Install, {{"gross.dat", Old}});
  }
};

TEST(CopyFailureScenario, CancelInTheMiddleOfReplacingAFileLeavesTheOldOneIntact) {
  LargeCopy c("copy-cancel-middle");
  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, c.Path));
  // The copy is held from its start while "Abbrechen" is pressed: at the speed of the disk it
  // would otherwise be over before the page is even found.
  ui::ProcessThreads threads(setup.Pid);
  ASSERT_TRUE(HoldCopyInProgress(&threads, c.Install));
  HWND page = HeldCopyPage(setup.Pid);
  ASSERT_NE(page, nullptr);
  ui::Click(page, IDCANCEL);  // "Abbrechen"
  threads.Resume();
  HWND box = WaitChangedCancelQuestion(setup.Pid);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ui::Owner(box), page);
  ASSERT_FALSE(NoTemporaryFile(c.Install)) << "the large file was complete before the question";
  EXPECT_TRUE(ui::Answer(box, 2));  // "Setup &abbrechen"
  ExpectIncompleteThenExit(&setup);
  EXPECT_TRUE(SameFile(c.Install + "\\zuerst.txt", c.First));  // copied before the cancel: stays
  EXPECT_TRUE(SameFile(c.Install + "\\gross.dat", c.Old)) << "the installed file was damaged";
  EXPECT_TRUE(NoTemporaryFile(c.Install));
}

TEST(CopyFailureScenario, CloseBoxDuringTheCopyAsksAndGoingOnFinishesIt) {
  LargeCopy c("copy-close-go-on");
  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, c.Path));
  // Held from its start while the close command is posted: on a fast machine the copy of the
  // large file is over in a fraction of a second.
  ui::ProcessThreads threads(setup.Pid);
  ASSERT_TRUE(HoldCopyInProgress(&threads, c.Install, kLarge / 5));
  HWND page = HeldCopyPage(setup.Pid);
  ASSERT_NE(page, nullptr);
  HWND frame = ui::WaitFrame(setup.Pid, 0);
  ASSERT_NE(frame, nullptr);
  ui::CloseWindowCommand(frame);
  threads.Resume();
  HWND box = WaitChangedCancelQuestion(setup.Pid);
  ASSERT_NE(box, nullptr);
  ASSERT_FALSE(NoTemporaryFile(c.Install)) << "the large file was complete before the question";
  // The question moved below the page, for a picture of the page with its bar as it stands.
  RECT pageRect, boxRect;
  GetWindowRect(page, &pageRect);
  GetWindowRect(box, &boxRect);
  SetWindowPos(box, nullptr, boxRect.left, pageRect.bottom + 8, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  Sleep(300);
  ui::SaveScreenshot(ui::JoinPath(Screenshots(), "copy-page.png"));
  EXPECT_TRUE(ui::Answer(box, 1));  // "Setup &fortsetzen"
  ASSERT_EQ(ui::WaitCleanExit(&setup, 120000), 0);
  EXPECT_TRUE(SameFile(c.Install + "\\gross.dat", c.New));
  EXPECT_TRUE(NoTemporaryFile(c.Install));
}

}  // namespace

namespace {

// The small volume tools/run-tests mounts for this scenario (256 KB), or empty when there is none.
std::string SmallVolume() {
  std::string volume = ui::JoinPath(ui::TestRoot(), "small-volume");
  ULARGE_INTEGER total = {};
  if (!GetDiskFreeSpaceExA((volume + "\\").c_str(), nullptr, &total, nullptr) || total.QuadPart > (1u << 20))
    return "";
  return volume;
}

TEST(CopyFailureScenario, FullDiskEndsTheSetupAndKeepsTheInstalledFileIntact) {
  std::string volume = SmallVolume();
  if (volume.empty()) GTEST_SKIP() << "no small volume mounted at test-work\\small-volume (tools/run-tests mounts one)";
  std::string root = ui::JoinPath(ui::TestRoot(), "copy-disk-full");
  ui::RemoveTree(root);
  std::string install = volume + "\\Ziel";
  ui::RemoveTree(install);
  std::string first = "zuerst\r\n", old = ui::PatternBytes(20000, 51), fresh = ui::PatternBytes(1u << 20, 52);
  std::string medium = ui::MakeMedium(
      "copy-disk-full\\medium", Script(install, {Entry(1, "zuerst.txt", first.size()), Entry(1, "gross.dat", fresh.size()),
                                                  Entry(1, "danach.txt", 3)})
                                     .c_str());
  ASSERT_TRUE(ui::WriteFiles(medium, {{"zuerst.txt", first}, {"gross.dat", fresh}, {"danach.txt", "abc"}}));
  ASSERT_TRUE(ui::WriteFiles(install, {{"gross.dat", old}}));
  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, medium));
  HWND box = ui::WaitMessageBox(setup.Pid);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ui::WindowText(box), "Schwerer Fehler");
  EXPECT_EQ(ui::MessageBoxText(box), "Fehler beim Schreiben in die Datei " + install + "\\gross.dat!");
  HWND page = ui::WaitCopyPage(setup.Pid, 0);
  EXPECT_EQ(ui::Owner(box), page);
  EXPECT_TRUE(ui::Answer(box, IDOK));
  // A write error ends the setup: nothing after the file is copied.
  ExpectIncompleteThenExit(&setup);
  EXPECT_TRUE(SameFile(install + "\\gross.dat", old)) << "the installed file was damaged";
  EXPECT_TRUE(SameFile(install + "\\zuerst.txt", first));
  EXPECT_FALSE(ui::FileExists(install + "\\danach.txt"));
  EXPECT_TRUE(NoTemporaryFile(install));
  EXPECT_EQ(ui::ReadSetupLog(install), "Copied:" + install + "\\zuerst.txt\r\n");
  ui::RemoveTree(install);
}

TEST(CopyFailureScenario, InstallFolderThatCannotBeCreatedEndsTheWizardBeforeAnyCopy) {
  std::string root = ui::JoinPath(ui::TestRoot(), "copy-no-folder");
  ui::RemoveTree(root);
  ui::MakeFolders(root);
  ASSERT_TRUE(ui::WriteFile(root + "\\Datei", "ein Hindernis"));
  std::string install = root + "\\Datei\\Ziel";  // below a file: cannot be made
  std::string medium = ui::MakeMedium("copy-no-folder\\medium", Script(install, {Entry(1, "a.txt", 3)}).c_str());
  ASSERT_TRUE(ui::WriteFiles(medium, {{"a.txt", "abc"}}));
  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, medium));
  HWND box = ui::WaitMessageBox(setup.Pid);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ui::WindowText(box), "Fehler");
  EXPECT_EQ(ui::MessageBoxText(box), "Fehler beim Erzeugen des Verzeichnisses \"" + install + "\"");
  Sleep(200);  // no step may run under the box
  EXPECT_TRUE(ui::Answer(box, IDOK));
  ExpectIncompleteThenExit(&setup);
}

TEST(CopyFailureScenario, LogThatCannotBeCreatedEndsTheWizardIncompleteWithNothingCopied) {
  // An install folder so long that no log name fits beside it.
  std::string root = ui::JoinPath(ui::TestRoot(), "copy-no-log");
  ui::RemoveTree(root);
  std::string install = root + "\\" + std::string(250 - root.size() - 1, 'L');
  std::string medium = ui::MakeMedium("copy-no-log\\medium", Script(install, {Entry(1, "a.txt", 3)}).c_str());
  ASSERT_TRUE(ui::WriteFiles(medium, {{"a.txt", "abc"}}));
  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, medium));
  HWND box = ui::WaitMessageBox(setup.Pid);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ui::WindowText(box), "Fehler");
  std::string text = ui::MessageBoxText(box);
  EXPECT_EQ(text.rfind("Kann Log-Datei \"" + install + "\\setup", 0), 0u) << text;
  EXPECT_EQ(text.substr(text.size() - 17), "\" nicht erzeugen!");
  Sleep(200);  // no step may run under the box
  EXPECT_FALSE(ui::FileExists(install + "\\a.txt"));
  EXPECT_TRUE(ui::Answer(box, IDOK));
  // Nothing was installed: the run is reported as incomplete.
  ExpectIncompleteThenExit(&setup);
  EXPECT_FALSE(ui::FileExists(install + "\\a.txt"));
}

TEST(CopyFailureScenario, OptionFolderThatCannotBeCreatedGivesTheFilesBox) {
  std::string root = ui::JoinPath(ui::TestRoot(), "copy-option-folder");
  ui::RemoveTree(root);
  std::string install = root + "\\Ziel";
  std::string script = "[Settings]\r\nDestination=" + install +
                       "\r\n[Section1]\r\nInstall=1\r\nDestination=Daten\\Bilder\r\nFileCount=1\r\nFile1=" +
                       Entry(1, "bild.dat", 3) + "\r\n[Section2]\r\nInstall=1\r\nFileCount=1\r\nFile1=" +
                       Entry(1, "prog.exe", 3) + "\r\n";
  std::string medium = ui::MakeMedium("copy-option-folder\\medium", script.c_str());
  ASSERT_TRUE(ui::WriteFiles(medium, {{"bild.dat", "bbb"}, {"prog.exe", "ppp"}}));
  ASSERT_TRUE(ui::WriteFiles(install, {{"Daten", "eine Datei, kein Ordner"}}));
  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, medium));
  HWND box = WaitTargetBox(&setup, install + "\\Daten\\Bilder\\bild.dat");
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(ui::Answer(box, IDIGNORE));
  ExpectFinishedWithErrors(&setup);
  EXPECT_TRUE(SameFile(install + "\\prog.exe", "ppp"));
  EXPECT_EQ(ui::ReadSetupLog(install), "Copied:" + install + "\\prog.exe\r\n");
}

}  // namespace
