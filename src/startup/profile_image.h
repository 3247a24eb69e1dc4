// An INI file held in memory and read with the platform's profile rules, for the places that
// read a script without the platform's profile functions (the publisher's tool, the host
// tests). Beyond what the profile functions tell, it knows the line of every section and key
// and where each value stands in the text, so a tool can point at a line or rewrite a value.
//
// The file is split as the platform splits it: a line ends at "\r" or "\n"; blanks (see
// IsProfileBlank) around a line, a name and a value are dropped; "[name]" up to the last "]"
// starts a section (blanks inside the brackets dropped too); a line that starts with ";" is
// a comment; any other line is an entry "name=value" or a bare name. Entries before the first
// section belong to a section with the empty name. A file that starts with the UTF-8 mark is
// turned into code page 1252 first ("?" for what that page lacks), as the platform does.
//
// Reads follow script/script_profile.h: the first section of a name counts, the first entry of a
// key name counts, names match as FoldProfileChar folds them; an empty or blank key name finds
// the first entry without a name.
#pragma once
#include <cstddef>
#include <cstdint>

struct ProfileEntry {
  const char* Name;       // as a C string (a zero byte in the file ends it)
  const char* Value;      // after the "=", still in its quotes; null for a bare name
  uint32_t Line;          // 1-based line in the file
  uint32_t IsComment;     // a ";" line: found by a key read of its own name, nothing else
  size_t ValueOffset;     // where the value starts in Text (or the line, for a bare name)
  size_t ValueLength;     // bytes of the value in Text, without the blanks around it
};

struct ProfileSection {
  const char* Name;       // as written between "[" and "]", without blanks around it
  uint32_t Line;          // line of the header; 0 for the section before the first header
  ProfileEntry* Entries;  // in file order
  uint32_t EntryCount;
  char* Lines;            // the section text of script/script_profile.h
  uint32_t* Index;        // entry number + 1 by name hash, 0 for a free slot
  uint32_t IndexSize;     // a power of two
};

struct ProfileImage {
  char* Text;             // the text the image was made from (code page 1252)
  size_t TextSize;
  int Utf8Mark;           // the file started with the UTF-8 mark and was converted
  ProfileSection* Sections;
  uint32_t SectionCount;
  uint32_t* Index;        // section number + 1 by name hash
  uint32_t IndexSize;
  char* Storage;          // names, values and section texts
};

// Makes the image of a file's bytes; 0 when memory runs out (the image is then empty).
int ProfileImageLoad(ProfileImage* image, const char* bytes, size_t size);
void ProfileImageFree(ProfileImage* image);

// The first section of the name; trimName drops blanks around the name first, as key reads
// do (the key list does not). Null when absent.
const ProfileSection* ProfileImageSection(const ProfileImage* image, const char* name, int trimName);
// The entry a key read of the section finds, comments included; null when none.
const ProfileEntry* ProfileSectionEntry(const ProfileSection* section, const char* key);

// The string read (key null: the key list) with the default "", as script/script_profile.h describes.
size_t ProfileImageReadString(const ProfileImage* image, const char* section, const char* key, char* buffer,
                              size_t size);
// The integer read: the string read into kProfileIntChars characters, parsed by ParseProfileInt.
int ProfileImageReadInt(const ProfileImage* image, const char* section, const char* key);
