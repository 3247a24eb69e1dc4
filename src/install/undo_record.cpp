#include "install/undo_record.h"

#include <cstdlib>
#include <cstring>

#include "startup/codepage.h"
#include "startup/merge_sort.h"
#include "startup/text.h"

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool NeedsEscape(unsigned char c) { return c < 0x20 || c == '%' || c == 0x7F; }

// Ends the escaped field in place; 0 for a "%" not followed by two hex digits, or one that
// stands for a byte that needs no escape (a record has one spelling for every text).
int Unescape(char* field) {
  char* out = field;
  for (char* p = field; *p; ++p) {
    if (*p != '%') {
      if (NeedsEscape(static_cast<unsigned char>(*p))) return 0;
      *out++ = *p;
      continue;
    }
    int high = HexValue(p[1]), low = high < 0 ? -1 : HexValue(p[2]);
    if (low < 0) return 0;
    unsigned char c = static_cast<unsigned char>(high << 4 | low);
    if (!NeedsEscape(c) || c == 0) return 0;
    *out++ = static_cast<char>(c);
    p += 2;
  }
  *out = 0;
  return 1;
}

// A decimal number without sign, at most 18 digits.
int ParseCount(const char* text, int64_t* value) {
  size_t n = strlen(text);
  if (n == 0 || n > 18) return 0;
  int64_t v = 0;
  for (size_t i = 0; i < n; ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    v = v * 10 + (text[i] - '0');
  }
  *value = v;
  return 1;
}

// Exactly 16 hex digits.
int ParseTime(const char* text, uint64_t* value) {
  if (strlen(text) != 16) return 0;
  uint64_t v = 0;
  for (int i = 0; i < 16; ++i) {
    int d = HexValue(text[i]);
    if (d < 0) return 0;
    v = v << 4 | static_cast<uint64_t>(d);
  }
  *value = v;
  return 1;
}

int IsRootNumber(uint32_t root) {
  return root == 0x80000000u || root == 0x80000001u || root == 0x80000002u || root == 0x80000003u ||
         root == 0x80000005u;
}

int ParseRoot(const char* text, uint32_t* root) {
  uint64_t v = 0;
  if (strlen(text) != 8) return 0;
  for (int i = 0; i < 8; ++i) {
    int d = HexValue(text[i]);
    if (d < 0) return 0;
    v = v << 4 | static_cast<uint64_t>(d);
  }
  *root = static_cast<uint32_t>(v);
  return IsRootNumber(*root);
}

// A registry key path: not empty, no empty part, no part "." or "..", shorter than 256.
int IsPlainKey(const char* key) {
  size_t n = strlen(key);
  if (n == 0 || n >= 256 || key[0] == '\\' || key[n - 1] == '\\') return 0;
  const char* part = key;
  for (const char* p = key;; ++p) {
    if (*p == '\\' || !*p) {
      size_t length = static_cast<size_t>(p - part);
      if (length == 0 || (length == 1 && part[0] == '.') || (length == 2 && part[0] == '.' && part[1] == '.'))
        return 0;
      if (!*p) return 1;
      part = p + 1;
    }
  }
}

char Lower(char c) { return static_cast<char>(FoldCp1252(static_cast<unsigned char>(c))); }

// 1 when text begins with prefix, compared as Windows compares names.
int StartsWithFolded(const char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix)
    if (Lower(*text) != Lower(*prefix)) return 0;
  return 1;
}

int IsDeviceName(const char* part, size_t length) {
  static const char* const kDevices[] = {"con", "prn", "aux", "nul", "conin$", "conout$", "clock$"};
  size_t base = 0;
  while (base < length && part[base] != '.') ++base;
  char name[8];
  if (base >= sizeof name) return 0;
  for (size_t i = 0; i < base; ++i) name[i] = Lower(part[i]);
  name[base] = 0;
  for (const char* device : kDevices)
    if (strcmp(name, device) == 0) return 1;
  return base == 4 && (StartsWithFolded(name, "com") || StartsWithFolded(name, "lpt")) && name[3] >= '1' &&
         name[3] <= '9';
}

// One part of a path between backslashes.
int IsPlainPart(const char* part, size_t length) {
  if (length == 0 || length > 255) return 0;
  if (part[length - 1] == '.' || part[length - 1] == ' ') return 0;  // also "." and ".."
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(part[i]);
    if (c < 0x20 || strchr("<>:\"/|?*", c)) return 0;
  }
  return !IsDeviceName(part, length);
}

