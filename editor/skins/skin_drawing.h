// Drawing skin images into the canvas: with transparency, with transparency
// blended in linear light, a colour through a grey mask, and the opaque copy
// plain copies use. Each draws a source rectangle (clipped to the image)
// with its top-left at a logical point, clipped to the canvas's clip box.
// Thread: editor.
#pragma once

#include <cstdint>

#include "editor/canvas.h"
#include "editor/skins/skin_pixels.h"

namespace ov {

// One 8-bit channel of source s over destination d at transparency t
// (0 opaque, 255 clear): s + floor((d - s) * t / 256).
uint8_t BlendChannel(uint8_t s, uint8_t d, uint8_t t);
// The same in linear light (gamma 2.2, 14-bit table), rounded to the
// nearest 8-bit value whose linear level is closest.
uint8_t BlendChannelLinear(uint8_t s, uint8_t d, uint8_t t);
// The linear level of an 8-bit value: round((c / 255)^2.2 * 16384).
int32_t LinearLevel(uint8_t c);

void DrawTransparent(Canvas& canvas, const SkinPixels& image, const PixelRect& from, Point at);
void DrawTransparentLinear(Canvas& canvas, const SkinPixels& image, const PixelRect& from,
                           Point at);
// Grey images only: coverage 255 writes `colour`, 0 leaves the canvas, the
// rest blends in linear light.
void DrawThroughMask(Canvas& canvas, const SkinPixels& mask, const PixelRect& from, Point at,
                     Colour colour);

// `coverage` (width x height bytes, e.g. a glyph) used as a mask for
// `colour`, its top-left at the logical point `at`.
void DrawCoverage(Canvas& canvas, const uint8_t* coverage, int32_t width, int32_t height, Point at,
                  Colour colour);

// A colour image with every pixel that has any transparency made black,
// for plain copies (panel backgrounds). Grey images give an empty image.
PixelImage OpaqueCopy(const SkinPixels& image);

// A panel's background over the canvas's clip box, from the image's opaque
// copy: mode letter 0 repeats it, starting at the greatest multiples of its
// size at or before the clip box's left and top; any other letter copies it
// once at (0, 0) and fills the rest of the clip box (right of it down to its
// height, and below it) with `window`. An image without width or height
// leaves the whole clip box to `window`.
void DrawPanelBackground(Canvas& canvas, const PixelImage& opaque, int32_t mode_letter,
                         Colour window);

}  // namespace ov
