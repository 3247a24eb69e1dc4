// The copy page over real media: a large file held mid-copy (cancelled, kept from being put in
// place, killed and run again), a file over 2 GB, and the system's own libraries under German
// folder names.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "install_driver.h"
#include "ui_driver.h"

namespace {

bool NoTemporaryFile(const std::string& folder) { return ui::Listing(folder, "*.tmp").empty(); }

std::string Script(const std::string& install, const std::vector<std::string>& entries) {
  return "[Settings]\r\nDestination=" + install + "\r\n" + ui::Section(1, "Install=1\r\n", entries);
}

constexpr size_t kLarge = 96u * 1024 * 1024;

// Lets the setup run in 0.1 ms steps (stretched as the driver's waits are) until the file the
// pattern names in the install folder has grown beyond the given size after the small first
// file is in, and holds it there: however fast the copy, it is caught.
bool HoldCopy(ui::ProcessThreads* threads, const std::string& install, const char* pattern, DWORD beyond) {
  if (!threads->Suspend()) return false;
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  for (int i = 0; i < 100000; ++i) {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((install + "\\" + pattern).c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
      FindClose(find);
      if (ui::FileExists(install + "\\zuerst.txt") && found.nFileSizeLow > beyond) return true;
    }
    threads->Resume();
    QueryPerformanceCounter(&start);
    do QueryPerformanceCounter(&now);
    while ((now.QuadPart - start.QuadPart) * 10000 < frequency.QuadPart * ui::Scaled(1));
    threads->Suspend();
  }
  threads->Resume();
  return false;
}

// A small file, then a large one replacing an installed copy.
struct LargeCopy {
  std::string Install, Medium, Old = ui::PatternBytes(kLarge / 4, 41), New = ui::PatternBytes(kLarge, 42);
  explicit LargeCopy(const char* name) {
    Install = ui::FreshFolder(name) + "\\Ziel";
    Medium = ui::MakeMedium(std::string(name) + "\\medium",
                            Script(Install, {"1,,zuerst.txt,,$(AppPath),,,,6",
                                             "1,,gross.dat,,$(AppPath),,,," + std::to_string(kLarge)})
                                .c_str());
    ui::WriteFiles(Medium, {{"zuerst.txt", "zuerst"}, {"gross.dat", New}});
    ui::WriteFiles(Install, {{"gross.dat", Old}});
  }
  bool Hold(ui::ProcessThreads* threads, DWORD beyond) { return HoldCopy(threads, Install, "*.tmp", beyond); }
};

// Moves a box of the page below it, so the page shows as it stands.
void MoveBelow(HWND box, HWND page) {
  RECT pageRect, boxRect;
  GetWindowRect(page, &pageRect);
  GetWindowRect(box, &boxRect);
  SetWindowPos(box, nullptr, boxRect.left, pageRect.bottom + 8, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ui::Settle(300);
}

// The copy page of a held setup, found by its controls: a program that stands still answers no
// message, so its caption cannot be asked.
HWND HeldCopyPage(DWORD pid) { return ui::WaitDialog(pid, nullptr, {1005, 1006, 1008, IDCANCEL}, 0); }

TEST(MediaScenario, ClosingDuringACopyAsksAndCancellingKeepsTheOldFile) {
  for (int goOn = 1; goOn >= 0; --goOn) {
    LargeCopy c(goOn ? "copy-close-go-on" : "copy-cancel-middle");
    ui::Setup setup;
    ASSERT_TRUE(ui::StartAndInstall(&setup, c.Medium));
    ui::ProcessThreads threads(setup.Pid);
    ASSERT_TRUE(c.Hold(&threads, kLarge / 5));
    HWND page = HeldCopyPage(setup.Pid);
    ASSERT_NE(page, nullptr);
    if (goOn) ui::CloseWindowCommand(ui::WaitFrame(setup.Pid, 0));
    else ui::Click(page, IDCANCEL);
    threads.Resume();
    HWND box = ui::WaitDialog(setup.Pid, "Setup abbrechen", {1, 2, 258});
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(ui::ControlText(box, 258).substr(0, 40), "Wenn Sie abbrechen, wird die Anwendung n");
    EXPECT_FALSE(NoTemporaryFile(c.Install)) << "the large file was complete before the question";
    if (goOn) {  // a picture of the page as it stands
      MoveBelow(box, page);
      ui::SaveScreenshot(ui::JoinPath(ui::TestRoot(), "screenshots\\copy-page.png"));
    }
    EXPECT_TRUE(ui::Answer(box, goOn ? 1 : 2));
    if (goOn) {
      ASSERT_EQ(ui::WaitCleanExit(&setup, 120000), 0);
    } else {
      HWND notice = ui::WaitIncompleteNotice(setup.Pid);
      ASSERT_NE(notice, nullptr);
      EXPECT_TRUE(ui::Answer(notice, 1));
      EXPECT_EQ(ui::WaitExit(&setup), 3) << "cancelled after changes";
    }
    EXPECT_TRUE(ui::Holds(c.Install + "\\gross.dat", goOn ? c.New : c.Old));
    EXPECT_TRUE(NoTemporaryFile(c.Install));
  }
}

// Another program opens the installed file while its new copy is written, and keeps it from
// being replaced: the Abort/Retry/Ignore box, and meanwhile the bar no longer counts the copy
// that cannot be put in place.
TEST(MediaScenario, ATargetThatCannotBeReplacedAfterTheCopyIsNotCounted) {
  LargeCopy c("copy-place-refused");
  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, c.Medium));
  ui::ProcessThreads threads(setup.Pid);
  ASSERT_TRUE(c.Hold(&threads, kLarge / 5));
  HANDLE held = CreateFileA((c.Install + "\\gross.dat").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  threads.Resume();
  HWND box = ui::WaitMessageBox(setup.Pid, 60000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ui::WindowText(box), "Schwerer Fehler!");
  HWND page = ui::WaitCopyPage(setup.Pid);
  MoveBelow(box, page);
  RECT r;
  GetWindowRect(GetDlgItem(page, 1008), &r);
  // Two thirds along the bar: filled if the abandoned 96 MB still counted, empty as it is.
  COLORREF at = ui::ScreenPixel(r.left + (r.right - r.left) * 2 / 3, r.top + 3);
  COLORREF window = GetSysColor(COLOR_WINDOW);
  EXPECT_EQ(at, RGB(GetBValue(window), GetGValue(window), GetRValue(window)));
  EXPECT_TRUE(ui::Answer(box, IDABORT));
  CloseHandle(held);
  HWND notice = ui::WaitIncompleteNotice(setup.Pid);
  ASSERT_NE(notice, nullptr);
  EXPECT_TRUE(ui::Answer(notice, 1));
  EXPECT_TRUE(ui::Holds(c.Install + "\\gross.dat", c.Old));
  EXPECT_TRUE(NoTemporaryFile(c.Install));
  std::string log = ui::ReadSetupLog(c.Install);
  EXPECT_NE(log.find("Error: Die Datei \"" + c.Install + "\\gross.dat\" kann nicht erzeugt werden!"), std::string::npos);
}

// A setup killed mid-copy leaves its temporary file; the next run that installs the file
// removes it.
TEST(MediaScenario, WhatAKilledRunLeftIsGoneAfterTheNextRun) {
  LargeCopy c("copy-killed");
  {
    ui::Setup setup;
    ASSERT_TRUE(ui::StartAndInstall(&setup, c.Medium));
    ui::ProcessThreads threads(setup.Pid);
    ASSERT_TRUE(c.Hold(&threads, kLarge / 5));
    ui::CloseSetup(&setup);
  }
  ASSERT_FALSE(NoTemporaryFile(c.Install));
  ui::Setup again;
  ASSERT_TRUE(ui::StartAndInstall(&again, c.Medium));
  ASSERT_EQ(ui::WaitCleanExit(&again, 120000), 0);
  EXPECT_TRUE(ui::Holds(c.Install + "\\gross.dat", c.New));
  EXPECT_TRUE(NoTemporaryFile(c.Install));
}

// The journal of new files in the user's temporary folder.
std::string Journal() {
  char folder[MAX_PATH];
  GetTempPathA(sizeof folder, folder);
  return std::string(folder) + "stpnew.tmp";
}

// A file not installed before is written under its own name. Cancelled, it is gone. A setup
// killed while writing it leaves it unfinished, with the version of the whole file readable:
// the next run that installs it copies it again all the same, and one that does not install it
// keeps the note for a later run. While another setup holds the journal, new files take the
// way of replacements.
TEST(MediaScenario, ANewFileLeftUnfinishedIsGoneOrCopiedAgain) {
  std::string dll;
  ASSERT_TRUE(ui::ReadFile(ui::FixturePath("ver2000.dll"), &dll));
  dll += ui::PatternBytes(kLarge, 43);  // data after the library, as a self-extracting one has
  DeleteFileA(Journal().c_str());       // what earlier killed runs noted
  for (int kill = 0; kill <= 1; ++kill) {
    std::string root = ui::FreshFolder(kill ? "copy-new-killed" : "copy-new-cancelled"), install = root + "\\Ziel";
    std::string medium = ui::MakeMedium(
        std::string(kill ? "copy-new-killed" : "copy-new-cancelled") + "\\medium",
        Script(install, {"1,,zuerst.txt,,$(AppPath),,,,6", "1,,neu.dll,,$(AppPath),,,," + std::to_string(dll.size())})
            .c_str());
    ui::WriteFiles(medium, {{"zuerst.txt", "zuerst"}, {"neu.dll", dll}});
    std::string target = install + "\\neu.dll";
    {
      ui::Setup setup;
      ASSERT_TRUE(ui::StartAndInstall(&setup, medium));
      ui::ProcessThreads threads(setup.Pid);
      ASSERT_TRUE(HoldCopy(&threads, install, "neu.dll", kLarge / 5));
      EXPECT_TRUE(NoTemporaryFile(install));
      if (kill) {
        ui::CloseSetup(&setup);
      } else {
        ui::Click(HeldCopyPage(setup.Pid), IDCANCEL);
        threads.Resume();
        HWND box = ui::WaitDialog(setup.Pid, "Setup abbrechen", {1, 2, 258});
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(ui::Answer(box, 2));
        HWND notice = ui::WaitIncompleteNotice(setup.Pid);
        ASSERT_NE(notice, nullptr);
        EXPECT_TRUE(ui::Answer(notice, 1));
        EXPECT_EQ(ui::WaitExit(&setup), 3);
      }
    }
    if (!kill) {
      EXPECT_FALSE(ui::FileExists(target));
      EXPECT_FALSE(ui::FileExists(Journal()));
      ui::RemoveTree(root);
      continue;
    }
    std::string left;
    ASSERT_TRUE(ui::ReadFile(target, &left));
    ASSERT_LT(left.size(), dll.size());
    DWORD handle = 0;
    EXPECT_GT(GetFileVersionInfoSizeA(target.c_str(), &handle), 0u) << "the unfinished copy shows its version";
    ASSERT_TRUE(ui::FileExists(Journal()));

    // Another product's setup, which does not install the file, keeps the note.
    std::string other = ui::MakeMedium("copy-new-killed\\andere", Script(root + "\\Anderes Ziel", {"1,,zuerst.txt,,$(AppPath),,,,6"}).c_str());
    ui::WriteFiles(other, {{"zuerst.txt", "zuerst"}});
    {
      ui::Setup setup;
      ASSERT_TRUE(ui::StartAndInstall(&setup, other));
      ASSERT_EQ(ui::WaitCleanExit(&setup, 120000), 0);
    }
    EXPECT_TRUE(ui::FileExists(Journal()));

    ui::Setup again;
    ASSERT_TRUE(ui::StartAndInstall(&again, medium));
    ASSERT_EQ(ui::WaitCleanExit(&again, 120000), 0);
    EXPECT_TRUE(ui::Holds(target, dll));
    EXPECT_EQ(ui::ReadSetupLog(install, 1), "Copied:" + install + "\\zuerst.txt\r\nCopied:" + target + "\r\n");
    EXPECT_FALSE(ui::FileExists(Journal()));
    EXPECT_TRUE(NoTemporaryFile(install));

    // While another setup holds the journal, new files go beside their target as replacements do.
    ui::RemoveTree(install);
    HANDLE held = CreateFileA(Journal().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ui::Setup third;
    ASSERT_TRUE(ui::StartAndInstall(&third, medium));
    EXPECT_EQ(ui::WaitCleanExit(&third, 120000), 0);
    CloseHandle(held);
    DeleteFileA(Journal().c_str());
    EXPECT_TRUE(ui::Holds(target, dll));
    EXPECT_TRUE(NoTemporaryFile(install));
    ui::RemoveTree(root);
  }
}

// A DVD-sized file is what the script says: copied whole and reported as no error. The source
// is a sparse file, so the medium costs no disk.
TEST(MediaScenario, AFileOverTwoGigabytesInstallsCleanly) {
  std::string root = ui::FreshFolder("copy-over-2gb");
  const unsigned long long size = (1ull << 31) + 8193;
  std::string medium = ui::MakeMedium("copy-over-2gb\\medium",
                                      Script(root + "\\Ziel", {"1,,dvd.dat,,$(AppPath),,,," + std::to_string(size)}).c_str());
  HANDLE file = CreateFileA((medium + "\\dvd.dat").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file));
  CloseHandle(file);
  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, medium));
  ASSERT_EQ(ui::WaitCleanExit(&setup, 300000), 0);  // no "Fehler beim Lesen" box, no notice 114
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExA((root + "\\Ziel\\dvd.dat").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) + data.nFileSizeLow, size);
  EXPECT_EQ(ui::ReadSetupLog(root + "\\Ziel"), "CreatedDir:" + root + "\\Ziel\r\nCopied:" + root + "\\Ziel\\dvd.dat\r\n");
  ui::RemoveTree(root);
}

