#include "wizard/dialog_text.h"

#include "startup/text.h"

size_t ExpandDialogText(const char* text, const char* product, const char* company, char* out, size_t cap) {
  if (cap == 0) return 0;
  out[0] = 0;
  size_t len = 0;
  for (const char* p = text ? text : ""; *p && len + 1 < cap; ++p) {
    if (*p != '$') {
      out[len++] = *p;
      out[len] = 0;
      continue;
    }
    ++p;
    if (*p == 0) break;  // a "$" at the end stands for nothing
    if (*p == 'p') {
      len = AppendTextN(out, cap, product);
    } else if (*p == 'c') {
      len = AppendTextN(out, cap, company);
    }
  }
  return len;
}
