// Which parts of the window need repainting, and how a paint walks them:
// the area's left and top are rounded down to multiples of 4, then it is
// covered by 128 x 128 tiles, rows top to bottom, tiles left to right, each
// cut to what remains of the area.
//
// Thread: editor.
#pragma once

#include <functional>

#include "platform/pixel_image.h"

namespace ov {

constexpr int32_t kTileSize = 128;

// `area` with left and top rounded down to multiples of 4 (towards minus
// infinity, so negative positions round outwards too).
PixelRect RoundPaintArea(const PixelRect& area);

// Calls `paint` with each tile of `area` (already rounded).
void ForEachTile(const PixelRect& area, const std::function<void(const PixelRect&)>& paint);

// Damage accumulated between idle calls: one bounding rectangle.
class Damage {
 public:
  void Add(const PixelRect& area) { area_ = Union(area_, area); }
  bool Empty() const { return area_.Empty(); }
  // The accumulated area, and no damage left.
  PixelRect Take() {
    const PixelRect taken = area_;
    area_ = {};
    return taken;
  }

 private:
  PixelRect area_;
};

}  // namespace ov
