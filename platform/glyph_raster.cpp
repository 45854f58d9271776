#include "platform/glyph_raster.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>

namespace ov {
namespace {

constexpr int32_t kMaxPixelSize = 1024;
// Light hinting from outlines only: embedded bitmaps and the hinting mode
// would otherwise depend on the file and the library's build.
constexpr FT_Int32 kLoadFlags = FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT;

int32_t Scaled(long font_units, int32_t pixel_size, FT_UShort units_per_em) {
  if (units_per_em == 0) return 0;
  return static_cast<int32_t>(
      std::lround(static_cast<double>(font_units) * pixel_size / units_per_em));
}

}  // namespace

struct RasterFont::Library {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~Library() {
    if (face != nullptr) FT_Done_Face(face);
    if (library != nullptr) FT_Done_FreeType(library);
  }
};

std::unique_ptr<RasterFont> RasterFont::Open(const FontFile& file, int32_t pixel_size, bool bold,
                                             bool italic, std::string* error) {
  std::unique_ptr<RasterFont> font(new RasterFont());
  font->library_ = std::make_unique<Library>();
  Library& ft = *font->library_;
  if (FT_Init_FreeType(&ft.library) != 0) {
    *error = "FreeType could not start";
    return nullptr;
  }
  if (FT_New_Face(ft.library, file.path.c_str(), file.index, &ft.face) != 0 ||
      !FT_IS_SCALABLE(ft.face)) {
    *error = file.path + ": not a scalable font FreeType can read";
    return nullptr;
  }
  font->pixel_size_ = std::clamp(pixel_size, 1, kMaxPixelSize);
  if (FT_Set_Pixel_Sizes(ft.face, 0, static_cast<FT_UInt>(font->pixel_size_)) != 0) {
    *error = file.path + ": cannot be sized";
    return nullptr;
  }
  const FT_UShort em = ft.face->units_per_EM;
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft.face, FT_SFNT_OS2));
  if (os2 != nullptr && os2->version != 0xFFFF) {
    font->ascent_ = Scaled(os2->usWinAscent, font->pixel_size_, em);
    font->descent_ = Scaled(os2->usWinDescent, font->pixel_size_, em);
  } else {
    font->ascent_ = Scaled(ft.face->ascender, font->pixel_size_, em);
    font->descent_ = Scaled(-ft.face->descender, font->pixel_size_, em);
  }
  font->underline_offset_ =
      std::max(1, Scaled(-ft.face->underline_position, font->pixel_size_, em));
  font->underline_thickness_ =
      std::max(1, Scaled(ft.face->underline_thickness, font->pixel_size_, em));
  font->embolden_ = bold && !file.bold;
  font->oblique_ = italic && !file.italic;
  return font;
}

RasterFont::~RasterFont() = default;

const Glyph& RasterFont::GlyphOf(char32_t code) {
  const auto found = glyphs_.find(code);
  if (found != glyphs_.end()) return found->second;
  Glyph& glyph = glyphs_[code];
  FT_Face face = library_->face;
  const FT_UInt index = FT_Get_Char_Index(face, code);
  if (FT_Load_Glyph(face, index, kLoadFlags) != 0) return glyph;
  FT_GlyphSlot slot = face->glyph;
  if (oblique_) FT_GlyphSlot_Oblique(slot);
  if (embolden_) FT_GlyphSlot_Embolden(slot);
  glyph.advance = static_cast<int32_t>((slot->advance.x + 32) >> 6);
  if (FT_Render_Glyph(slot, FT_RENDER_MODE_LIGHT) != 0) return glyph;
  const FT_Bitmap& bitmap = slot->bitmap;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return glyph;
  glyph.left = slot->bitmap_left;
  glyph.top = slot->bitmap_top;
  glyph.width = static_cast<int32_t>(bitmap.width);
  glyph.height = static_cast<int32_t>(bitmap.rows);
  glyph.coverage.resize(static_cast<std::size_t>(glyph.width) * glyph.height);
  for (int32_t y = 0; y < glyph.height; ++y) {
    const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
    std::copy(row, row + glyph.width,
              glyph.coverage.begin() + static_cast<std::ptrdiff_t>(y) * glyph.width);
  }
  return glyph;
}

}  // namespace ov
