// Which parts of the window need repainting, and how a paint walks them:
// the area's left and top are rounded down to multiples of 4, then it is
// covered by 128 x 128 tiles, rows top to bottom, tiles left to right, each
// cut to what remains of the area.
//
// Thread: editor.
#pragma once

#include <functional>
#include <utility>
#include <vector>

#include "platform/pixel_image.h"

namespace ov {

constexpr int32_t kTileSize = 128;

// `area` with left and top rounded down to multiples of 4 (towards minus
// infinity, so negative positions round outwards too).
PixelRect RoundPaintArea(const PixelRect& area);

// Calls `paint` with each tile of `area` (already rounded).
void ForEachTile(const PixelRect& area, const std::function<void(const PixelRect&)>& paint);

// Damage accumulated between idle calls: a few rectangles, so that two
// small changes at opposite corners repaint two small areas, not the whole
// window between them. Areas that overlap, or whose union is no larger than
// the two apart, are joined; past the limit the pair that wastes least is.
class Damage {
 public:
  static constexpr std::size_t kMaxAreas = 8;
  void Add(const PixelRect& area);
  bool Empty() const { return areas_.empty(); }
  const std::vector<PixelRect>& Areas() const { return areas_; }
  // The accumulated areas, and no damage left.
  std::vector<PixelRect> Take() { return std::exchange(areas_, {}); }

 private:
  std::vector<PixelRect> areas_;
};

}  // namespace ov
