// brand: a copy of a built setup.exe with the publisher's names, notice texts, icon and picture,
// made by rewriting its resource section (pe_resources.cpp). Texts are stored as the build
// stores them: UTF-16 in the string table and the version resource, read back by the program
// through the ANSI API in code page 1252. Portable code over bytes: the setup.exe, icon and
// picture given are untrusted, every structure in them is checked before it is used.
#include "setuplst/brand_image.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "setuplst/pe_resources.h"
#include "startup/codepage.h"
#include "wizard/dialog_text.h"

namespace {

constexpr uint32_t kBitmapType = 2, kIconType = 3, kStringType = 6, kDialogType = 5, kGroupIconType = 14,
                   kVersionType = 16;
constexpr uint32_t kCompanyId = 103, kProductId = 104, kVersionId = 109, kNotice1Id = 259, kNotice2Id = 260;
constexpr uint32_t kSetupIcon = 7, kAutorunBitmap = 100, kWelcomeDialog = 101, kAutorunDialog = 131;
constexpr size_t kNameChars = 259;  // the program's name buffers hold 260 with the zero
// The shipped 32-bit program shares a floppy disk with the product.
constexpr size_t kShippedCeiling = 163840;
constexpr uint16_t kI386 = 0x14C;
// The autorun box is the picture with the buttons below it: it has to fit a 640 × 480 screen.
constexpr int32_t kMaxPictureWidth = 640, kMaxPictureHeight = 400;
constexpr int kMaxIconSide = 64;

uint32_t Get16(const std::string& b, size_t at) {
  return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}
uint32_t Get32(const std::string& b, size_t at) { return Get16(b, at) | Get16(b, at + 2) << 16; }
void Add16(std::string& b, uint32_t v) {
  b += static_cast<char>(v);
  b += static_cast<char>(v >> 8);
}
void Add32(std::string& b, uint32_t v) {
  Add16(b, v & 0xFFFF);
  Add16(b, v >> 16);
}
void Pad4(std::string& b) { b.resize((b.size() + 3) & ~size_t{3}, '\0'); }

std::u16string Wide(const std::string& cp1252) {
  std::u16string wide;
  for (char c : cp1252) wide += static_cast<char16_t>(Cp1252ToUnicode(static_cast<unsigned char>(c)));
  return wide;
}
std::string Narrow(const std::u16string& wide) {
  std::string text;
  for (char16_t c : wide) {
    int b = UnicodeToCp1252(c);
    text += static_cast<char>(b < 0 ? '?' : b);
  }
  return text;
}

// --- String table: blocks of 16 counted UTF-16 strings ---------------------------------------

bool ReadBlock(const std::string& data, std::vector<std::u16string>* strings) {
  strings->assign(16, {});
  size_t at = 0;
  for (auto& s : *strings) {
    if (at + 2 > data.size()) return false;
    size_t length = Get16(data, at);
    at += 2;
    if (length * 2 > data.size() - at) return false;
    for (size_t i = 0; i < length; ++i) s += static_cast<char16_t>(Get16(data, at + 2 * i));
    at += 2 * length;
  }
  return true;
}

std::string WriteBlock(const std::vector<std::u16string>& strings) {
  std::string data;
  for (const auto& s : strings) {
    Add16(data, static_cast<uint32_t>(s.size()));
    for (char16_t c : s) Add16(data, c);
  }
  return data;
}

// Every language's string of the id, or none.
std::vector<std::u16string*> Strings(std::vector<PeResource>& resources, std::vector<std::vector<std::u16string>>* blocks,
                                     uint32_t id) {
  std::vector<std::u16string*> found;
  size_t k = 0;
  for (PeResource& r : resources) {
    if (!r.Type.Name.empty() || r.Type.Id != kStringType) continue;
    if (k >= blocks->size()) return {};
    std::vector<std::u16string>& block = (*blocks)[k++];
    if (r.Name.Name.empty() && r.Name.Id == id / 16 + 1 && block.size() == 16) found.push_back(&block[id % 16]);
  }
  return found;
}

// --- Version resource: a tree of nodes (length, value length, type, key, value, children) -----

struct VersionNode {
  std::u16string Key;
  uint32_t Type = 0;
  std::string Value;
  std::vector<VersionNode> Children;
};

bool ReadNode(const std::string& d, size_t at, size_t end, int depth, VersionNode* node, size_t* length) {
  if (depth > 6 || at + 6 > end) return false;
  size_t size = Get16(d, at), valueLength = Get16(d, at + 2);
  node->Type = Get16(d, at + 4);
  if (size < 6 || size > end - at) return false;
  size_t nodeEnd = at + size, p = at + 6;
  for (;; p += 2) {
    if (p + 2 > nodeEnd) return false;
    char16_t c = static_cast<char16_t>(Get16(d, p));
    if (!c) break;
    node->Key += c;
  }
  p = (p + 2 + 3) & ~size_t{3};
  size_t valueBytes = node->Type == 1 ? 2 * valueLength : valueLength;
  if (p > nodeEnd || valueBytes > nodeEnd - p) return false;
  node->Value = d.substr(p, valueBytes);
  p = (p + valueBytes + 3) & ~size_t{3};
  while (p < nodeEnd) {
    VersionNode child;
    size_t childLength;
    if (!ReadNode(d, p, nodeEnd, depth + 1, &child, &childLength)) return false;
    node->Children.push_back(std::move(child));
    p = (p + childLength + 3) & ~size_t{3};
  }
  *length = size;
  return true;
}

std::string WriteNode(const VersionNode& node) {
  std::string b(6, '\0');
  for (char16_t c : node.Key) Add16(b, c);
  Add16(b, 0);
  Pad4(b);
  b += node.Value;
  for (const VersionNode& child : node.Children) {
    Pad4(b);
    b += WriteNode(child);
  }
  b[0] = static_cast<char>(b.size()), b[1] = static_cast<char>(b.size() >> 8);
  size_t valueLength = node.Type == 1 ? node.Value.size() / 2 : node.Value.size();
  b[2] = static_cast<char>(valueLength), b[3] = static_cast<char>(valueLength >> 8);
  b[4] = static_cast<char>(node.Type);
  return b;
}

// Sets a value of every string table of the StringFileInfo block.
void SetVersionString(VersionNode* root, const char* key, const std::u16string& value) {
  std::u16string wanted(key, key + strlen(key));
  for (VersionNode& info : root->Children) {
    if (info.Key != u"StringFileInfo") continue;
    for (VersionNode& table : info.Children)
      for (VersionNode& entry : table.Children)
        if (entry.Key == wanted) {
          entry.Type = 1;
          entry.Value.clear();
          for (char16_t c : value) Add16(entry.Value, c);
          Add16(entry.Value, 0);
        }
  }
}

// --- Dialog templates (the extended kind): the welcome page shows its notices as texts of
// its controls 259 and 260 ----------------------------------------------------------------------

// The end of a text-or-number field (0: empty, 0xFFFF and a number, or a text ending in zero).
bool SkipField(const std::string& d, size_t* at) {
  if (*at + 2 > d.size()) return false;
  if (Get16(d, *at) == 0xFFFF) return (*at += 4) <= d.size();
  for (; *at + 2 <= d.size(); *at += 2)
    if (!Get16(d, *at)) return (*at += 2), true;
  return false;
}

// The template with the texts of the controls given replaced; false when it is not a whole
// extended template.
bool SetControlTexts(std::string* dialog, const std::vector<std::pair<uint32_t, std::u16string>>& texts) {
  const std::string& d = *dialog;
  if (d.size() < 26 || Get16(d, 0) != 1 || Get16(d, 2) != 0xFFFF) return false;
  size_t items = Get16(d, 16), at = 26;
  if (!SkipField(d, &at) || !SkipField(d, &at) || !SkipField(d, &at)) return false;  // menu, class, caption
  if (Get32(d, 12) & 0x40) {                                                        // a font: size, weight, style
    at += 6;
    if (!SkipField(d, &at)) return false;
  }
  std::string out = d.substr(0, at);
  for (size_t i = 0; i < items; ++i) {
    at = (at + 3) & ~size_t{3};
    Pad4(out);
    size_t start = at, title;
    if (at + 24 > d.size()) return false;
    uint32_t id = Get32(d, at + 20);
    at += 24;
    if (!SkipField(d, &at)) return false;
    title = at;
    if (!SkipField(d, &at) || at + 2 > d.size()) return false;
    size_t extra = Get16(d, at);
    if (at + 2 + extra > d.size()) return false;
    out += d.substr(start, title - start);
    auto text = std::find_if(texts.begin(), texts.end(), [&](const auto& t) { return t.first == id; });
    if (text == texts.end()) {
      out += d.substr(title, at - title);
    } else {
      for (char16_t c : text->second) Add16(out, c);
      Add16(out, 0);
    }
    out += d.substr(at, 2 + extra);
    at += 2 + extra;
  }
  *dialog = out;
  return true;
}

// --- Pictures ------------------------------------------------------------------------------

// The bytes of a device-independent bitmap: header, colour table, pixels (size checked).
bool CheckDib(const std::string& dib, int32_t width, int32_t height, bool icon, std::string* why) {
  if (dib.size() < 40 || Get32(dib, 0) != 40) {
    *why = dib.compare(0, 4, "\x89PNG") == 0 ? "ein PNG-Bild; Windows 95 und NT 4.0 zeigen nur Bitmaps"
                                              : "kein Bitmap mit dem üblichen Kopf (40 Bytes)";
    return false;
  }
  int32_t w = static_cast<int32_t>(Get32(dib, 4)), h = static_cast<int32_t>(Get32(dib, 8));
  uint32_t planes = Get16(dib, 12), bits = Get16(dib, 14), compression = Get32(dib, 16), colours = Get32(dib, 32);
  if (w != width || h != (icon ? 2 * height : height) || planes != 1) {
    *why = "Kopf und Größe des Bildes passen nicht zusammen";
    return false;
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) {
    *why = bits == 32 ? "32 Bit Farbtiefe (Alphakanal): Windows 95 und NT 4.0 zeigen das nicht; nehmen Sie 24 Bit oder höchstens 256 Farben"
                      : "eine Farbtiefe von " + std::to_string(bits) + " Bit: erlaubt sind 1, 4, 8 und 24";
    return false;
  }
  if (compression != 0) {
    *why = "ein komprimiertes Bild: erlaubt sind nur unkomprimierte";
    return false;
  }
  uint64_t palette = bits <= 8 ? (colours ? colours : 1u << bits) : colours;
  if (bits <= 8 && palette > (1u << bits)) {
    *why = "die Farbtabelle ist zu lang";
    return false;
  }
  uint64_t stride = ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
  uint64_t mask = icon ? ((static_cast<uint64_t>(width) + 31) / 32) * 4 * height : 0;
  if (dib.size() < 40 + 4 * palette + stride * height + mask) {
    *why = "die Bilddaten sind kürzer als ihr Kopf sagt";
    return false;
  }
  return true;
}

// A .bmp file as bitmap 100: the file without its file header, the pixels right after the
// colour table.
bool PictureResource(const std::string& file, std::string* dib, std::string* why) {
  if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') {
    *why = "keine BMP-Datei";
    return false;
  }
  std::string header = file.substr(14);
  int32_t w = static_cast<int32_t>(Get32(header, 4)), h = static_cast<int32_t>(Get32(header, 8));
  if (Get32(header, 0) == 40 && (w < 1 || h < 1 || w > kMaxPictureWidth || h > kMaxPictureHeight)) {
    *why = "das Bild ist " + std::to_string(w) + " × " + std::to_string(h) + " Punkte groß: erlaubt sind höchstens " +
           std::to_string(kMaxPictureWidth) + " × " + std::to_string(kMaxPictureHeight) + " (von unten nach oben gespeichert)";
    return false;
  }
  if (!CheckDib(header, w, h, false, why)) return false;
  uint32_t bits = Get16(header, 14), colours = Get32(header, 32);
  size_t table = 40 + 4 * (bits <= 8 ? (colours ? colours : 1u << bits) : colours);
  size_t pixels = ((static_cast<size_t>(w) * bits + 31) / 32) * 4 * h, offset = Get32(file, 10);
  if (offset < 14 + table || offset > file.size() || file.size() - offset < pixels) {
    *why = "die Bilddaten liegen nicht, wo der Dateikopf sagt";
    return false;
  }
  *dib = header.substr(0, table) + file.substr(offset, pixels);
  return true;
}

