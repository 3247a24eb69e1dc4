#include "product_registry.h"

namespace ui {

std::string ProductKey(const std::string& company, const std::string& product) {
  return "Software\\" + company + "\\" + product;
}

void DeleteKeyTree(const std::string& path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  char name[256];
  DWORD length = sizeof name;
  // Always the first sub key: each is gone before the next is asked for.
  while (RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
    DeleteKeyTree(path + "\\" + name);
    length = sizeof name;
  }
  RegCloseKey(key);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
}

bool SetRegistryString(const std::string& path, const std::string& name, const std::string& value) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  bool ok = RegSetValueExA(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1)) ==
            ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

void DeleteRegistryValue(const std::string& path, const std::string& name) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, name.c_str());
  RegCloseKey(key);
}

namespace {

bool Query(const std::string& path, const std::string& name, DWORD* type, std::string* data) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  char buffer[1024];
  DWORD size = sizeof buffer;
  bool ok = RegQueryValueExA(key, name.empty() ? nullptr : name.c_str(), nullptr, type,
                             reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  if (ok) data->assign(buffer, size);
  return ok;
}

}  // namespace

std::string RegistryString(const std::string& path, const std::string& name) {
  DWORD type = REG_NONE;
  std::string data;
  if (!Query(path, name, &type, &data) || type != REG_SZ) return "<none>";
  // The ANSI functions of some systems store a terminating zero even when the writer left it out.
  if (!data.empty() && data.back() == 0) data.pop_back();
  return data;
}

DWORD RegistryType(const std::string& path, const std::string& name) {
  DWORD type = REG_NONE;
  std::string data;
  return Query(path, name, &type, &data) ? type : REG_NONE;
}

}  // namespace ui
