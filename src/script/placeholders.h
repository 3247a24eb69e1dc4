// Expansion of $(Name) placeholders in script texts with the run-time folders and names.
#pragma once
#include <cstddef>

// Writes the expansion of text into output (capacity characters including the zero; the
// output never holds more than capacity - 1). When destClass is given it receives the class
// of the last classifying placeholder met and is left alone otherwise. Returns 1 when the whole
// expansion fits, 0 when it was cut (a cut path names something else: callers refuse it).
int ExpandPlaceholdersN(char* output, size_t capacity, const char* text, int* destClass);
template <size_t N> int ExpandPlaceholders(char (&output)[N], const char* text, int* destClass = nullptr) {
  return ExpandPlaceholdersN(output, N, text, destClass);
}

// The class of the last classifying placeholder in text ($(WinSysPath) 2, $(WinPath) 1,
// $(AppPath) 0, $(NoCopy) 6), found by the same walk as the expansion but over the text's own
// placeholders, whatever their values; start when the text has none.
int PlaceholderClass(const char* text, int start);

// The first "$(" of text that starts no placeholder of the table, as the expansion walks the
// text (after "/" or a first "$" a dollar sign is literal); null when every one is known.
const char* UnknownPlaceholder(const char* text);
