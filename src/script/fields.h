// The field tokenizer that splits every record value of the install script, and the escapes of
// option descriptions.
#pragma once
#include <cstddef>
#include <cstdint>

struct Option;

// Copies the next field of value (from *position) into field, cut to cap - 1 characters, and
// advances *position. 1 when a field was found, 0 when the value has no more fields. When the
// field had to be cut and tooLong is given, *tooLong is set to 1 (it is never cleared).
int NextFieldN(const char* value, int* position, char* field, size_t cap, int32_t* tooLong = nullptr);
template <size_t N> int NextField(const char* value, int* position, char (&field)[N], int32_t* tooLong = nullptr) {
  return NextFieldN(value, position, field, N, tooLong);
}

// Turns \" \\ \n \r into their characters in place; any other escape vanishes.
void UnescapeText(char* text);
void UnescapeDescription(Option* option);
