#include "startup/command_line.h"

#include <cstring>

#include "startup/paths.h"
#include "startup/text.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// 1 when token begins with name (letters in any case); *value then points behind it.
int Switch(const char* token, const char* name, const char** value) {
  size_t i = 0;
  for (; name[i]; ++i)
    if (Lower(token[i]) != Lower(name[i])) return 0;
  *value = token + i;
  return 1;
}

// 1 when token is the switch name itself (letters in any case), with nothing behind it.
int IsSwitch(const char* token, const char* name) {
  const char* rest = nullptr;
  return Switch(token, name, &rest) && !rest[0];
}

// The next blank-separated token, its quotes removed; 0 at the end of the line. *tooLong tells
// whether it was cut.
int NextToken(const char** position, char (&token)[1024], int* tooLong) {
  const char* p = *position;
  *tooLong = 0;
  while (IsBlank(*p)) ++p;
  if (!*p) return 0;
  size_t n = 0;
  bool quoted = false;
  for (; *p && (quoted || !IsBlank(*p)); ++p) {
    if (*p == '"') {
      quoted = !quoted;
      continue;
    }
    if (n + 1 >= sizeof token) *tooLong = 1;
    else token[n++] = *p;
  }
  token[n] = 0;
  *position = p;
  return 1;
}

// A folder given in full: "X:\..." or a network path "\\server\...". A relative one would name a
// folder of the medium, "X:..." one below a drive's current folder.
bool IsFullFolder(const char* path) {
  char drive = Lower(path[0]);
  if (drive >= 'a' && drive <= 'z') return path[1] == ':' && path[2] == '\\';
  return path[0] == '\\' && path[1] == '\\' && path[2] && path[2] != '\\';
}

int Refuse(CommandLine* line, const char* format, const char* token) {
  FormatText(line->Error, format, token);
  return 0;
}

int ReadOptions(const char* value, CommandLine* line) {
  line->HasOptions = 1;
  line->OptionCount = 0;
  for (const char* p = value; *p;) {
    int64_t n = 0;
    const char* start = p;
    while (*p >= '0' && *p <= '9' && n <= 1000000) n = n * 10 + (*p++ - '0');
    if (p == start || n < 1 || n > 1000000 || (*p && *p != ',') || line->OptionCount == kMaxChosenOptions) return 0;
    line->Options[line->OptionCount++] = static_cast<int32_t>(n);
    if (*p == ',') {
      ++p;
      if (!*p) return 0;  // a list that ends in a comma lacks a number
    }
  }
  return 1;
}

}  // namespace

int ParseCommandLine(const char* text, CommandLine* line) {
  memset(line, 0, sizeof *line);
  if (!text) return 1;
  line->Autorun = StartsWith(text, "/AUTORUN");
  line->AllFiles = StartsWith(text, "/ALL");
  // The medium's start program takes no further switches: whatever follows stays as it was.
  if (line->Autorun) return 1;
  char token[1024];
  int tooLong = 0;
  const char* value = nullptr;
  // Whether the run may show a box is known before any word is judged: a bad word before /S
  // must not bring up a box that nobody answers.
  for (const char* position = text; NextToken(&position, token, &tooLong);)
    if (IsSwitch(token, "/S")) line->Silent = 1;
  const char* position = text;
  for (bool first = true; NextToken(&position, token, &tooLong); first = false) {
    if (first && line->AllFiles) continue;  // "/ALL", "/ALLES": as the start of the line has it
    if (Switch(token, "/DIR=", &value)) {
      if (!IsFullFolder(value) || strlen(value) >= sizeof line->Dir) return Refuse(line, "Ungültiger Wert: %s", token);
      line->HasDir = 1;
      CopyText(line->Dir, value);
    } else if (Switch(token, "/GROUP=", &value)) {
      if (strlen(value) >= sizeof line->Group) return Refuse(line, "Ungültiger Wert: %s", token);
      line->HasGroup = 1;
      CopyText(line->Group, value);
    } else if (Switch(token, "/OPTIONS=", &value)) {
      if (tooLong || !ReadOptions(value, line)) return Refuse(line, "Ungültiger Wert: %s", token);
    } else if (IsSwitch(token, "/RUN")) {
      line->RunProgram = 1;
    } else if (Switch(token, "/UNINSTALL", &value) && (!value[0] || value[0] == '=')) {
      line->Uninstall = 1;
      if (value[0] && (!IsFullFolder(value + 1) || strlen(value + 1) >= sizeof line->UninstallDir))
        return Refuse(line, "Ungültiger Wert: %s", token);
      if (value[0]) CopyText(line->UninstallDir, value + 1);
    } else if (line->Silent && !IsSwitch(token, "/S")) {
      // An administrator's typo must not install with defaults. A run with windows ignores
      // words of others (a shortcut's or a menu program's), as the setup always has.
      return Refuse(line, "Unbekannter Schalter: %s", token);
    }
  }
  return 1;
}

int OptionChosen(const CommandLine& line, int32_t n) {
  for (int i = 0; i < line.OptionCount; ++i)
    if (line.Options[i] == n) return 1;
  return 0;
}
