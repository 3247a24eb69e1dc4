// The script as the setup reads it: the autorun mode's [AutoRun] list, then start-up's settings,
// option tree and SuccessRun list, each through the setup's own reader; and the figures of the
// medium's files.
#include <cstring>

#include "branding.h"
#include "install/pe_version.h"
#include "script/option_tree.h"
#include "script/reader.h"
#include "setuplst/setuplst.h"
#include "startup/arena.h"
#include "script/script_profile.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

// Folders of a typical system, for the lengths of expanded paths: a modern Windows with a user
// name of 20 characters, the medium in drive D:.
constexpr char kUserFolder[] = "C:\\Users\\Benutzer.Zwanzig1234";

void SetRunFolders() {
  CopyText(WindowsDir, "C:\\Windows");
  CopyText(SystemDir, "C:\\Windows\\system32");
  CopyText(SetupDir, "D:\\");
  FormatText(StartMenuFolder, "%s\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu", kUserFolder);
  FormatText(ProgramsFolder, "%s\\Programs", StartMenuFolder);
  FormatText(DesktopFolder, "%s\\Desktop", kUserFolder);
  CopyText(CompanyName, ScriptText(SETUP_COMPANY_NAME_TEXT).c_str());
  CopyText(ProductName, ScriptText(SETUP_PRODUCT_NAME_TEXT).c_str());
}

// The options of a list as the reader named their sections, in reading order: each option,
// its sub-options, its companion.
void Collect(ScriptModel* model, const Option* first, const std::string& stem, int single, int walked, int sub,
             int autorun) {
  int k = 1;
  for (const Option* option = first; option; option = option->NextSibling, ++k) {
    std::string section = single ? stem : stem + std::to_string(k);
    model->Options.push_back(
        {option, section, ProfileImageSection(&Script, section.c_str(), 1), walked, sub, autorun});
    Collect(model, option->FirstChild, stem + std::to_string(k) + ":", single, 0, 1, autorun);
    if (single) break;
    Collect(model, option->NoCopyNode, section + "NoCopy", 1, walked, sub, autorun);
  }
}

// The autorun mode's arena is released before start-up reads the tree: its options and file
// entries are kept as copies.
void KeepAutorunOptions(ScriptModel* model) {
  size_t entries = 0;
  for (const OptionInfo& info : model->Options) entries += info.Node->FileCount;
  model->AutorunEntries.reserve(entries);
  model->AutorunOptions.reserve(model->Options.size());
  for (OptionInfo& info : model->Options) {
    Option copy = *info.Node;
    copy.NoCopyNode = copy.FirstChild = copy.NextSibling = copy.Parent = nullptr;
    copy.RegisterKeyCount = copy.RegisterFileTypeCount = copy.IniCount = copy.LinkCount = 0;
    copy.FileEntries = model->AutorunEntries.data() + model->AutorunEntries.size();
    for (int32_t i = 0; i < info.Node->FileCount; ++i) model->AutorunEntries.push_back(info.Node->FileEntries[i]);
    model->AutorunOptions.push_back(copy);
    info.Node = &model->AutorunOptions.back();
  }
}

}  // namespace

std::vector<std::string> DiskFolders;
bool DisksInFolders;

int LoadScript(const std::string& medium, std::string* scriptPath, std::string* name) {
  // A set of disks: DISK1, DISK2, ... side by side, the script on the first.
  DiskFolders.clear();
  for (int n = 1;; ++n) {
    std::string disk = FindInFolder(medium, "DISK" + std::to_string(n));
    FileFacts facts;
    if (disk.empty() || !FileFactsOf(disk, &facts) || !facts.IsFolder) break;
    DiskFolders.push_back(disk);
  }
  DisksInFolders = !DiskFolders.empty() && !FindInFolder(DiskFolders[0], "SETUP.LST").empty();
  if (!DisksInFolders) DiskFolders.assign(1, medium);
  *scriptPath = FindInFolder(DiskFolders[0], "SETUP.LST");
  std::string bytes;
  if (scriptPath->empty() || !ReadWholeFile(*scriptPath, &bytes)) return 0;
  if (!ProfileImageLoad(&Script, bytes.data(), bytes.size())) return 0;
  size_t entries = 0;
  for (uint32_t s = 0; s < Script.SectionCount; ++s) entries += Script.Sections[s].EntryCount;
  SectionRead.assign(Script.SectionCount, 0);
  EntryRead.assign(entries, 0);
  *name = *scriptPath;
  if (name->compare(0, 2, "./") == 0) name->erase(0, 2);
  return 1;
}

