// The small path operations every part of the program uses.
#pragma once
#include <cstddef>

// 1 when text begins with every character of prefix (case-sensitive); an empty prefix matches.
int StartsWith(const char* text, const char* prefix);
// Appends "\" to a non-empty path that does not end in one (within cap); returns the length
// before the change.
size_t AddBackslashN(char* path, size_t cap);
template <size_t N> size_t AddBackslash(char (&path)[N]) { return AddBackslashN(path, N); }
// Removes one trailing "\"; 1 when one was removed, else 0.
int StripBackslash(char* path);
