// The branding of a built setup.exe, over bytes: what setuplst brand writes.
#pragma once
#include <string>

// What brand puts into setup.exe: texts in code page 1252 (bit i of Given for Texts[i]: company,
// product, first and second notice of the welcome page), the bytes of an .ico and of a .bmp
// file (empty: the program keeps its own).
struct BrandInput {
  std::string Texts[4];
  unsigned Given = 0;
  std::string Icon, Bitmap;
};

enum BrandOutcome { kBranded, kNotTheSetup, kBadText, kBadIcon, kBadBitmap, kTooLarge };

// The branded copy of the setup.exe in *out, and in input->Texts every text it now has; another
// outcome and its reason (program text) when the copy would not work.
BrandOutcome BrandImage(const std::string& exe, BrandInput* input, std::string* out, std::string* why);
