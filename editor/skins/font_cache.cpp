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
