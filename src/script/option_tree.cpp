#include "script/option_tree.h"

#include <cstring>

#include "script/records.h"
#include "startup/paths.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

// Appends src; false when it does not fit.
bool Append(char* output, size_t cap, const char* src) {
  size_t len = strlen(output);
  size_t add = strlen(src);
  if (len + add + 1 > cap) return false;
  memcpy(output + len, src, add + 1);
  return true;
}

bool AppendBackslash(char* output, size_t cap) {
  size_t len = strlen(output);
  return len == 0 || output[len - 1] == '\\' || Append(output, cap, "\\");
}

bool BuildFolder(char* output, size_t cap, const Option* option) {
  if (option->Parent) {
    if (!BuildFolder(output, cap, option->Parent)) return false;
  } else {
    output[0] = 0;
    if (!Append(output, cap, InstallDir)) return false;
  }
  return AppendBackslash(output, cap) && Append(output, cap, option->Destination) && AppendBackslash(output, cap);
}

// folder, a backslash unless the folder already ends with one, then name.
bool JoinPath(char* output, size_t cap, const char* folder, const char* name) {
  output[0] = 0;
  size_t len = strlen(folder);
  bool endsWithBackslash = len > 0 && folder[len - 1] == '\\';
  return Append(output, cap, folder) && (endsWithBackslash || Append(output, cap, "\\")) && Append(output, cap, name);
}

}  // namespace

int OptionFolderN(char* output, size_t cap, const Option* option) {
  if (!option || cap == 0) return 0;
  if (BuildFolder(output, cap, option)) return 1;
  output[0] = 0;
  return 0;
}

int FileEntryPathN(char* output, size_t cap, const Option* option, const FileEntry* entry) {
  if (cap == 0) return 0;
  bool ok;
  switch (entry->DestKind) {
    case kDestOptionFolder: {
      if (!OptionFolderN(output, cap, option)) return 0;
      ok = Append(output, cap, entry->TargetName);
      break;
    }
    case kDestWinPath:  // both classes resolve to the system folder; installed media rely on it
    case kDestWinSysPath: ok = JoinPath(output, cap, SystemDir, entry->TargetName); break;
    case kDestNoCopy: ok = JoinPath(output, cap, SetupDir, entry->SourceName); break;
    default: return 0;
  }
  if (!ok) output[0] = 0;
  return ok;
}

int64_t SelectedSize(const Option* option, bool withSiblings, bool gross) {
  int64_t sum = 0;
  ForEachCountedEntry(option, withSiblings, [&](const Option*, const FileEntry* entry) {
    sum += CountedSize(entry) - (gross ? 0 : entry->PresentSize);
  });
  return sum;
}

int32_t CountFileEntries(const Option* option) {
  int64_t count = 0;
  for (; option; option = option->NextSibling) count += option->FileCount + CountFileEntries(option->FirstChild);
  return count > INT32_MAX ? INT32_MAX : static_cast<int32_t>(count);
}
