// PNG files of BGRX images, through libpng's simplified interface.
// Thread: any (no shared state).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/pixel_image.h"

namespace ov {

// Writes an opaque RGB PNG. False, with `error` set, when it cannot.
bool WritePngFile(const std::string& path, const PixelImage& image, std::string* error);
// Reads a PNG of at most 32767 x 32767 pixels (alpha dropped); nothing, with
// `error` set, when the file is missing, damaged or too large.
std::optional<PixelImage> ReadPngFile(const std::string& path, std::string* error);

// A PNG decoded for skins: every colour type, depth, interlace and tRNS
// arrives as 0xTTRRGGBB (16-bit channels scaled to 8), where TT is
// transparency (0 opaque, 255 clear), the PNG's alpha inverted. Rows top
// first, exactly width pixels each.
struct DecodedPng {
  int32_t width = 0;
  int32_t height = 0;
  int colour_type = 0;  // as the file declares it: 0, 2, 3, 4 or 6
  std::vector<uint32_t> pixels;
};

// Skin images are at most this many pixels on a side.
constexpr int32_t kMaxSkinImageSide = 16384;

// Nothing, with `error` set, when the bytes are no PNG, are damaged, the
// image is empty or larger than kMaxSkinImageSide on a side, or `admit`
// (asked before any pixel buffer is made) refuses its size. Pixels come as
// stored: no gamma or colour-space chunk changes them.
std::optional<DecodedPng> DecodePng(const uint8_t* bytes, std::size_t size, std::string* error,
                                    const SizeCheck& admit = {});

// PNG bytes of a skin image: 8-bit RGBA with the transparency turned back
// into alpha, or 8-bit grey from one byte per pixel. `pixels` / `grey` must
// hold width x height values. Empty, with `error` set, when it cannot.
std::vector<uint8_t> EncodePngColour(int32_t width, int32_t height,
                                     const std::vector<uint32_t>& pixels, std::string* error);
std::vector<uint8_t> EncodePngGrey(int32_t width, int32_t height, const std::vector<uint8_t>& grey,
                                   std::string* error);

}  // namespace ov
