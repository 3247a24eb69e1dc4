// The option tree: folders of options, installed paths of file entries, and the sums the
// pages show. Walks cover top-level options and all their sub-options in script order.
#pragma once
#include <cstddef>
#include <cstdint>

struct Option;
struct FileEntry;

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

// Bytes of the entries of the option and its sub-options as selected (companions stand in
// for unselected options); with siblings also of the options after it. Gross counts Size, net
// Size minus PresentSize. 64-bit, so large products do not wrap.
int64_t SelectedSize(const Option* option, bool withSiblings, bool gross);

// File entries of the option, its sub-options and the options after it, selected or not,
// companions not included.
int32_t CountFileEntries(const Option* option);
