// The temporary file a target is copied to before it is put in place.
#pragma once
#include <cstddef>

// Beside the target, named "stp" and four hex digits of a hash of the target's path (case
// folded): "stp1A2B.tmp". The same target gets the same name in every run, so the next run
// that installs the file removes what a killed run left beside it. Where that name does not
// fit the buffer, the shorter "~1A2B" is taken; a name that would be the target itself is
// passed over. 0 when none fits or the path names no folder.
int TemporaryPathForN(char* out, size_t cap, const char* targetPath);
template <size_t N> int TemporaryPathFor(char (&out)[N], const char* targetPath) {
  return TemporaryPathForN(out, N, targetPath);
}
