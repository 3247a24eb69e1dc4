// check: what the setup would show while it reads and installs the medium, and what only a
// user would find later, each at the line it is about.
#include <cstring>
#include <iterator>
#include <unordered_map>
#include <unordered_set>

#include "script/option_tree.h"
#include "script/placeholders.h"
#include "setuplst/setuplst.h"
#include "startup/codepage.h"
#include "script/script_profile.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

constexpr size_t kMaxPath = kPathChars - 1;

// Numbered keys and their counts; missing records of the first five fail at run time.
struct NumberedKind {
  const char* Count;
  const char* Key;
  FindingKind MissingKind;
};
constexpr NumberedKind kOptionKinds[] = {
    {"FileCount", "File", kFindingError},         {"RegisterKeyCount", "RegisterKey", kFindingError},
    {"RegisterFileTypeCount", "RegisterFileType", kFindingError}, {"LinkCount", "Link", kFindingError},
    {"IniCount", "Ini", kFindingError},
};
constexpr NumberedKind kSuccessRunKind = {"SuccessRunCount", "SuccessRun", kFindingWarning};
constexpr NumberedKind kDiskKind = {"DiskCount", "Disk", kFindingWarning};

uint32_t LineOf(const ProfileSection* section, const std::string& key) {
  if (!section) return 1;
  const ProfileEntry* entry = ProfileSectionEntry(section, key.c_str());
  return entry ? entry->Line : section->Line ? section->Line : 1;
}

std::string Folded(const std::string& text) {
  std::string folded = text;
  for (char& c : folded) c = static_cast<char>(FoldCp1252(static_cast<unsigned char>(c)));
  return folded;
}

// The number of a key "<kind><digits>" (any letter case), or -1.
long long KeyNumber(const char* name, const char* kind) {
  size_t n = strlen(kind);
  if (Folded(std::string(name, strnlen(name, n))) != Folded(kind) || !name[n]) return -1;
  long long number = 0;
  for (const char* p = name + n; *p; ++p) {
    if (*p < '0' || *p > '9') return -1;
    if (number < (1ll << 40)) number = number * 10 + (*p - '0');
  }
  return number;
}

// The expansion of a script text without any cut; its length tells whether the setup's buffer
// of 260 (or another) characters holds it.
std::string Expanded(const char* text) {
  static char big[1 << 16];
  ExpandPlaceholdersN(big, sizeof big, text, nullptr);
  return big;
}

// --- The file as a whole -----------------------------------------------------------------

uint32_t LineAtOffset(size_t offset) {
  uint32_t line = 1;
  const char* text = Script.Text;
  for (size_t i = 0; i < offset && i < Script.TextSize; ++i)
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= Script.TextSize || text[i + 1] != '\n'))) ++line;
  return line;
}

void CheckEncoding() {
  size_t first = Utf8Offset();
  if (first == SIZE_MAX) return;
  if (Script.Utf8Mark) {
    Report(1, kFindingError, "SETUP.LST ist als UTF-8 (mit Signatur) gespeichert; speichern Sie die Datei als Windows-1252");
    return;
  }
  uint32_t u;
  std::string sequence(Script.Text + first, DecodeUtf8(Script.Text + first, Script.TextSize - first, &u));
  std::string meant(sequence.size(), 0);
  meant.resize(Utf8ToCp1252(sequence.data(), sequence.size(), meant.data()));
  Report(LineAtOffset(first), kFindingError,
         "SETUP.LST ist als UTF-8 gespeichert, Setup liest Windows-1252: \"%s\" erscheint als \"%s\"",
         Shown(meant).c_str(), Shown(sequence).c_str());
}

// Keys and sections the setup never reads: typos, duplicates, numbered keys above their
// count, option sections after a gap.
const NumberedKind* KindsOfSection(const ProfileSection& section, size_t* count) {
  if (Folded(section.Name) == "disks") return *count = 1, &kDiskKind;
  if (Folded(section.Name) == "successrun") return *count = 1, &kSuccessRunKind;
  *count = std::size(kOptionKinds);
  return kOptionKinds;
}

bool WasAskedAndAbsent(const std::string& name) {
  static std::unordered_set<std::string> absent;
  if (absent.empty())
    for (const std::string& asked : AbsentSectionsAsked) absent.insert(Folded(asked));
  return absent.count(Folded(name)) > 0;
}

