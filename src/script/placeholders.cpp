#include "script/placeholders.h"

#include <cstring>
#include <iterator>

#include "script/records.h"
#include "startup/paths.h"
#include "startup/state.h"
#include "startup/text.h"

namespace {

enum : int { kNoClass = -1 };

struct Placeholder {
  const char* Name;   // as written after the dollar sign
  int Class;          // destination class reported, or kNoClass
  const char* Value;  // the run-wide text it writes; null for $(NoCopy) and $(SrcDrive)
};

// In the order they are tested.
constexpr Placeholder kPlaceholders[] = {
    {"(WinSysPath)", kDestWinSysPath, SystemDir},
    {"(WinPath)", kDestWinPath, WindowsDir},
    {"(AppPath)", kDestOptionFolder, InstallDir},
    {"(Link)", kNoClass, LinkFolder},
    {"(Group)", kNoClass, DefaultGroup},
    {"(Start)", kNoClass, StartMenuFolder},
    {"(Program)", kNoClass, ProgramsFolder},
    {"(Desktop)", kNoClass, DesktopFolder},
    {"(SrcPath)", kNoClass, SetupDir},
    {"(SrcDrive)", kNoClass, nullptr},
    {"(NoCopy)", kDestNoCopy, nullptr},
    {"(Product)", kNoClass, ProductName},
    {"(Company)", kNoClass, CompanyName},
    {"(Version)", kNoClass, SetupVersion},
};

// The value a placeholder writes; srcDrive is scratch for $(SrcDrive), the first three
// characters of SetupDir.
const char* ValueOf(const Placeholder& placeholder, char (&srcDrive)[4]) {
  if (placeholder.Value) return placeholder.Value;
  CopyText(srcDrive, SetupDir);
  return srcDrive;
}

// Index into kPlaceholders of the placeholder that p (just after a "$") starts with, or the
// table's size when none does.
size_t MatchPlaceholder(const char* p) {
  for (size_t i = 0; i < std::size(kPlaceholders); ++i)
    if (StartsWith(p, kPlaceholders[i].Name)) return i;
  return std::size(kPlaceholders);
}

}  // namespace

int PlaceholderClass(const char* text, int start) {
  int result = start;
  for (const char* p = text; *p;) {
    if (*p == '/' && p[1] == '$') {
      p += 2;
    } else if (*p++ == '$') {
      size_t match = MatchPlaceholder(p);
      if (match == std::size(kPlaceholders)) {
        if (*p) ++p;  // the character after a lone "$" is copied, never read as a placeholder
        continue;
      }
      if (kPlaceholders[match].Class != kNoClass) result = kPlaceholders[match].Class;
      p += strlen(kPlaceholders[match].Name);
    }
  }
  return result;
}

const char* UnknownPlaceholder(const char* text) {
  for (const char* p = text; *p;) {
    if (*p == '/' && p[1] == '$') {
      p += 2;
    } else if (*p++ == '$') {
      size_t match = MatchPlaceholder(p);
      if (match != std::size(kPlaceholders)) {
        p += strlen(kPlaceholders[match].Name);
        continue;
      }
      if (*p == '(') return p - 1;
      if (*p) ++p;
    }
  }
  return nullptr;
}

// The walk keeps the length the output would have without the cut (count), as the original
// algorithm does: it stops once that length reaches the capacity, and the backslash rule looks
// at the uncut text. The buffer holds the first capacity - 1 characters of that text. While
// the walk goes on, count is below the capacity, so the uncut text is all in the buffer.
int ExpandPlaceholdersN(char* output, size_t capacity, const char* text, int* destClass) {
  if (capacity == 0) return 0;
  output[0] = 0;
  size_t count = 0;
  // Adds a character at the end of the uncut text; it lands in the buffer when it fits.
  auto put = [&](char c) {
    if (count + 1 < capacity) {
      output[count] = c;
      output[count + 1] = 0;
    }
    ++count;
  };
  const char* p = text;
  while (*p && count < capacity) {
    if (*p == '$') {
      ++p;
      size_t match = MatchPlaceholder(p);
      if (match == std::size(kPlaceholders)) {
        if (*p) put(*p++);  // "$$" gives one dollar sign; "$x" gives x; a final "$" vanishes
        continue;
      }
      const Placeholder& placeholder = kPlaceholders[match];
      if (placeholder.Class == kDestNoCopy) {
        output[0] = 0;
        count = 0;
      } else {
        char srcDrive[4];
        const char* value = ValueOf(placeholder, srcDrive);
        size_t length = strlen(value);
        // The backslash rule: the uncut text loses one final backslash, whether the value
        // brought it or an empty value left one that ended the output before.
        char last = length ? value[length - 1] : count ? output[count - 1] : 0;
        AppendTextN(output, capacity, value);
        count += length;
        if (last == '\\') {
          --count;
          if (count < capacity) output[count] = 0;
        }
      }
      if (destClass && placeholder.Class != kNoClass) *destClass = placeholder.Class;
      p += strlen(placeholder.Name);
    } else if (*p == '/' && p[1] == '$') {
      put('$');
      p += 2;
    } else {
      put(*p++);
    }
  }
  return *p == 0 && count < capacity;
}
