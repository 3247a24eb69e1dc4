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

// The whole section of the install script (ScriptPath) as the platform's section read returns
// it (the layout is in script/script_profile.h), in memory from malloc for the caller to free;
// null when the platform cannot hand it over that way, and then its own key reads answer.
char* PlatformReadSection(const char* section);
// The platform's own key read of the install script with the default ""; a null key reads
// the section's list of key names.
size_t PlatformReadProfileString(const char* section, const char* key, char* buffer, size_t size);

// Zero-filled memory for the arena; the handle is what PlatformFreeBlock takes back.
void* PlatformAllocBlock(size_t bytes, void** handle);
void PlatformFreeBlock(void* handle);

// Appends bytes to the open setup log (the handle kept in SetupLogHandle); 1 when all were written.
int PlatformWriteLogBytes(void* handle, const char* bytes, size_t count);
