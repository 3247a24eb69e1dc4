// The file version of a Windows program or library, read from its bytes: the fixed file
// information of its version resource, found as the version library finds it. The bytes are
// untrusted: every offset and size is checked against the data before it is used.
#pragma once
#include <cstddef>
#include <cstdint>

// 1 and the version (a.b.c.d as ms = a<<16|b, ls = c<<16|d) when the bytes are a PE image (32
// or 64 bit) with a version resource that holds fixed file information; 0 otherwise.
int ReadPeFileVersion(const unsigned char* bytes, size_t size, uint32_t* versionMS, uint32_t* versionLS);

// The same for any program the version library reads: a PE image, a 16-bit program or library
// (NE, its version resource in the resource table) or a virtual device driver (LE, its version
// resource where the header's Windows resource fields point). The 16-bit resource has a text
// key of single bytes before the fixed file information.
int ReadFileVersion(const unsigned char* bytes, size_t size, uint32_t* versionMS, uint32_t* versionLS);
