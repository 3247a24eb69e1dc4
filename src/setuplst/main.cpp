// setuplst: the publisher's tool for a medium's SETUP.LST.
//
//   setuplst check MEDIUM                     what the setup would report, and what a user finds later
//   setuplst fill MEDIUM                      size, date and version of every File<n> from the files
//   setuplst add MEDIUM SECTION DEST FILE...  new File<n> entries with their figures
//
// Exit code: 0 without errors, 1 with errors, 2 when the medium cannot be read.
#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "setuplst/setuplst.h"
#include "startup/text.h"

std::vector<Finding> Findings;

void Report(uint32_t line, FindingKind kind, const char* format, ...) {
  va_list args;
  va_start(args, format);
  char text[2048];
  FormatTextV(text, sizeof text, format, args);
  va_end(args);
  Findings.push_back({line, kind, text});
}

int PrintFindings(const std::string& scriptName) {
  std::stable_sort(Findings.begin(), Findings.end(), [](const Finding& a, const Finding& b) {
    return a.Kind == kFindingNote ? false : b.Kind == kFindingNote ? true : a.Line < b.Line;
  });
  static const char* const kKinds[] = {"error", "warning", "note"};
  int errors = 0;
  for (const Finding& finding : Findings) {
    errors += finding.Kind == kFindingError;
    PrintLine(scriptName + ":" + std::to_string(finding.Line) + ": " + kKinds[finding.Kind] + ": " + finding.Text);
  }
  return errors;
}

namespace {

int Usage() {
  PrintLine("Aufruf: setuplst check MEDIUM");
  PrintLine("        setuplst fill MEDIUM");
  PrintLine("        setuplst add MEDIUM ABSCHNITT ZIEL DATEI...");
  PrintLine("MEDIUM ist das Verzeichnis mit SETUP.LST; ZIEL etwa $(AppPath) oder $(WinSysPath).");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  std::string command = argv[1], medium = argv[2];
  if (command == "check" && argc == 3) return CheckCommand(medium);
  if (command == "fill" && argc == 3) return FillCommand(medium);
  if (command == "add" && argc >= 6) return AddCommand(medium, argv[3], argv[4], std::vector<std::string>(argv + 5, argv + argc));
  return Usage();
}
