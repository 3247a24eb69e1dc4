// The few C library functions setup.exe uses, written here so that it needs no C runtime DLL
// (msvcrt.dll is missing on Windows 95) and carries none of its start-up, locale or
// floating-point code. Only setup.exe links this file; the test programs use their runtime.
// It is built with -fno-builtin and without loop pattern replacement, so the compiler does not
// turn these loops back into calls to themselves.
#include <windows.h>

extern "C" {

void* memcpy(void* dst, const void* src, size_t n) {
  unsigned char* d = static_cast<unsigned char*>(dst);
  const unsigned char* s = static_cast<const unsigned char*>(src);
  while (n--) *d++ = *s++;
  return dst;
}

void* memmove(void* dst, const void* src, size_t n) {
  unsigned char* d = static_cast<unsigned char*>(dst);
  const unsigned char* s = static_cast<const unsigned char*>(src);
  if (d < s || d >= s + n) return memcpy(dst, src, n);
  while (n--) d[n] = s[n];
  return dst;
}

void* memset(void* dst, int c, size_t n) {
  unsigned char* d = static_cast<unsigned char*>(dst);
  while (n--) *d++ = static_cast<unsigned char>(c);
  return dst;
}

int memcmp(const void* a, const void* b, size_t n) {
  const unsigned char* p = static_cast<const unsigned char*>(a);
  const unsigned char* q = static_cast<const unsigned char*>(b);
  for (; n; --n, ++p, ++q)
    if (*p != *q) return *p - *q;
  return 0;
}

void* memchr(const void* s, int c, size_t n) {
  const unsigned char* p = static_cast<const unsigned char*>(s);
  for (; n; --n, ++p)
    if (*p == static_cast<unsigned char>(c)) return const_cast<unsigned char*>(p);
  return nullptr;
}

size_t strlen(const char* s) {
  const char* p = s;
  while (*p) ++p;
  return static_cast<size_t>(p - s);
}

size_t strnlen(const char* s, size_t max) {
  size_t n = 0;
  while (n < max && s[n]) ++n;
  return n;
}

int strncmp(const char* a, const char* b, size_t n) {
  for (; n; --n, ++a, ++b) {
    unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
    if (x != y) return x - y;
    if (!x) break;
  }
  return 0;
}

int strcmp(const char* a, const char* b) { return strncmp(a, b, static_cast<size_t>(-1)); }

char* strchr(const char* s, int c) {
  for (;; ++s) {
    if (*s == static_cast<char>(c)) return const_cast<char*>(s);
    if (!*s) return nullptr;
  }
}

char* strrchr(const char* s, int c) {
  const char* found = nullptr;
  for (;; ++s) {
    if (*s == static_cast<char>(c)) found = s;
    if (!*s) return const_cast<char*>(found);
  }
}

char* strpbrk(const char* s, const char* accept) {
  for (; *s; ++s)
    if (strchr(accept, *s)) return const_cast<char*>(s);
  return nullptr;
}

// The heap functions over the process heap.
void* malloc(size_t n) { return HeapAlloc(GetProcessHeap(), 0, n ? n : 1); }

void* calloc(size_t count, size_t size) {
  if (size && count > static_cast<size_t>(-1) / size) return nullptr;
  size_t bytes = count * size;
  return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes ? bytes : 1);
}

void* realloc(void* block, size_t n) {
  if (!block) return malloc(n);
  return HeapReAlloc(GetProcessHeap(), 0, block, n ? n : 1);
}

void free(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

// Destructors of objects with static storage are registered here and never run: the program
// ends through ExitProcess, which closes what they would close.
int atexit(void (*)()) { return 0; }

}  // extern "C"