void CheckUnreadKeys(const ProfileSection& section) {
  size_t kindCount;
  const NumberedKind* kinds = KindsOfSection(section, &kindCount);
  for (uint32_t i = 0; i < section.EntryCount; ++i) {
    const ProfileEntry& entry = section.Entries[i];
    if (entry.IsComment || EntryRead[EntryIndex(&entry)]) continue;
    const ProfileEntry* first = ProfileSectionEntry(&section, entry.Name);
    if (first && first != &entry) {
      Report(entry.Line, kFindingWarning, "doppelter Schlüssel %s: Setup liest nur den in Zeile %u",
             Shown(entry.Name).c_str(), first->Line);
      continue;
    }
    bool numbered = false;
    for (size_t k = 0; k < kindCount && !numbered; ++k) {
      long long number = KeyNumber(entry.Name, kinds[k].Key);
      int count = ProfileImageReadInt(&Script, section.Name, kinds[k].Count);
      if (number <= count) continue;
      numbered = true;
      Report(entry.Line, kFindingWarning, "%s liegt über %s=%d: Setup liest den Schlüssel nicht",
             Shown(entry.Name).c_str(), kinds[k].Count, count);
    }
    if (!numbered) Report(entry.Line, kFindingWarning, "Schlüssel %s wird von Setup nicht gelesen", Shown(entry.Name).c_str());
  }
}

void CheckUnreadSection(const ProfileSection& section) {
  const ProfileSection* first = ProfileImageSection(&Script, section.Name, 0);
  if (first && first != &section) {
    Report(section.Line, kFindingWarning, "doppelter Abschnitt [%s]: Setup liest nur den in Zeile %u",
           Shown(section.Name).c_str(), first->Line);
    return;
  }
  // A numbered section after a gap: the list ended at the lowest number asked for and missing.
  std::string name = section.Name;
  size_t digits = name.size();
  while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
  if (digits < name.size() && digits > 0) {
    std::string stem = name.substr(0, digits);
    long long number = KeyNumber(name.c_str(), stem.c_str()), gap = 0;
    for (const std::string& asked : AbsentSectionsAsked) {
      long long k = KeyNumber(asked.c_str(), stem.c_str());
      if (k >= 1 && k < number && (gap == 0 || k < gap)) gap = k;
    }
    if (gap) {
      Report(section.Line, kFindingWarning,
             "Abschnitt [%s] wird von Setup nie gelesen: [%s] fehlt (Lücke in der Nummerierung)",
             Shown(name).c_str(), Shown(stem + std::to_string(gap)).c_str());
      return;
    }
  }
  Report(section.Line, kFindingWarning, "Abschnitt [%s] wird von Setup nie gelesen", Shown(name).c_str());
}

void CheckWholeFile() {
  CheckEncoding();
  for (uint32_t s = 0; s < Script.SectionCount; ++s) {
    const ProfileSection& section = Script.Sections[s];
    if (s == 0) {
      for (uint32_t i = 0; i < section.EntryCount; ++i)
        if (!section.Entries[i].IsComment) {
          Report(section.Entries[i].Line, kFindingWarning, "Zeilen vor dem ersten Abschnitt werden von Setup nicht gelesen");
          break;
        }
      continue;
    }
    if (!SectionRead[s]) CheckUnreadSection(section);
    else if (WasAskedAndAbsent(section.Name))
      Report(section.Line, kFindingWarning, "Abschnitt [%s] hat keine Schlüssel und gilt für Setup als nicht vorhanden",
             Shown(section.Name).c_str());
    else CheckUnreadKeys(section);
  }
}

// --- Counts -----------------------------------------------------------------------------