std::string ValueAsRead(const ProfileEntry* key) {
  char value[kValueChars];
  CopyProfileValue(key && key->Value ? key->Value : "", value, sizeof value);
  return value;
}

void ReadAsSetup(ScriptModel* model) {
  SetRunFolders();

  // The autorun mode: [AutoRun] in an arena of its own, released before start-up goes on.
  if (ArenaCreate(kArenaBlockBytes)) {
    Collect(model, ReadOptionList("AutoRun", nullptr, 1), "AutoRun", 1, 1, 0, 1);
    KeepAutorunOptions(model);
    ArenaRelease();
  }

  // Start-up. The arena stays for the checks.
  ArenaCreate(kArenaBlockBytes);
  ReadScriptString("Settings", "Destination", InstallDir, sizeof InstallDir);
  ReadScriptString("Settings", "DefaultGroup", DefaultGroup, sizeof DefaultGroup);
  HasDefaultGroup = DefaultGroup[0] != 0;
  ReadScriptString("Settings", "Message", Message, sizeof Message);
  CopyText(LinkFolder, ProgramsFolder);
  if (HasDefaultGroup) AppendText(LinkFolder, "\\"), AppendText(LinkFolder, DefaultGroup);
  OptionRoot = ReadOptionList("Section", nullptr, 0);
  model->Root = OptionRoot;
  if (!OptionRoot) {
    Report(1, kFindingError, "Kann die Datei SETUP.LST nicht finden, oder SETUP.LST enthält keine Sections!");
  } else {
    TotalFileEntries = CountFileEntries(OptionRoot);
    ReadSuccessRunList();
    Collect(model, OptionRoot, "Section", 0, 1, 0, 0);
  }

  for (const OptionInfo& info : model->Options) {
    for (int n = 1; n <= info.Node->FileCount; ++n) {
      std::string key = "File" + std::to_string(n);
      const ProfileEntry* entry = info.Image ? ProfileSectionEntry(info.Image, key.c_str()) : nullptr;
      FileEntry parsed;
      FileEntryStatus status = ParseFileEntry(ValueAsRead(entry).c_str(), n, &parsed);
      if (status == kEntryEmpty) entry = nullptr;
      model->Entries.push_back({&info, n, &info.Node->FileEntries[n - 1], entry, status});
    }
  }
}

std::string VersionText(uint32_t ms, uint32_t ls) {
  return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." + std::to_string(ls >> 16) + "." +
         std::to_string(ls & 0xFFFF);
}

std::string DateText(int year, int month, int day) {
  return std::to_string(month) + "/" + std::to_string(day) + "/" + std::to_string(year);
}

SourceFacts ExamineSource(const FileEntry& entry) {
  SourceFacts source{};
  // The entry's own disk first; on a set of disks, the file found on another names that disk.
  int count = static_cast<int>(DiskFolders.size());
  for (int k = 0; k <= count && source.Path.empty(); ++k) {
    int disk = k == 0 ? entry.Disk : k;
    if (!DisksInFolders) disk = k == 0 ? 1 : 0;  // one folder holds every disk's files
    if (disk < 1 || disk > count || (k > 0 && disk == entry.Disk)) continue;
    source.Path = FindInFolder(DiskFolders[disk - 1], entry.SourceName);
    if (source.Path.empty() || !FileFactsOf(source.Path, &source.Facts) || source.Facts.IsFolder) source.Path.clear();
    else source.Disk = DisksInFolders ? disk : entry.Disk;
  }
  if (source.Path.empty()) return source;
  // Only a program, library or driver has a version: the whole file is read when it starts like one.
  std::string bytes;
  if (ReadWholeFile(source.Path, &bytes, 2) && bytes == "MZ" && ReadWholeFile(source.Path, &bytes))
    source.HasVersion = ReadFileVersion(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                        &source.VersionMS, &source.VersionLS);
  return source;
}
