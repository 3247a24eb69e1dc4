// The platform under the portable core on the host: a recorded message box, an INI reader
// with the rules of the Windows profile functions, and calloc'ed arena blocks.
#include "host_platform.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "startup/platform.h"

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

struct Section {
  std::string Name;
  std::vector<std::pair<std::string, std::string>> Keys;
};

std::vector<Section> script;

const Section* FindSection(const char* name) {
  std::string wanted = Lower(name);
  for (const auto& s : script)
    if (Lower(s.Name) == wanted) return &s;
  return nullptr;
}

}  // namespace

std::vector<HostBox> HostBoxes;
size_t HostBlockCount;
size_t HostBlockLimit = SIZE_MAX;
std::string HostLogBytes;

void HostLoadScript(const std::string& text) {
  script.clear();
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      script.push_back({line.substr(1, close == std::string::npos ? std::string::npos : close - 1), {}});
      continue;
    }
    if (script.empty()) continue;
    size_t eq = line.find('=');
    std::string key = Trim(line.substr(0, eq));
    std::string value = eq == std::string::npos ? "" : Trim(line.substr(eq + 1));
    // Later duplicates of a key are not seen, as with the profile functions.
    auto& keys = script.back().Keys;
    bool seen = std::any_of(keys.begin(), keys.end(), [&](auto& kv) { return Lower(kv.first) == Lower(key); });
    if (!seen) keys.emplace_back(key, value);
  }
}

void HostResetPlatform() {
  HostBoxes.clear();
  HostBlockCount = 0;
  HostBlockLimit = SIZE_MAX;
  HostLogBytes.clear();
  script.clear();
}

int ShowOwnerlessMessage(const char* text, const char* caption, unsigned style) {
  HostBoxes.push_back({text, caption ? caption : "<default>", style});
  return 1;
}

size_t ProfileReadString(const char* section, const char* key, char* buffer, size_t size) {
  if (size == 0) return 0;
  buffer[0] = 0;
  const Section* s = FindSection(section);
  if (!s) return 0;
  if (!key) {
    // Key list: names separated by zeros, ending in two zeros, cut to the buffer.
    size_t n = 0;
    for (const auto& kv : s->Keys) {
      for (char c : kv.first) {
        if (n + 2 >= size) break;
        buffer[n++] = c;
      }
      if (n + 2 >= size) break;
      buffer[n++] = 0;
    }
    buffer[n] = 0;
    if (n + 1 < size) buffer[n + 1] = 0;
    return n;
  }
  std::string wanted = Lower(key);
  for (const auto& kv : s->Keys) {
    if (Lower(kv.first) != wanted) continue;
    std::string v = kv.second;
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) v = v.substr(1, v.size() - 2);
    size_t n = std::min(v.size(), size - 1);
    memcpy(buffer, v.data(), n);
    buffer[n] = 0;
    return n;
  }
  return 0;
}

int ProfileReadInt(const char* section, const char* key) {
  char value[64];
  if (!ProfileReadString(section, key, value, sizeof value)) return 0;
  return static_cast<int>(strtoll(value, nullptr, 10));
}

void* PlatformAllocBlock(size_t bytes, void** handle) {
  if (HostBlockCount >= HostBlockLimit) return nullptr;
  void* memory = calloc(1, bytes);
  if (memory) ++HostBlockCount;
  *handle = memory;
  return memory;
}

void PlatformFreeBlock(void* handle) {
  free(handle);
  --HostBlockCount;
}

int PlatformWriteLogBytes(void*, const char* bytes, size_t count) {
  HostLogBytes.append(bytes, count);
  return 1;
}
