// The copy page over real media: a large file held mid-copy (cancelled and taken back, kept
// from being replaced, killed and rolled back by the next start), a product data file of
// several hundred MB on a drive with just the room charged, a file over 2 GB, and the system's
// own libraries under German folder names.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "install_driver.h"
#include "product_data_writer.h"
#include "product_registry.h"
#include "ui_driver.h"

namespace {

// Files an installed one waits under while its replacement is written.
bool NothingAside(const std::string& folder) { return ui::Listing(folder, "stp*.old").empty(); }

std::string Script(const std::string& install, const std::vector<std::string>& entries) {
  return "[Settings]\r\nDestination=" + install + "\r\n" + ui::Section(1, "Install=1\r\n", entries);
}

constexpr size_t kLarge = 96u * 1024 * 1024;

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
  bool Hold(ui::ProcessThreads* threads, DWORD beyond) { return ui::HoldCopy(threads, Install, "gross.dat", beyond, true); }
  // The install folder as it stood before the run.
  bool AsBefore() const {
    return ui::Holds(Install + "\\gross.dat", Old) && !ui::FileExists(Install + "\\zuerst.txt") && NothingAside(Install) &&
           ui::Listing(Install, "uninst.*").empty();
  }
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

// Ends a run at the closing notice 137 and gives its exit code.
int EndAtInterruptedNotice(ui::Setup* setup) {
  HWND notice = ui::WaitInterruptedNotice(setup->Pid, 60000);
  if (!notice || !ui::Answer(notice, 1)) return -1;
  return ui::WaitExit(setup);
}

// Closing the frame during the copy asks; going on completes it, cancelling takes back what the
// run did: the installed file comes back as it was, the new one goes, and the run ends as one
// that changed nothing.
TEST(MediaScenario, ClosingDuringACopyAsksAndCancellingTakesTheRunBack) {
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
    EXPECT_FALSE(NothingAside(c.Install)) << "the installed file waits aside while the new one is written";
    if (goOn) {  // a picture of the page as it stands
      MoveBelow(box, page);
      ui::SaveScreenshot(ui::JoinPath(ui::TestRoot(), "screenshots\\copy-page.png"));
    }
    EXPECT_TRUE(ui::Answer(box, goOn ? 1 : 2));
    if (goOn) {
      ASSERT_EQ(ui::WaitCleanExit(&setup, 120000), 0);
      EXPECT_TRUE(ui::Holds(c.Install + "\\gross.dat", c.New));
      EXPECT_TRUE(NothingAside(c.Install));
      continue;
    }
    EXPECT_EQ(EndAtInterruptedNotice(&setup), 2) << "everything taken back: nothing changed";
    EXPECT_TRUE(c.AsBefore());
    // The log says so, which file was in hand, and what was taken back.
    std::string log = ui::ReadSetupLog(c.Install);
    EXPECT_NE(log.find("\r\nCancelled:copy," + c.Install + "\\gross.dat\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Restored:" + c.Install + "\\gross.dat\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Removed:" + c.Install + "\\zuerst.txt\r\n"), std::string::npos) << log;
  }
}

