// The tool's system on Windows: the ANSI file API (its names are the script's own code page),
// and a console that is written in Unicode, whatever its code page.
#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "setuplst/setuplst.h"
#include "startup/codepage.h"

namespace {

struct Handle {
  HANDLE Value;
  explicit Handle(HANDLE value) : Value(value) {}
  ~Handle() {
    if (Value != INVALID_HANDLE_VALUE) CloseHandle(Value);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
};

std::string FullPath(const std::string& path) {
  char full[MAX_PATH * 4];
  DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  return n && n < sizeof full ? std::string(full, n) : "";
}

bool SameFolded(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldCp1252(static_cast<unsigned char>(a[i])) != FoldCp1252(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace

int ReadWholeFile(const std::string& path, std::string* bytes, size_t limit) {
  Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (file.Value == INVALID_HANDLE_VALUE) return 0;
  bytes->clear();
  char block[65536];
  DWORD n = 0;
  while (bytes->size() < limit) {
    DWORD want = static_cast<DWORD>(std::min<size_t>(sizeof block, limit - bytes->size()));
    if (!ReadFile(file.Value, block, want, &n, nullptr)) return 0;
    if (n == 0) break;
    bytes->append(block, n);
  }
  return 1;
}

int RewriteFile(const std::string& path, const std::string& bytes) {
  std::string temporary = path + ".setuplst";
  // The new file keeps the old one's attributes (read-only, hidden, archive).
  DWORD attributes = GetFileAttributesA(path.c_str());
  HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
  ok = CloseHandle(file) && ok;
  if (ok && attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (ok && MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(path.c_str(), attributes);
    return 1;
  }
  if (attributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesA(path.c_str(), attributes);
  DeleteFileA(temporary.c_str());
  return 0;
}

int FileFactsOf(const std::string& path, FileFacts* facts) {
  *facts = FileFacts{};
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  FILETIME local;
  SYSTEMTIME date{};
  FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  FileTimeToSystemTime(&local, &date);
  *facts = {1, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0,
            static_cast<int64_t>(static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow), date.wYear,
            date.wMonth, date.wDay};
  return 1;
}

std::string FindInFolder(const std::string& folder, const std::string& relative) {
  std::string path = folder + "\\" + relative;
  for (char& c : path)
    if (c == '/') c = '\\';
  return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES ? "" : path;
}

std::string NameInMedium(const std::string& medium, const std::string& file) {
  std::string root = FullPath(medium), path = FullPath(file);
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) path = FullPath(medium + "\\" + file);
  while (!root.empty() && root.back() == '\\') root.pop_back();
  if (root.empty() || path.size() <= root.size() + 1 || !SameFolded(path.substr(0, root.size()), root) ||
      path[root.size()] != '\\')
    return "";
  return path.substr(root.size() + 1);
}

std::string Shown(const std::string& scriptText) { return scriptText; }
std::string ScriptText(const std::string& programText) { return programText; }

namespace {

void PrintTo(DWORD stream, FILE* file, const std::string& text) {
  HANDLE out = GetStdHandle(stream);
  DWORD mode;
  if (GetConsoleMode(out, &mode)) {
    // A console shows Unicode whatever its code page; the program's text is code page 1252.
    std::wstring wide(text.size() + 2, L'\0');
    int n = MultiByteToWideChar(1252, 0, text.data(), static_cast<int>(text.size()), wide.data(), static_cast<int>(wide.size()));
    wide.resize(static_cast<size_t>(n));
    wide += L"\r\n";
    DWORD written;
    WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  fwrite(text.data(), 1, text.size(), file);
  fputc('\n', file);  // the text mode of the stream makes it "\r\n"
}

}  // namespace

void PrintLine(const std::string& text) { PrintTo(STD_OUTPUT_HANDLE, stdout, text); }

void PrintError(const std::string& text) {
  fflush(stdout);
  PrintTo(STD_ERROR_HANDLE, stderr, "setuplst: " + text);
}
