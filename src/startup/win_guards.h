// Guards for Win32 handles that the program opens and closes in one step: they close what they
// hold when they go out of scope and can neither be copied nor leak.
#pragma once
#include <windows.h>

// An open registry key.
class RegKey {
 public:
  RegKey() = default;
  ~RegKey() {
    if (key_) RegCloseKey(key_);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  HKEY* Out() { return &key_; }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};
