// Fonts made for font categories, kept by face, size and style: the eleven
// made most recently (a lookup does not refresh an entry). Entries are
// shared, so a font dropped from the cache lives on while anything still
// draws with it. Each keeps its average character cell, the mean extent of
// "8" and "M", which controls size themselves by.
// Thread: editor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>

#include "document/geometry.h"
#include "platform/glyph_raster.h"
#include "platform/text.h"

namespace ov {

struct SkinFont {
  std::string face;  // as asked for, generic names included
  int32_t size = 0;
  uint32_t style = 0;                  // underline, bold, light and italic flags
  std::unique_ptr<RasterFont> raster;  // null when no font could be opened
  Point cell;
};

// The family a face name stands for: the generic names "serif",
// "sans-serif", "cursive", "fantasy" and "monospace" become "Times New
// Roman", "Arial", "Zapf-Chancery", "Western" and "Courier New".
std::string_view FamilyOfFace(std::string_view face);

// The width of UTF-8 text set in `font` (advances only, no kerning);
// malformed bytes measure as U+FFFD.
int32_t TextWidth(RasterFont& font, std::string_view utf8);


class FontCache {
 public:
  static constexpr std::size_t kKept = 11;

  // The font for a category's face, size and style flags; made (and put
  // first) when missing.
  std::shared_ptr<SkinFont> Get(std::string_view face, int32_t size, uint32_t style);
  std::size_t Count() const { return entries_.size(); }

 private:
  std::list<std::shared_ptr<SkinFont>> entries_;  // newest first
};

}  // namespace ov
