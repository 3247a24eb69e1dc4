#include "startup/profile_image.h"

#include <cstdlib>
#include <cstring>

#include "startup/codepage.h"
#include "script/script_profile.h"

namespace {

// One line of the file as the platform splits it, blanks around it dropped.
struct RawLine {
  const char* Start;
  const char* End;
  uint32_t Line;
};

struct LineWalker {
  const char* At;
  const char* End;
  uint32_t Line;  // editor line of the text at At

  // The next line that holds more than blanks; 0 at the end of the text.
  int Next(RawLine* out) {
    while (At < End) {
      const char* start = At;
      uint32_t line = Line;
      while (At < End && *At != '\r' && *At != '\n') ++At;
      const char* stop = At;
      // "\r\n" is one line break, a lone "\r" or "\n" one each.
      while (At < End && (*At == '\r' || *At == '\n')) {
        if (*At == '\r' && At + 1 < End && At[1] == '\n') ++At;
        ++At;
        ++Line;
      }
      while (start < stop && IsProfileBlank(*start)) ++start;
      while (stop > start && IsProfileBlank(stop[-1])) --stop;
      if (start < stop) {
        *out = {start, stop, line};
        return 1;
      }
    }
    return 0;
  }
};

// What a line is: a section header, or an entry with a name and maybe a value.
struct LineParts {
  int IsSection;
  const char* Name;
  size_t NameLength;
  const char* Value;  // null for a bare name
  size_t ValueLength;
};

LineParts SplitLine(const RawLine& line) {
  LineParts parts{};
  if (*line.Start == '[') {
    // The name runs to the last "]"; a header without one is an entry line.
    for (const char* close = line.End - 1; close > line.Start; --close)
      if (*close == ']') {
        // The name loses the blanks around it inside the brackets.
        const char* name = line.Start + 1;
        while (name < close && IsProfileBlank(*name)) ++name;
        while (close > name && IsProfileBlank(close[-1])) --close;
        parts.IsSection = 1;
        parts.Name = name;
        parts.NameLength = static_cast<size_t>(close - name);
        return parts;
      }
  }
  const char* equals = static_cast<const char*>(memchr(line.Start, '=', static_cast<size_t>(line.End - line.Start)));
  parts.Name = line.Start;
  if (!equals) {
    parts.NameLength = static_cast<size_t>(line.End - line.Start);
    return parts;
  }
  const char* nameEnd = equals;
  while (nameEnd > line.Start && IsProfileBlank(nameEnd[-1])) --nameEnd;
  const char* value = equals + 1;
  while (value < line.End && IsProfileBlank(*value)) ++value;
  parts.NameLength = static_cast<size_t>(nameEnd - line.Start);
  parts.Value = value;
  parts.ValueLength = static_cast<size_t>(line.End - value);
  return parts;
}

uint32_t HashName(const char* name, size_t length) {
  uint32_t hash = 2166136261u;
  for (size_t i = 0; i < length; ++i) hash = (hash ^ FoldProfileChar(static_cast<unsigned char>(name[i]))) * 16777619u;
  return hash;
}

int SameName(const char* stored, const char* name, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (!stored[i] || FoldProfileChar(static_cast<unsigned char>(stored[i])) !=
                          FoldProfileChar(static_cast<unsigned char>(name[i])))
      return 0;
  return stored[length] == 0;
}

uint32_t IndexSizeFor(uint32_t count) {
  uint32_t size = 4;
  while (size < count * 2u) size *= 2;
  return size;
}

// Looks a name up in an index of numbers + 1; nameOf gives the stored name of a number.
template <class NameOf>
uint32_t Find(const uint32_t* index, uint32_t size, const char* name, size_t length, NameOf nameOf) {
  if (!index) return 0;
  for (uint32_t slot = HashName(name, length) & (size - 1);; slot = (slot + 1) & (size - 1)) {
    uint32_t number = index[slot];
    if (number == 0 || SameName(nameOf(number - 1), name, length)) return number;
  }
}

// Adds a number under its name unless the name is there already (the first one counts).
template <class NameOf> void Insert(uint32_t* index, uint32_t size, uint32_t number, NameOf nameOf) {
  const char* name = nameOf(number);
  size_t length = strlen(name);
  for (uint32_t slot = HashName(name, length) & (size - 1);; slot = (slot + 1) & (size - 1)) {
    if (index[slot] == 0) {
      index[slot] = number + 1;
      return;
    }
    if (SameName(nameOf(index[slot] - 1), name, length)) return;
  }
}

char* Keep(char** storage, const char* text, size_t length) {
  char* kept = *storage;
  memcpy(kept, text, length);
  kept[length] = 0;
  *storage += length + 1;
  return kept;
}

// Builds the section text: entries other than comments, "name=value" or a bare name; a
// nameless bare entry is left out as the platform leaves it out.
void BuildLines(ProfileSection* section, char** storage) {
  char* out = *storage;
  section->Lines = out;
  for (uint32_t i = 0; i < section->EntryCount; ++i) {
    const ProfileEntry& entry = section->Entries[i];
    if (entry.IsComment || (!entry.Name[0] && !entry.Value)) continue;
    size_t n = strlen(entry.Name);
    memcpy(out, entry.Name, n);
    out += n;
    if (entry.Value) {
      *out++ = '=';
      n = strlen(entry.Value);
      memcpy(out, entry.Value, n);
      out += n;
    }
    *out++ = 0;
  }
  *out++ = 0;
  *out++ = 0;
  *storage = out;
}

int Fail(ProfileImage* image) {
  ProfileImageFree(image);
  return 0;
}

}  // namespace

