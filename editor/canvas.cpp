#include "editor/canvas.h"

#include <algorithm>
#include <cstdlib>

namespace ov {

Colour SystemColourValue(SystemColour which) {
  switch (which) {
    case SystemColour::kWindow:
      return MakeColour(255, 255, 255);
    case SystemColour::kButtonShadow:
      return MakeColour(160, 160, 160);
    case SystemColour::kButtonFace:
      return MakeColour(240, 240, 240);
    case SystemColour::kWindowText:
      return MakeColour(0, 0, 0);
  }
  return 0;
}

Canvas::Canvas(PixelImage& target) : target_(target) { clips_.push_back(target.Bounds()); }

PixelRect Canvas::ToDevice(const Rect& logical) const {
  return {logical.left + origin_.x, logical.top + origin_.y, logical.right + origin_.x,
          logical.bottom + origin_.y};
}

void Canvas::PushClip(const Rect& logical) {
  clips_.push_back(Intersect(clips_.back(), ToDevice(logical)));
}

void Canvas::PopClip() {
  // The image's own bounds stay at the bottom of the stack.
  if (clips_.size() > 1) clips_.pop_back();
}

Rect Canvas::ClipBox() const {
  const PixelRect& c = clips_.back();
  if (c.Empty()) return {};
  return {c.left - origin_.x, c.top - origin_.y, c.right - origin_.x, c.bottom - origin_.y};
}

bool Canvas::RectVisible(const Rect& logical) const {
  return !Intersect(clips_.back(), ToDevice(logical)).Empty();
}

void Canvas::FillRect(const Rect& logical, Colour colour) {
  const PixelRect r = Intersect(clips_.back(), ToDevice(logical));
  const uint32_t pixel = PixelOf(colour);
  for (int32_t y = r.top; y < r.bottom; ++y) {
    std::fill(target_.Row(y) + r.left, target_.Row(y) + r.right, pixel);
  }
}

void Canvas::SetPixel(int32_t x, int32_t y, uint32_t pixel) {
  const PixelRect& c = clips_.back();
  if (x >= c.left && x < c.right && y >= c.top && y < c.bottom) target_.Row(y)[x] = pixel;
}

void Canvas::Line(Point from, Point to, Colour colour) {
  // Bresenham, stepping along the longer axis; the end point is left out
  // so that polylines draw each corner once.
  const uint32_t pixel = PixelOf(colour);
  int32_t x = from.x + origin_.x;
  int32_t y = from.y + origin_.y;
  const int32_t dx = std::abs(to.x - from.x);
  const int32_t dy = std::abs(to.y - from.y);
  const int32_t sx = to.x >= from.x ? 1 : -1;
  const int32_t sy = to.y >= from.y ? 1 : -1;
  const int32_t steps = std::max(dx, dy);
  int32_t error = (dx >= dy ? dx : dy) / 2;
  for (int32_t i = 0; i < steps; ++i) {
    SetPixel(x, y, pixel);
    if (dx >= dy) {
      x += sx;
      error -= dy;
      if (error < 0) {
        y += sy;
        error += dx;
      }
    } else {
      y += sy;
      error -= dx;
      if (error < 0) {
        x += sx;
        error += dy;
      }
    }
  }
}

void Canvas::Polyline(std::span<const Point> points, Colour colour) {
  for (std::size_t i = 1; i < points.size(); ++i) Line(points[i - 1], points[i], colour);
}

void Canvas::Copy(const PixelImage& source, const PixelRect& from, Point at) {
  const PixelRect src = Intersect(from, source.Bounds());
  const int32_t shift_x = at.x + origin_.x - from.left;
  const int32_t shift_y = at.y + origin_.y - from.top;
  const PixelRect dest = Intersect(
      clips_.back(),
      {src.left + shift_x, src.top + shift_y, src.right + shift_x, src.bottom + shift_y});
  for (int32_t y = dest.top; y < dest.bottom; ++y) {
    const uint32_t* row = source.Row(y - shift_y);
    std::copy(row + dest.left - shift_x, row + dest.right - shift_x, target_.Row(y) + dest.left);
  }
}

}  // namespace ov
