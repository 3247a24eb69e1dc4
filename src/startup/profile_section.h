// Profile reads answered from a whole section read at once. Asking the platform key by key
// costs a file check and a parse per read; one section read serves all the keys of a section.
//
// The section text is what the platform's section read returns: one entry per line of the
// section, "name=value" or a bare name (a line without "="), each ended by a zero, the last
// one followed by a second zero. Names and values arrive without their surrounding blanks,
// values still in their quotes; comment lines (";") are left out.
//
// The rules below are those the platform's profile functions apply on code page 1252: names
// match ASCII letters without regard to case, the first entry of a name counts, a bare name
// reads as "", one enclosing pair of quotes is removed from a value, and a value is cut to the
// buffer size minus one.
#pragma once
#include <cstddef>

// A name byte folded so that two names match when their folded bytes are equal: ASCII letters
// without regard to case, every other byte only itself. This is how the profile functions under
// Wine match section and key names (Windows may fold the letters beyond ASCII too; the names
// the setup asks for are all ASCII).
unsigned char FoldProfileChar(unsigned char c);

// Copies a value as the string read returns it: without one enclosing pair of quotes, cut to
// the buffer (size > 0); returns the length written.
size_t CopyProfileValue(const char* value, char* buffer, size_t size);

// The blanks the platform ignores around a requested section or key name.
int IsProfileBlank(char c);

// Sets *start and *length to the name without its surrounding blanks.
void TrimProfileName(const char* name, const char** start, size_t* length);

// String read of key from the section text into buffer (size > 0), with the default "".
// Returns 1 and sets *length when the section text decides the answer; 0 when only the
// platform can: an empty key, a key starting with ";" (the platform finds comment lines as
// keys but leaves them out of the section text) and names that differ only in the case of
// letters beyond ASCII (whether those match is the platform's own business).
int SectionReadString(const char* lines, const char* key, char* buffer, size_t size, size_t* length);

// The list of key names of the section (key read with no key): names of the entries with
// "=", each ended by a zero, cut to the buffer; returns what the platform returns (size - 2
// when the list was cut, 0 when the list is empty or starts with an empty name). Unlike the
// platform's own read, the text written always ends in two zeros within the buffer.
size_t SectionReadKeys(const char* lines, char* buffer, size_t size);

// Characters the integer read looks at: the value as a string read into 30 characters.
constexpr size_t kProfileIntChars = 30;

// The number in a value as the integer read finds it: leading blanks and control characters
// skipped, one optional sign, a base prefix "0x", "0o" or "0b" (lower case only), then digits
// of that base up to the first other character. Numbers beyond the signed 32-bit range
// saturate at its limits instead of wrapping as the platform's read does.
int ParseProfileInt(const char* text);
