#include <windows.h>

#include <cstring>

#include "startup/state.h"
#include "startup/text.h"
#include "startup/win_guards.h"
#include "system/product_data.h"
#include "system/product_record.h"
#include "system/registry.h"

namespace {

// A product data file mapped read-only in whole, released when it goes out of scope.
class MappedFile {
 public:
  explicit MappedFile(const char* path) {
    file_ = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) return;
    DWORD high = 0;
    DWORD low = GetFileSize(file_, &high);
    // An empty file cannot be mapped; one beyond 4 GB is no product data file.
    if ((low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0 || low == 0) return;
    mapping_ = CreateFileMappingA(file_, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping_) return;
    view_ = static_cast<const unsigned char*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0));
    if (view_) size_ = low;
  }
  ~MappedFile() {
    if (view_) UnmapViewOfFile(view_);
    if (mapping_) CloseHandle(mapping_);
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  // 1 when the file is a product data file that can be read.
  int Open(ProductData* data) const { return view_ && OpenProductData(view_, size_, data); }

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
  HANDLE mapping_ = nullptr;
  const unsigned char* view_ = nullptr;
  size_t size_ = 0;
};

// "Software\<company>\<product>" followed by tail; 0 when it does not fit (a cut path would be
// another key).
int ProductKeyPath(char (&output)[kPathChars], const char* tail) {
  size_t need = strlen("Software\\\\") + strlen(CompanyName) + strlen(ProductName) + strlen(tail);
  if (need >= sizeof output) {
    output[0] = 0;
    return 0;
  }
  FormatText(output, "Software\\%s\\%s%s", CompanyName, ProductName, tail);
  return 1;
}

int VersionKeyPath(char (&output)[kPathChars], const char* leaf) {
  char tail[kPathChars];
  FormatText(tail, "\\%s\\%s", SetupVersion, leaf);
  return ProductKeyPath(output, tail);
}

// Values written without a terminating zero; each noted first, so a rollback takes it back.
int SetString(const char* keyPath, const char* name, const char* text) {
  return SetRegistryValue(HKEY_LOCAL_MACHINE, keyPath, name, REG_SZ, text, static_cast<unsigned long>(strlen(text)));
}

// The data file's own key: the Files key, a backslash and the identifier text.
int DataFileKeyPath(char (&output)[kPathChars], const unsigned char (&identifier)[kProductIdBytes]) {
  char id[kIdentifierTextChars];
  FormatProductIdentifier(id, identifier);
  char leaf[kPathChars];
  FormatText(leaf, "Files\\%s", id);
  return VersionKeyPath(output, leaf);
}

int WriteIssues(const ProductData& data) {
  char issuesPath[kPathChars];
  if (!VersionKeyPath(issuesPath, "Issues")) return 0;
  int ok = 1;
  for (int32_t i = 0; i < data.IssueCount; ++i) {
    unsigned char identifier[kProductIdBytes];
    int registered = 0;
    ProductIssue(&data, i, identifier, &registered);
    if (!registered) continue;
    char name[kIdentifierTextChars];
    FormatProductIdentifier(name, identifier);
    DWORD zero = 0;
    if (!SetRegistryValue(HKEY_LOCAL_MACHINE, issuesPath, name, REG_DWORD, &zero, sizeof zero)) ok = 0;
  }
  return ok;
}

}  // namespace

int ProductFilesKeyPathN(char* output, size_t cap) {
  char path[kPathChars];
  if (!VersionKeyPath(path, "Files") || strlen(path) >= cap) {
    if (cap) output[0] = 0;
    return 0;
  }
  CopyTextN(output, cap, path);
  return 1;
}

int WriteProductRecord(const char* path) {
  MappedFile file(path);
  ProductData data;
  if (!file.Open(&data)) return 0;

  int ok = 1;
  char keyPath[kPathChars];
  if (DataFileKeyPath(keyPath, data.Identifier)) {
    char version[16];
    FormatText(version, "%ld", static_cast<long>(static_cast<int32_t>(data.Version)));
    ok = SetString(keyPath, nullptr, version) && SetString(keyPath, "InstallPath", path);
  } else {
    ok = 0;
  }
  // The issues are written even when the data file's key was refused.
  return WriteIssues(data) && ok ? 1 : -1;
}

int ProductDataIsNewerN(char* path, size_t cap) {
  MappedFile file(path);
  ProductData data;
  if (!file.Open(&data)) return 0;
  char keyPath[kPathChars];
  RegKey key;
  if (!DataFileKeyPath(keyPath, data.Identifier) ||
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE, key.Out()) != ERROR_SUCCESS)
    return 1;
  char registered[kPathChars] = "";
  ReadRegistryString(key.Get(), "", nullptr, registered);
  char installed[kPathChars] = "";
  // An installed path that the buffer cannot hold whole is not put in place of the source's.
  if (ReadRegistryString(key.Get(), "", "InstallPath", installed) && strlen(installed) < cap)
    CopyTextN(path, cap, installed);
  return static_cast<uint32_t>(AtoiSaturated(registered)) < data.Version;
}

void ReadInstalledProgramPathN(char* buffer, size_t cap, int cut) {
  if (cap == 0) return;
  buffer[0] = 0;
  char keyPath[kPathChars];
  if (!ProductKeyPath(keyPath, "\\CurrentVersion")) return;
  ReadRegistryText(HKEY_LOCAL_MACHINE, keyPath, "Path", buffer, cap);
  if (cut && buffer[0]) CutToProgramFolder(buffer);
}