// A count above the keys present: the setup keeps an empty record for each missing key.
void CheckCount(const ProfileSection* section, const NumberedKind& kind) {
  if (!section) return;
  int count = ProfileImageReadInt(&Script, section->Name, kind.Count);
  if (count <= 0) return;
  long long present = 0;
  for (uint32_t i = 0; i < section->EntryCount; ++i) {
    const ProfileEntry& entry = section->Entries[i];
    long long number = KeyNumber(entry.Name, kind.Key);
    if (number >= 1 && number <= count && ProfileSectionEntry(section, entry.Name) == &entry && !ValueAsRead(&entry).empty())
      ++present;
  }
  if (present >= count) return;
  std::string missing;
  int listed = 0;
  for (int n = 1; n <= count && listed < 3; ++n) {
    std::string key = kind.Key + std::to_string(n);
    if (!ValueAsRead(ProfileSectionEntry(section, key.c_str())).empty()) continue;
    missing += (listed++ ? ", " : "") + key;
  }
  long long more = count - present - listed;
  if (more > 0) missing += " und " + std::to_string(more) + " weitere";
  Report(LineOf(section, kind.Count), kind.MissingKind, "%s=%d, aber es %s %s: Setup liest dafür einen leeren Eintrag",
         kind.Count, count, count - present > 1 ? "fehlen" : "fehlt", missing.c_str());
}

// --- Texts and records ----------------------------------------------------------------------

// The first "$" of text that the expansion drops: before a character that is neither "(" nor
// a second "$", or at the end (a literal "$" is written "/$"); null when none.
const char* DroppedDollar(const char* text) {
  for (const char* p = text; *p; ++p) {
    if (*p == '/' && p[1] == '$') ++p;
    else if (*p == '$' && p[1] == '$') ++p;
    else if (*p == '$' && p[1] != '(') return p;
  }
  return nullptr;
}

void CheckPlaceholders(uint32_t line, const char* text) {
  if (const char* unknown = UnknownPlaceholder(text)) {
    const char* close = strchr(unknown, ')');
    std::string name(unknown, close ? static_cast<size_t>(close - unknown + 1) : strlen(unknown));
    Report(line, kFindingError, "unbekannter Platzhalter %s: Setup schreibt \"%s\"", Shown(name).c_str(),
           Shown(name.substr(1)).c_str());
  }
  if (DroppedDollar(text))
    Report(line, kFindingError, "ein $ fällt beim Erweitern weg: Setup schreibt \"%s\" (ein $ im Text wird /$ geschrieben)",
           Shown(Expanded(text)).c_str());
  const char* group = strstr(text, "$(Group)");
  if (group && (group == text || group[-1] != '/') && !HasDefaultGroup)
    Report(line, kFindingWarning, "$(Group) bleibt leer: [Settings] DefaultGroup fehlt");
}

// A text that the setup expands into a buffer of cap characters.
void CheckExpanded(uint32_t line, const char* text, size_t cap, const char* what) {
  CheckPlaceholders(line, text);
  size_t length = Expanded(text).size();
  if (length > cap - 1)
    Report(line, kFindingError, "%s wird %u Zeichen lang, Setup hat Platz für %u", what, static_cast<unsigned>(length),
           static_cast<unsigned>(cap - 1));
}

// The script's value of a key, longer than the 1023 characters that the setup reads.
void CheckValueLength(const ProfileEntry* key) {
  if (!key || !key->Value) return;
  char value[kValueChars + 1];
  if (CopyProfileValue(key->Value, value, sizeof value) > kValueChars - 1)
    Report(key->Line, kFindingError, "der Wert ist länger als %d Zeichen: Setup liest nur den Anfang", kValueChars - 1);
}

void CheckTooLong(const ProfileEntry* key, int32_t tooLong, const char* widths) {
  if (tooLong && key) Report(key->Line, kFindingError, "ein Feld ist breiter als erlaubt (%s): Setup kürzt oder verweigert den Eintrag", widths);
}

// A text read into a buffer of cap characters, longer than that.
void CheckTextLength(const ProfileSection* section, const char* key, size_t cap, FindingKind kind) {
  if (!section) return;
  const ProfileEntry* entry = ProfileSectionEntry(section, key);
  if (!entry || !entry->Value) return;
  char value[kValueChars];
  size_t length = CopyProfileValue(entry->Value, value, sizeof value);
  if (length > cap - 1)
    Report(entry->Line, kind, "%s ist %u Zeichen lang, Setup liest höchstens %u", key, static_cast<unsigned>(length),
           static_cast<unsigned>(cap - 1));
}

template <class Record>
const ProfileEntry* RecordKey(const OptionInfo& owner, const char* kind, int32_t i, const Record& record,
                              const char* widths) {
  std::string name = kind + std::to_string(i + 1);
  const ProfileEntry* key = owner.Image ? ProfileSectionEntry(owner.Image, name.c_str()) : nullptr;
  CheckValueLength(key);
  CheckTooLong(key, record.TooLong, widths);
  return key;
}

