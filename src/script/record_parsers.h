// Splitting the values of the script's record kinds into their records. Each parser clears
// the record first and cuts every field to its width. Applying records is done elsewhere.
#pragma once
#include <cstdint>

#include "script/records.h"

// The predefined root named exactly (case-sensitive) by name, or 0.
uint32_t RootKeyFromName(const char* name);

void ParseRegisterKey(const char* value, RegisterKeyRecord* record);
void ParseFileType(const char* value, FileTypeRecord* record);
void ParseIni(const char* value, IniRecord* record);
void ParseLink(const char* value, LinkRecord* record);
void ParseSuccessRun(const char* value, SuccessRunRecord* record);