// An installed file that another program holds open without letting it go cannot be replaced:
// the Abort/Retry/Ignore box before anything of it is copied, and Abort takes back the run.
TEST(MediaScenario, AnInstalledFileHeldOpenIsKeptAndAbortTakesTheRunBack) {
  LargeCopy c("copy-place-refused");
  HANDLE held = CreateFileA((c.Install + "\\gross.dat").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  ui::Setup setup;
  ASSERT_TRUE(ui::StartAndInstall(&setup, c.Medium));
  HWND box = ui::WaitMessageBox(setup.Pid, 60000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(ui::WindowText(box), "Schwerer Fehler!");
  EXPECT_TRUE(ui::Answer(box, IDABORT));
  EXPECT_EQ(EndAtInterruptedNotice(&setup), 2);
  CloseHandle(held);
  EXPECT_TRUE(c.AsBefore());
  std::string log = ui::ReadSetupLog(c.Install);
  EXPECT_NE(log.find("Error: Die Datei \"" + c.Install + "\\gross.dat\" kann nicht erzeugt werden!"), std::string::npos);
}

// A setup killed mid-copy leaves the installed file aside and the new one half written; the
// next start rolls that back before anything else (the run's own log tells of it), then installs.
TEST(MediaScenario, AKilledRunIsRolledBackByTheNextStart) {
  LargeCopy c("copy-killed");
  {
    ui::Setup setup;
    ASSERT_TRUE(ui::StartAndInstall(&setup, c.Medium));
    ui::ProcessThreads threads(setup.Pid);
    ASSERT_TRUE(c.Hold(&threads, kLarge / 5));
    ui::CloseSetup(&setup);
  }
  ASSERT_FALSE(c.AsBefore());
  ui::Setup again;
  ASSERT_TRUE(ui::StartSetup(&again, c.Medium));
  ASSERT_NE(ui::WaitWelcomePage(again.Pid, 30000), nullptr);
  EXPECT_TRUE(c.AsBefore()) << "rolled back before the welcome page";
  std::string killed = ui::ReadSetupLog(c.Install);
  EXPECT_NE(killed.find("Restored:" + c.Install + "\\gross.dat\r\n"), std::string::npos) << killed;
  EXPECT_NE(killed.find("RolledBack:" + c.Install + ","), std::string::npos) << killed;
  ASSERT_TRUE(ui::WalkToCopy(&again));
  ASSERT_EQ(ui::WaitCleanExit(&again, 120000), 0);
  EXPECT_TRUE(ui::Holds(c.Install + "\\gross.dat", c.New));
  EXPECT_TRUE(NothingAside(c.Install));
  EXPECT_EQ(ui::ReadSetupLog(c.Install, 1).substr(0, 11), "RolledBack:");
}

// A file not installed before is written under its own name. Cancelled or killed while it is
// written (its version already readable), it is gone again, with the rest of the run.
TEST(MediaScenario, ANewFileLeftUnfinishedIsTakenBack) {
  std::string dll;
  ASSERT_TRUE(ui::ReadFile(ui::FixturePath("ver2000.dll"), &dll));
  dll += ui::PatternBytes(kLarge, 43);  // data after the library, as a self-extracting one has
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
      ASSERT_TRUE(ui::HoldCopy(&threads, install, "neu.dll", kLarge / 5, false));
      DWORD handle = 0;
      EXPECT_GT(GetFileVersionInfoSizeA(target.c_str(), &handle), 0u) << "the unfinished copy shows its version";
      if (kill) {
        ui::CloseSetup(&setup);
      } else {
        ui::Click(HeldCopyPage(setup.Pid), IDCANCEL);
        threads.Resume();
        HWND box = ui::WaitDialog(setup.Pid, "Setup abbrechen", {1, 2, 258});
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(ui::Answer(box, 2));
        EXPECT_EQ(EndAtInterruptedNotice(&setup), 2);
      }
    }
    if (kill) {
      ui::Setup again;
      ASSERT_TRUE(ui::StartSetup(&again, medium));
      ASSERT_NE(ui::WaitWelcomePage(again.Pid, 30000), nullptr);
      EXPECT_FALSE(ui::FileExists(target));
      EXPECT_FALSE(ui::FileExists(install + "\\zuerst.txt"));
      ASSERT_TRUE(ui::WalkToCopy(&again));
      ASSERT_EQ(ui::WaitCleanExit(&again, 120000), 0);
      EXPECT_TRUE(ui::Holds(target, dll));
    } else {
      EXPECT_FALSE(ui::FileExists(target));
      EXPECT_FALSE(ui::FileExists(install + "\\zuerst.txt"));
      EXPECT_EQ(ui::ReadSetupLog(install).rfind("CreatedDir:" + install + "\r\nCopied:" + install +
                                                "\\zuerst.txt\r\nCancelled:copy," + target + "\r\n", 0), 0u);
    }
    ui::RemoveTree(root);
  }
}

