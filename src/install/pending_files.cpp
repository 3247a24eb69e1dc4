#include "install/pending_files.h"

#include <cstring>

#include "startup/codepage.h"
#include "startup/text.h"

namespace {

bool SameName(const char* a, const char* b) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
  for (; *x && FoldCp1252(*x) == FoldCp1252(*y); ++x, ++y) {
  }
  return FoldCp1252(*x) == FoldCp1252(*y);
}

}  // namespace

int IsPendingFilesImage(const PendingFiles* list, size_t bytesRead) {
  if (bytesRead != sizeof *list || list->Count < 0 || list->Count > kMaxPendingFiles) return 0;
  for (int i = 0; i < list->Count; ++i)
    if (!memchr(list->Files[i].Path, 0, sizeof list->Files[i].Path)) return 0;
  return 1;
}

void AddPendingFile(PendingFiles* list, const char* path, int64_t size) {
  int at = FindPendingFile(list, path);
  if (at < 0) {
    if (list->Count == kMaxPendingFiles) RemovePendingFile(list, 0);
    at = list->Count++;
    CopyText(list->Files[at].Path, path);
  }
  list->Files[at].Size = size;
}

int FindPendingFile(const PendingFiles* list, const char* path) {
  for (int i = 0; i < list->Count; ++i)
    if (SameName(list->Files[i].Path, path)) return i;
  return -1;
}

void RemovePendingFile(PendingFiles* list, int index) {
  if (index < 0 || index >= list->Count) return;
  memmove(&list->Files[index], &list->Files[index + 1], (list->Count - index - 1) * sizeof list->Files[0]);
  list->Count -= 1;
}
