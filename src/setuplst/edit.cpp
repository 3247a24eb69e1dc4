// fill and add: the figures of File<n> entries written from the real files. Only the fields
// that change are replaced; every other byte of the script stays as it was.
#include <algorithm>
#include <cstring>
#include <set>

#include "script/fields.h"
#include "startup/codepage.h"
#include "setuplst/setuplst.h"
#include "script/script_profile.h"
#include "startup/text.h"

namespace {

constexpr int kDateField = 8, kSizeField = 9, kVersionField = 10;

// Whether the comma at the end of a field's text ended it, rather than standing in a quoted
// run that the value's end closed.
bool CommaEndsField(const std::string& value, size_t start, size_t comma) {
  bool run = false;
  for (size_t i = start; i < comma; ++i)
    if (value[i] == '"') run = run ? false : i + 1 < value.size();
  return !run;
}

struct Edit {
  size_t Offset, Length;
  std::string Text;
};

// The script text with the edits applied (they do not overlap).
std::string Applied(std::vector<Edit> edits) {
  std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.Offset < b.Offset; });
  std::string out;
  size_t at = 0;
  for (const Edit& edit : edits) {
    out.append(Script.Text + at, edit.Offset - at);
    out += edit.Text;
    at = edit.Offset + edit.Length;
  }
  out.append(Script.Text + at, Script.TextSize - at);
  return out;
}

// Where the value of a key starts in the text and how long it is, as the string read takes
// it: inside one pair of enclosing quotes.
void ValueSpan(const ProfileEntry* key, size_t* offset, size_t* length) {
  *offset = key->ValueOffset;
  *length = key->ValueLength;
  const char* v = Script.Text + *offset;
  if (*length >= 2 && (v[0] == '"' || v[0] == '\'') && v[*length - 1] == v[0]) {
    ++*offset;
    *length -= 2;
  }
}

// The figures that a value's date, size and version fields (as written) give.
FileEntry FiguresOf(const std::vector<std::string>& fields) {
  auto at = [&](int i) { return static_cast<size_t>(i) <= fields.size() ? fields[i - 1] : std::string(); };
  FileEntry dated, sized;
  std::string tail = fields.size() >= kVersionField ? "," + at(kVersionField) : "";
  ParseFileEntry(("1,,x,,x,,," + at(kDateField) + ",1" + tail).c_str(), 1, &dated);
  ParseFileEntry(("1,,x,,x,,,," + at(kSizeField)).c_str(), 1, &sized);
  dated.Size = sized.Size;
  return dated;
}

// The value with the figures of the file; the value itself when they already agree.
std::string FilledValue(const std::string& value, const SourceFacts& source, bool disk) {
  std::vector<FieldSpan> spans = SplitFields(value);
  std::vector<std::string> fields;
  for (const FieldSpan& span : spans) fields.push_back(value.substr(span.Start, span.End - span.Start));
  std::string rest = value.substr(spans.empty() ? 0 : spans.back().End);
  FileEntry now = FiguresOf(fields);
  bool hasVersion = fields.size() >= kVersionField;
  if (fields.size() < kSizeField) fields.resize(kSizeField);

  if (disk) fields[0] = std::to_string(source.Disk);
  const FileFacts& facts = source.Facts;
  uint64_t time = DateToFileTime(facts.Year, facts.Month, facts.Day);
  if ((static_cast<uint64_t>(now.FileTimeHigh) << 32 | now.FileTimeLow) != time)
    fields[kDateField - 1] = DateText(facts.Year, facts.Month, facts.Day);
  if (now.Size != facts.Size) fields[kSizeField - 1] = std::to_string(facts.Size);
  if (source.HasVersion) {
    if (!hasVersion || now.VersionMS != source.VersionMS || now.VersionLS != source.VersionLS) {
      if (!hasVersion) fields.resize(kVersionField);
      fields[kVersionField - 1] = VersionText(source.VersionMS, source.VersionLS);
    }
  } else if (hasVersion && (now.VersionMS || now.VersionLS)) {
    // No version resource: no version at all, so an installed copy is always replaced.
    if (fields.size() == kVersionField) fields.pop_back();
    else fields[kVersionField - 1].clear();
  }
  std::string out;
  for (size_t i = 0; i < fields.size(); ++i) out += (i ? "," : "") + fields[i];
  return out + rest;
}

std::string LineEnd() {
  std::string text(Script.Text, Script.TextSize);
  size_t cr = text.find('\r'), lf = text.find('\n');
  if (cr != std::string::npos && (lf == std::string::npos || lf != cr + 1) && cr < lf) return "\r";  // bare CR
  if (lf == std::string::npos || text.find("\r\n") != std::string::npos) return "\r\n";
  return "\n";
}

