// Fuzzes setuplst brand on a hostile setup.exe, icon and picture: patches to a setup-like
// program, a valid icon and a valid picture. A copy it writes must read back as a PE file with
// its resources; any read outside the bytes is caught by the sanitizers.
#include <cstdint>
#include <string>

#include "pe_image.h"
#include "setuplst/brand_image.h"
#include "setuplst/pe_resources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const std::string kExe[2] = {pe::SetupLikeImage(false), pe::SetupLikeImage(true)};
  std::string exe = kExe[data[0] & 1], icon = pe::Icon(16, 4), bitmap = pe::Bitmap(20, 10, 4);
  size_t total = exe.size() + icon.size() + bitmap.size();
  // Four bytes a patch: where (modulo the three files together) and the two bytes written there.
  for (size_t i = 1; i + 4 <= size; i += 4) {
    size_t at = (data[i] | data[i + 1] << 8 | (data[0] & 0x70) << 12) % (total - 1);
    std::string& file = at < exe.size() ? exe : at < exe.size() + icon.size() ? icon : bitmap;
    at -= &file == &exe ? 0 : &file == &icon ? exe.size() : exe.size() + icon.size();
    if (at + 1 >= file.size()) continue;
    file[at] = static_cast<char>(data[i + 2]);
    file[at + 1] = static_cast<char>(data[i + 3]);
  }
  BrandInput input;
  input.Texts[0] = "Firma", input.Texts[1] = "Atlas", input.Texts[3] = "$p und $c";
  input.Given = data[0] & 0x80 ? 11 : 0;
  if (data[0] & 2) input.Icon = icon;
  if (data[0] & 4) input.Bitmap = bitmap;
  std::string out, why;
  PeFile again;
  if (BrandImage(exe, &input, &out, &why) == kBranded && !ReadPeFile(out, &again, &why)) __builtin_trap();
  return 0;
}