void CheckRecords(const OptionInfo& owner) {
  const Option& o = *owner.Node;
  for (int32_t i = 0; i < o.RegisterKeyCount; ++i) {
    const RegisterKeyRecord& r = o.RegisterKeys[i];
    const ProfileEntry* key = RecordKey(owner, "RegisterKey", i, r, "Wurzel 31, Schlüsselpfad 99, Werte 259 Zeichen");
    uint32_t line = key ? key->Line : 1;
    CheckExpanded(line, r.KeyPath, kPathChars, "der Schlüsselpfad");
    CheckExpanded(line, r.ValueData, kPathChars, "der Wert");
  }
  for (int32_t i = 0; i < o.RegisterFileTypeCount; ++i) {
    const FileTypeRecord& r = o.RegisterFileTypes[i];
    const ProfileEntry* key = RecordKey(owner, "RegisterFileType", i, r, "Endung 9, Typname 39, übrige 259 Zeichen");
    uint32_t line = key ? key->Line : 1;
    for (const FileTypeEntry& e : r.Entries) {
      if (!e.SubKey[0]) break;
      // The sub key's path is the type name, a backslash and the expanded sub key.
      CheckPlaceholders(line, e.SubKey);
      size_t length = strlen(r.TypeName) + 1 + Expanded(e.SubKey).size();
      if (length > kMaxPath)
        Report(line, kFindingError, "der Unterschlüssel wird %u Zeichen lang, Setup hat Platz für %u",
               static_cast<unsigned>(length), static_cast<unsigned>(kMaxPath));
      for (const char* text : {e.SubKeyDefault, e.SubValueName, e.SubValueData}) CheckExpanded(line, text, kPathChars, "ein Wert");
    }
  }
  for (int32_t i = 0; i < o.IniCount; ++i) {
    const IniRecord& r = o.Inis[i];
    const ProfileEntry* key = RecordKey(owner, "Ini", i, r, "je 259 Zeichen");
    for (const char* text : {r.IniFile, r.IniSection, r.IniKey, r.IniValue})
      CheckExpanded(key ? key->Line : 1, text, kPathChars, "ein Feld");
  }
  for (int32_t i = 0; i < o.LinkCount; ++i) {
    const LinkRecord& r = o.Links[i];
    const ProfileEntry* key = RecordKey(owner, "Link", i, r, "je 259 Zeichen");
    CheckExpanded(key ? key->Line : 1, r.LinkTarget, kPathChars, "das Ziel der Verknüpfung");
    CheckExpanded(key ? key->Line : 1, r.LinkFile, kPathChars, "die Verknüpfungsdatei");
  }
}

// --- File entries ----------------------------------------------------------------------

struct EntryChecks {
  std::unordered_map<std::string, const EntryInfo*> Targets;  // folded installed path
  std::unordered_map<int32_t, int> DisksSeen;
  std::vector<std::string> InstalledPaths;
};

// Options that never both install: an option and the companion that stands in for it.
bool Exclusive(const OptionInfo* a, const OptionInfo* b) {
  return a != b && (a->Node->NoCopyNode == b->Node || b->Node->NoCopyNode == a->Node);
}