bool EndsLine(size_t at) { return at && (Script.Text[at - 1] == '\n' || Script.Text[at - 1] == '\r'); }

// The offset where the line after the given one starts (the end of the text for the last).
size_t OffsetAfterLine(uint32_t line) {
  uint32_t at = 1;
  const char* text = Script.Text;
  for (size_t i = 0; i < Script.TextSize; ++i) {
    if (text[i] == '\r' && i + 1 < Script.TextSize && text[i + 1] == '\n') ++i;
    if (text[i] == '\n' || text[i] == '\r') {
      if (at++ == line) return i + 1;
    }
  }
  return Script.TextSize;
}

int LoadForEditing(const std::string& medium, std::string* path, std::string* name) {
  if (!LoadScript(medium, path, name)) {
    PrintError("SETUP.LST im Verzeichnis " + medium + " kann nicht gelesen werden");
    return kExitFile;
  }
  if (Utf8Offset() != SIZE_MAX) {
    PrintError(*name + " ist als UTF-8 gespeichert, Setup liest Windows-1252 (setuplst check); speichern Sie die Datei erst als Windows-1252");
    return kExitFindings;
  }
  return 0;
}

}  // namespace

std::vector<FieldSpan> SplitFields(const std::string& value) {
  std::vector<FieldSpan> spans;
  char field[kValueChars];
  int pos = 0;
  for (;;) {
    size_t start = static_cast<size_t>(pos);
    if (!NextFieldN(value.c_str(), &pos, field, sizeof field)) break;
    size_t end = static_cast<size_t>(pos);
    if (end > start && value[end - 1] == ',' && CommaEndsField(value, start, end - 1)) --end;
    spans.push_back({start, end});
  }
  return spans;
}

std::string FieldText(const std::string& value, int i) {
  char field[kValueChars] = "";
  int pos = 0;
  for (int k = 1; k <= i; ++k)
    if (!NextFieldN(value.c_str(), &pos, field, sizeof field)) return "";
  return field;
}

int FillCommand(const std::string& medium) {
  std::string path, name;
  if (int refused = LoadForEditing(medium, &path, &name)) return refused;
  ScriptModel model;
  ReadAsSetup(&model);
  Findings.clear();  // what check tells; fill reports only on the entries it fills

  std::vector<Edit> edits;
  std::set<const ProfileEntry*> done;
  int considered = 0;
  for (const EntryInfo& info : model.Entries) {
    if (info.Owner->SubOption || !info.Key || !done.insert(info.Key).second) continue;
    ++considered;
    const FileEntry& e = *info.Entry;
    uint32_t line = info.Key->Line;
    size_t offset, length;
    ValueSpan(info.Key, &offset, &length);
    if (info.Status == kEntryNoSource || info.Status == kEntryNoDestination || e.TooLong || length > kValueChars - 1) {
      Report(line, kFindingError, "File%d bleibt unverändert: der Eintrag ist fehlerhaft (setuplst check)", info.Number);
      continue;
    }
    SourceFacts source = ExamineSource(e);
    if (source.Path.empty()) {
      Report(line, kFindingError, "Quelldatei nicht gefunden! \"%s\": File%d bleibt unverändert", Shown(e.SourceName).c_str(),
             info.Number);
      continue;
    }
    if (source.Facts.Size == 0) {
      Report(line, kFindingError, "die Datei %s ist leer, Setup lehnt die Größe 0 ab: File%d bleibt unverändert",
             Shown(e.SourceName).c_str(), info.Number);
      continue;
    }
    std::string value(Script.Text + offset, length);
    std::string filled = FilledValue(value, source, source.Disk != e.Disk);
    if (filled != value) edits.push_back({offset, length, filled});
  }
  if (!edits.empty() && !RewriteFile(path, Applied(edits))) {
    PrintError(path + " kann nicht geschrieben werden");
    return kExitFile;
  }
  int errors = PrintFindings(name);
  PrintLine(name + ": " + std::to_string(edits.size()) + " von " + std::to_string(considered) +
            " Einträgen geändert");
  return errors ? kExitFindings : kExitClean;
}