// At least a hundred libraries and programs of the system folder with their own version
// resources (under their own names: Wine answers a built-in's version for any file named like
// one), and some files without a version, on a medium and into a folder with umlauts and blanks,
// installed twice.
TEST(MediaScenario, TheSystemsOwnLibrariesInstallByteForByteAndAreCurrentTheSecondTime) {
  char system[MAX_PATH];
  GetSystemDirectoryA(system, sizeof system);
  std::string root = ui::FreshFolder("Systemdateien Pr\xFC" "fung"), install = root + "\\Ziel mit \xC4nderungen";
  std::string medium = ui::MakeMedium("Systemdateien Pr\xFC" "fung\\CD \xD6" "ffnen", nullptr);
  std::vector<std::string> names, entries, versions;
  size_t versioned = 0;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((std::string(system) + "\\*").c_str(), &found);
  for (bool more = find != INVALID_HANDLE_VALUE; more && names.size() < 130; more = FindNextFileA(find, &found)) {
    std::string name = found.cFileName, path = std::string(system) + "\\" + name, version;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || found.nFileSizeLow > (1u << 20)) continue;
    DWORD handle = 0, bytes = GetFileVersionInfoSizeA(path.c_str(), &handle);
    std::vector<char> info(bytes + 1);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (bytes && GetFileVersionInfoA(path.c_str(), 0, bytes, info.data()) &&
        VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) && fixed)
      version = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) +
                "." + std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
    if ((version.empty() && names.size() - versioned >= 10) || !CopyFileA(path.c_str(), (medium + "\\" + name).c_str(), 0))
      continue;
    versioned += !version.empty();
    names.push_back(name);
    versions.push_back(version);
    entries.push_back("1,,\"" + name + "\",,$(AppPath),,,," + std::to_string(found.nFileSizeLow) + "," + version);
  }
  FindClose(find);
  ASSERT_GE(versioned, 100u);
  ui::WriteFile(medium + "\\SETUP.LST", Script(install, entries));
  for (int run = 0; run < 2; ++run) {
    ui::Setup setup;
    ASSERT_TRUE(ui::StartAndInstall(&setup, medium));
    ASSERT_EQ(ui::WaitCleanExit(&setup, 120000), 0);
    std::string expected = run ? "" : "CreatedDir:" + install + "\r\n";
    for (size_t i = 0; i < names.size(); ++i)
      expected += (run && !versions[i].empty() ? "UpToDate:" : "Copied:") + install + "\\" + names[i] + "\r\n";
    EXPECT_EQ(ui::ReadSetupLog(install, run), expected);
  }
  names.insert(names.end(), {"setup0.log", "setup1.log"});  // and nothing else
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; });
  size_t same = 0;
  HANDLE all = FindFirstFileA((install + "\\*").c_str(), &found);
  for (bool more = all != INVALID_HANDLE_VALUE; more; more = FindNextFileA(all, &found)) {
    std::string name = found.cFileName, source;
    if (name[0] == '.') continue;
    EXPECT_TRUE(std::binary_search(names.begin(), names.end(), name, [](const std::string& a, const std::string& b) {
      return lstrcmpiA(a.c_str(), b.c_str()) < 0;
    })) << name;
    same += ui::ReadFile(medium + "\\" + name, &source) && ui::Holds(install + "\\" + name, source);
  }
  FindClose(all);
  EXPECT_EQ(same, names.size() - 2);
  ui::RemoveTree(root);
}

}  // namespace
