// Glyphs of one font file at one pixel size, through FreeType: grey
// coverage bitmaps and whole-pixel advances. The size is the em height in
// pixels, whatever the screen's resolution; line metrics come from the
// font's Windows ascent and descent so lines space as they do on Windows.
// Load flags are fixed so that the same FreeType draws the same pixels.
// Thread: editor (one font is used by one thread).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/font_files.h"

namespace ov {

struct Glyph {
  int32_t left = 0;  // bitmap's left edge right of the pen
  int32_t top = 0;   // bitmap's top row above the baseline
  int32_t width = 0;
  int32_t height = 0;
  int32_t advance = 0;            // whole pixels
  std::vector<uint8_t> coverage;  // width x height, 255 = fully covered
};

class RasterFont {
 public:
  // Sizes are limited to 1 ... 1024 pixels. Bold or italic asked of a face
  // that is neither is synthesised. Null, with `error` set, when FreeType
  // cannot open the file.
  static std::unique_ptr<RasterFont> Open(const FontFile& file, int32_t pixel_size, bool bold,
                                          bool italic, std::string* error);
  ~RasterFont();
  RasterFont(const RasterFont&) = delete;
  RasterFont& operator=(const RasterFont&) = delete;

  int32_t PixelSize() const { return pixel_size_; }
  int32_t Ascent() const { return ascent_; }
  int32_t Descent() const { return descent_; }
  int32_t LineHeight() const { return ascent_ + descent_; }
  int32_t UnderlineOffset() const { return underline_offset_; }  // below the baseline
  int32_t UnderlineThickness() const { return underline_thickness_; }

  // The glyph of a Unicode code point (the font's missing-glyph shape when
  // it has none); kept once made.
  const Glyph& GlyphOf(char32_t code);

 private:
  struct Library;
  RasterFont() = default;

  std::unique_ptr<Library> library_;
  int32_t pixel_size_ = 0;
  int32_t ascent_ = 0;
  int32_t descent_ = 0;
  int32_t underline_offset_ = 1;
  int32_t underline_thickness_ = 1;
  bool embolden_ = false;
  bool oblique_ = false;
  std::unordered_map<char32_t, Glyph> glyphs_;
};

}  // namespace ov