int ProfileImageLoad(ProfileImage* image, const char* bytes, size_t size) {
  *image = ProfileImage{};
  int utf8 = size >= 3 && memcmp(bytes, "\xEF\xBB\xBF", 3) == 0;
  image->Text = static_cast<char*>(malloc(size + 1));
  if (!image->Text) return Fail(image);
  image->TextSize = utf8 ? Utf8ToCp1252(bytes + 3, size - 3, image->Text) : size;
  if (!utf8) memcpy(image->Text, bytes, size);
  image->Text[image->TextSize] = 0;
  image->Utf8Mark = utf8;
  const char* text = image->Text;
  const char* end = text + image->TextSize;

  // First pass: how much of everything.
  uint32_t sections = 1, entries = 0;
  size_t storage = 3;
  LineWalker walk{text, end, 1};
  RawLine line;
  while (walk.Next(&line)) {
    LineParts parts = SplitLine(line);
    if (parts.IsSection) {
      ++sections;
      storage += parts.NameLength + 3;
    } else {
      ++entries;
      storage += 2 * (parts.NameLength + parts.ValueLength + 2);
    }
  }
  image->Sections = static_cast<ProfileSection*>(calloc(sections, sizeof(ProfileSection)));
  ProfileEntry* entryArray = static_cast<ProfileEntry*>(calloc(entries ? entries : 1, sizeof(ProfileEntry)));
  image->Storage = static_cast<char*>(malloc(storage));
  if (!image->Sections || !image->Storage || !entryArray) {
    free(entryArray);
    return Fail(image);
  }

  // Second pass: the sections and their entries, in file order.
  char* store = image->Storage;
  ProfileSection* section = &image->Sections[0];
  section->Name = Keep(&store, "", 0);
  section->Entries = entryArray;
  image->SectionCount = 1;
  ProfileEntry* next = entryArray;
  walk = LineWalker{text, end, 1};
  while (walk.Next(&line)) {
    LineParts parts = SplitLine(line);
    if (parts.IsSection) {
      section = &image->Sections[image->SectionCount++];
      section->Name = Keep(&store, parts.Name, parts.NameLength);
      section->Line = line.Line;
      section->Entries = next;
      continue;
    }
    // A nameless entry right after another nameless one is dropped, as the platform drops it.
    if (parts.NameLength == 0 && section->EntryCount > 0 && !next[-1].Name[0]) continue;
    ProfileEntry* entry = next++;
    ++section->EntryCount;
    entry->Name = Keep(&store, parts.Name, parts.NameLength);
    entry->Value = parts.Value ? Keep(&store, parts.Value, parts.ValueLength) : nullptr;
    entry->Line = line.Line;
    entry->IsComment = parts.Name[0] == ';';
    entry->ValueOffset = static_cast<size_t>((parts.Value ? parts.Value : line.Start) - text);
    entry->ValueLength = parts.ValueLength;
  }
  for (uint32_t s = 0; s < image->SectionCount; ++s) BuildLines(&image->Sections[s], &store);

  // The indexes: every section's entries, and the sections by name.
  size_t slots = IndexSizeFor(image->SectionCount);
  for (uint32_t s = 0; s < image->SectionCount; ++s) slots += IndexSizeFor(image->Sections[s].EntryCount);
  uint32_t* index = static_cast<uint32_t*>(calloc(slots, sizeof(uint32_t)));
  if (!index) return Fail(image);
  image->Index = index;
  image->IndexSize = IndexSizeFor(image->SectionCount);
  index += image->IndexSize;
  for (uint32_t s = 0; s < image->SectionCount; ++s) {
    ProfileSection* current = &image->Sections[s];
    current->Index = index;
    current->IndexSize = IndexSizeFor(current->EntryCount);
    index += current->IndexSize;
    for (uint32_t i = 0; i < current->EntryCount; ++i)
      Insert(current->Index, current->IndexSize, i, [current](uint32_t k) { return current->Entries[k].Name; });
    Insert(image->Index, image->IndexSize, s, [image](uint32_t k) { return image->Sections[k].Name; });
  }
  return 1;
}

