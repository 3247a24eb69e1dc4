// Fuzzes the version parser: the input as a file, and as patches to a valid image of each
// format, PE 32 and 64 bit, NE and LE (so the fuzzer reaches the resource structures at once). Any read outside the bytes is caught by
// the sanitizers; a valid image must keep its version.
#include <cstdint>
#include <string>

#include "install/pe_version.h"
#include "pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t ms, ls;
  ReadFileVersion(data, size, &ms, &ls);
  if (size == 0) return 0;
  int format = data[0] & 3;
  std::string image = format < 2 ? pe::Image(format, 0x00010002, 0x00030004)
                      : format == 2 ? pe::NeImage(0x00010002, 0x00030004) : pe::LeImage(0x00010002, 0x00030004);
  if (!ReadFileVersion(reinterpret_cast<const unsigned char*>(image.data()), image.size(), &ms, &ls) ||
      ms != 0x00010002 || ls != 0x00030004)
    __builtin_trap();
  // Four bytes a patch: where (modulo the image) and the two bytes written there.
  for (size_t i = 1; i + 4 <= size; i += 4) {
    size_t at = (data[i] | data[i + 1] << 8) % (image.size() - 1);
    image[at] = static_cast<char>(data[i + 2]);
    image[at + 1] = static_cast<char>(data[i + 3]);
  }
  // The highest bits of the first byte cut the image short.
  if (data[0] & 0x80) image.resize(image.size() * (data[0] & 0x7F) / 128);
  std::string exact(image);  // a block of its own size, so the sanitizer sees every overrun
  ReadFileVersion(reinterpret_cast<const unsigned char*>(exact.data()), exact.size(), &ms, &ls);
  return 0;
}