// An .ico file as the images of icon group 7: the old images go, unless another group uses
// them; the new ones take free ids.
bool ReplaceIcon(std::vector<PeResource>* resources, const std::string& ico, std::string* why) {
  if (ico.size() < 6 || Get16(ico, 0) != 0 || Get16(ico, 2) != 1 || Get16(ico, 4) == 0 || Get16(ico, 4) > 16 ||
      ico.size() < 6 + 16 * Get16(ico, 4)) {
    *why = "keine ICO-Datei (höchstens 16 Bilder)";
    return false;
  }
  PeResource* group = FindResource(*resources, kGroupIconType, kSetupIcon);
  std::vector<uint32_t> old, used;
  for (const PeResource& r : *resources) {
    if (r.Type.Name.empty() && r.Type.Id == kGroupIconType && r.Data.size() >= 6)
      for (size_t i = 0; i < Get16(r.Data, 4) && 6 + 14 * (i + 1) <= r.Data.size(); ++i)
        (&r == group ? old : used).push_back(Get16(r.Data, 6 + 14 * i + 12));
  }
  uint32_t language = group->Language;
  resources->erase(std::remove_if(resources->begin(), resources->end(),
                                  [&](const PeResource& r) {
                                    return r.Type.Name.empty() && r.Type.Id == kIconType && r.Name.Name.empty() &&
                                           std::count(old.begin(), old.end(), r.Name.Id) &&
                                           !std::count(used.begin(), used.end(), r.Name.Id);
                                  }),
                   resources->end());
  for (const PeResource& r : *resources)
    if (r.Type.Name.empty() && r.Type.Id == kIconType && r.Name.Name.empty()) used.push_back(r.Name.Id);

  std::string directory;
  Add16(directory, 0), Add16(directory, 1), Add16(directory, Get16(ico, 4));
  uint32_t id = 1;
  for (size_t i = 0; i < Get16(ico, 4); ++i) {
    size_t entry = 6 + 16 * i;
    int side = static_cast<unsigned char>(ico[entry]), height = static_cast<unsigned char>(ico[entry + 1]);
    uint32_t bytes = Get32(ico, entry + 8), offset = Get32(ico, entry + 12);
    if (offset > ico.size() || bytes > ico.size() - offset) {
      *why = "ein Bild des Symbols liegt außerhalb der Datei";
      return false;
    }
    if (side == 0 || height == 0 || side > kMaxIconSide || height > kMaxIconSide) {
      *why = "ein Bild des Symbols ist größer als " + std::to_string(kMaxIconSide) + " × " + std::to_string(kMaxIconSide) + " Punkte";
      return false;
    }
    std::string image = ico.substr(offset, bytes);
    if (!CheckDib(image, side, height, true, why)) {
      *why = "Symbol: " + *why;
      return false;
    }
    while (std::count(used.begin(), used.end(), id)) ++id;
    used.push_back(id);
    PeResource r;
    r.Type.Id = kIconType, r.Name.Id = id, r.Language = language, r.Data = image;
    resources->push_back(r);
    directory += ico.substr(entry, 4);                      // width, height, colours, reserved
    Add16(directory, 1), Add16(directory, Get16(image, 14));  // planes, bits per pixel
    Add32(directory, bytes), Add16(directory, id);
  }
  FindResource(*resources, kGroupIconType, kSetupIcon)->Data = directory;
  return true;
}

}  // namespace

