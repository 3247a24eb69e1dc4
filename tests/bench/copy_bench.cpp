// make bench: the copy page's throughput against a plain CopyFileA loop over the same files
// (about 200 MB of mixed sizes, and 5,000 small files), the whole run from "Weiter" on the
// welcome page to the program's exit beside the system's cost of the least page, the time
// from a click on "Abbrechen" during a copy until the cancel question is up, and the reading
// of large scripts. Figures are printed, never asserted.
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "install_driver.h"
#include "product_registry.h"
#include "script/option_tree.h"
#include "script/reader.h"
#include "startup/arena.h"
#include "startup/state.h"
#include "startup/text.h"
#include "ui_driver.h"

namespace {

double Now() {
  static LARGE_INTEGER frequency;
  if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / frequency.QuadPart;
}

struct BenchFile {
  std::string Name;
  size_t Size;
  std::string Folder = "";  // below the install folder
  std::string Installed() const { return Folder.empty() ? Name : Folder + "\\" + Name; }
};

// About 200 MB in files of mixed sizes, from a few bytes to 64 MB.
std::vector<BenchFile> MixedFiles() {
  std::vector<BenchFile> files;
  auto add = [&](int count, size_t size, const char* stem) {
    for (int i = 0; i < count; ++i) files.push_back({std::string(stem) + std::to_string(i) + ".dat", size});
  };
  add(1, 64u << 20, "riesig");
  add(2, 32u << 20, "gross");
  add(6, 8u << 20, "mittel");
  add(16, 1u << 20, "klein");
  add(16, 64u << 10, "winzig");
  add(8, 300, "text");
  return files;
}

// 5,000 files of 1 to 64 KB, their sizes spread evenly, in one folder or in folders of 100.
std::vector<BenchFile> SmallFiles(bool folders) {
  std::vector<BenchFile> files;
  unsigned x = 12345;
  for (int i = 0; i < 5000; ++i) {
    x = x * 1103515245u + 12345u;
    files.push_back({"k" + std::to_string(i) + ".dat", 1024 + (x >> 8) % (63 * 1024),
                     folders ? "Teil" + std::to_string(i / 100) : ""});
  }
  return files;
}

// One option per folder, in the order the files come.
std::string Script(const std::string& install, const std::vector<BenchFile>& files) {
  std::string text = "[Settings]\r\nDestination=" + install + "\r\n";
  for (size_t i = 0, section = 1; i < files.size(); ++section) {
    size_t end = i;
    while (end < files.size() && files[end].Folder == files[i].Folder) ++end;
    text += "[Section" + std::to_string(section) + "]\r\nInstall=1\r\nDestination=" + files[i].Folder +
            "\r\nFileCount=" + std::to_string(end - i) + "\r\n";
    for (size_t n = 1; i < end; ++i, ++n)
      text += "File" + std::to_string(n) + "=1,," + files[i].Name + ",,$(AppPath),,,," + std::to_string(files[i].Size) +
              "\r\n";
  }
  return text;
}

// One source file installed count times under different names.
std::string LongScript(const std::string& install, const BenchFile& file, size_t count) {
  std::string text = "[Settings]\r\nDestination=" + install + "\r\n[Section1]\r\nInstall=1\r\nFileCount=" +
                     std::to_string(count) + "\r\n";
  for (size_t i = 0; i < count; ++i)
    text += "File" + std::to_string(i + 1) + "=1,," + file.Name + ",Kopie" + std::to_string(i + 1) +
            ".dat,$(AppPath),,,," + std::to_string(file.Size) + "\r\n";
  return text;
}

// Seconds the copy page is on screen, from its first appearance until it is gone.
double TimeCopyPage(const std::string& medium) {
  ui::Setup setup;
  // The walk as a user agrees to everything: welcome and options page, then the copy.
  if (!ui::StartAndInstall(&setup, medium)) {
    printf("bench: the walk to the copy page failed\n");
    return -1;
  }
  HWND page = nullptr;
  double start = 0;
  for (int i = 0; i < 20000 && !page; ++i) {
    for (HWND window : ui::TopWindows(setup.Pid))
      if (ui::WindowText(window) == "Kopieren") page = window;
    if (!page) Sleep(1);
  }
  start = Now();
  if (!page) return -1;
  while (IsWindow(page) && IsWindowVisible(page)) Sleep(1);
  double seconds = Now() - start;
  int rc = ui::WaitCleanExit(&setup, 120000);
  if (rc != 0) {
    printf("bench: the setup ended with %d after a copy of %.3f s\n", rc, seconds);
    return -1;
  }
  return seconds;
}

// The first visible window of the run with the caption (and the control, when not 0), looked
// for every millisecond; null when the run ends first.
HWND PollWindow(const ui::Setup& setup, const std::string& caption, int control = 0) {
  while (WaitForSingleObject(setup.Process, 1) == WAIT_TIMEOUT) {
    for (HWND window : ui::TopWindows(setup.Pid))
      if (IsWindowVisible(window) && ui::WindowText(window) == caption && (!control || GetDlgItem(window, control)))
        return window;
  }
  return nullptr;
}

// Seconds from the click on "Weiter" on the welcome page until the program has ended, as a user
// walks it who answers the options page and the finish page the moment they are up: the scan,
// the copy, the system update and every page between. While the copy page is up only its being
// visible is asked: a look at every window of the run each millisecond would keep Wine's
// server, which each file call of the setup goes through, busy too. parts gets the time until
// the options page is up, from its "Weiter" until the copy page is up, while that is up, until
// the finish page is up, and from its button until the end.
constexpr int kRunParts = 5;
double TimeWholeRun(const std::string& medium, const std::string& install, double parts[kRunParts]) {
  ui::Setup setup;
  if (!ui::StartSetup(&setup, medium)) return -1;
  HWND welcome = ui::WaitWelcomePage(setup.Pid);
  if (!welcome) return -1;
  double start = Now();
  ui::Click(welcome, 1000);
  HWND options = PollWindow(setup, ui::ProductName() + "-Benutzerdefinierte Optionen");
  double optionsUp = Now();
  HWND copy = options && ui::Click(options, 1000) ? PollWindow(setup, "Kopieren") : nullptr;
  double shown = Now();
  while (copy && IsWindowVisible(copy)) Sleep(1);
  double gone = Now();
  HWND finish = copy ? PollWindow(setup, ui::ProductName() + "-Setup", 258) : nullptr;
  double finishUp = Now();
  if (finish) ui::Click(finish, 1);
  int code = ui::WaitExit(&setup, 60000);
  double end = Now();
  ui::RemoveTree(install);
  double marks[kRunParts + 1] = {start, optionsUp, shown, gone, finishUp, end};
  for (int i = 0; i < kRunParts; ++i) parts[i] = marks[i + 1] - marks[i];
  return code == 0 && finish ? end - start : -1;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Best(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

void ServeQueue() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

INT_PTR CALLBACK PlainPageProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// Milliseconds the system takes for the least a wizard page can be: a dialog with a caption
// and one button, owned by a frame window, created visible, painted and destroyed, each time
// until the queue is empty. Four pages come after the welcome page in every whole run.
double PlainPageMs() {
  // The template: caption "Seite", MS Sans Serif 8, one default button.
  std::vector<WORD> words;
  auto add = [&](const wchar_t* text) {
    do words.push_back(static_cast<WORD>(*text)); while (*text++);
  };
  auto addLong = [&](DWORD value) {
    words.push_back(LOWORD(value));
    words.push_back(HIWORD(value));
  };
  addLong(WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME | DS_SETFONT | DS_CENTER);
  addLong(0);
  words.insert(words.end(), {1, 0, 0, 200, 100, 0, 0});  // one item at 0,0, 200 x 100; no menu, no class
  add(L"Seite");
  words.push_back(8);
  add(L"MS Sans Serif");
  if (words.size() % 2) words.push_back(0);
  addLong(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON);
  addLong(0);
  words.insert(words.end(), {70, 80, 60, 14, 1, 0xFFFF, 0x0080});
  add(L"&Weiter >");
  words.push_back(0);
  HWND frame = CreateWindowExA(0, "Static", "Rahmen", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600, nullptr,
                               nullptr, nullptr, nullptr);
  ServeQueue();
  std::vector<double> times;
  for (int round = 0; round < 21; ++round) {
    double start = Now();
    HWND page = CreateDialogIndirectParamA(nullptr, reinterpret_cast<LPCDLGTEMPLATEA>(words.data()), frame,
                                           PlainPageProc, 0);
    ServeQueue();
    DestroyWindow(page);
    ServeQueue();
    times.push_back((Now() - start) * 1000);
  }
  DestroyWindow(frame);
  ServeQueue();
  return Median(times);
}

// Milliseconds from the click on "Abbrechen" until the cancel question is visible; several
// clicks in one run, each answered with "Setup &fortsetzen".
std::vector<double> CancelLatencies(const std::string& medium, const std::string& install, int samples) {
  std::vector<double> latencies;
  ui::Setup setup;
  if (!ui::StartAndInstall(&setup, medium)) return latencies;
  HWND page = ui::WaitCopyPage(setup.Pid);
  for (int n = 0; page && n < samples; ++n) {
    Sleep(40);  // somewhere inside a copy step
    double clicked = Now();
    ui::Click(page, IDCANCEL);
    HWND box = nullptr;
    while (!box && Now() - clicked < 10) {
      for (HWND window : ui::TopWindows(setup.Pid))
        if (ui::WindowText(window) == "Setup abbrechen") box = window;
    }
    if (!box) break;
    latencies.push_back((Now() - clicked) * 1000);
    ui::Answer(box, 1);
  }
  ui::WaitCleanExit(&setup, 120000);
  ui::RemoveTree(install);
  return latencies;
}

double TimeCopyFileLoop(const std::vector<BenchFile>& files, const std::string& medium, const std::string& plain) {
  for (const BenchFile& file : files) ui::MakeFolders(ui::JoinPath(plain, file.Folder));
  double start = Now();
  for (const BenchFile& file : files)
    CopyFileA(ui::JoinPath(medium, file.Name).c_str(), ui::JoinPath(plain, file.Installed()).c_str(), FALSE);
  double seconds = Now() - start;
  ui::RemoveTree(plain);
  return seconds;
}

// The same files through an 8192-byte buffer and nothing else.
double TimeBlockLoop(const std::vector<BenchFile>& files, const std::string& medium, const std::string& plain) {
  for (const BenchFile& file : files) ui::MakeFolders(ui::JoinPath(plain, file.Folder));
  static char block[8192];
  double start = Now();
  for (const BenchFile& file : files) {
    HANDLE in = CreateFileA(ui::JoinPath(medium, file.Name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    HANDLE out = CreateFileA(ui::JoinPath(plain, file.Installed()).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             CREATE_ALWAYS, 0, nullptr);
    DWORD read = 0, written = 0;
    while (ReadFile(in, block, sizeof block, &read, nullptr) && read > 0) WriteFile(out, block, read, &written, nullptr);
    CloseHandle(in);
    CloseHandle(out);
  }
  double seconds = Now() - start;
  ui::RemoveTree(plain);
  return seconds;
}

// The copy page over the files; -1 when it did not copy them all.
double TimeCopyPageRun(const std::vector<BenchFile>& files, const std::string& medium, const std::string& install) {
  double seconds = TimeCopyPage(medium);
  bool same = true;
  for (size_t i = 0; i < files.size() && seconds > 0 && same; ++i) {
    std::string bytes;
    same = same && ui::ReadFile(ui::JoinPath(install, files[i].Installed()), &bytes) && bytes.size() == files[i].Size;
    if (!same) printf("bench: %s was not copied whole\n", files[i].Installed().c_str());
  }
  ui::RemoveTree(install);
  return same ? seconds : -1;
}


// A medium of the files under the given name; its total in MB.
double MakeBenchMedium(const char* name, const std::vector<BenchFile>& files, const std::string& install,
                       std::string* medium) {
  *medium = ui::MakeMedium(std::string("bench\\") + name, Script(install, files).c_str());
  size_t total = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    ui::WriteFile(ui::JoinPath(*medium, files[i].Name), ui::PatternBytes(files[i].Size, static_cast<unsigned>(i)));
    total += files[i].Size;
  }
  return total / 1048576.0;
}

// The copy page against the plain loops over one medium, several rounds each in turn, so a stray
// write-back of the system's cache weighs on no single way; each way starts a round in turn.
// Noise on this machine only ever adds time: the best round of each way is the figure, the
// median is shown beside it. false when the copy page did not copy everything.
bool CompareCopies(const char* title, const std::vector<BenchFile>& files, const std::string& root, bool wholeRun) {
  std::string install = root + "\\Ziel", plain = root + "\\Kopie", medium;
  double mb = MakeBenchMedium(title, files, install, &medium);
  printf("\n%s: %zu files, %.1f MB\n", title, files.size(), mb);
  constexpr int kRounds = 7;
  std::vector<double> plainTimes, blockTimes, pageTimes, runTimes;
  for (int round = 0; round < kRounds; ++round) {
    // Each way goes first in its turn: the first copy on a fresh medium is often the fastest.
    for (int turn = 0; turn < 3; ++turn) {
      int way = (round + turn) % 3;
      if (way == 0) plainTimes.push_back(TimeCopyFileLoop(files, medium, plain));
      if (way == 1) blockTimes.push_back(TimeBlockLoop(files, medium, plain));
      if (way == 2) pageTimes.push_back(TimeCopyPageRun(files, medium, install));
    }
    double page = pageTimes.back();
    if (page <= 0) {
      printf("bench: the copy page did not complete the copy\n");
      return false;
    }
    printf("  round %d: loop %.3f, block %.3f, page %.3f\n", round, plainTimes.back(), blockTimes.back(), page);
    if (wholeRun) {
      double parts[kRunParts], run = TimeWholeRun(medium, install, parts);
      if (run <= 0) {
        printf("bench: the whole run did not finish cleanly\n");
        return false;
      }
      runTimes.push_back(run);
      printf("  whole run %.3f s: to the options page %.3f s, to the copy page %.3f s, copy page %.3f s, to the "
             "finish page %.3f s, to the exit %.3f s\n",
             run, parts[0], parts[1], parts[2], parts[3], parts[4]);
    }
  }
  double plainSeconds = Best(plainTimes), pageSeconds = Best(pageTimes);
  printf("best (median) of %d rounds:\n", kRounds);
  printf("plain CopyFileA loop:  %.3f s (%.3f s), %.0f MB/s\n", plainSeconds, Median(plainTimes), mb / plainSeconds);
  printf("plain 8 KB block loop: %.3f s (%.3f s)\n", Best(blockTimes), Median(blockTimes));
  printf("copy page:             %.3f s (%.3f s), %.0f MB/s\n", pageSeconds, Median(pageTimes), mb / pageSeconds);
  printf("throughput ratio (copy page / plain CopyFileA loop): %.2f (medians: %.2f; goal: at least 0.80)\n",
         plainSeconds / pageSeconds, Median(plainTimes) / Median(pageTimes));
  if (wholeRun) {
    printf("whole run from \"Weiter\" to the exit (options, copy, update and finish page): %.3f s (%.3f s), %.2f x "
           "the CopyFileA loop\n",
           Best(runTimes), Median(runTimes), Best(runTimes) / plainSeconds);
    double page = PlainPageMs();
    printf("the least page (a dialog with one button) shown and destroyed: %.1f ms; 4 of them: %.0f ms, where 1.15 x "
           "the loop leaves %.0f ms beside the copy page\n",
           page, 4 * page, (1.15 * plainSeconds - pageSeconds) * 1000);
  }
  return true;
}

// Seconds the run takes, started with arguments; -1 when it does not end with 0.
double TimeProgram(const std::string& exe, const std::string& arguments) {
  ui::Setup run;
  double start = Now();
  if (!ui::StartProgram(&run, exe, arguments)) return -1;
  int code = ui::WaitExit(&run, 300000);
  return code == 0 ? Now() - start : -1;
}

// The 5,000 small files: the copy page with the undo record against the same program without it
// (setup-ohne-protokoll.exe, its journal's notes going nowhere), in turn.
bool CompareRecord(const std::string& root) {
  std::vector<BenchFile> files = SmallFiles(false);
  std::string install = root + "\\Ziel", medium;
  double mb = MakeBenchMedium("protokoll", files, install, &medium);
  std::string exe = SETUP_EXE_PATH, with = ui::JoinPath(medium, "setup.exe");
  std::string without = exe.substr(0, exe.find_last_of('\\')) + "\\setup-ohne-protokoll.exe";
  printf("\nundo record: %zu files, %.1f MB\n", files.size(), mb);
  constexpr int kRounds = 7;
  std::vector<double> withTimes, withoutTimes;
  for (int round = 0; round < kRounds; ++round) {
    for (int turn = 0; turn < 2; ++turn) {
      bool record = (round + turn) % 2 == 0;
      CopyFileA(record ? exe.c_str() : without.c_str(), with.c_str(), FALSE);
      double seconds = TimeCopyPageRun(files, medium, install);
      if (seconds <= 0) {
        printf("bench: the copy page did not complete the copy\n");
        return false;
      }
      (record ? withTimes : withoutTimes).push_back(seconds);
    }
    printf("  round %d: with the record %.3f, without %.3f\n", round, withTimes.back(), withoutTimes.back());
  }
  CopyFileA(exe.c_str(), with.c_str(), FALSE);
  printf("copy page with the record:    %.3f s (%.3f s)\n", Best(withTimes), Median(withTimes));
  printf("copy page without the record: %.3f s (%.3f s)\n", Best(withoutTimes), Median(withoutTimes));
  printf("speed with the record / without: %.2f (medians: %.2f; goal: at least 0.90)\n",
         Best(withoutTimes) / Best(withTimes), Median(withoutTimes) / Median(withTimes));
  return true;
}

// Seconds the uninstaller takes, started with arguments, until its copy in the temporary folder
// has ended too (it removes the uninstaller's own file and the folders after the uninstaller's
// exit); -1 when the uninstaller does not end with 0.
double TimeRemoval(const std::string& exe, const std::string& arguments) {
  double start = Now();
  if (TimeProgram(exe, arguments) < 0) return -1;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = snapshot != INVALID_HANDLE_VALUE && Process32First(snapshot, &entry); more;
       more = Process32Next(snapshot, &entry)) {
    if (_strnicmp(entry.szExeFile, "stpun", 5) != 0) continue;
    if (HANDLE copy = OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
      WaitForSingleObject(copy, 60000);
      CloseHandle(copy);
    }
  }
  if (snapshot != INVALID_HANDLE_VALUE) CloseHandle(snapshot);
  return Now() - start;
}

// The uninstaller (unattended) of the 5,000 small files against a plain DeleteFileA loop over the
// same installed files.
bool CompareRemoval(const std::string& root) {
  std::vector<BenchFile> files = SmallFiles(false);
  std::string install = root + "\\Ziel", medium;
  double mb = MakeBenchMedium("entfernen", files, install, &medium);
  std::string with = ui::JoinPath(medium, "setup.exe");
  printf("\nremoval: %zu files, %.1f MB\n", files.size(), mb);
  std::vector<double> removal, loop;
  for (int round = 0; round < 5; ++round) {
    if (TimeProgram(with, "/S") <= 0) {
      printf("bench: the unattended install failed\n");
      return false;
    }
    double seconds = TimeRemoval(install + "\\uninst.exe", "/UNINSTALL /S");
    if (seconds <= 0 || ui::FileExists(install)) {
      printf("bench: the uninstaller did not remove the product\n");
      return false;
    }
    removal.push_back(seconds);
    ui::RemoveTree(install);
    TimeProgram(with, "/S");
    double start = Now();
    for (const BenchFile& file : files) DeleteFileA(ui::JoinPath(install, file.Installed()).c_str());
    loop.push_back(Now() - start);
    ui::RemoveTree(install);
    ui::DeleteKeyTree(ui::UninstallKey(ui::CompanyName(), ui::ProductName()));
    printf("  round %d: uninstaller %.3f, DeleteFileA loop %.3f\n", round, removal.back(), loop.back());
  }
  // What every removal costs whatever the product: two processes started (the uninstaller and
  // its copy in the temporary folder), the copy made, the record read. Measured on a product of
  // one file.
  std::vector<BenchFile> one(files.begin(), files.begin() + 1);
  std::string oneMedium;
  MakeBenchMedium("ein-teil", one, install, &oneMedium);
  std::vector<double> fixed;
  for (int round = 0; round < 5; ++round) {
    TimeProgram(ui::JoinPath(oneMedium, "setup.exe"), "/S");
    fixed.push_back(TimeRemoval(install + "\\uninst.exe", "/UNINSTALL /S"));
  }
  printf("uninstaller (unattended, from its start to its exit): %.3f s (%.3f s)\n", Best(removal), Median(removal));
  printf("  of which the same for a product of one file:        %.3f s (%.3f s)\n", Best(fixed), Median(fixed));
  printf("plain DeleteFileA loop:                               %.3f s (%.3f s)\n", Best(loop), Median(loop));
  printf("uninstaller / loop: %.2f (medians: %.2f); its work on the files / loop: %.2f (medians: %.2f; goal: at "
         "most 1.5)\n",
         Best(removal) / Best(loop), Median(removal) / Median(loop), (Best(removal) - Best(fixed)) / Best(loop),
         (Median(removal) - Median(fixed)) / Median(loop));
  return true;
}

// Milliseconds to read a script of count file entries in the given number of sections, as
// start-up reads it; the script lies on disk an hour old (Wine parses a file again on every
// profile call while it is younger than about two seconds).
double TimeScriptReading(const std::string& folder, int count, int sections) {
  std::string text;
  for (int s = 1; s <= sections; ++s) {
    int entries = count / sections;
    text += "[Section" + std::to_string(s) + "]\r\nInstall=1\r\nFileCount=" + std::to_string(entries) + "\r\n";
    for (int f = 1; f <= entries; ++f)
      text += "File" + std::to_string(f) + "=1,,d" + std::to_string(f) + ".dat,,$(AppPath),,,12/31/1997," +
              std::to_string(f) + ",1.0.0." + std::to_string(f % 100) + "\r\n";
  }
  std::string path = ui::JoinPath(folder, "lese" + std::to_string(count) + "-" + std::to_string(sections) + ".lst");
  ui::WriteFile(path, text);
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER back{{now.dwLowDateTime, now.dwHighDateTime}};
  back.QuadPart -= 3600ull * 10000000;
  FILETIME written{back.LowPart, back.HighPart};
  SetFileTime(file, nullptr, nullptr, &written);
  CloseHandle(file);
  CopyText(ScriptPath, path.c_str());
  std::vector<double> times;
  for (int round = 0; round < 3; ++round) {
    ArenaCreate(kArenaBlockBytes);
    double start = Now();
    Option* root = ReadOptionList("Section", nullptr, 0);
    times.push_back((Now() - start) * 1000);
    if (CountFileEntries(root) != count / sections * sections) printf("bench: script not read whole\n");
    ArenaRelease();
  }
  return Best(times);
}

}  // namespace

// With arguments, only the parts named: mixed, small, folders, record, removal, cancel, script.
int main(int argc, char** argv) {
  auto wanted = [&](const char* part) {
    for (int i = 1; i < argc; ++i)
      if (strcmp(argv[i], part) == 0) return true;
    return argc == 1;
  };
  std::string root = ui::JoinPath(ui::TestRoot(), "bench");
  ui::RemoveTree(root);
  if (wanted("mixed") && !CompareCopies("mixed", MixedFiles(), root, true)) return 1;
  if (wanted("small") && !CompareCopies("small, one folder", SmallFiles(false), root, false)) return 1;
  if (wanted("folders") && !CompareCopies("small, folders of 100", SmallFiles(true), root, false)) return 1;
  if (wanted("record") && !CompareRecord(root)) return 1;
  if (wanted("removal") && !CompareRemoval(root)) return 1;

  // The cancel question is timed over a longer copy: the large file many times over.
  std::string install = root + "\\Ziel";
  if (!wanted("cancel")) goto script;
  {
  BenchFile large = MixedFiles()[0];
  std::string longMedium = ui::MakeMedium("bench\\lang", LongScript(install, large, 24).c_str());
  ui::WriteFile(ui::JoinPath(longMedium, large.Name), ui::PatternBytes(large.Size, 0));
  std::vector<double> latencies = CancelLatencies(longMedium, install, 7);
  if (latencies.empty()) {
    printf("cancel latency: not measured (no cancel question appeared)\n");
    return 1;
  }
  std::sort(latencies.begin(), latencies.end());
  printf("\ncancel latency over %zu clicks: median %.1f ms, max %.1f ms (goal: under 50 ms)\n", latencies.size(),
         latencies[latencies.size() / 2], latencies.back());
  }
script:
  if (!wanted("script")) return 0;

  printf("\nscript reading (best of 3):\n");
  for (int sections : {1, 100}) {
    double few = TimeScriptReading(root, 3000, sections), many = TimeScriptReading(root, 30000, sections);
    printf("%s: 3,000 entries %.1f ms, 30,000 entries %.1f ms, ratio %.1f (linear: about 10)\n",
           sections == 1 ? "one section  " : "100 sections ", few, many, many / few);
  }
  ui::RemoveTree(root);
  return 0;
}