void CheckFigures(const EntryInfo& info, const SourceFacts& source, uint32_t line) {
  const FileEntry& e = *info.Entry;
  if (source.Facts.Size == 0)
    Report(line, kFindingError, "die Datei %s ist leer: Setup lehnt die Größe 0 ab (\"Fehlende oder ungültige Dateigröße\" bei jedem Start)",
           Shown(e.SourceName).c_str());
  else if (info.Status != kEntryBadSize && e.Size != source.Facts.Size)
    Report(line, kFindingError, "Fehlerhafte Dateigröße für Datei: %s (SETUP.LST: %lld Bytes, Datei: %lld Bytes)",
           Shown(e.SourceName).c_str(), static_cast<long long>(e.Size), static_cast<long long>(source.Facts.Size));
  uint64_t time = static_cast<uint64_t>(e.FileTimeHigh) << 32 | e.FileTimeLow;
  if (time && time != DateToFileTime(source.Facts.Year, source.Facts.Month, source.Facts.Day))
    Report(line, kFindingWarning, "Datum %s weicht vom Datum der Datei ab (%s)",
           Shown(FieldText(ValueAsRead(info.Key), 8)).c_str(),
           DateText(source.Facts.Year, source.Facts.Month, source.Facts.Day).c_str());
  if (info.Status != kEntryComplete) return;
  bool stated = FieldText(ValueAsRead(info.Key), 10) != "" || e.VersionMS || e.VersionLS;
  if (!source.HasVersion) {
    if (e.VersionMS || e.VersionLS)
      Report(line, kFindingError, "Version %s angegeben, aber die Datei hat keine Versionsressource",
             VersionText(e.VersionMS, e.VersionLS).c_str());
  } else if (!stated && (source.VersionMS || source.VersionLS)) {
    Report(line, kFindingError,
           "Version fehlt, die Datei hat %s: Setup hält jede installierte Fassung mit Versionsressource für aktuell",
           VersionText(source.VersionMS, source.VersionLS).c_str());
  } else if (source.VersionMS != e.VersionMS || source.VersionLS != e.VersionLS) {
    Report(line, kFindingError, "Version %s weicht von der Version der Datei ab (%s)",
           VersionText(e.VersionMS, e.VersionLS).c_str(), VersionText(source.VersionMS, source.VersionLS).c_str());
  }
}

void CheckInstalledEntry(const EntryInfo& info, uint32_t line, EntryChecks* checks) {
  const FileEntry& e = *info.Entry;
  if (e.Disk < 1 || e.Disk > kMaxDiskLabels) {
    Report(line, kFindingError, "Datenträger %d gibt es nicht: Setup kennt die Datenträger 1 bis %d", e.Disk, kMaxDiskLabels);
  } else if ((!DiskLabels[e.Disk - 1] || !DiskLabels[e.Disk - 1][0]) && !checks->DisksSeen[e.Disk]++) {
    Report(line, kFindingWarning, "Datenträger %d hat keine Bezeichnung: [Disks] Disk%d fehlt", e.Disk, e.Disk);
  }
  static char path[1 << 16];
  if (!FileEntryPathN(path, sizeof path, info.Owner->Node, &e)) return;
  checks->InstalledPaths.push_back(Folded(path));  // a file used on the medium counts for SuccessRun
  if (e.DestKind == kDestNoCopy) return;
  std::string target = FieldText(ValueAsRead(info.Key), 4);
  if (target.empty() && (strchr(e.SourceName, '\\') || strchr(e.SourceName, '/')))
    Report(line, kFindingWarning, "Zielname leer: die Datei wird als \"%s\" installiert, mit dem Unterverzeichnis am Ziel",
           Shown(e.TargetName).c_str());
  if (strlen(path) > kMaxPath)
    Report(line, kFindingError, "der Zielpfad wird %u Zeichen lang, Setup hat Platz für %u",
           static_cast<unsigned>(strlen(path)), static_cast<unsigned>(kMaxPath));
  // Only the class of the destination counts: text around the placeholder, a literal path or
  // $(WinPath) (which lands in the system folder too) do not say where the file goes.
  std::string destination = FieldText(ValueAsRead(info.Key), 5);
  while (!destination.empty() && destination.back() == '\\') destination.pop_back();
  if (destination == "$(WinPath)")
    Report(line, kFindingWarning, "$(WinPath): Setup installiert die Datei ins Systemverzeichnis, nach %s", Shown(path).c_str());
  else if (destination != "$(AppPath)" && destination != "$(WinSysPath)")
    Report(line, kFindingWarning, "das Ziel %s wirkt nur über seinen Platzhalter: Setup installiert die Datei nach %s",
           Shown(destination).c_str(), Shown(path).c_str());
  auto [slot, added] = checks->Targets.emplace(Folded(path), &info);
  const EntryInfo* first = slot->second;
  if (!added && !Exclusive(first->Owner, info.Owner))
    Report(line, kFindingWarning, "das Ziel %s hat schon [%s] File%d in Zeile %u", Shown(path).c_str(),
           Shown(first->Owner->Section).c_str(), first->Number, first->Key ? first->Key->Line : 1);
}

