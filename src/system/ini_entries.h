// INI entry records: one key of one section of one INI file.
#pragma once

struct Option;

// Applies INI entry record index of the option: all four fields expanded, the key set in the
// section of the file (a bare file name means the Windows folder), file and section created
// when missing. 0 when the write fails, for a read-only file, and for a record whose fields or
// expansions do not fit.
int ApplyIniEntry(const Option* option, int index);

// Notes the entry as it stands (value, and whether file and section existed) in the run's
// journal before it changes. 1 when noted, or no journal runs.
int NoteIniChange(const char* path, const char* section, const char* key);
// Puts an entry back as a journal noted it: the prior value ("=text", or "-": the key goes), the
// section removed when the change had made it and it is empty, noted first itself.
// *fileLeftOver is 1 when the file was made by the change and holds nothing now (the caller
// removes it). 1 on success.
int RestoreIniEntry(const char* path, const char* section, const char* key, const char* prior, int flags,
                    int* fileLeftOver);