// A product data file of several hundred MB replaced on a drive (the 640 MB volume that
// tools/run-tests mounts as T:) filled until it has just the room the options page charges: the
// new file's whole size, since it is written beside the old one. The copy completes.
TEST(MediaScenario, ALargeDataFileIsReplacedOnADriveWithJustTheRoomCharged) {
  ULARGE_INTEGER total = {}, free = {};
  if (GetDriveTypeA("T:\\") != DRIVE_FIXED || !GetDiskFreeSpaceExA("T:\\", nullptr, &total, nullptr) ||
      total.QuadPart < (600ull << 20) || total.QuadPart > (1ull << 30))
    GTEST_SKIP() << "no volume of 640 MB as drive T: (tools/run-tests mounts one as root)";
  std::string install = "T:\\Produkt", filler = "T:\\fuellung.dat";
  ui::RemoveTree(install);  // what a failed run left
  DeleteFileA(filler.c_str());
  std::string productKey = ui::ProductKey(ui::CompanyName(), ui::ProductName());
  ui::DeleteKeyTree(productKey);
  // Version 3 of 280 MB installed, version 4 of 330 MB on the medium.
  fixture::ProductDataLayout data;
  ASSERT_TRUE(fixture::ParseIdentifier("6B8D1F32-0A4E-4a71-9F22-3D5C7E9A1B24", &data.Id));
  std::string medium = ui::MakeMedium("copy-data-room", nullptr);
  ui::MakeFolders(install);
  for (std::string folder : {install, medium}) {
    data.Version = folder == install ? 3 : 4;
    data.TopicBytes = (folder == install ? 280u : 330u) << 20;
    ASSERT_TRUE(fixture::WriteProductDataFile(folder + "\\daten.hlp", data));
  }
  WIN32_FILE_ATTRIBUTE_DATA found;
  ASSERT_TRUE(GetFileAttributesExA((medium + "\\daten.hlp").c_str(), GetFileExInfoStandard, &found));
  const uint64_t size = found.nFileSizeLow;
  ui::WriteFile(medium + "\\SETUP.LST",
                Script(install, {"1,,daten.hlp,,$(AppPath),$(KRVRegister),,," + std::to_string(size)}));

  ui::Setup setup;
  HWND page = ui::StartToOptions(&setup, medium);
  ASSERT_NE(page, nullptr);
  Sleep(300);  // the posted figures arrive
  EXPECT_EQ(ui::ControlText(page, 1017), ui::ChargedKilobytes(size, 1)) << "the new file, whole";
  const uint64_t charged = std::stoull(ui::ControlText(page, 1017)) * 1024;
  // Filled up to what is charged and a little for the log (a page of the volume); the same
  // drive chosen again measures anew.
  ASSERT_TRUE(GetDiskFreeSpaceExA("T:\\", &free, nullptr, nullptr));
  ASSERT_GT(free.QuadPart, charged + (64u << 10));
  ASSERT_TRUE(ui::WriteFile(filler, std::string(free.QuadPart - charged - (64u << 10), 'f')));
  ASSERT_TRUE(GetDiskFreeSpaceExA("T:\\", &free, nullptr, nullptr));
  ASSERT_LT(free.QuadPart, charged + (128u << 10)) << "just the room charged";
  std::vector<std::string> drives = ui::ComboItems(page, 1015);
  auto t = std::find(drives.begin(), drives.end(), "T:\\");
  ASSERT_NE(t, drives.end());
  ASSERT_TRUE(ui::SelectComboItem(page, 1015, static_cast<int>(t - drives.begin())));
  Sleep(500);
  EXPECT_EQ(ui::ControlText(page, 1016), std::to_string(free.QuadPart >> 10) + "KB");
  ui::SaveScreenshot(ui::JoinPath(ui::TestRoot(), "screenshots\\options-page-room.png"));
  EXPECT_EQ(ui::WaitCleanExit(&setup, 300000), 0) << "no write error: the copy completes";

  ASSERT_TRUE(GetFileAttributesExA((install + "\\daten.hlp").c_str(), GetFileExInfoStandard, &found));
  EXPECT_EQ(found.nFileSizeLow, size);
  EXPECT_TRUE(NothingAside(install));
  std::string dataKey = productKey + "\\2.0\\Files\\{6B8D1F32-0A4E-4a71-9F22-3D5C7E9A1B24}";
  EXPECT_EQ(ui::RegString(HKEY_LOCAL_MACHINE, dataKey), "4") << "the new file is in place and readable";
  EXPECT_EQ(ui::RegString(HKEY_LOCAL_MACHINE, dataKey, "InstallPath"), install + "\\daten.hlp");
  // Several hundred MB of RAM: gone again.
  ui::RemoveTree(install);
  DeleteFileA(filler.c_str());
  ui::RemoveTree(medium);
  ui::DeleteKeyTree(productKey);
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
  names.insert(names.end(), {"setup0.log", "setup1.log", "uninst.dat", "uninst.exe"});  // and nothing else
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
  EXPECT_EQ(same, names.size() - 4);
  ui::RemoveTree(root);
}

}  // namespace