void CheckEntry(const EntryInfo& info, EntryChecks* checks) {
  if (info.Owner->SubOption || !info.Key) return;
  const FileEntry& e = *info.Entry;
  uint32_t line = info.Key->Line;
  CheckValueLength(info.Key);
  CheckTooLong(info.Key, e.TooLong, "Namen und Dateiart je 259 Zeichen");
  if (info.Status == kEntryNoSource) return;
  CheckPlaceholders(line, FieldText(ValueAsRead(info.Key), 5).c_str());
  if (!info.Owner->Autorun && info.Status != kEntryNoDestination) CheckInstalledEntry(info, line, checks);
  if (strlen(SetupDir) + strlen(e.SourceName) > kMaxPath)
    Report(line, kFindingError, "der Quellpfad wird länger als %u Zeichen", static_cast<unsigned>(kMaxPath));

  SourceFacts source = ExamineSource(e);
  if (!source.Path.empty() && source.Disk != e.Disk)
    Report(line, kFindingError, "die Datei liegt auf Datenträger %d (%s), der Eintrag nennt Datenträger %d: Setup fragt nach dem falschen",
           source.Disk, DiskFolders[source.Disk - 1].substr(DiskFolders[source.Disk - 1].find_last_of("/\\") + 1).c_str(), e.Disk);
  if (source.Path.empty()) {
    const char* label = e.Disk >= 1 && e.Disk <= kMaxDiskLabels && DiskLabels[e.Disk - 1] ? DiskLabels[e.Disk - 1] : "";
    Report(line, kFindingError, "Quelldatei nicht gefunden! \"%s\" fehlt auf dem Datenträger \"%s\"",
           Shown(e.SourceName).c_str(), Shown(label).c_str());
    return;
  }
  CheckFigures(info, source, line);
}

// --- Options and the whole run ----------------------------------------------------------

void CheckOption(const OptionInfo& info) {
  const Option& o = *info.Node;
  for (const NumberedKind& kind : kOptionKinds) CheckCount(info.Image, kind);
  CheckTextLength(info.Image, "Description", kDescriptionChars, kFindingWarning);
  CheckTextLength(info.Image, "Name", kPathChars, kFindingWarning);
  CheckTextLength(info.Image, "Destination", kPathChars, kFindingError);
  if (info.SubOption && o.FileCount > 0)
    Report(info.Image ? info.Image->Line : 1, kFindingWarning,
           "die Unteroption [%s] hat %d %s: Setup zählt sie mit, installiert sie aber nie",
           Shown(info.Section).c_str(), o.FileCount, o.FileCount == 1 ? "Datei" : "Dateien");
  if (info.SubOption) {
    std::string records;
    const std::pair<int32_t, const char*> kinds[] = {{o.RegisterKeyCount, "Registrierungsschlüssel"},
                                                     {o.RegisterFileTypeCount, "Dateitypen"},
                                                     {o.LinkCount, "Verknüpfungen"},
                                                     {o.IniCount, "INI-Einträge"}};
    for (auto [count, what] : kinds)
      if (count > 0) records += (records.empty() ? "" : ", ") + std::to_string(count) + " " + what;
    if (!records.empty())
      Report(info.Image ? info.Image->Line : 1, kFindingWarning, "die Unteroption [%s] hat %s: Setup wendet sie nie an",
             Shown(info.Section).c_str(), records.c_str());
  }
  if (info.Walked && !info.Autorun) CheckRecords(info);
}

void CheckSuccessRun(const EntryChecks& checks) {
  const ProfileSection* section = ProfileImageSection(&Script, "SuccessRun", 1);
  CheckCount(section, kSuccessRunKind);
  for (int32_t i = 0; SuccessRuns && i < SuccessRunCount; ++i) {
    const SuccessRunRecord& r = SuccessRuns[i];
    std::string name = "SuccessRun" + std::to_string(i + 1);
    const ProfileEntry* key = section ? ProfileSectionEntry(section, name.c_str()) : nullptr;
    CheckValueLength(key);
    CheckTooLong(key, r.TooLong, "je 259 Zeichen");
    if (i > 0 || !key) continue;  // only the first record is used
    CheckExpanded(key->Line, r.RunProgram, 256, "der Programmpfad");
    CheckExpanded(key->Line, r.RunArguments, 255, "die Argumente");
    std::string program = Folded(Expanded(r.RunProgram));
    bool installed = false;
    for (const std::string& path : checks.InstalledPaths) installed |= path == program;
    if (!installed)
      Report(key->Line, kFindingWarning, "das Programm %s wird von keinem Eintrag installiert", Shown(r.RunProgram).c_str());
  }
}

