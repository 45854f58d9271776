// Drawing into a BGRX image: a viewport origin (logical point (0, 0) lands
// on the image at the origin) and a stack of rectangular clips, each the
// intersection of the ones below it. Colours are given as platform colours
// 0x00BBGGRR and written to pixels as blue, green, red.
//
// Thread: editor.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "document/geometry.h"
#include "platform/pixel_image.h"

namespace ov {

// A platform colour: red in the low byte, blue in the third.
using Colour = uint32_t;
constexpr Colour MakeColour(uint8_t red, uint8_t green, uint8_t blue) {
  return static_cast<Colour>(red) | (static_cast<Colour>(green) << 8) |
         (static_cast<Colour>(blue) << 16);
}
// The pixel word of a platform colour (red and blue swapped).
constexpr uint32_t PixelOf(Colour colour) {
  return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

// The system colours panels are drawn with, fixed here so that every
// machine draws the same: the window background is white, the button
// shadow mid grey (160, 160, 160).
enum class SystemColour { kWindow, kButtonShadow, kButtonFace, kWindowText };
Colour SystemColourValue(SystemColour which);

struct SkinFont;

// What text is drawn with: set for a while by a text style scope, which
// puts back what was there.
struct TextState {
  enum class Align { kLeft, kCentre, kRight };
  std::shared_ptr<SkinFont> font;  // none: text draws nothing
  Align align = Align::kLeft;
  Colour colour = 0;               // black
  Colour background = 0xFFFFFF;    // white
  bool opaque = false;             // fill behind the text with the background
};

class Canvas {
 public:
  explicit Canvas(PixelImage& target);

  PixelImage& Target() { return target_; }
  Point Origin() const { return origin_; }
  void SetOrigin(Point origin) { origin_ = origin; }
  void OffsetOrigin(int32_t dx, int32_t dy) { origin_ = {origin_.x + dx, origin_.y + dy}; }

  // Clips are given in logical coordinates and kept in device ones.
  void PushClip(const Rect& logical);
  void PopClip();
  // The current clip in logical coordinates (empty when nothing is drawable).
  Rect ClipBox() const;
  // True when some part of `logical` may be drawn.
  bool RectVisible(const Rect& logical) const;

  void FillRect(const Rect& logical, Colour colour);
  void FillClip(Colour colour) { FillRect(ClipBox(), colour); }
  // A 1-pixel line from `from` up to, but not including, `to`.
  void Line(Point from, Point to, Colour colour);
  // Lines joining the points in turn, each without its end point.
  void Polyline(std::span<const Point> points, Colour colour);
  // Copies `source` area `from` (source pixels) with its top-left at `at`.
  void Copy(const PixelImage& source, const PixelRect& from, Point at);

  TextState& Text() { return text_; }

 private:
  PixelRect ToDevice(const Rect& logical) const;
  void SetPixel(int32_t x, int32_t y, uint32_t pixel);

  PixelImage& target_;
  Point origin_;
  std::vector<PixelRect> clips_;
  TextState text_;
};

}  // namespace ov
