// What the portable core asks of the platform. setup.exe implements these with Win32
// (platform_win.cpp); the host tests implement them with fakes.
#pragma once
#include <cstddef>

// Message box styles used by the core (the values of the Win32 MB_* flags).
enum : unsigned {
  kBoxOk = 0x0,
  kBoxIconError = 0x10,
  kBoxIconQuestion = 0x20,
  kBoxIconWarning = 0x30,
};

// A message box owned by no window; a null caption leaves the platform's default caption.
int ShowOwnerlessMessage(const char* text, const char* caption, unsigned style);

// Reads of the install script (ScriptPath) with the platform's INI rules: names without regard
// to case, blanks trimmed, one enclosing pair of quotes removed, default "" and 0.
// A null key reads the section's list of key names.
size_t ProfileReadString(const char* section, const char* key, char* buffer, size_t size);
int ProfileReadInt(const char* section, const char* key);

// Zero-filled memory for the arena; the handle is what PlatformFreeBlock takes back.
void* PlatformAllocBlock(size_t bytes, void** handle);
void PlatformFreeBlock(void* handle);

// Appends bytes to the open setup log (the handle kept in SetupLogHandle); 1 when all were written.
int PlatformWriteLogBytes(void* handle, const char* bytes, size_t count);
