#include "editor/envelope_editor.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "editor/canvas.h"
#include "editor/view_root.h"
#include "platform/window_port.h"

namespace ov {
namespace {

// Handles sit this far inside the frame at the ends of the axes.
constexpr int32_t kInset = 4;
// Zoomed no closer than a millisecond across, no wider than the time a
// point can take.
constexpr double kNarrowest = 0.001;
constexpr double kWidest = Ctl_Env_Edit::kLastTime;
constexpr double kZoomFactor = 1.1;

constexpr Colour kBackground = MakeColour(24, 30, 44);
constexpr Colour kStripFill = MakeColour(40, 48, 66);
constexpr Colour kGrid = MakeColour(52, 62, 84);
constexpr Colour kZeroLine = MakeColour(96, 108, 132);
constexpr Colour kFrame = MakeColour(120, 130, 150);
constexpr Colour kFocusFrame = MakeColour(230, 200, 90);
constexpr Colour kShape = MakeColour(110, 220, 140);
constexpr Colour kSustain = MakeColour(230, 200, 90);
constexpr Colour kHandleColour = MakeColour(235, 235, 235);
constexpr Colour kSelected = MakeColour(240, 90, 70);
constexpr Colour kButtonSign = MakeColour(210, 215, 225);

// Draws the part of the line from a to b that lies within `box`: points
// far outside (a long shape zoomed in) cost nothing to skip.
void ClippedLine(Canvas& canvas, double ax, double ay, double bx, double by, const Rect& box,
                 Colour colour) {
  // Beyond a million pixels the slope no longer shows, and the arithmetic
  // below stays exact enough.
  constexpr double kFar = 1.0e6;
  ax = std::clamp(ax, -kFar, kFar);
  ay = std::clamp(ay, -kFar, kFar);
  bx = std::clamp(bx, -kFar, kFar);
  by = std::clamp(by, -kFar, kFar);
  double t0 = 0.0;
  double t1 = 1.0;
  const double dx = bx - ax;
  const double dy = by - ay;
  const double p[] = {-dx, dx, -dy, dy};
  const double q[] = {ax - box.left, box.right - 1 - ax, ay - box.top, box.bottom - 1 - ay};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0.0) {
      if (q[i] < 0.0) return;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0.0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    if (t0 > t1) return;
  }
  const auto inside = [&](double x, double y) {
    return Point{static_cast<int32_t>(std::lround(std::clamp<double>(x, box.left, box.right - 1))),
                 static_cast<int32_t>(std::lround(std::clamp<double>(y, box.top, box.bottom - 1)))};
  };
  const Point from = inside(ax + t0 * dx, ay + t0 * dy);
  const Point to = inside(ax + t1 * dx, ay + t1 * dy);
  canvas.Line(from, to, colour);
  canvas.FillRect({to.x, to.y, to.x + 1, to.y + 1}, colour);
}

// The grid's step in seconds: the first of 1, 2, 5 times a power of ten
// whose lines stand at least 24 pixels apart.
double GridStep(double seconds_per_pixel) {
  for (double decade = 0.001; decade < 10000.0; decade *= 10.0) {
    for (const double factor : {1.0, 2.0, 5.0}) {
      if (decade * factor / seconds_per_pixel >= 24.0) return decade * factor;
    }
  }
  return 10000.0;
}

}  // namespace

EnvelopeEditorView::EnvelopeEditorView(Ctl_Env_Edit& module)
    : SelfDrawingView(module), module_(module) {
  SetFlags(kVoFocusable);
  Watch(&module);
}

double EnvelopeEditorView::SecondsPerPixel() const {
  const Rect c = ClientRect();
  return span_ / std::max(1, c.right - 1 - 2 * kInset);
}

double EnvelopeEditorView::LevelPerPixel() const {
  const Rect c = ClientRect();
  return 2.0 / std::max(1, c.bottom - 1 - 2 * kInset);
}

Point EnvelopeEditorView::PointAt(const env_seg& point) const {
  const double x = kInset + (point.time - start_) / SecondsPerPixel();
  const double y = kInset + (1.0 - point.level) / LevelPerPixel();
  // Far-away points stay far away without overflowing.
  const auto pixel = [](double v) {
    return static_cast<int32_t>(std::lround(std::clamp(v, -1.0e6, 1.0e6)));
  };
  return {pixel(x), pixel(y)};
}

std::optional<std::size_t> EnvelopeEditorView::HandleAt(Point p) const {
  const std::vector<env_seg>& points = module_.points();
  for (std::size_t i = points.size(); i-- > 0;) {
    const Point at = PointAt(points[i]);
    if (std::abs(p.x - at.x) <= kHandle / 2 && std::abs(p.y - at.y) <= kHandle / 2) return i;
  }
  return std::nullopt;
}

