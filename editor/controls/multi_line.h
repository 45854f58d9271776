// A polyline drawn on a panel: the leader lines of a rotary switch's
// labels.
//
// Thread: editor.
#pragma once

#include <cstdint>
#include <vector>

#include "editor/canvas.h"
#include "editor/visual_object.h"

namespace ov {

class MultiLine : public CPaintObject {
 public:
  explicit MultiLine(Colour colour) : colour_(colour) {}

  // Points in the parent's coordinates, until the line opens: the first
  // empties the list.
  void SetFirstPoint(Point p);
  void AddPoint(Point p);
  const std::vector<Point>& points() const { return points_; }

  // Takes the points' bounding box, grown by 3 pixels across and 7 down
  // and up, as its rectangle, and keeps its points relative to it.
  void Open() override;
  // The rectangle it took: a group laying out its children keeps it.
  Point PreferredSize() const override {
    const Rect r = GetRect();
    return {r.right - r.left, r.bottom - r.top};
  }
  // Nothing with fewer than two points.
  void Draw(Canvas& canvas) override;
  // Near a segment: within (line width + 2) / 2 pixels of it, inside its
  // box grown by as much.
  bool ContainsPoint(Point p) const override;

 private:
  std::vector<Point> points_;
  Colour colour_;
  int32_t width_ = 1;
  bool placed_ = false;
};

}  // namespace ov
