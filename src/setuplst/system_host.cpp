// The tool's system on the host: POSIX files with UTF-8 names, and a UTF-8 console. Names of
// the script are looked up as Windows looks them up, without regard to letter case.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unordered_map>

#include "setuplst/setuplst.h"
#include "startup/codepage.h"

namespace {

std::string Folded(const std::string& scriptText) {
  std::string folded = scriptText;
  for (char& c : folded) c = static_cast<char>(FoldCp1252(static_cast<unsigned char>(c)));
  return folded;
}

// The names of a folder by their folded script text, listed once per folder.
const std::unordered_map<std::string, std::string>& Listing(const std::string& folder) {
  static std::unordered_map<std::string, std::unordered_map<std::string, std::string>> listings;
  auto [slot, added] = listings.try_emplace(folder);
  if (added) {
    if (DIR* dir = opendir(folder.c_str())) {
      while (dirent* entry = readdir(dir)) slot->second.emplace(Folded(ScriptText(entry->d_name)), entry->d_name);
      closedir(dir);
    }
  }
  return slot->second;
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? resolved : "";
}

}  // namespace

int ReadWholeFile(const std::string& path, std::string* bytes, size_t limit) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return 0;
  bytes->clear();
  char block[65536];
  size_t n;
  while (bytes->size() < limit && (n = fread(block, 1, std::min(sizeof block, limit - bytes->size()), file)) > 0)
    bytes->append(block, n);
  int ok = !ferror(file);
  fclose(file);
  return ok;
}

int RewriteFile(const std::string& path, const std::string& bytes) {
  std::string temporary = path + ".setuplst";
  FILE* file = fopen(temporary.c_str(), "wb");
  if (!file) return 0;
  int ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok &= fclose(file) == 0;
  // The new file keeps the old one's permissions (a read-only script stays read-only).
  struct stat old;
  if (ok && stat(path.c_str(), &old) == 0) ok = chmod(temporary.c_str(), old.st_mode & 07777) == 0;
  if (ok && rename(temporary.c_str(), path.c_str()) == 0) return 1;
  remove(temporary.c_str());
  return 0;
}

int FileFactsOf(const std::string& path, FileFacts* facts) {
  struct stat info;
  *facts = FileFacts{};
  if (stat(path.c_str(), &info) != 0) return 0;
  struct tm local;
  localtime_r(&info.st_mtime, &local);
  *facts = {1, S_ISDIR(info.st_mode) ? 1 : 0, static_cast<int64_t>(info.st_size), local.tm_year + 1900, local.tm_mon + 1,
            local.tm_mday};
  return 1;
}

std::string FindInFolder(const std::string& folder, const std::string& relative) {
  std::string path = folder;
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = relative.find_first_of("\\/", start);
    if (end == std::string::npos) end = relative.size();
    std::string part = relative.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    std::string exact = path + "/" + Shown(part);
    struct stat info;
    if (part == ".." || stat(exact.c_str(), &info) == 0) {
      path = exact;
      continue;
    }
    const auto& names = Listing(path);
    auto found = names.find(Folded(part));
    if (found == names.end()) return "";
    path += "/" + found->second;
  }
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? path : "";
}

std::string NameInMedium(const std::string& medium, const std::string& file) {
  std::string root = RealPath(medium), path = RealPath(file);
  if (path.empty()) path = RealPath(medium + "/" + file);
  if (root.empty() || path.size() <= root.size() + 1 || path.compare(0, root.size(), root) != 0 || path[root.size()] != '/')
    return "";
  std::string name = ScriptText(path.substr(root.size() + 1));
  for (char& c : name)
    if (c == '/') c = '\\';
  return name;
}

std::string Shown(const std::string& scriptText) {
  std::string text(scriptText.size() * 3 + 1, 0);
  text.resize(Cp1252ToUtf8(scriptText.c_str(), text.data(), text.size()));
  return text;
}

std::string ScriptText(const std::string& programText) {
  std::string text(programText.size(), 0);
  text.resize(Utf8ToCp1252(programText.data(), programText.size(), text.data()));
  return text;
}

void PrintLine(const std::string& text) {
  fwrite(text.data(), 1, text.size(), stdout);
  fputc('\n', stdout);
}

void PrintError(const std::string& text) {
  fflush(stdout);
  fprintf(stderr, "setuplst: %s\n", text.c_str());
}
