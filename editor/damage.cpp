#include "editor/damage.h"

#include <algorithm>

namespace ov {
namespace {

int32_t FloorTo4(int32_t v) { return v >= 0 ? v & ~3 : -((-v + 3) & ~3); }

}  // namespace

PixelRect RoundPaintArea(const PixelRect& area) {
  return {FloorTo4(area.left), FloorTo4(area.top), area.right, area.bottom};
}

void ForEachTile(const PixelRect& area, const std::function<void(const PixelRect&)>& paint) {
  for (int32_t y = area.top; y < area.bottom; y += kTileSize) {
    for (int32_t x = area.left; x < area.right; x += kTileSize) {
      paint({x, y, std::min(x + kTileSize, area.right), std::min(y + kTileSize, area.bottom)});
    }
  }
}

}  // namespace ov
