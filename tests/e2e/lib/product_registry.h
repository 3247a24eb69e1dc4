// Registry helpers of the tests and scenarios (keys below HKEY_LOCAL_MACHINE unless a root is given).
#pragma once
#include <windows.h>

#include <string>

namespace ui {

// "Software\<company>\<product>".
std::string ProductKey(const std::string& company, const std::string& product);
// The product's entry in the system's list of software:
// "Software\Microsoft\Windows\CurrentVersion\Uninstall\<company> <product>".
std::string UninstallKey(const std::string& company, const std::string& product);
// Deletes the key with everything in it (below HKEY_LOCAL_MACHINE unless another root is given).
void DeleteKeyTree(HKEY root, const std::string& path);
inline void DeleteKeyTree(const std::string& path) { DeleteKeyTree(HKEY_LOCAL_MACHINE, path); }
// Writes a REG_SZ value (the default value for an empty name), creating the key.
bool SetRegistryString(const std::string& path, const std::string& name, const std::string& value);
void DeleteRegistryValue(const std::string& path, const std::string& name);
// The value's data (a REG_SZ without its terminating zero) and type, or "<none>" and REG_NONE.
std::string RegistryValue(HKEY root, const std::string& path, const std::string& name, DWORD* type = nullptr);
inline std::string RegistryValue(const std::string& path, const std::string& name, DWORD* type = nullptr) {
  return RegistryValue(HKEY_LOCAL_MACHINE, path, name, type);
}

}  // namespace ui
