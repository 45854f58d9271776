#include "editor/damage.h"

#include <algorithm>
#include <cstdint>

namespace ov {
namespace {

int32_t FloorTo4(int32_t v) { return v >= 0 ? v & ~3 : -((-v + 3) & ~3); }

int64_t AreaOf(const PixelRect& r) {
  return r.Empty() ? 0 : static_cast<int64_t>(r.Width()) * r.Height();
}

// What joining two areas paints beyond the two.
int64_t Waste(const PixelRect& a, const PixelRect& b) {
  return AreaOf(Union(a, b)) - AreaOf(a) - AreaOf(b) + AreaOf(Intersect(a, b));
}

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

void Damage::Add(const PixelRect& area) {
  if (area.Empty()) return;
  PixelRect joined = area;
  // A joined area may reach others it can join in turn.
  for (bool again = true; again;) {
    again = false;
    for (auto it = areas_.begin(); it != areas_.end(); ++it) {
      const bool overlap = !Intersect(*it, joined).Empty();
      if (overlap || AreaOf(Union(*it, joined)) <= AreaOf(*it) + AreaOf(joined)) {
        joined = Union(*it, joined);
        areas_.erase(it);
        again = true;
        break;
      }
    }
  }
  areas_.push_back(joined);
  if (areas_.size() <= kMaxAreas) return;
  std::size_t best_a = 0;
  std::size_t best_b = 1;
  int64_t least = INT64_MAX;
  for (std::size_t a = 0; a < areas_.size(); ++a) {
    for (std::size_t b = a + 1; b < areas_.size(); ++b) {
      const int64_t waste = Waste(areas_[a], areas_[b]);
      if (waste < least) {
        least = waste;
        best_a = a;
        best_b = b;
      }
    }
  }
  areas_[best_a] = Union(areas_[best_a], areas_[best_b]);
  areas_.erase(areas_.begin() + static_cast<std::ptrdiff_t>(best_b));
}

}  // namespace ov