void EnvelopeEditorView::Zoom(double factor) {
  span_ = std::clamp(span_ * factor, kNarrowest, kWidest);
  InvalidateAll();
}

bool EnvelopeEditorView::Press(uint32_t, Point p) {
  pressed_at_ = p;
  if (const std::optional<std::size_t> handle = HandleAt(p)) {
    module_.SelectPoint(*handle);
    pressed_point_ = module_.points()[*handle];
    dragging_what_ = Dragging::kPoint;
    InvalidateAll();
    return true;
  }
  const int32_t right = ClientRect().right;
  if (p.y < kStrip && p.x >= right - kStrip) {
    Zoom(kZoomFactor);
    return false;
  }
  if (p.y < kStrip && p.x >= right - 2 * kStrip) {
    Zoom(1.0 / kZoomFactor);
    return false;
  }
  pressed_start_ = start_;
  dragging_what_ = Dragging::kScroll;
  return true;
}

void EnvelopeEditorView::Drag(uint32_t, Point p) {
  const int32_t dx = p.x - pressed_at_.x;
  const int32_t dy = p.y - pressed_at_.y;
  if (dragging_what_ == Dragging::kScroll) {
    start_ = std::clamp(pressed_start_ - dx * SecondsPerPixel(), 0.0, kWidest);
    InvalidateAll();
    return;
  }
  const std::optional<std::size_t> selected = module_.selected();
  if (dragging_what_ != Dragging::kPoint || !selected) return;
  // From where the press found the point, so the limits never pile up.
  module_.MovePoint(*selected, static_cast<float>(pressed_point_.time + dx * SecondsPerPixel()),
                    static_cast<float>(pressed_point_.level - dy * LevelPerPixel()));
  InvalidateAll();
}

void EnvelopeEditorView::EndDrag(Point, bool) {
  // A drag cut short by a grab still keeps what it moved.
  if (dragging_what_ == Dragging::kPoint) module_.EndDrag();
  dragging_what_ = Dragging::kNothing;
}

bool EnvelopeEditorView::Nudge(int32_t dx, int32_t dy) {
  const std::optional<std::size_t> selected = module_.selected();
  if (!selected) return false;
  const env_seg point = module_.points()[*selected];
  module_.MovePoint(*selected, static_cast<float>(point.time + dx * SecondsPerPixel()),
                    static_cast<float>(point.level - dy * LevelPerPixel()));
  module_.EndDrag();
  return true;
}

bool EnvelopeEditorView::KeyDown(int32_t key, int32_t, uint32_t flags) {
  const std::size_t count = module_.points().size();
  const std::optional<std::size_t> selected = module_.selected();
  switch (key) {
    case kKeyTab: {
      if (count == 0) return false;
      const bool back = (flags & (kFlagShift | kFlagControl)) != 0;
      std::size_t next = 0;
      if (selected) {
        next = back ? (*selected + count - 1) % count : (*selected + 1) % count;
      } else if (back) {
        next = count - 1;
      }
      module_.SelectPoint(next);
      InvalidateAll();
      return true;
    }
    case kKeyLeft:
      return Nudge(-1, 0);
    case kKeyRight:
      return Nudge(1, 0);
    case kKeyUp:
      return Nudge(0, -1);
    case kKeyDown:
      return Nudge(0, 1);
    case kKeyDelete:
      if (!selected || *selected + 1 >= count) return false;
      module_.DeleteSegment(*selected);
      return true;
    default:
      return false;
  }
}

bool EnvelopeEditorView::Character(int32_t key, int32_t repeat, uint32_t flags) {
  if (key == '\t' && !module_.points().empty()) return true;
  return SelfDrawingView::Character(key, repeat, flags);
}

void EnvelopeEditorView::AddMenuItems(ContextMenu& menu, Point p) {
  menu_point_ = HandleAt(p);
  if (!menu_point_) return;
  module_.SelectPoint(*menu_point_);
  InvalidateAll();
  if (*menu_point_ + 1 < module_.points().size()) menu.Add(kCommandDeleteSegment, "Del Segment");
  menu.Add(kCommandInsertSegment, "Ins Segment");
  menu.Add(kCommandSustainSegment, "Sustain Seg",
           module_.sustain() == *menu_point_ ? uint32_t{kMenuChecked} : 0u);
}

bool EnvelopeEditorView::MenuCommand(int32_t id) {
  if (id != kCommandDeleteSegment && id != kCommandInsertSegment && id != kCommandSustainSegment) {
    return false;
  }
  const std::optional<std::size_t> point = std::exchange(menu_point_, std::nullopt);
  // The shape may have changed since the menu opened (a patch change).
  if (!point || *point >= module_.points().size()) return true;
  if (id == kCommandDeleteSegment) module_.DeleteSegment(*point);
  if (id == kCommandInsertSegment) module_.InsertSegment(*point);
  if (id == kCommandSustainSegment) module_.ToggleSustain(*point);
  return true;
}

