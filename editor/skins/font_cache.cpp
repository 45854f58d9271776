#include "editor/skins/font_cache.h"

#include <array>

#include "editor/skins/skin_text.h"
#include "platform/text.h"

namespace ov {
namespace {

// Only flags that change the glyphs or the line tell fonts apart; the
// alignment flags do not.
constexpr uint32_t kFontFlags = kFontUnderline | kFontBold | kFontLight | kFontItalic;

std::shared_ptr<SkinFont> Make(std::string_view face, int32_t size, uint32_t style) {
  auto font = std::make_shared<SkinFont>();
  font->face = std::string(face);
  font->size = size;
  font->style = style;
  const bool bold = style & kFontBold;
  const bool italic = style & kFontItalic;
  const auto file = FindFontFile(FamilyOfFace(face), bold, (style & kFontLight) != 0, italic);
  std::string error;
  if (file) font->raster = RasterFont::Open(*file, size, bold, italic, &error);
  if (font->raster) {
    const int32_t width8 = TextWidth(*font->raster, "8");
    const int32_t widthM = TextWidth(*font->raster, "M");
    font->cell = {(width8 + widthM) / 2, font->raster->LineHeight()};
  }
  return font;
}

}  // namespace

std::string_view FamilyOfFace(std::string_view face) {
  static constexpr std::array<std::array<std::string_view, 2>, 5> kGeneric{{
      {"serif", "Times New Roman"},
      {"sans-serif", "Arial"},
      {"cursive", "Zapf-Chancery"},
      {"fantasy", "Western"},
      {"monospace", "Courier New"},
  }};
  for (const auto& generic : kGeneric) {
    if (EqualsIgnoringCase(face, generic[0])) return generic[1];
  }
  return face;
}

char32_t NextCodePoint(std::string_view s, std::size_t* at) {
  constexpr char32_t kReplacement = 0xFFFD;
  const auto byte = [&](std::size_t i) { return static_cast<uint8_t>(s[i]); };
  const uint8_t lead = byte((*at)++);
  if (lead < 0x80) return lead;
  int extra = 0;
  char32_t code = 0;
  char32_t least = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, code = lead & 0x1F, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, code = lead & 0x0F, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, code = lead & 0x07, least = 0x10000;
  } else {
    return kReplacement;
  }
  for (int i = 0; i < extra; ++i) {
    if (*at >= s.size() || (byte(*at) & 0xC0) != 0x80) return kReplacement;
    code = (code << 6) | (byte((*at)++) & 0x3F);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return kReplacement;
  return code;
}

int32_t TextWidth(RasterFont& font, std::string_view utf8) {
  int32_t width = 0;
  for (std::size_t at = 0; at < utf8.size();)
    width += font.GlyphOf(NextCodePoint(utf8, &at)).advance;
  return width;
}

std::shared_ptr<SkinFont> FontCache::Get(std::string_view face, int32_t size, uint32_t style) {
  style &= kFontFlags;
  for (const auto& entry : entries_) {
    if (entry->face == face && entry->size == size && entry->style == style) return entry;
  }
  if (entries_.size() >= kKept) entries_.pop_back();
  entries_.push_front(Make(face, size, style));
  return entries_.front();
}

}  // namespace ov
