#include "editor/controls/multi_line.h"

#include <algorithm>
#include <cmath>

namespace ov {

void MultiLine::SetFirstPoint(Point p) {
  points_.assign(1, p);
  placed_ = false;
}

void MultiLine::AddPoint(Point p) { points_.push_back(p); }

void MultiLine::Open() {
  if (!placed_ && !points_.empty()) {
    placed_ = true;
    Rect box{points_[0].x, points_[0].y, points_[0].x, points_[0].y};
    for (const Point& p : points_) {
      box = {std::min(box.left, p.x), std::min(box.top, p.y), std::max(box.right, p.x),
             std::max(box.bottom, p.y)};
    }
    const Rect at = GetRect();
    const Rect rect = Offset({box.left - 3, box.top - 7, box.right + 3, box.bottom + 7}, at.left,
                             at.top);
    for (Point& p : points_) p = {p.x - (rect.left - at.left), p.y - (rect.top - at.top)};
    SetRect(rect);
  }
  CPaintObject::Open();
}

void MultiLine::Draw(Canvas& canvas) {
  if (points_.size() < 2) return;
  std::vector<Point> backwards(points_.rbegin(), points_.rend());
  canvas.Polyline(backwards, colour_);
}

bool MultiLine::ContainsPoint(Point p) const {
  if (!CPaintObject::ContainsPoint(p)) return false;
  const int32_t t = std::max(1, (width_ + 2) / 2);
  for (size_t i = 1; i < points_.size(); ++i) {
    const Point a = points_[i - 1];
    const Point b = points_[i];
    if (p.x < std::min(a.x, b.x) - t || p.x > std::max(a.x, b.x) + t ||
        p.y < std::min(a.y, b.y) - t || p.y > std::max(a.y, b.y) + t) {
      continue;
    }
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double length = std::hypot(dx, dy);
    const double distance = length == 0.0 ? std::hypot(p.x - a.x, p.y - a.y)
                                          : std::abs(dy * (p.x - a.x) - dx * (p.y - a.y)) / length;
    if (distance <= t) return true;
  }
  return false;
}

}  // namespace ov