void ProfileImageFree(ProfileImage* image) {
  free(image->Text);
  if (image->Sections) free(image->Sections[0].Entries);
  free(image->Sections);
  free(image->Storage);
  free(image->Index);
  *image = ProfileImage{};
}

const ProfileSection* ProfileImageSection(const ProfileImage* image, const char* name, int trimName) {
  const char* start = name;
  size_t length = strlen(name);
  if (trimName) TrimProfileName(name, &start, &length);
  uint32_t number = Find(image->Index, image->IndexSize, start, length,
                         [image](uint32_t k) { return image->Sections[k].Name; });
  return number ? &image->Sections[number - 1] : nullptr;
}

const ProfileEntry* ProfileSectionEntry(const ProfileSection* section, const char* key) {
  const char* start;
  size_t length;
  TrimProfileName(key, &start, &length);
  uint32_t number = Find(section->Index, section->IndexSize, start, length,
                         [section](uint32_t k) { return section->Entries[k].Name; });
  return number ? &section->Entries[number - 1] : nullptr;
}

size_t ProfileImageReadString(const ProfileImage* image, const char* section, const char* key, char* buffer,
                              size_t size) {
  if (size == 0) return 0;
  buffer[0] = 0;
  if (size > 1 && !key) buffer[1] = 0;
  if (!section) return 0;
  const ProfileSection* found = ProfileImageSection(image, section, key != nullptr);
  if (!found) return 0;
  if (!key) return SectionReadKeys(found->Lines, buffer, size);
  const ProfileEntry* entry = ProfileSectionEntry(found, key);
  if (!entry) return 0;
  return CopyProfileValue(entry->Value ? entry->Value : "", buffer, size);
}

int ProfileImageReadInt(const ProfileImage* image, const char* section, const char* key) {
  char text[kProfileIntChars];
  ProfileImageReadString(image, section, key, text, sizeof text);
  return ParseProfileInt(text);
}