std::string Kilobytes(int64_t bytes) {
  std::string digits = std::to_string((bytes + 1023) / 1024);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<size_t>(i), ".");
  return digits + " KB";
}

// Bytes by destination (0 option folders, 1 system folder), as SelectedSize walks the tree:
// as the script selects it, or with every option selected.
void SumSpace(const Option* option, bool withSiblings, bool all, int64_t* sums) {
  for (; option;) {
    const Option* inUse = all || IsSelected(option) ? option : option->NoCopyNode;
    if (inUse) {
      for (int32_t i = 0; i < inUse->FileCount; ++i) {
        const FileEntry& e = inUse->FileEntries[i];
        if (e.DestKind != kDestNoCopy) sums[e.DestKind == kDestOptionFolder ? 0 : 1] += e.Size;
      }
      for (const Option* child = inUse->FirstChild; child; child = child->NextSibling) SumSpace(child, false, all, sums);
    }
    if (!withSiblings) break;
    option = inUse ? inUse->NextSibling : option->NextSibling;
  }
}

void SpaceNotes() {
  int64_t preset[2] = {0, 0}, all[2] = {0, 0};
  SumSpace(OptionRoot, true, false, preset);
  SumSpace(OptionRoot, true, true, all);
  uint32_t line = LineOf(ProfileImageSection(&Script, "Settings", 1), "Destination");
  Report(line, kFindingNote, "Platzbedarf im Installationsverzeichnis %s: %s wie vorgewählt, %s mit allen Optionen",
         Shown(InstallDir).c_str(), Kilobytes(preset[0]).c_str(), Kilobytes(all[0]).c_str());
  if (all[1])
    Report(line, kFindingNote, "Platzbedarf im Systemverzeichnis: %s wie vorgewählt, %s mit allen Optionen",
           Kilobytes(preset[1]).c_str(), Kilobytes(all[1]).c_str());
}

void CheckSettings() {
  const ProfileSection* settings = ProfileImageSection(&Script, "Settings", 1);
  CheckTextLength(settings, "Destination", kPathChars, kFindingError);
  CheckTextLength(settings, "DefaultGroup", kPathChars, kFindingWarning);
  CheckTextLength(settings, "Message", kPathChars, kFindingWarning);
  if (!InstallDir[0]) Report(settings ? settings->Line : 1, kFindingWarning, "[Settings] Destination fehlt: Setup hat kein Installationsverzeichnis");
  const ProfileSection* disks = ProfileImageSection(&Script, "Disks", 1);
  CheckCount(disks, kDiskKind);
  for (int n = 1; n <= DiskCount; ++n)
    CheckTextLength(disks, ("Disk" + std::to_string(n)).c_str(), kDiskLabelChars, kFindingWarning);
}

}  // namespace

size_t Utf8Offset() {
  if (Script.Utf8Mark) return 0;
  // Text that is all well-formed UTF-8 and has letters beyond ASCII was saved as UTF-8: the
  // setup reads it as Windows-1252, and every umlaut shows as two odd characters.
  size_t first = SIZE_MAX;
  for (size_t i = 0; i < Script.TextSize;) {
    if (static_cast<unsigned char>(Script.Text[i]) < 0x80) {
      ++i;
      continue;
    }
    uint32_t u;
    size_t length = DecodeUtf8(Script.Text + i, Script.TextSize - i, &u);
    if (!length) return SIZE_MAX;
    if (first == SIZE_MAX) first = i;
    i += length;
  }
  return first;
}

int CheckCommand(const std::string& medium) {
  std::string path, name;
  if (!LoadScript(medium, &path, &name)) {
    PrintError("SETUP.LST im Verzeichnis " + medium + " kann nicht gelesen werden");
    return kExitFile;
  }
  ScriptModel model;
  ReadAsSetup(&model);
  EntryChecks checks{{}, {}, {}};
  CheckSettings();
  for (const OptionInfo& info : model.Options) CheckOption(info);
  for (const EntryInfo& info : model.Entries) CheckEntry(info, &checks);
  if (model.Root) {
    CheckSuccessRun(checks);
    SpaceNotes();
  }
  CheckWholeFile();
  return PrintFindings(name) > 0 ? kExitFindings : kExitClean;
}
