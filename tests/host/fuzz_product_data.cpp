// Fuzz target: the product data container reader over arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "system/product_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  ProductData data;
  if (!OpenProductData(bytes, size, &data)) return 0;
  char text[kIdentifierTextChars];
  FormatProductIdentifier(text, data.Identifier);
  unsigned char id[kProductIdBytes];
  int registered = 0;
  for (int32_t i = 0; i < data.IssueCount; ++i) {
    ProductIssue(&data, i, id, &registered);
    FormatProductIdentifier(text, id);
  }
  return 0;
}
