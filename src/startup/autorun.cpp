#include "startup/autorun.h"

#include <cstring>

#include "startup/text.h"

// The name is compared with the one the running program made from its own path, so the case of
// letters and the kind of slash must not matter; characters beyond ASCII are the code page's
// and stay as they are.
int RunningProductEventNameN(char* output, size_t cap, const char* programPath) {
  if (cap == 0) return 0;
  size_t length = strlen(programPath);
  if (length >= cap) {
    output[0] = 0;
    return 0;
  }
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(programPath[i]);
    if (c == '\\') c = '/';
    else if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
    else if (c == 127) c = '_';
    output[i] = static_cast<char>(c);
  }
  output[length] = 0;
  return 1;
}

int AutorunCommandLineN(char* output, size_t cap, const char* program, const char* argument) {
  if (cap == 0) return 0;
  if (strlen(program) + strlen(argument) + 3 >= cap) {
    output[0] = 0;
    return 0;
  }
  FormatTextN(output, cap, "%s \"%s\"", program, argument);
  return 1;
}
