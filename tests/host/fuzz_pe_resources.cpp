// Fuzzes the resource section rewriter of setuplst brand on hostile PE files: the input as a
// file, and as patches to a valid image with relocations behind its resources. Whatever it
// reads it must write, and read back the same resources; any read outside the bytes is caught
// by the sanitizers.
#include <cstdint>
#include <string>

#include "pe_image.h"
#include "setuplst/pe_resources.h"

namespace {

void RoundTrip(const std::string& bytes, size_t grow) {
  PeFile file, again;
  std::string why, out;
  if (!ReadPeFile(bytes, &file, &why)) return;
  if (grow && !file.Resources.empty()) file.Resources[0].Data.resize(file.Resources[0].Data.size() + grow, 'x');
  if (!WritePeFile(file, &out, &why)) return;
  if (!ReadPeFile(out, &again, &why) || again.Resources.size() != file.Resources.size()) __builtin_trap();
  for (const PeResource& r : file.Resources) {
    PeResource* found = nullptr;
    for (PeResource& a : again.Resources)
      if (a.Type == r.Type && a.Name == r.Name && a.Language == r.Language) found = &a;
    if (!found || found->Data != r.Data || found->CodePage != r.CodePage) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RoundTrip(std::string(reinterpret_cast<const char*>(data), size), 0);
  if (size == 0) return 0;
  std::string image = pe::WithRelocations(pe::Image(data[0] & 1, 1, 2), data[0] & 1, std::string(12, '\0'));
  // Four bytes a patch: where (modulo the image) and the two bytes written there.
  for (size_t i = 1; i + 4 <= size; i += 4) {
    size_t at = (data[i] | data[i + 1] << 8) % (image.size() - 1);
    image[at] = static_cast<char>(data[i + 2]);
    image[at + 1] = static_cast<char>(data[i + 3]);
  }
  if (data[0] & 0x80) image.resize(image.size() * (data[0] & 0x7F) / 128);
  RoundTrip(image, (data[0] & 0x2) ? 0x1800 : 0);
  return 0;
}
