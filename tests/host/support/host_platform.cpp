// The platform under the portable core on the host: a recorded message box, whole sections
// of an INI text as the platform's section read hands them over, and calloc'ed arena blocks.
#include "host_platform.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "script/script_profile.h"
#include "startup/platform.h"

namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  return b == std::string::npos ? "" : s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

// Each section's name and its text: "name=value" or a bare name, each ended by a zero.
std::vector<std::pair<std::string, std::string>> script;

}  // namespace

std::vector<HostBox> HostBoxes;
size_t HostBlockCount;
size_t HostBlockLimit = SIZE_MAX;
std::string HostLogBytes;

void HostLoadScript(const std::string& text) {
  script.clear();
  ForgetScriptSections();
  for (size_t pos = 0, end; pos <= text.size(); pos = end + 1) {
    end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = Trim(text.substr(pos, end - pos));
    size_t eq = line.find('=');
    if (line[0] == '[') script.push_back({line.substr(1, line.find(']') - 1), ""});
    else if (!line.empty() && line[0] != ';' && !script.empty())
      script.back().second += Trim(line.substr(0, eq)) + (eq == std::string::npos ? "" : "=" + Trim(line.substr(eq + 1))) + '\0';
  }
}

void HostResetPlatform() {
  HostBoxes.clear();
  HostBlockCount = 0;
  HostBlockLimit = SIZE_MAX;
  HostLogBytes.clear();
  HostLoadScript("");
}

int ShowOwnerlessMessage(const char* text, const char* caption, unsigned style) {
  HostBoxes.push_back({text, caption ? caption : "<default>", style});
  return 1;
}

char* PlatformReadSection(const char* name) {
  std::string lines;
  for (const auto& [section, text] : script)
    if (strcasecmp(section.c_str(), name) == 0) {
      lines = text;
      break;
    }
  char* copy = static_cast<char*>(calloc(lines.size() + 2, 1));
  memcpy(copy, lines.data(), lines.size());
  return copy;
}

// Asked only for what the section text cannot decide; the host answers "?" to show it was.
size_t PlatformReadProfileString(const char*, const char*, char* buffer, size_t size) {
  if (size < 3) return 0;
  memcpy(buffer, "?\0", 3);
  return 1;
}

void* PlatformAllocBlock(size_t bytes, void** handle) {
  void* memory = HostBlockCount < HostBlockLimit ? calloc(1, bytes) : nullptr;
  HostBlockCount += memory != nullptr;
  return *handle = memory;
}

void PlatformFreeBlock(void* handle) {
  free(handle);
  --HostBlockCount;
}

int PlatformWriteLogBytes(void*, const char* bytes, size_t count) {
  HostLogBytes.append(bytes, count);
  return 1;
}
