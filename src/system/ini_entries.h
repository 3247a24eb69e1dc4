// INI entry records: one key of one section of one INI file.
#pragma once

struct Option;

// Applies INI entry record index of the option: all four fields expanded, the key set in the
// section of the file (a bare file name means the Windows folder), file and section created
// when missing. 0 when the write fails, for a read-only file, and for a record whose fields or
// expansions do not fit.
int ApplyIniEntry(const Option* option, int index);
