// The field tokenizer that splits every record value of the install script, and the escapes of
// option descriptions.
#pragma once
#include <cstddef>

struct Option;

// Copies the next field of value (from *position) into field, cut to cap - 1 characters, and
// advances *position. 1 when a field was found, 0 when the value has no more fields.
int NextFieldN(const char* value, int* position, char* field, size_t cap);
template <size_t N> int NextField(const char* value, int* position, char (&field)[N]) {
  return NextFieldN(value, position, field, N);
}

// Turns \" \\ \n \r into their characters in place; any other escape vanishes.
void UnescapeText(char* text);
void UnescapeDescription(Option* option);
