#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>

#include "install/filesystem.h"
#include "install/setup_log.h"
#include "install/undo_journal.h"
#include "script/placeholders.h"
#include "script/records.h"
#include "startup/state.h"
#include "startup/text.h"
#include "startup/win_guards.h"
#include "system/shortcuts.h"

namespace {

// More than any shortcut file takes: the bound of its note.
constexpr int64_t kLargestShortcut = 1 << 20;

// An item identifier list from the shell, freed with the task allocator.
class ItemList {
 public:
  ItemList() = default;
  ~ItemList() {
    if (list_) CoTaskMemFree(list_);
  }
  ItemList(const ItemList&) = delete;
  ItemList& operator=(const ItemList&) = delete;
  LPITEMIDLIST* Out() { return &list_; }
  LPITEMIDLIST Get() const { return list_; }

 private:
  LPITEMIDLIST list_ = nullptr;
};

// The display name as 8-bit text into output; 0 when it does not fit or has no usable form.
int DisplayNameText(const STRRET& name, LPCITEMIDLIST list, char* output, size_t cap) {
  switch (name.uType) {
    case STRRET_WSTR: {
      int n = WideCharToMultiByte(CP_ACP, 0, name.pOleStr, -1, output, static_cast<int>(cap), nullptr, nullptr);
      CoTaskMemFree(name.pOleStr);
      return n > 0;
    }
    case STRRET_OFFSET: {
      const char* text = reinterpret_cast<const char*>(list) + name.uOffset;
      return strlen(text) < cap && CopyTextN(output, cap, text) == strlen(text);
    }
    case STRRET_CSTR:
      return strlen(name.cStr) < cap && CopyTextN(output, cap, name.cStr) == strlen(name.cStr);
  }
  return 0;
}

}  // namespace

int SpecialFolderPathN(char* buffer, size_t cap, int folder) {
  ComScope com;
  if (!com.Ok()) return 0;
  ComRef<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.Out()))) return 0;
  ItemList list;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, folder, list.Out()))) return 0;
  STRRET name;
  memset(&name, 0, sizeof name);
  if (FAILED(desktop->GetDisplayNameOf(list.Get(), SHGDN_FORPARSING, &name))) return 0;
  char path[kPathChars];
  if (!DisplayNameText(name, list.Get(), path, sizeof path) || strlen(path) >= cap) return 0;
  CopyTextN(buffer, cap, path);
  return 1;
}

int EnsureLinkFolder() {
  // No group was chosen (the script names none): shortcuts name their own folders.
  if (!LinkFolder[0]) return 1;
  return DirectoryExists(LinkFolder) || CreateDirectoryTree(LinkFolder);
}

long CreateShortcut(const Option* option, int index) {
  const LinkRecord& record = option->Links[index];
  char target[kPathChars], file[kPathChars];
  if (record.TooLong || !ExpandPlaceholders(target, record.LinkTarget) || !ExpandPlaceholders(file, record.LinkFile))
    return E_INVALIDARG;
  ComScope com;
  if (!com.Ok()) return E_FAIL;
  ComRef<IShellLinkA> link;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.OutVoid());
  if (FAILED(result)) return result;
  WriteLog(LogLinePrefix(kLogLink));
  WriteLog(target);
  link->SetPath(target);
  ComRef<IPersistFile> persist;
  result = link->QueryInterface(IID_IPersistFile, persist.OutVoid());
  if (SUCCEEDED(result)) {
    WCHAR wide[kPathChars];
    if (!MultiByteToWideChar(CP_ACP, 0, file, -1, wide, kPathChars)) wide[0] = 0;
    // Noted before it is written; a shortcut of that name there before waits aside.
    char aside[kPathChars];
    int existed = 0;
    if (!BeginNotedWrite(file, aside, &existed, kLargestShortcut)) {
      result = E_FAIL;
    } else {
      result = persist->Save(wide, TRUE);
      EndNotedWrite(file, aside, existed, SUCCEEDED(result));
    }
    WriteLog(",");
    WriteLog(file);
  }
  WriteLog("\r\n");
  return result;
}
