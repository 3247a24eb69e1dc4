// Reads of SETUP.LST by section and key: the one place that knows the profile reading rules.
//
// A section is read from the platform whole, once (a read of its own per key costs the
// platform a check of the file and a walk of it), kept with an index of its key names, and
// every read of the section is answered from there. The section text is what the platform's
// section read returns: one entry per line, "name=value" or a bare name, each ended by a
// zero, the last one followed by a second zero; names and values without their surrounding
// blanks, values still in their quotes, comment lines left out.
//
// The rules are those of the platform's profile functions on code page 1252: section and key
// names match without regard to the case of ASCII letters, the first entry of a name counts,
// a bare name reads as "", blanks around a requested key are ignored, one enclosing pair of
// quotes is removed from a value, a value is cut to the buffer size minus one, and a missing
// key reads as "" or 0. Where only the platform can decide (names that differ in the case of
// letters beyond ASCII, a key starting with ";"), the platform's own key read answers.
#pragma once
#include <cstddef>

// String read with the default ""; returns the length read.
size_t ReadScriptString(const char* section, const char* key, char* buffer, size_t size);
// Integer read with the default 0: the value read into 30 characters, then ParseProfileInt.
int ReadScriptInt(const char* section, const char* key);
// The section's key names, each ended by a zero and the list by a second one, cut to the
// buffer (whose text always ends in two zeros); returns what the platform's key list read
// returns: the length, size - 2 when cut, 0 when empty.
size_t ReadScriptKeys(const char* section, char* buffer, size_t size);
// A section is present when it has at least one key.
int ScriptSectionPresent(const char* section);
// Drops every section read so far: the next reads see the script file as it is now.
void ForgetScriptSections();

// Portable pieces of the rules (the publisher's tool reads a script with them too).
// The byte a name's character is compared as: ASCII letters without regard to case.
unsigned char FoldProfileChar(unsigned char c);
// A value as the string read returns it: without one enclosing pair of quotes, cut to size - 1.
size_t CopyProfileValue(const char* value, char* buffer, size_t size);
// The key list of a section text, as the platform's key list read writes it (see ReadScriptKeys).
size_t SectionReadKeys(const char* lines, char* buffer, size_t size);
// The blanks the platform ignores around a requested section or key name.
int IsProfileBlank(char c);
// Sets *start and *length to the name without its surrounding blanks.
void TrimProfileName(const char* name, const char** start, size_t* length);
// Characters the integer read looks at.
constexpr size_t kProfileIntChars = 30;
// The number in a value as the integer read finds it: leading blanks and control characters
// skipped, one optional sign, a base prefix "0x", "0o" or "0b" (lower case only), then digits
// of that base up to the first other character. Numbers beyond the signed 32-bit range
// saturate at its limits instead of wrapping as the platform's read does.
int ParseProfileInt(const char* text);
