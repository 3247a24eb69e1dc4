// Fuzzes the tokenizer, the description escapes and every record parser with arbitrary values.
#include <cstdint>
#include <cstring>
#include <string>

#include "script/fields.h"
#include "script/record_parsers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  std::string value(reinterpret_cast<const char*>(data), size);
  value = value.c_str();  // profile values never hold a zero

  int pos = 0;
  char field[16];
  int fields = 0;
  while (NextField(value.c_str(), &pos, field)) {
    if (strlen(field) >= sizeof field) __builtin_trap();
    if (pos < 0 || static_cast<size_t>(pos) > value.size()) __builtin_trap();
    if (++fields > static_cast<int>(value.size()) + 1) __builtin_trap();  // must end
  }

  std::string text = value;
  UnescapeText(text.data());
  if (strlen(text.c_str()) > value.size()) __builtin_trap();

  static RegisterKeyRecord key;
  static FileTypeRecord type;
  static IniRecord ini;
  static LinkRecord link;
  static SuccessRunRecord run;
  ParseRegisterKey(value.c_str(), &key);
  ParseFileType(value.c_str(), &type);
  ParseIni(value.c_str(), &ini);
  ParseLink(value.c_str(), &link);
  ParseSuccessRun(value.c_str(), &run);
  if (strlen(type.Extension) >= sizeof type.Extension || strlen(key.KeyPath) >= sizeof key.KeyPath) __builtin_trap();
  return 0;
}
