// Reference counts of shared files under HKLM\Software\Microsoft\Windows\CurrentVersion\SharedDLLs,
// and the 4-byte registry reads and writes behind them.
#pragma once
#include <cstddef>
#include <cstdint>

struct HKEY__;
typedef HKEY__* HKEY;

extern const char kSharedDllsKey[];  // below HKEY_LOCAL_MACHINE

// Reads a count-like value: a REG_DWORD, or the number another installer stored as text or
// bytes (saturating at 0xFFFFFFFF). 1 when read; the value is 0 otherwise.
int ReadRegistryDword(HKEY root, const char* keyPath, const char* valueName, uint32_t* value);
// Creates or opens the key; writes the default value (when given) and the named value (when the
// name is not empty) as REG_DWORD. 1 when every write succeeded; then a "Register:" line is
// logged (when the log is enabled) with the numbers in decimal.
int WriteRegistryDword(HKEY root, const char* keyPath, const uint32_t* defaultValue, const char* valueName,
                       uint32_t value);
// Raises the file's count by one, in the type it is stored in (a new count is a REG_DWORD 1),
// once per run and path text: a file listed by two options is counted once. At 0xFFFFFFFF, or
// when the stored value is no plain number, it is left exactly as it is. The count as it stood
// is noted in the run's journal first. Leaves no line in the setup log. 1 when the new count
// was written.
int AddSharedDllReference(const char* path);
// Puts the count back as a journal noted it ("-": the value goes). 1 when it stands so.
int RestoreSharedCount(const char* path, const char* prior);
// The uninstaller's release of a reference: the count lowered by one (noted first), deleted at
// 0. *left is what remains. 0 when the file has no count that could be lowered.
int ReleaseSharedCount(const char* path, uint64_t* left);

// Portable pieces. Registry value types, as the registry numbers them.
enum : uint32_t {
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegDwordBigEndian = 5,
  kRegQword = 11,
};
// 1 the first time a path (its exact text) is asked about in this run, 0 after.
int FirstReferenceThisRun(const char* path);
void ForgetReferencesThisRun();
// Reads a stored count of the given type; 0 when the data is no number. Text is a plain
// decimal number, blanks around it allowed; bytes are little-endian (1 to 8 of them).
// Saturates at UINT64_MAX.
int DecodeStoredCount(uint32_t type, const unsigned char* data, size_t size, uint64_t* count);
// Writes count in the given type into out; the byte count, or 0 when the type cannot hold it.
// originalSize keeps the width of REG_BINARY data when the count fits it.
size_t EncodeStoredCount(uint32_t type, uint64_t count, size_t originalSize, unsigned char* out, size_t cap);