// The length of the root of a plain path ("C:\" 3, "\\server\share\" up to the second part's
// backslash or end); 0 when it has none.
size_t RootLength(const char* path) {
  char first = path[0];
  if (((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z')) && path[1] == ':' && path[2] == '\\')
    return 3;
  if (path[0] != '\\' || path[1] != '\\') return 0;
  const char* server = path + 2;
  const char* end = strchr(server, '\\');
  if (!end || !IsPlainPart(server, static_cast<size_t>(end - server))) return 0;
  const char* share = end + 1;
  const char* shareEnd = strchr(share, '\\');
  size_t shareLength = shareEnd ? static_cast<size_t>(shareEnd - share) : strlen(share);
  if (!IsPlainPart(share, shareLength)) return 0;
  return static_cast<size_t>(share - path) + shareLength + (shareEnd ? 1 : 0);
}

// The folder of a path, without its backslash; 0 when it has none.
int FolderOf(char (&folder)[kUndoPathChars], const char* path) {
  if (CopyText(folder, path) != strlen(path)) return 0;
  char* slash = strrchr(folder, '\\');
  if (!slash) return 0;
  *slash = 0;
  return 1;
}

uint32_t PathHash(const char* path, uint32_t variant) {
  uint32_t hash = 2166136261u ^ variant * 0x9E3779B9u;
  for (const char* p = path; *p; ++p) hash = (hash ^ static_cast<unsigned char>(Lower(*p))) * 16777619u;
  return hash;
}

// --- What an untrusted record may touch -------------------------------------------------------

int SameOrBelow(const char* path, const char* folder) { return SamePath(path, folder) || IsBelow(path, folder); }

// A drive's root, or a share's.
int IsRootFolder(const char* path) {
  size_t root = RootLength(path);
  return root > 0 && strlen(path) <= root;
}

// The Windows folder and everything below it belong to the system.
int IsSystemArea(const UndoPlace& place, const char* path) {
  return (place.WindowsDir[0] && SameOrBelow(path, place.WindowsDir)) ||
         (place.SystemDir[0] && SameOrBelow(path, place.SystemDir));
}

// The install folder is the product's, unless it is a root or holds the system's folders.
int InsideInstallFolder(const UndoPlace& place, const char* path) {
  const char* dir = place.InstallDir;
  if (!dir[0] || IsRootFolder(dir) || IsSystemArea(place, dir)) return 0;
  if ((place.WindowsDir[0] && IsBelow(place.WindowsDir, dir)) || (place.SystemDir[0] && IsBelow(place.SystemDir, dir)))
    return 0;
  for (const char* link : place.LinkFolders)
    if (link && link[0] && SameOrBelow(link, dir)) return 0;
  return IsBelow(path, dir) && !IsSystemArea(place, path);
}

int IsShortcutName(const char* path) {
  const char* dot = strrchr(path, '.');
  if (!dot || strchr(dot, '\\')) return 0;
  return SamePath(dot, ".lnk") || SamePath(dot, ".pif") || SamePath(dot, ".url");
}

int InsideLinkFolders(const UndoPlace& place, const char* path) {
  for (const char* link : place.LinkFolders)
    if (link && link[0] && !IsRootFolder(link) && IsBelow(path, link)) return 1;
  return 0;
}

// A file the record may delete or put back.
int MayTouchFile(const UndoPlace& place, const char* path) {
  return InsideInstallFolder(place, path) ||
         (IsShortcutName(path) && InsideLinkFolders(place, path) && !IsSystemArea(place, path));
}

// A folder the record may remove when empty: one the product's files or shortcuts lie in, or a
// parent of the install folder that the first run created (never a root, never the system's).
int MayRemoveFolder(const UndoPlace& place, const char* folder) {
  if (IsRootFolder(folder) || IsSystemArea(place, folder)) return 0;
  if (InsideInstallFolder(place, folder) || SamePath(folder, place.InstallDir) || InsideLinkFolders(place, folder))
    return 1;
  return place.InstallDir[0] && IsBelow(place.InstallDir, folder);
}

// Libraries whose registration code may be run: the product's own and the system's (nobody but
// an administrator writes there).
int MayLoadLibrary(const UndoPlace& place, const char* path) {
  return InsideInstallFolder(place, path) || IsSystemArea(place, path);
}

// Keys where a value written in a user's name would start programs or change the system's
// rules: an untrusted record may not write or remove anything there.
int IsGuardedKey(uint32_t root, const char* key) {
  static const char* const kGuarded[] = {
      "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
      "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
      "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
      "Software\\Microsoft\\Windows\\CurrentVersion\\RunServices",
      "Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce",
      "Software\\Microsoft\\Windows\\CurrentVersion\\Policies",
      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
      "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
      "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
      "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
      "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options",
      "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
      "Software\\Policies",
      "Software\\Classes",
      "System",
      "Security",
      "SAM",
  };
  // Types that start programs whenever a file is opened.
  static const char* const kGuardedClasses[] = {
      "*", ".exe", ".com", ".bat", ".cmd", ".pif", ".scr", ".lnk", ".msi", ".vbs", ".js", ".reg", "exefile", "comfile",
      "batfile", "cmdfile", "piffile", "scrfile", "lnkfile", "regfile", "Folder", "Directory", "Drive", "CLSID",
      "AppID", "Interface", "TypeLib", "Protocols",
  };
  auto under = [&key](const char* guarded) {
    size_t n = strlen(guarded);
    return StartsWithFolded(key, guarded) && (key[n] == 0 || key[n] == '\\');
  };
  if (root == 0x80000000u) {
    for (const char* guarded : kGuardedClasses)
      if (under(guarded)) return 1;
    return 0;
  }
  // Below HKEY_USERS the same keys lie one level down, below the account's own key.
  if (root == 0x80000003u) {
    const char* below = strchr(key, '\\');
    if (!below) return 1;
    key = below + 1;
  }
  for (const char* guarded : kGuarded)
    if (under(guarded)) return 1;
  return 0;
}

// The product's own entry in the system's list of software.
int IsOwnEntryKey(const UndoPlace& place, uint32_t root, const char* key) {
  static const char kUninstall[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  if (root != 0x80000002u || !StartsWithFolded(key, kUninstall)) return 0;
  const char* name = key + strlen(kUninstall);
  // "<company> <product>", a backslash of the names written as "-".
  char own[kUndoPathChars];
  if (!FormatWholeText(own, "%s %s", place.Company, place.Product)) return 0;
  for (char* p = own; *p; ++p)
    if (*p == '\\') *p = '-';
  return SamePath(name, own);
}

// INI files an untrusted record may change: the product's own, and the Windows folder's, but
// not those the system starts programs from.
int MayChangeIni(const UndoPlace& place, const char* file) {
  if (InsideInstallFolder(place, file)) return 1;
  char folder[kUndoPathChars];
  if (!place.WindowsDir[0] || !FolderOf(folder, file) || !SamePath(folder, place.WindowsDir)) return 0;
  const char* name = strrchr(file, '\\') + 1;
  static const char* const kSystemIni[] = {"win.ini", "system.ini", "boot.ini", "control.ini", "protocol.ini"};
  for (const char* ini : kSystemIni)
    if (SamePath(name, ini)) return 0;
  return 1;
}

// --- The parser -----------------------------------------------------------------------------

constexpr int kMaxFields = 132;  // the tag, a root, a key and up to 64 value pairs

struct Fields {
  char* At[kMaxFields];
  int Count;
};

// Splits a line at its tabs and unescapes every field in place; 0 when there are too many or a
// field is malformed.
int SplitLine(char* line, Fields* fields) {
  fields->Count = 0;
  for (char* p = line;;) {
    if (fields->Count == kMaxFields) return 0;
    fields->At[fields->Count++] = p;
    char* tab = strchr(p, '\t');
    if (tab) *tab = 0;
    if (!Unescape(p)) return 0;
    if (!tab) return 1;
    p = tab + 1;
  }
}

// "-", or a decimal type, ":" and an even number of hex digits.
int ValidData(const char* text) {
  if (strcmp(text, "-") == 0) return 1;
  const char* colon = strchr(text, ':');
  if (!colon || colon == text || colon - text > 10) return 0;
  for (const char* p = text; p < colon; ++p)
    if (*p < '0' || *p > '9') return 0;
  size_t hex = strlen(colon + 1);
  if (hex % 2 != 0) return 0;
  for (const char* p = colon + 1; *p; ++p)
    if (HexValue(*p) < 0) return 0;
  return 1;
}

struct Parser {
  const UndoPlace* Place;
  int Trusted;
  UndoRecord* Record;
  UndoRefusal Refuse;
  void* Context;
  int32_t Line;
  int RunOpen;
  int RunRefused;  // the current RUN line was refused: its entries go with it
};

void RefuseLine(Parser* parser, const char* reason) {
  parser->Record->Refused += 1;
  if (parser->Refuse) parser->Refuse(parser->Context, parser->Line, reason);
}

const char* CheckEntry(Parser* parser, const Fields& f, UndoEntry* e) {
  const UndoPlace& place = *parser->Place;
  char kind = f.At[0][0];
  if (f.At[0][1] != 0) return "unbekannter Eintrag";
  e->Kind = kind;
  auto count = [&f](int n) { return f.Count == n; };
  auto file = [&](const char* path) -> const char* {
    if (!IsPlainPath(path)) return "ungültiger Pfad";
    if (parser->Trusted || MayTouchFile(place, path)) return nullptr;
    // A note that a file might be written, or was found current, asks nothing of anyone: one
    // that reaches beyond the record's bounds is left out without a word.
    return kind == kUndoPending || kind == kUndoCurrent ? "" : "Pfad außerhalb des Installationsverzeichnisses";
  };
  const char* why = nullptr;
  switch (kind) {
    case kUndoPending:
    case kUndoReplaced:
    case kUndoNewFile: {
      int withAside = kind != kUndoNewFile;
      if (!count(withAside ? 5 : 4)) return "falsche Anzahl Felder";
      e->Path = f.At[1];
      if ((why = file(e->Path))) return why;
      if (withAside) {
        e->Aside = f.At[2];
        if (!IsAsidePathOf(e->Aside, e->Path)) return "ungültiger Name der Sicherungskopie";
      }
      if (!ParseCount(f.At[withAside ? 3 : 2], &e->Size) || !ParseTime(f.At[withAside ? 4 : 3], &e->Time))
        return "ungültige Größe oder Zeit";
      return nullptr;
    }
    case kUndoOwnFile:
    case kUndoCurrent:
      if (!count(2)) return "falsche Anzahl Felder";
      e->Path = f.At[1];
      return file(e->Path);
    case kUndoFolder:
      if (!count(2)) return "falsche Anzahl Felder";
      e->Path = f.At[1];
      if (!IsPlainPath(e->Path) || IsRootFolder(e->Path)) return "ungültiger Pfad";
      if (!parser->Trusted && !MayRemoveFolder(place, e->Path)) return "Verzeichnis außerhalb des Installationsverzeichnisses";
      return nullptr;
    case kUndoShared:
      if (!count(3)) return "falsche Anzahl Felder";
      e->Path = f.At[1];
      e->Prior = f.At[2];
      if (!IsPlainPath(e->Path)) return "ungültiger Pfad";
      return ValidData(e->Prior) ? nullptr : "ungültiger Zählerstand";
    case kUndoRegistered:
    case kUndoUnregistered:
      if (!count(2)) return "falsche Anzahl Felder";
      if (kind == kUndoUnregistered && !parser->Trusted) return "Eintrag der Deinstallation";
      e->Path = f.At[1];
      if (!IsPlainPath(e->Path)) return "ungültiger Pfad";
      if (!parser->Trusted && !MayLoadLibrary(place, e->Path)) return "Bibliothek außerhalb des Installationsverzeichnisses";
      return nullptr;
    case kUndoKey:
    case kUndoValue:
    case kUndoKeyDeleted: {
      if ((kind == kUndoKey && !count(3)) || (kind == kUndoValue && !count(5)) ||
          (kind == kUndoKeyDeleted && (f.Count < 3 || (f.Count - 3) % 2 != 0)))
        return "falsche Anzahl Felder";
      if (!ParseRoot(f.At[1], &e->Root)) return "ungültiger Hauptschlüssel";
      e->Path = f.At[2];
      if (!IsPlainKey(e->Path)) return "ungültiger Schlüssel";
      // Removing a key that is empty takes nothing from anyone; values are another matter.
      if (!parser->Trusted && kind != kUndoKey && IsGuardedKey(e->Root, e->Path) && !IsOwnEntryKey(place, e->Root, e->Path))
        return "geschützter Schlüssel";
      if (kind == kUndoValue) {
        e->Name = f.At[3];
        e->Prior = f.At[4];
        if (strlen(e->Name) >= 16384 || !ValidData(e->Prior)) return "ungültiger Wert";
      }
      if (kind == kUndoKeyDeleted) {
        // Every field is hex, so no field was shortened by unescaping: the values lie one after
        // the other in the line, each ended by its zero (DeletedValueAt walks them).
        for (int i = 3; i < f.Count; ++i)
          if (!ValidData(f.At[i]) || strcmp(f.At[i], "-") == 0 || (i % 2 == 1 && strncmp(f.At[i], "0:", 2) != 0))
            return "ungültiger Wert";
        e->Prior = f.Count > 3 ? f.At[3] : "";
        e->Flags = (f.Count - 3) / 2;
      }
      return nullptr;
    }
    case kUndoIni: {
      if (!count(7)) return "falsche Anzahl Felder";
      e->Path = f.At[1];
      e->Name = f.At[2];
      e->Key = f.At[3];
      e->Prior = f.At[4];
      if (!IsPlainPath(e->Path)) return "ungültiger Pfad";
      if (!parser->Trusted && !MayChangeIni(place, e->Path)) return "INI-Datei außerhalb des Installationsverzeichnisses";
      if (!e->Name[0] || !e->Key[0] || strlen(e->Name) >= 256 || strlen(e->Key) >= 256) return "ungültiger Eintrag";
      if (strcmp(e->Prior, "-") != 0 && (e->Prior[0] != '=' || strlen(e->Prior) > 1024)) return "ungültiger Wert";
      int fileExisted = strcmp(f.At[5], "1") == 0, sectionExisted = strcmp(f.At[6], "1") == 0;
      if ((!fileExisted && strcmp(f.At[5], "0") != 0) || (!sectionExisted && strcmp(f.At[6], "0") != 0))
        return "ungültiger Eintrag";
      e->Flags = fileExisted | sectionExisted << 1;
      return nullptr;
    }
  }
  return "unbekannter Eintrag";
}

void ParseLine(Parser* parser, char* line) {
  UndoRecord* record = parser->Record;
  Fields f;
  if (!SplitLine(line, &f)) {
    RefuseLine(parser, "fehlerhafte Zeile");
    return;
  }
  const char* tag = f.At[0];
  if (strcmp(tag, "RUN") == 0 || strcmp(tag, "END") == 0) {
    int64_t n = 0;
    int isRun = tag[0] == 'R';
    uint64_t time = 0;
    if (f.Count != (isRun ? 3 : 2) || !ParseCount(f.At[1], &n) || n < 1 || n > 0x7FFFFFFF ||
        (isRun && !ParseTime(f.At[2], &time))) {
      RefuseLine(parser, "fehlerhafte Zeile");
      return;
    }
    if (isRun) {
      // Runs count up, and one ends before the next begins: a record that goes back is refused.
      if (parser->RunOpen || n <= record->LastRun) {
        RefuseLine(parser, "Lauf außer der Reihe");
        parser->RunRefused = 1;
        return;
      }
      parser->RunOpen = 1;
      parser->RunRefused = 0;
      record->LastRun = static_cast<int32_t>(n);
      record->OpenRunOffset = static_cast<size_t>(line - record->Bytes);
      record->OpenRunTime = time;
    } else {
      if (!parser->RunOpen || n != record->LastRun) {
        RefuseLine(parser, "Ende eines Laufs außer der Reihe");
        return;
      }
      parser->RunOpen = 0;
    }
    return;
  }
  if (!parser->RunOpen || parser->RunRefused) {
    RefuseLine(parser, "Eintrag außerhalb eines Laufs");
    return;
  }
  UndoEntry* e = &record->Entries[record->Count];
  memset(e, 0, sizeof *e);
  e->Run = record->LastRun;
  e->Line = parser->Line;
  if (const char* why = CheckEntry(parser, f, e)) {
    if (why[0]) RefuseLine(parser, why);
    return;
  }
  record->Count += 1;
}

}  // namespace

// --- Building lines ---------------------------------------------------------------------------

UndoLine::UndoLine(const char* tag) { Put(tag, strlen(tag)); }

void UndoLine::Put(const char* bytes, size_t n) {
  if (!fits_ || n > sizeof text_ - 3 - length_) {
    fits_ = false;
    return;
  }
  memcpy(text_ + length_, bytes, n);
  length_ += n;
}

void UndoLine::Field() { Put("\t", 1); }

void UndoLine::PutEscaped(const char* text) {
  for (const char* p = text; *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (!NeedsEscape(c)) {
      Put(p, 1);
      continue;
    }
    char escaped[3] = {'%', kHexDigits[c >> 4], kHexDigits[c & 15]};
    Put(escaped, 3);
  }
}

UndoLine& UndoLine::Text(const char* text) {
  Field();
  PutEscaped(text);
  return *this;
}

UndoLine& UndoLine::Number(int64_t value) {
  char digits[24];
  FormatText(digits, "%lld", static_cast<long long>(value));
  Field();
  Put(digits, strlen(digits));
  return *this;
}

UndoLine& UndoLine::Time(uint64_t fileTime) {
  char digits[17];
  for (int i = 0; i < 16; ++i) digits[i] = kHexDigits[fileTime >> (60 - 4 * i) & 15];
  Field();
  Put(digits, 16);
  return *this;
}

UndoLine& UndoLine::Data(uint32_t type, const void* bytes, size_t size) {
  Field();
  if (!bytes) {
    Put("-", 1);
    return *this;
  }
  char head[16];
  FormatText(head, "%lu:", static_cast<unsigned long>(type));
  Put(head, strlen(head));
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  for (size_t i = 0; i < size; ++i) {
    char pair[2] = {kHexDigits[p[i] >> 4], kHexDigits[p[i] & 15]};
    Put(pair, 2);
  }
  return *this;
}

UndoLine& UndoLine::Prior(const char* text) {
  Field();
  if (!text) {
    Put("-", 1);
    return *this;
  }
  Put("=", 1);
  PutEscaped(text);
  return *this;
}

const char* UndoLine::Finish(size_t* length) {
  Put("\r\n", 2);
  if (!fits_) return nullptr;
  text_[length_] = 0;
  *length = length_;
  return text_;
}

// --- Reading --------------------------------------------------------------------------------

size_t UndoHeaderN(char* out, size_t cap, const char* company, const char* product, const char* installDir) {
  UndoLine line("UNDO");
  line.Number(kUndoVersion).Text(company).Text(product).Text(installDir);
  size_t length = 0;
  const char* text = line.Finish(&length);
  if (!text || length >= cap) return 0;
  memcpy(out, text, length + 1);
  return length;
}

int ParseUndoRecord(char* bytes, size_t size, const UndoPlace& place, int trusted, UndoRecord* record,
                    UndoRefusal refuse, void* context) {
  memset(record, 0, sizeof *record);
  record->Bytes = bytes;
  if (!bytes) return 0;
  // Every line ends in "\r\n"; a zero byte ends nothing and is refused with its line.
  size_t lines = 0;
  for (size_t i = 0; i + 1 < size; ++i)
    if (bytes[i] == '\r' && bytes[i + 1] == '\n') ++lines;
  record->Entries = static_cast<UndoEntry*>(malloc((lines ? lines : 1) * sizeof(UndoEntry)));
  if (!record->Entries) return 0;
  Parser parser = {&place, trusted, record, refuse, context, 0, 0, 0};
  size_t start = 0;
  int headerSeen = 0;
  while (start < size) {
    size_t end = start;
    while (end + 1 < size && !(bytes[end] == '\r' && bytes[end + 1] == '\n')) ++end;
    parser.Line += 1;
    if (end + 1 >= size) {
      // A line without its end: the last note of a run that was killed while writing it. Its
      // change was never made (a note is complete on disk before its change starts).
      RefuseLine(&parser, "unvollständige Zeile");
      break;
    }
    bytes[end] = 0;
    char* line = bytes + start;
    start = end + 2;
    if (strlen(line) != static_cast<size_t>(bytes + end - line)) {  // a zero byte inside the line
      RefuseLine(&parser, "fehlerhafte Zeile");
      if (!headerSeen) return 0;
      continue;
    }
    if (!headerSeen) {
      Fields f;
      int64_t version = 0;
      if (!SplitLine(line, &f) || f.Count != 5 || strcmp(f.At[0], "UNDO") != 0 || !ParseCount(f.At[1], &version) ||
          version != kUndoVersion) {
        RefuseLine(&parser, "kein Protokoll von Setup");
        return 0;
      }
      if (strcmp(f.At[2], place.Company) != 0 || strcmp(f.At[3], place.Product) != 0) {
        RefuseLine(&parser, "Protokoll eines anderen Produkts");
        return 0;
      }
      if (!SamePath(f.At[4], place.InstallDir)) {
        RefuseLine(&parser, "Protokoll eines anderen Verzeichnisses");
        return 0;
      }
      headerSeen = 1;
      continue;
    }
    ParseLine(&parser, line);
  }
  if (!headerSeen) return 0;
  record->OpenRun = parser.RunOpen ? record->LastRun : 0;
  return 1;
}

namespace {

// The line that ends at end (just past its "\r\n"): its start, and its length without the line
// end; null when no "\r\n" ends there (a line cut off, as the parser also sees it).
const char* LineBefore(const char* bytes, const char* end, size_t* length) {
  if (end - bytes < 2 || end[-2] != '\r' || end[-1] != '\n') return nullptr;
  const char* stop = end - 2;
  const char* start = stop;
  while (start - bytes >= 2 && !(start[-2] == '\r' && start[-1] == '\n')) --start;
  if (start - bytes < 2) start = bytes;
  *length = static_cast<size_t>(stop - start);
  return start;
}

// The run number of a "RUN" or "END" line as text, up to the next tab or the line's end.
size_t RunNumber(const char* line, size_t length, const char** number) {
  *number = line + 4;
  size_t n = 0;
  while (4 + n < length && line[4 + n] != '\t') ++n;
  return n;
}

}  // namespace

int UndoRecordEndsClosed(const char* bytes, size_t size) {
  if (!bytes) return 0;
  size_t length = 0;
  const char* last = LineBefore(bytes, bytes + size, &length);
  if (!last || length < 5 || memcmp(last, "END\t", 4) != 0) return 0;
  const char *endNumber, *runNumber;
  size_t endDigits = RunNumber(last, length, &endNumber);
  if (4 + endDigits != length) return 0;  // "END" has the number alone
  for (const char* line = last; line > bytes;) {
    line = LineBefore(bytes, line, &length);
    if (!line) return 0;
    if (length < 4 || memcmp(line, "RUN\t", 4) != 0) continue;
    size_t runDigits = RunNumber(line, length, &runNumber);
    return runDigits == endDigits && endDigits > 0 && memcmp(runNumber, endNumber, endDigits) == 0;
  }
  return 0;
}

void FreeUndoRecord(UndoRecord* record) {
  free(record->Entries);
  free(record->Bytes);
  memset(record, 0, sizeof *record);
}

int DecodeUndoData(const char* text, uint32_t* type, unsigned char* out, size_t cap, size_t* size, int* present) {
  *present = 0;
  *size = 0;
  *type = 0;
  if (strcmp(text, "-") == 0) return 1;
  const char* colon = strchr(text, ':');
  if (!colon || colon == text || colon - text > 10) return 0;
  uint64_t t = 0;
  for (const char* p = text; p < colon; ++p) {
    if (*p < '0' || *p > '9') return 0;
    t = t * 10 + static_cast<uint64_t>(*p - '0');
  }
  if (t > 0xFFFFFFFFu) return 0;
  size_t hex = strlen(colon + 1);
  if (hex % 2 != 0 || hex / 2 > cap) return 0;
  for (size_t i = 0; i < hex / 2; ++i) {
    int high = HexValue(colon[1 + 2 * i]), low = HexValue(colon[2 + 2 * i]);
    if (high < 0 || low < 0) return 0;
    out[i] = static_cast<unsigned char>(high << 4 | low);
  }
  *type = static_cast<uint32_t>(t);
  *size = hex / 2;
  *present = 1;
  return 1;
}

int DeletedValueAt(const UndoEntry& entry, int32_t index, const char** name, const char** data) {
  if (entry.Kind != kUndoKeyDeleted || index < 0 || index >= entry.Flags) return 0;
  const char* p = entry.Prior;
  for (int32_t i = 0; i < 2 * index; ++i) p += strlen(p) + 1;
  *name = p;
  *data = p + strlen(p) + 1;
  return 1;
}

int FoldFileEntries(const UndoRecord& record, int32_t* newest, unsigned char* oldest) {
  // Sorted by path (folded), then by position: the entries of one path stand together, oldest
  // first. A merge sort over indices keeps it n log n for records of many thousand files.
  int32_t n = record.Count;
  int32_t* order = static_cast<int32_t*>(malloc((n ? n : 1) * sizeof(int32_t) * 2));
  if (!order) return 0;
  int32_t* scratch = order + n;
  int32_t files = 0;
  for (int32_t i = 0; i < n; ++i) {
    newest[i] = -1;
    oldest[i] = 0;
    char kind = record.Entries[i].Kind;
    if (kind == kUndoNewFile || kind == kUndoReplaced) order[files++] = i;
  }
  auto before = [&record](int32_t a, int32_t b) {
    const unsigned char* x = reinterpret_cast<const unsigned char*>(record.Entries[a].Path);
    const unsigned char* y = reinterpret_cast<const unsigned char*>(record.Entries[b].Path);
    for (; *x && FoldCp1252(*x) == FoldCp1252(*y); ++x, ++y) {
    }
    int c = FoldCp1252(*x) - FoldCp1252(*y);
    return c != 0 ? c < 0 : a < b;
  };
  MergeSortIndices(order, scratch, files, before);
  for (int32_t group = 0; group < files;) {
    int32_t end = group + 1;
    while (end < files && SamePath(record.Entries[order[end]].Path, record.Entries[order[group]].Path)) ++end;
    for (int32_t i = group; i < end; ++i) newest[order[i]] = order[end - 1];
    oldest[order[group]] = 1;
    group = end;
  }
  free(order);
  return 1;
}

// --- Paths ----------------------------------------------------------------------------------

int SamePath(const char* a, const char* b) {
  for (; *a && Lower(*a) == Lower(*b); ++a, ++b) {
  }
  return Lower(*a) == Lower(*b);
}

int IsBelow(const char* path, const char* folder) {
  size_t n = strlen(folder);
  if (n == 0 || !StartsWithFolded(path, folder)) return 0;
  if (folder[n - 1] == '\\') return path[n] != 0;
  return path[n] == '\\' && path[n + 1] != 0;
}

int IsPlainPath(const char* path) {
  size_t n = strlen(path);
  if (n >= kUndoPathChars) return 0;
  size_t root = RootLength(path);
  if (root == 0) return 0;
  if (root >= n) return 1;
  const char* part = path + root;
  for (const char* p = part;; ++p) {
    if (*p == '\\' || !*p) {
      if (!IsPlainPart(part, static_cast<size_t>(p - part))) return 0;
      if (!*p) return 1;
      part = p + 1;
    }
  }
}

int AsidePathForN(char* out, size_t cap, const char* target, uint32_t variant) {
  char folder[kUndoPathChars];
  if (cap == 0 || !FolderOf(folder, target)) return 0;
  uint32_t hash = PathHash(target, variant);
  char digits[9];
  for (int i = 0; i < 8; ++i) digits[i] = kHexDigits[hash >> (28 - 4 * i) & 15];
  digits[8] = 0;
  static const char* const kForms[][2] = {{"stp", ".old"}, {"~", ""}};
  for (const auto& form : kForms) {
    size_t length = strlen(folder) + 1 + strlen(form[0]) + 8 + strlen(form[1]);
    if (length >= cap || length >= kUndoPathChars) continue;
    FormatTextN(out, cap, "%s\\%s%s%s", folder, form[0], digits, form[1]);
    if (!SamePath(out, target)) return 1;
  }
  out[0] = 0;
  return 0;
}

uint32_t AsideHash(const char* target, uint32_t variant) { return PathHash(target, variant); }

int IsAsidePathOf(const char* aside, const char* target) {
  char a[kUndoPathChars], t[kUndoPathChars];
  if (!FolderOf(a, aside) || !FolderOf(t, target) || !SamePath(a, t) || SamePath(aside, target)) return 0;
  const char* name = strrchr(aside, '\\') + 1;
  size_t prefix = StartsWithFolded(name, "stp") ? 3 : name[0] == '~' ? 1 : 0;
  if (prefix == 0) return 0;
  for (int i = 0; i < 8; ++i)
    if (HexValue(name[prefix + i]) < 0) return 0;
  const char* rest = name + prefix + 8;
  return prefix == 3 ? SamePath(rest, ".old") : rest[0] == 0;
}
