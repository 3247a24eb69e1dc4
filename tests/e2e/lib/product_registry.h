// Registry helpers of the product record's tests and scenarios: the product's keys below
// HKEY_LOCAL_MACHINE, set up and read back.
#pragma once
#include <windows.h>

#include <string>

namespace ui {

// "Software\<company>\<product>".
std::string ProductKey(const std::string& company, const std::string& product);
// Deletes the key below HKEY_LOCAL_MACHINE with everything in it.
void DeleteKeyTree(const std::string& path);
// Writes a REG_SZ value (the default value for an empty name), creating the key.
bool SetRegistryString(const std::string& path, const std::string& name, const std::string& value);
// Deletes the value of the key below HKEY_LOCAL_MACHINE, if there is one.
void DeleteRegistryValue(const std::string& path, const std::string& name);
// The text of a REG_SZ value, or "<none>" when the key or the value is missing.
std::string RegistryString(const std::string& path, const std::string& name);
// The type of the value, or REG_NONE when it is missing.
DWORD RegistryType(const std::string& path, const std::string& name);

}  // namespace ui