BrandOutcome BrandImage(const std::string& exe, BrandInput* input, std::string* out, std::string* why) {
  PeFile file;
  if (!ReadPeFile(exe, &file, why)) return kNotTheSetup;
  std::vector<PeResource>& resources = file.Resources;

  // The setup's own program: a Windows program with its dialogs, icon, strings and version.
  std::vector<std::vector<std::u16string>> blocks;
  for (const PeResource& r : resources)
    if (r.Type.Name.empty() && r.Type.Id == kStringType) {
      blocks.emplace_back();
      if (!ReadBlock(r.Data, &blocks.back())) blocks.back().clear();
    }
  VersionNode version;
  size_t versionLength;
  PeResource* versionResource = FindResource(resources, kVersionType, 1);
  bool own = file.Subsystem == 2 && FindResource(resources, kDialogType, kWelcomeDialog) &&
             FindResource(resources, kDialogType, kAutorunDialog) && FindResource(resources, kGroupIconType, kSetupIcon) &&
             versionResource && ReadNode(versionResource->Data, 0, versionResource->Data.size(), 0, &version, &versionLength);
  for (uint32_t id : {kCompanyId, kProductId, kVersionId, kNotice1Id, kNotice2Id})
    own = own && !Strings(resources, &blocks, id).empty() &&
          std::none_of(blocks.begin(), blocks.end(), [](const auto& b) { return b.empty(); });
  if (!own) {
    *why = "ihm fehlen Ressourcen des Setups";
    return kNotTheSetup;
  }
  uint32_t language = versionResource->Language;

  // The texts as they will be: given ones replace, the others stay.
  std::string* texts = input->Texts;
  const uint32_t ids[4] = {kCompanyId, kProductId, kNotice1Id, kNotice2Id};
  static const char* const kWhat[4] = {"die Firma", "das Produkt", "der erste Hinweis", "der zweite Hinweis"};
  for (int i = 0; i < 4; ++i) {
    if (!(input->Given & (1u << i))) texts[i] = Narrow(*Strings(resources, &blocks, ids[i]).front());
    size_t limit = i < 2 ? kNameChars : kWindowTextChars - 1;
    if (texts[i].size() > limit) {
      *why = std::string(kWhat[i]) + " ist " + std::to_string(texts[i].size()) + " Zeichen lang: Setup hat Platz für " +
             std::to_string(limit);
      return kBadText;
    }
    if (i < 2 && texts[i].empty()) {
      *why = std::string(kWhat[i]) + " ist leer";
      return kBadText;
    }
  }
  // The notices are shown with "$p" and "$c" expanded, in a window text buffer.
  for (int i = 2; i < 4; ++i) {
    static char expanded[1 << 17];
    size_t length = ExpandDialogText(texts[i].c_str(), texts[1].c_str(), texts[0].c_str(), expanded, sizeof expanded);
    if (length > kWindowTextChars - 1) {
      *why = std::string(kWhat[i]) + " wird mit den Namen " + std::to_string(length) + " Zeichen lang: Setup zeigt höchstens " +
             std::to_string(kWindowTextChars - 1);
      return kBadText;
    }
  }
  for (int i = 0; i < 4; ++i)
    for (std::u16string* s : Strings(resources, &blocks, ids[i])) *s = Wide(texts[i]);
  // The welcome page shows the notices from its template; the string table holds them too.
  for (PeResource& r : resources)
    if (r.Type.Name.empty() && r.Type.Id == kDialogType && r.Name.Name.empty() && r.Name.Id == kWelcomeDialog &&
        !SetControlTexts(&r.Data, {{kNotice1Id, Wide(texts[2])}, {kNotice2Id, Wide(texts[3])}})) {
      *why = "die Willkommensseite ist keine erweiterte Dialogvorlage";
      return kNotTheSetup;
    }
  size_t k = 0;
  for (PeResource& r : resources)
    if (r.Type.Name.empty() && r.Type.Id == kStringType) r.Data = WriteBlock(blocks[k++]);
  SetVersionString(&version, "CompanyName", Wide(texts[0]));
  SetVersionString(&version, "ProductName", Wide(texts[1]));
  SetVersionString(&version, "FileDescription", Wide(texts[1] + "-Setup"));
  versionResource->Data = WriteNode(version);
  VersionNode check;
  if (!ReadNode(versionResource->Data, 0, versionResource->Data.size(), 0, &check, &versionLength)) {
    *why = "die Versionsressource würde mit den neuen Namen zu groß";
    return kNotTheSetup;
  }

  if (!input->Icon.empty() && !ReplaceIcon(&resources, input->Icon, why)) return kBadIcon;
  if (!input->Bitmap.empty()) {
    std::string dib;
    if (!PictureResource(input->Bitmap, &dib, why)) return kBadBitmap;
    PeResource* picture = FindResource(resources, kBitmapType, kAutorunBitmap);
    if (!picture) {
      PeResource r;
      r.Type.Id = kBitmapType, r.Name.Id = kAutorunBitmap, r.Language = language;
      resources.push_back(r);
      picture = &resources.back();
    }
    picture->Data = dib;
  }

  if (!WritePeFile(file, out, why)) return kTooLarge;
  if (file.Machine == kI386 && out->size() > kShippedCeiling) {
    *why = "setup.exe würde " + std::to_string(out->size()) + " Bytes groß; höchstens " + std::to_string(kShippedCeiling) +
           " passen neben das Produkt auf eine Diskette (ein kleineres Bild oder Symbol nehmen)";
    return kTooLarge;
  }
  return kBranded;
}
