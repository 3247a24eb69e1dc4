#include "product_registry.h"

namespace ui {

std::string ProductKey(const std::string& company, const std::string& product) {
  return "Software\\" + company + "\\" + product;
}

std::string UninstallKey(const std::string& company, const std::string& product) {
  return "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + company + " " + product;
}

void DeleteKeyTree(HKEY root, const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  char name[256];
  DWORD length = sizeof name;
  // Always the first sub key: each is gone before the next is asked for.
  while (RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
    DeleteKeyTree(root, path + "\\" + name);
    length = sizeof name;
  }
  RegCloseKey(key);
  RegDeleteKeyA(root, path.c_str());
}

bool SetRegistryString(const std::string& path, const std::string& name, const std::string& value) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr))
    return false;
  LONG status = RegSetValueExA(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

void DeleteRegistryValue(const std::string& path, const std::string& name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, &key)) return;
  RegDeleteValueA(key, name.c_str());
  RegCloseKey(key);
}

std::string RegistryValue(HKEY root, const std::string& path, const std::string& name, DWORD* type) {
  DWORD kind = REG_NONE;
  if (!type) type = &kind;
  *type = REG_NONE;
  HKEY key;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key)) return "<none>";
  char buffer[1024];
  DWORD size = sizeof buffer;
  LONG status = RegQueryValueExA(key, name.empty() ? nullptr : name.c_str(), nullptr, type,
                                 reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) {
    *type = REG_NONE;
    return "<none>";
  }
  // Some systems' ANSI functions store a terminating zero even where the writer left it out.
  if (*type == REG_SZ && size > 0 && buffer[size - 1] == 0) --size;
  return std::string(buffer, size);
}

}  // namespace ui
