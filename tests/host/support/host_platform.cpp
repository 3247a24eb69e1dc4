// The platform under the portable core on the host: a recorded message box, whole sections
// of an INI text as the platform's section read hands them over, and calloc'ed arena blocks.
#include "host_platform.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "script/script_profile.h"
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
  ForgetScriptSections();
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
    script.back().Keys.emplace_back(Trim(line.substr(0, eq)), eq == std::string::npos ? "\x01" : Trim(line.substr(eq + 1)));
  }
}

void HostResetPlatform() {
  HostBoxes.clear();
  HostBlockCount = 0;
  HostBlockLimit = SIZE_MAX;
  HostLogBytes.clear();
  script.clear();
  ForgetScriptSections();
}

int ShowOwnerlessMessage(const char* text, const char* caption, unsigned style) {
  HostBoxes.push_back({text, caption ? caption : "<default>", style});
  return 1;
}

// The section as the platform's section read hands it over; a bare name (marked "\x01")
// has no "=".
char* PlatformReadSection(const char* name) {
  std::string lines;
  if (const Section* s = FindSection(name))
    for (const auto& kv : s->Keys) lines += kv.first + (kv.second == "\x01" ? "" : "=" + kv.second) + '\0';
  lines += '\0';
  char* text = static_cast<char*>(malloc(lines.size() + 1));
  memcpy(text, lines.data(), lines.size());
  text[lines.size()] = 0;
  return text;
}

// Asked only for what the section text cannot decide; the host answers "?" to show it was.
size_t PlatformReadProfileString(const char*, const char*, char* buffer, size_t size) {
  if (size < 3) return 0;
  memcpy(buffer, "?\0", 3);
  return 1;
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
