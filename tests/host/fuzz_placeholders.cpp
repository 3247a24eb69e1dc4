// Fuzzes ExpandPlaceholders with random texts, random run-wide values and small capacities.
// The oracle is the expansion algorithm on an unbounded string: the output must be its first
// capacity - 1 characters, with the same class, and nothing may be written past the capacity.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "script/placeholders.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

struct Value {
  const char* Name;
  char* Buffer;  // null: $(SrcDrive) and $(NoCopy), derived or empty
  size_t Size;
  int Class;     // -1: none
};

Value kValues[] = {
    {"(WinSysPath)", SystemDir, sizeof SystemDir, 2},
    {"(WinPath)", WindowsDir, sizeof WindowsDir, 1},
    {"(AppPath)", InstallDir, sizeof InstallDir, 0},
    {"(Link)", LinkFolder, sizeof LinkFolder, -1},
    {"(Group)", DefaultGroup, sizeof DefaultGroup, -1},
    {"(Start)", StartMenuFolder, sizeof StartMenuFolder, -1},
    {"(Program)", ProgramsFolder, sizeof ProgramsFolder, -1},
    {"(Desktop)", DesktopFolder, sizeof DesktopFolder, -1},
    {"(SrcPath)", SetupDir, sizeof SetupDir, -1},
    {"(SrcDrive)", nullptr, 0, -1},
    {"(NoCopy)", nullptr, 0, 6},
    {"(Product)", ProductName, sizeof ProductName, -1},
    {"(Company)", CompanyName, sizeof CompanyName, -1},
    {"(Version)", SetupVersion, sizeof SetupVersion, -1},
};

// The expansion, step by step as the original program walks the text, without any limit
// on the output.
std::string Reference(const std::string& text, size_t capacity, int* destClass) {
  std::string out;
  size_t i = 0;
  while (i < text.size() && out.size() < capacity) {
    if (text[i] == '$') {
      ++i;
      const Value* match = nullptr;
      for (const Value& v : kValues)
        if (text.compare(i, strlen(v.Name), v.Name) == 0) {
          match = &v;
          break;
        }
      if (!match) {
        if (i < text.size()) out += text[i++];
        continue;
      }
      if (match->Class == 6) {
        out.clear();
      } else {
        out += match->Buffer ? std::string(match->Buffer) : std::string(SetupDir).substr(0, 3);
        if (!out.empty() && out.back() == '\\') out.pop_back();
      }
      if (match->Class >= 0) *destClass = match->Class;
      i += strlen(match->Name);
    } else if (text[i] == '/' && i + 1 < text.size() && text[i + 1] == '$') {
      out += '$';
      i += 2;
    } else {
      out += text[i++];
    }
  }
  return out;
}

}  // namespace

// Input: one byte of capacity, then the run-wide values and the text, separated by 0x01
// (values first, in table order; the last piece is the text). Short inputs give short texts.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 8192) return 0;
  size_t capacity = data[0] % 72;  // 0 to 71, and now and then the full path size
  if (data[0] >= 248) capacity = 260;
  std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  rest = rest.c_str();  // texts and values never hold a zero

  std::vector<std::string> pieces;
  size_t start = 0;
  for (size_t sep; (sep = rest.find('\x01', start)) != std::string::npos; start = sep + 1)
    pieces.push_back(rest.substr(start, sep - start));
  std::string text = rest.substr(start);
  size_t piece = 0;
  for (Value& v : kValues)
    if (v.Buffer) CopyTextN(v.Buffer, v.Size, piece < pieces.size() ? pieces[piece++].c_str() : "");

  int expectedClass = 99;
  std::string expected = Reference(text, capacity, &expectedClass);
  if (capacity && expected.size() > capacity - 1) expected.resize(capacity - 1);

  // An exact-size heap block: AddressSanitizer catches any write past the capacity.
  char* output = static_cast<char*>(malloc(capacity ? capacity : 1));
  memset(output, 'Z', capacity ? capacity : 1);
  int destClass = 99;
  ExpandPlaceholdersN(output, capacity, text.c_str(), &destClass);
  if (capacity == 0) {
    if (output[0] != 'Z' || destClass != 99) __builtin_trap();
  } else {
    if (strnlen(output, capacity) >= capacity) __builtin_trap();  // unterminated
    if (expected != output) __builtin_trap();
    if (destClass != expectedClass) __builtin_trap();
  }
  free(output);
  return 0;
}
