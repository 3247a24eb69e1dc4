// make bench: the copy page's throughput against a plain CopyFileA loop over the same files,
// and the time from a click on "Abbrechen" during a copy until the cancel question is up.
// Figures are printed, never asserted.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "install_driver.h"
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

std::string Script(const std::string& install, const std::vector<BenchFile>& files) {
  std::string text = "[Settings]\r\nDestination=" + install + "\r\n[Section1]\r\nInstall=1\r\nFileCount=" +
                     std::to_string(files.size()) + "\r\n";
  for (size_t i = 0; i < files.size(); ++i)
    text += "File" + std::to_string(i + 1) + "=1,," + files[i].Name + ",,$(AppPath),,,," + std::to_string(files[i].Size) +
            "\r\n";
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
  if (!ui::StartSetup(&setup, medium)) return -1;
  HWND welcome = ui::WaitWelcomePage(setup.Pid);
  if (!welcome) return -1;
  ui::Click(welcome, 1000);
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
  if (ui::WaitCleanExit(&setup, 30000) != 0) return -1;
  return seconds;
}

// Milliseconds from the click on "Abbrechen" until the cancel question is visible; several
// clicks in one run, each answered with "Setup &fortsetzen".
std::vector<double> CancelLatencies(const std::string& medium, const std::string& install, int samples) {
  std::vector<double> latencies;
  ui::Setup setup;
  if (!ui::StartSetup(&setup, medium)) return latencies;
  HWND welcome = ui::WaitWelcomePage(setup.Pid);
  if (!welcome) return latencies;
  ui::Click(welcome, 1000);
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

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Best(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

double TimeCopyFileLoop(const std::vector<BenchFile>& files, const std::string& medium, const std::string& plain) {
  ui::MakeFolders(plain);
  double start = Now();
  for (const BenchFile& file : files)
    CopyFileA(ui::JoinPath(medium, file.Name).c_str(), ui::JoinPath(plain, file.Name).c_str(), FALSE);
  double seconds = Now() - start;
  ui::RemoveTree(plain);
  return seconds;
}

// The same files through an 8192-byte buffer and nothing else.
double TimeBlockLoop(const std::vector<BenchFile>& files, const std::string& medium, const std::string& plain) {
  ui::MakeFolders(plain);
  static char block[8192];
  double start = Now();
  for (const BenchFile& file : files) {
    HANDLE in = CreateFileA(ui::JoinPath(medium, file.Name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    HANDLE out = CreateFileA(ui::JoinPath(plain, file.Name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
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
  for (size_t i = 0; i < files.size() && seconds > 0; ++i) {
    std::string bytes;
    same = same && ui::ReadFile(ui::JoinPath(install, files[i].Name), &bytes) && bytes.size() == files[i].Size;
  }
  ui::RemoveTree(install);
  return same ? seconds : -1;
}

}  // namespace

int main() {
  std::string root = ui::JoinPath(ui::TestRoot(), "bench");
  ui::RemoveTree(root);
  std::string install = root + "\\Ziel";
  std::string plain = root + "\\Kopie";
  std::vector<BenchFile> files = MixedFiles();
  std::string medium = ui::MakeMedium("bench\\medium", Script(install, files).c_str());
  size_t total = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    ui::WriteFile(ui::JoinPath(medium, files[i].Name), ui::PatternBytes(files[i].Size, static_cast<unsigned>(i)));
    total += files[i].Size;
  }
  double mb = total / 1048576.0;
  printf("bench: %zu files, %.1f MB, medium %s\n", files.size(), mb, medium.c_str());

  // Each way of copying in turn, several rounds, so a stray write-back of the system's cache
  // weighs on no single way.
  constexpr int kRounds = 7;
  std::vector<double> plainTimes, blockTimes, pageTimes;
  for (int round = 0; round < kRounds; ++round) {
    plainTimes.push_back(TimeCopyFileLoop(files, medium, plain));
    blockTimes.push_back(TimeBlockLoop(files, medium, plain));
    double page = TimeCopyPageRun(files, medium, install);
    if (page <= 0) {
      printf("bench: the copy page did not complete the copy\n");
      return 1;
    }
    pageTimes.push_back(page);
  }
  // Noise on this machine only ever adds time: the best round of each way is the figure,
  // the median is shown beside it.
  double plainSeconds = Best(plainTimes), blockSeconds = Best(blockTimes), pageSeconds = Best(pageTimes);
  printf("best (median) of %d rounds:\n", kRounds);
  printf("plain CopyFileA loop:  %.3f s (%.3f s), %.0f MB/s\n", plainSeconds, Median(plainTimes), mb / plainSeconds);
  printf("plain 8 KB block loop: %.3f s (%.3f s), %.0f MB/s\n", blockSeconds, Median(blockTimes), mb / blockSeconds);
  printf("copy page:             %.3f s (%.3f s), %.0f MB/s\n", pageSeconds, Median(pageTimes), mb / pageSeconds);
  printf("throughput ratio (copy page / plain CopyFileA loop): %.2f (medians: %.2f; goal: at least 0.80)\n",
         plainSeconds / pageSeconds, Median(plainTimes) / Median(pageTimes));
  printf("throughput ratio (copy page / plain 8 KB block loop): %.2f\n", blockSeconds / pageSeconds);

  // The cancel question is timed over a longer copy: the large file many times over.
  std::vector<BenchFile> many;
  for (int i = 0; i < 24; ++i) many.push_back(files[0]);
  std::string longMedium = ui::MakeMedium("bench\\lang", LongScript(install, files[0], many.size()).c_str());
  ui::WriteFile(ui::JoinPath(longMedium, files[0].Name), ui::PatternBytes(files[0].Size, 0));
  std::vector<double> latencies = CancelLatencies(longMedium, install, 7);
  ui::RemoveTree(root);
  if (latencies.empty()) {
    printf("cancel latency: not measured (no cancel question appeared)\n");
    return 1;
  }
  std::sort(latencies.begin(), latencies.end());
  printf("cancel latency over %zu clicks: median %.1f ms, max %.1f ms (goal: under 50 ms)\n", latencies.size(),
         latencies[latencies.size() / 2], latencies.back());
  return 0;
}
