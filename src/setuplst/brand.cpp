// brand: the command over the files; the branding itself is brand_image.cpp.
#include "setuplst/brand_image.h"
#include "setuplst/setuplst.h"

int BrandCommand(const std::string& input, const std::string& output, const BrandRequest& request) {
  BrandInput brand;
  const std::string BrandRequest::*given[4] = {&BrandRequest::Company, &BrandRequest::Product, &BrandRequest::Notice1,
                                               &BrandRequest::Notice2};
  for (int i = 0; i < 4; ++i) {
    if (!(request.Given & (1u << i))) continue;
    // The program reads its texts in code page 1252: what that page lacks would show as "?".
    const std::string& text = request.*given[i];
    brand.Texts[i] = ScriptText(text);
    if (Shown(brand.Texts[i]) != text) {
      PrintError("\"" + text + "\" hat Zeichen, die Windows-1252 nicht kennt; Setup zeigte sie als \"?\"");
      return kExitFindings;
    }
  }
  brand.Given = request.Given & 15;
  std::string exe;
  for (auto [file, bytes] : {std::pair<const std::string*, std::string*>{&input, &exe}, {&request.IconFile, &brand.Icon},
                             {&request.BitmapFile, &brand.Bitmap}})
    if (!file->empty() && !ReadWholeFile(*file, bytes)) {
      PrintError(*file + " kann nicht gelesen werden");
      return kExitFile;
    }
  std::string branded, why;
  switch (BrandImage(exe, &brand, &branded, &why)) {
    case kBranded:
      break;
    case kNotTheSetup:
      PrintError(input + " ist kein setup.exe dieses Programms: " + why);
      return kExitFindings;
    case kBadIcon:
      PrintError(request.IconFile + ": " + why);
      return kExitFindings;
    case kBadBitmap:
      PrintError(request.BitmapFile + ": " + why);
      return kExitFindings;
    default:
      PrintError(why);
      return kExitFindings;
  }
  if (!RewriteFile(output, branded)) {
    PrintError(output + " kann nicht geschrieben werden");
    return kExitFile;
  }
  PrintLine(output + ": " + Shown(brand.Texts[1]) + " von " + Shown(brand.Texts[0]) + ", " + std::to_string(branded.size()) + " Bytes");
  return kExitClean;
}
