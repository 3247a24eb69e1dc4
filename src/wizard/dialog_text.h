// The "$p"/"$c" substitution of dialog texts, free of any window so it can be tested alone.
#pragma once
#include <cstddef>

// Window texts are read and written in buffers of this size (including the terminating zero).
constexpr size_t kWindowTextChars = 1024;

// Writes text to out (capacity cap including the terminating zero) with "$p" replaced by
// product and "$c" by company; a "$" before any other character is dropped together with it,
// and a "$" at the very end is dropped. Inserted names are not scanned again. A result longer
// than the buffer is cut at its capacity. Returns the length written.
size_t ExpandDialogText(const char* text, const char* product, const char* company, char* out, size_t cap);