int AddCommand(const std::string& medium, const std::string& sectionArg, const std::string& destinationArg,
               const std::vector<std::string>& files, bool newSection) {
  std::string path, name;
  if (int refused = LoadForEditing(medium, &path, &name)) return refused;
  std::string sectionName = ScriptText(sectionArg), destination = ScriptText(destinationArg);
  const ProfileSection* section = ProfileImageSection(&Script, sectionName.c_str(), 1);
  int count = section ? ProfileImageReadInt(&Script, sectionName.c_str(), "FileCount") : 0;
  if (count < 0) count = 0;
  if (destination.empty()) {
    PrintError("das Zielverzeichnis fehlt (zum Beispiel $(AppPath))");
    return kExitFindings;
  }
  // A section the setup never reads (a typo, a number after a gap) only when asked for.
  ScriptModel model;
  ReadAsSetup(&model);
  Findings.clear();
  auto same = [](const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (FoldCp1252(static_cast<unsigned char>(a[i])) != FoldCp1252(static_cast<unsigned char>(b[i]))) return false;
    return true;
  };
  bool read = false;
  for (const OptionInfo& info : model.Options) read |= section && ProfileImageSection(&Script, info.Section.c_str(), 1) == section;
  for (const std::string& asked : AbsentSectionsAsked) read |= same(asked, sectionName);
  if (!read && !newSection) {
    PrintError("[" + sectionArg + "] " + (section ? "steht in SETUP.LST, wird aber" : "gibt es nicht und würde") +
               " von Setup nie gelesen (Tippfehler oder Lücke in der Nummerierung); --new-section legt die Einträge trotzdem an");
    return kExitFindings;
  }
  if (destination.find(',') != std::string::npos) destination = "\"" + destination + "\"";

  std::string eol = LineEnd(), lines;
  for (size_t i = 0; i < files.size(); ++i) {
    int n = count + static_cast<int>(i) + 1;
    std::string key = "File" + std::to_string(n);
    if (section && !ValueAsRead(ProfileSectionEntry(section, key.c_str())).empty()) {
      PrintError(key + " gibt es schon in [" + sectionArg + "]");
      return kExitFindings;
    }
    int disk = 0;
    std::string source;
    for (size_t k = 0; k < DiskFolders.size() && source.empty(); ++k)
      source = NameInMedium(DiskFolders[k], files[i]), disk = static_cast<int>(k + 1);
    FileEntry probe{};
    CopyText(probe.SourceName, source.c_str());
    probe.Disk = disk;
    SourceFacts facts = source.empty() || source.size() >= kPathChars ? SourceFacts{} : ExamineSource(probe);
    if (facts.Path.empty() || source.find('"') != std::string::npos) {
      PrintError(files[i] + " ist keine Datei des Datenträgers " + medium);
      return kExitFindings;
    }
    if (facts.Facts.Size == 0) {
      PrintError(files[i] + " ist leer: Setup lehnt die Größe 0 ab (\"Fehlende oder ungültige Dateigröße\" bei jedem Start)");
      return kExitFindings;
    }
    // A source in a sub-folder gets its own name as the target: an empty one would bring the
    // sub-folder along.
    size_t slash = source.find_last_of('\\');
    std::string target = slash == std::string::npos ? "" : source.substr(slash + 1);
    auto quoted = [](const std::string& text) { return text.find(',') != std::string::npos ? "\"" + text + "\"" : text; };
    std::string value = std::to_string(disk) + ",," + quoted(source) + "," + quoted(target) + "," + destination + ",,,1/1/2000,1";
    std::string line = key + "=" + FilledValue(value, facts, false);
    lines += line + eol;
    PrintLine(Shown(line));
  }

  std::vector<Edit> edits;
  std::string total = std::to_string(count + static_cast<int>(files.size()));
  if (!section) {
    std::string head = Script.TextSize && !EndsLine(Script.TextSize) ? eol : "";
    edits.push_back({Script.TextSize, 0, head + "[" + sectionName + "]" + eol + "FileCount=" + total + eol + lines});
  } else {
    // After the section's last key: comments below it head the next section.
    uint32_t last = section->Line;
    for (uint32_t i = 0; i < section->EntryCount; ++i)
      if (!section->Entries[i].IsComment) last = section->Entries[i].Line;
    size_t at = OffsetAfterLine(last);
    std::string head = at == Script.TextSize && at && !EndsLine(at) ? eol : "";
    const ProfileEntry* countKey = ProfileSectionEntry(section, "FileCount");
    if (countKey && countKey->Value) {
      // Only the number: what follows it on the line stays.
      size_t offset, length, digits = 0;
      ValueSpan(countKey, &offset, &length);
      while (digits < length && (Script.Text[offset + digits] == '-' || Script.Text[offset + digits] == '+' ||
                                 (Script.Text[offset + digits] >= '0' && Script.Text[offset + digits] <= '9')))
        ++digits;
      edits.push_back({offset, digits ? digits : length, total});
    } else if (countKey) {
      edits.push_back({countKey->ValueOffset, strlen(countKey->Name), "FileCount=" + total});  // a bare name
    } else {
      lines = "FileCount=" + total + eol + lines;
    }
    edits.push_back({at, 0, head + lines});
  }
  if (!RewriteFile(path, Applied(edits))) {
    PrintError(path + " kann nicht geschrieben werden");
    return kExitFile;
  }
  return kExitClean;
}
