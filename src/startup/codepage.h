// Code page 1252, the program's own text, against Unicode and UTF-8: for a script saved as
// UTF-8, and for a tool whose console and file names speak UTF-8.
#pragma once
#include <cstddef>
#include <cstdint>

// The Unicode character of a code page 1252 byte.
uint32_t Cp1252ToUnicode(unsigned char c);
// The code page 1252 byte of a Unicode character, or -1 when the page lacks it.
int UnicodeToCp1252(uint32_t u);

// A letter folded to lower case, ASCII and the letters of the page beyond it (Š Œ Ž Ÿ À..Þ to
// their partners), as file names are compared on Windows.
unsigned char FoldCp1252(unsigned char c);

// The length of the well-formed UTF-8 sequence at p (at most n bytes), storing its character;
// 0 when no well-formed sequence starts there (overlong forms and surrogates are not).
size_t DecodeUtf8(const char* p, size_t n, uint32_t* u);

// UTF-8 text of n bytes into code page 1252, into dst of at least n bytes; a character the page
// lacks, and a byte that starts no well-formed sequence, become "?". Returns the length.
size_t Utf8ToCp1252(const char* src, size_t n, char* dst);
// A code page 1252 text into UTF-8 in dst (capacity cap, terminating zero included), cut at a
// whole character; returns the length.
size_t Cp1252ToUtf8(const char* src, char* dst, size_t cap);
