// The option tree: folders of options, installed paths of file entries, and the sums the
// pages show. Walks cover top-level options and all their sub-options in script order.
#pragma once
#include <cstddef>
#include <cstdint>

#include "script/records.h"

// Writes the option's folder (InstallDir, then each ancestor's and its own Destination, each
// followed by a backslash). 0 when it does not fit the buffer (output then empty) or no option.
int OptionFolderN(char* output, size_t cap, const Option* option);
template <size_t N> int OptionFolder(char (&output)[N], const Option* option) { return OptionFolderN(output, N, option); }

// Writes the installed path of the entry by its DestKind. 0 when the path does not fit (output
// then empty) or the class is unknown (output left unchanged).
int FileEntryPathN(char* output, size_t cap, const Option* option, const FileEntry* entry);
template <size_t N> int FileEntryPath(char (&output)[N], const Option* option, const FileEntry* entry) {
  return FileEntryPathN(output, N, option, entry);
}

// The bytes an entry counts for in every sum: its Size, or 0 for an invalid one (not above 0),
// which would otherwise lower a drive's requirement and turn the progress total negative.
inline int64_t CountedSize(const FileEntry* entry) { return entry->Size > 0 ? entry->Size : 0; }

// Calls visit(option, entry) for every file entry the sums count, as selected: the entries
// of the option, or of its companion when it is not selected (the companion's files are
// copied in its place), except those with DestKind 6; then those of its sub-options, each
// under its own selection; with siblings, those of the options after it.
template <class Visit> void ForEachCountedEntry(const Option* option, bool withSiblings, Visit visit) {
  while (option) {
    const Option* inUse = IsSelected(option) ? option : option->NoCopyNode;
    if (inUse) {
      for (int32_t i = 0; i < inUse->FileCount; ++i)
        if (inUse->FileEntries[i].DestKind != kDestNoCopy) visit(inUse, &inUse->FileEntries[i]);
      ForEachCountedEntry(inUse->FirstChild, true, visit);
    }
    if (!withSiblings) break;
    // A companion's NextSibling is the option after its own option.
    option = inUse ? inUse->NextSibling : option->NextSibling;
  }
}

// Bytes of the entries ForEachCountedEntry visits. Gross counts CountedSize, net CountedSize
// minus PresentSize. 64-bit, so large products do not wrap.
int64_t SelectedSize(const Option* option, bool withSiblings, bool gross);

// File entries of the option, its sub-options and the options after it, selected or not,
// companions not included.
int32_t CountFileEntries(const Option* option);