void EnvelopeEditorView::Draw(Canvas& canvas) {
  const Rect c = ClientRect();
  canvas.FillRect(c, kBackground);
  canvas.PushClip(c);
  const Rect plot{1, 1, c.right - 1, c.bottom - 1};

  // Time grid, then the level lines at +1, -1 and 0.
  const double seconds_per_pixel = SecondsPerPixel();
  const double step = GridStep(seconds_per_pixel);
  const double first = std::ceil(start_ / step);
  for (int32_t k = 0; k < c.right; ++k) {
    const int32_t x = PointAt({0.0f, static_cast<float>((first + k) * step)}).x;
    if (x >= c.right - 1) break;
    canvas.FillRect({x, 1, x + 1, c.bottom - 1}, kGrid);
  }
  for (const float level : {1.0f, -1.0f, 0.0f}) {
    const int32_t y = PointAt({level, 0.0f}).y;
    canvas.FillRect({1, y, c.right - 1, y + 1}, level == 0.0f ? kZeroLine : kGrid);
  }

  // The zoom buttons in the top right corner: narrow ("+") left of widen
  // ("-").
  const int32_t widen = c.right - kStrip;
  const int32_t narrow = c.right - 2 * kStrip;
  canvas.FillRect({narrow, 1, c.right - 1, kStrip}, kStripFill);
  canvas.FillRect({narrow, 1, narrow + 1, kStrip}, kFrame);
  canvas.FillRect({widen, 1, widen + 1, kStrip}, kFrame);
  canvas.FillRect({narrow, kStrip, c.right - 1, kStrip + 1}, kFrame);
  canvas.FillRect({narrow + 3, 6, narrow + 10, 7}, kButtonSign);
  canvas.FillRect({narrow + 6, 3, narrow + 7, 10}, kButtonSign);
  canvas.FillRect({widen + 3, 6, widen + 10, 7}, kButtonSign);

  // The shape from (0, 0) through every point, then on at the last level.
  const std::vector<env_seg>& points = module_.points();
  const auto place = [&](const env_seg& point) {
    return std::pair<double, double>{kInset + (point.time - start_) / seconds_per_pixel,
                                     kInset + (1.0 - point.level) / LevelPerPixel()};
  };
  std::pair<double, double> from = place({});
  for (const env_seg& point : points) {
    const std::pair<double, double> to = place(point);
    ClippedLine(canvas, from.first, from.second, to.first, to.second, plot, kShape);
    from = to;
  }
  if (!points.empty()) {
    ClippedLine(canvas, from.first, from.second, plot.right, from.second, plot, kShape);
  }
  if (const std::optional<std::size_t> sustain = module_.sustain();
      sustain && *sustain < points.size()) {
    const int32_t x = PointAt(points[*sustain]).x;
    if (x >= 1 && x < c.right - 1) {
      for (int32_t y = 1; y < c.bottom - 1; y += 4) {
        canvas.FillRect({x, y, x + 1, std::min(y + 2, c.bottom - 1)}, kSustain);
      }
    }
  }

  // Handles: the selected one filled red, the sustain point's hollow.
  const std::optional<std::size_t> selected = module_.selected();
  for (std::size_t i = 0; i < points.size(); ++i) {
    const Point at = PointAt(points[i]);
    const Rect handle{at.x - kHandle / 2, at.y - kHandle / 2, at.x + kHandle / 2 + 1,
                      at.y + kHandle / 2 + 1};
    if (!canvas.RectVisible(handle)) continue;
    const Colour edge = module_.sustain() == i ? kSustain : kHandleColour;
    canvas.FillRect(handle, edge);
    const Rect inside{handle.left + 1, handle.top + 1, handle.right - 1, handle.bottom - 1};
    if (selected == i) {
      canvas.FillRect(inside, kSelected);
    } else if (module_.sustain() == i) {
      canvas.FillRect(inside, kBackground);
    }
  }

  const Colour frame = Root() != nullptr && Root()->State().focus() == this ? kFocusFrame : kFrame;
  const Point outline[] = {
      {0, 0}, {c.right - 1, 0}, {c.right - 1, c.bottom - 1}, {0, c.bottom - 1}, {0, 0}};
  canvas.Polyline(outline, frame);
  canvas.PopClip();
}

void AddEnvelopeEditorViews(VisualMakers& makers) {
  makers.Add([](CDocOb& object, int32_t view_kind) -> std::unique_ptr<CVisualOb> {
    auto* module = dynamic_cast<Ctl_Env_Edit*>(&object);
    if (module == nullptr || view_kind != kViewControlPanel) return nullptr;
    return PlacedAtModule(std::make_unique<EnvelopeEditorView>(*module));
  });
}

}  // namespace ov
