// setuplst: the publisher's tool for a medium's SETUP.LST and for branding setup.exe.
//
// Results go to standard output, messages to standard error. Exit codes: 0 clean, 1 findings
// (errors of check, entries fill left alone, a refused add or brand), 2 a wrong command line,
// 3 a file that cannot be read or written.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

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

constexpr const char* kUsage[] = {
    "Aufruf: setuplst check MEDIUM",
    "        setuplst fill MEDIUM",
    "        setuplst add [--new-section] MEDIUM ABSCHNITT ZIEL DATEI...",
    "        setuplst brand SETUP.EXE NEU.EXE [--company TEXT] [--product TEXT] [--notice1 TEXT]",
    "                       [--notice2 TEXT] [--icon DATEI.ico] [--bitmap DATEI.bmp]",
    "        setuplst --help | --version",
    "",
    "check   meldet, was Setup mit SETUP.LST tun wird: Fehler, Warnungen, Platzbedarf",
    "fill    trägt Größe, Datum und Version jeder Datei in ihren File<n>-Eintrag ein",
    "add     hängt File<n>-Einträge an einen Abschnitt an (--new-section: auch an einen neuen)",
    "brand   schreibt eine Kopie von setup.exe mit Firma, Produkt, Hinweistexten, Symbol und Bild",
    "",
    "MEDIUM ist das Verzeichnis mit SETUP.LST, oder das Verzeichnis mit DISK1, DISK2, ... für",
    "einen Datenträgersatz (SETUP.LST auf DISK1). ZIEL etwa $(AppPath) oder $(WinSysPath).",
    "Texte in UTF-8 (unter Windows im ANSI-Zeichensatz); Symbol und Bild ohne Alphakanal.",
    "",
    "Rückgabewert: 0 ohne Befund, 1 mit Fehlern oder abgelehnt, 2 falscher Aufruf,",
    "3 eine Datei kann nicht gelesen oder geschrieben werden.",
};

int Usage(bool asked) {
  for (const char* line : kUsage) {
    if (asked) PrintLine(line);
    else if (line[0]) PrintError(line);
    else break;
  }
  if (!asked) PrintError("setuplst --help zeigt mehr");
  return asked ? kExitClean : kExitUsage;
}

int Brand(const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage(false);
  BrandRequest request;
  static const struct {
    const char* Option;
    std::string BrandRequest::*Field;
  } kOptions[] = {{"--company", &BrandRequest::Company}, {"--product", &BrandRequest::Product},
                  {"--notice1", &BrandRequest::Notice1}, {"--notice2", &BrandRequest::Notice2},
                  {"--icon", &BrandRequest::IconFile},   {"--bitmap", &BrandRequest::BitmapFile}};
  for (size_t i = 2; i < args.size(); ++i) {
    std::string option = args[i], value;
    size_t equals = option.find('=');
    bool inline_value = option.compare(0, 2, "--") == 0 && equals != std::string::npos;
    if (inline_value) value = option.substr(equals + 1), option.resize(equals);
    else if (i + 1 < args.size()) value = args[i + 1];
    auto known = std::find_if(std::begin(kOptions), std::end(kOptions), [&](const auto& o) { return option == o.Option; });
    if (known == std::end(kOptions) || (!inline_value && i + 1 >= args.size())) {
      PrintError(known == std::end(kOptions) ? "unbekannte Angabe " + option : option + " ohne Wert");
      return Usage(false);
    }
    request.*(known->Field) = value;
    request.Given |= 1u << (known - kOptions);
    if (!inline_value) ++i;
  }
  return BrandCommand(args[0], args[1], request);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h" || args[0] == "/?")) return Usage(true);
  if (args.size() == 1 && args[0] == "--version") {
    PrintLine("setuplst 2.0");
    return kExitClean;
  }
  if (args.size() < 2) return Usage(false);
  std::string command = args[0];
  args.erase(args.begin());
  if (command == "check" && args.size() == 1) return CheckCommand(args[0]);
  if (command == "fill" && args.size() == 1) return FillCommand(args[0]);
  if (command == "add") {
    auto option = std::find(args.begin(), args.end(), "--new-section");
    bool newSection = option != args.end();
    if (newSection) args.erase(option);
    if (args.size() >= 4 && args[0].compare(0, 2, "--") != 0)
      return AddCommand(args[0], args[1], args[2], std::vector<std::string>(args.begin() + 3, args.end()), newSection);
  }
  if (command == "brand") return Brand(args);
  return Usage(false);
}
