// File type records: an extension named after a file type under HKEY_CLASSES_ROOT, the type's
// description and up to ten sub keys of the type (shell verbs, icon).
#pragma once

struct Option;

// Asks whether the extension may leave the type it belongs to now; 1 for yes. The question is
// the full text of the box "Dateiendung...".
typedef int (*ConfirmTypeChange)(const char* question);

// Applies file type record index of the option. A record without an extension or a type name
// (also one the count names but the script lacks), or whose fields or expansions do not fit,
// is refused before anything is read or changed. 1 on success, also when the user keeps the
// other type (nothing is changed or logged then); 0 on failure.
int ApplyFileType(const Option* option, int index, ConfirmTypeChange confirm);
