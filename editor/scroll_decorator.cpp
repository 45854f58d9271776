#include "editor/scroll_decorator.h"

#include <algorithm>

#include "document/container.h"
#include "document/doc_object.h"
#include "document/document.h"
#include "editor/canvas.h"
#include "editor/view_root.h"

namespace ov {

// One drawn scroll bar: arrows at both ends, the thumb between. It lies in
// its decorator's scrolled coordinates, so the decorator moves it along
// whenever the content scrolls.
class ScrollBarView : public CPaintObject {
 public:
  ScrollBarView(ScrollDecorator& owner, int axis) : owner_(owner), axis_(axis) {}

  bool AcceptsMouse() const override { return true; }
  void Draw(Canvas& canvas) override;
  void MouseDown(uint32_t flags, Point p) override;
  void MouseMove(uint32_t flags, Point p) override;
  void MouseUp(uint32_t flags, Point p) override;
  void CaptureLost() override { dragging_ = false; }

 private:
  struct Track {
    int32_t start;   // after the first arrow
    int32_t length;  // between the arrows
    int32_t thumb_at;
    int32_t thumb_length;
  };
  Track Measure() const;
  int32_t Along(Point p) const { return axis_ == 0 ? p.x : p.y; }

  ScrollDecorator& owner_;
  int axis_;
  bool dragging_ = false;
  int32_t grab_offset_ = 0;  // where the thumb was taken, from its start
};

namespace {

constexpr int32_t kSmallestThumb = 8;
constexpr Colour kTrackColour = MakeColour(225, 225, 225);
constexpr Colour kMarkColour = MakeColour(96, 96, 96);

Rect Side(const Rect& r, int axis, int32_t from, int32_t to) {
  return axis == 0 ? Rect{from, r.top, to, r.bottom} : Rect{r.left, from, r.right, to};
}

void DrawRaised(Canvas& canvas, const Rect& r) {
  canvas.FillRect(r, SystemColourValue(SystemColour::kButtonFace));
  const Colour shadow = SystemColourValue(SystemColour::kButtonShadow);
  canvas.FillRect({r.left, r.bottom - 1, r.right, r.bottom}, shadow);
  canvas.FillRect({r.right - 1, r.top, r.right, r.bottom}, shadow);
}

// A small solid triangle pointing towards the start (or the end) of `axis`.
void DrawArrow(Canvas& canvas, const Rect& r, int axis, bool towards_end) {
  const int32_t cx = (r.left + r.right) / 2;
  const int32_t cy = (r.top + r.bottom) / 2;
  for (int32_t i = 0; i < 4; ++i) {
    const int32_t at = towards_end ? 1 - i : i - 2;  // the tip is one pixel wide
    if (axis == 0) {
      canvas.FillRect({cx + at, cy - i, cx + at + 1, cy + i + 1}, kMarkColour);
    } else {
      canvas.FillRect({cx - i, cy + at, cx + i + 1, cy + at + 1}, kMarkColour);
    }
  }
}

}  // namespace

int32_t ScrollDecorator::Bar::Limit() const {
  return std::max(0, range_end - std::max(page - 1, 0));
}

ScrollDecorator::ScrollDecorator(std::unique_ptr<CVisualOb> panel, int32_t mode)
    : mode_(mode), panel_(panel.get()) {
  SetFlags(kVoOwned);
  AdoptChild(std::move(panel), false);
  for (int axis = 0; axis < 2; ++axis) {
    bar_views_[axis] = static_cast<ScrollBarView*>(
        AdoptChild(std::make_unique<ScrollBarView>(*this, axis), true));
  }
}

ScrollDecorator::~ScrollDecorator() = default;

void ScrollDecorator::SetMode(int32_t mode) {
  mode_ = mode;
  Layout();
}

Rect ScrollDecorator::ViewArea() const {
  const Rect client = ClientRect();
  return {0, 0, client.right - (bars_[1].shown ? kBarThickness : 0),
          client.bottom - (bars_[0].shown ? kBarThickness : 0)};
}

Point ScrollDecorator::PreferredSize() const {
  if (mode_ != kSizeToContent || panel_ == nullptr) return {kBarThickness, kBarThickness};
  const Point wanted = panel_->PreferredSize();
  Point most = wanted;
  if (panel_->Module() != nullptr) {
    if (const COrvaneDocBase* document = panel_->Module()->GetDocument()) {
      const Point size = document->panel_size();
      if (size.x > 0) most.x = size.x;
      if (size.y > 0) most.y = size.y;
    }
  }
  Point size{std::min(wanted.x, most.x), std::min(wanted.y, most.y)};
  // A side cut short needs the bar that scrolls along it.
  if (wanted.x > size.x) size.y += kBarThickness;
  if (wanted.y > size.y) size.x += kBarThickness;
  return size;
}

Point ScrollDecorator::ContentSize() const {
  const Rect client = ClientRect();
  if (mode_ == kNone) return {client.right, client.bottom};
  if (mode_ < 0) return panel_->PreferredSize();
  Point extent;
  for (const CVisualOb* child : panel_->children()) {
    const Rect r = child->GetRect();
    extent = {std::max(extent.x, r.right), std::max(extent.y, r.bottom)};
  }
  return extent;
}

void ScrollDecorator::Layout() {
  if (panel_ == nullptr) return;
  const Rect client = ClientRect();
  const Point content = ContentSize();
  // A bar is needed where the content passes the room the other bar
  // leaves; deciding one can make the other needed, so twice over.
  bool h = false;
  bool v = false;
  for (int round = 0; round < 2; ++round) {
    h = content.x > client.right - (v ? kBarThickness : 0);
    v = content.y > client.bottom - (h ? kBarThickness : 0);
  }
  // A window scrolled away from the start keeps its bar, so it can come
  // back.
  h = h || Position(0) != 0;
  v = v || Position(1) != 0;
  bars_[0].shown = h;
  bars_[1].shown = v;
  const Rect view = ViewArea();
  const int32_t extents[2] = {content.x - view.right, content.y - view.bottom};
  for (int axis = 0; axis < 2; ++axis) {
    // Never a negative range, however small the content.
    const int32_t d = std::max(extents[axis], 0);
    bars_[axis].range_end = bars_[axis].shown ? d + d / 4 : 0;
    bars_[axis].page = bars_[axis].shown ? d / 4 : 0;
  }
  panel_->SetRect({0, 0, std::max(content.x, view.right), std::max(content.y, view.bottom)});
  ScrollTo(0, Position(0));
  ScrollTo(1, Position(1));
  PlaceBars();
}

void ScrollDecorator::ScrollTo(int axis, int32_t position) {
  const int32_t clamped = std::clamp(position, 0, bars_[axis].Limit());
  if (clamped == Position(axis)) return;
  Point offset = ScrollOffset();
  (axis == 0 ? offset.x : offset.y) = clamped;
  SetScrollOffset(offset);
  PlaceBars();
  // The panel tells its container, which keeps the position.
  if (panel_ != nullptr) panel_->OnNotify(Notification(kNotifyScrolled, &offset));
}

void ScrollDecorator::PlaceBars() {
  const Rect client = ClientRect();
  const Point s = ScrollOffset();
  const Rect view = ViewArea();
  const Rect places[2] = {{0, view.bottom, view.right, client.bottom},
                          {view.right, 0, client.right, view.bottom}};
  for (int axis = 0; axis < 2; ++axis) {
    ScrollBarView* bar = bar_views_[axis];
    if (bar == nullptr) continue;
    const Rect at = bars_[axis].shown ? Offset(places[axis], s.x, s.y) : Rect{};
    if (bar->GetRect() != at) bar->SetRect(at);
  }
}

void ScrollDecorator::SetRect(const Rect& rect) {
  CWndOb::SetRect(rect);
  Layout();
}

void ScrollDecorator::Open() {
  CWndOb::Open();
  Layout();
  // A container's panel opens where it was last scrolled to.
  if (const auto* container = dynamic_cast<const CContainer*>(panel_->Module())) {
    const Point offset = container->panel_offset();
    ScrollTo(0, offset.x);
    ScrollTo(1, offset.y);
  }
}

void ScrollDecorator::Close() {
  if (COrvaneViewBase* root = Root()) root->KillTimer(this, kAutoScrollTimer);
  dragging_ = false;
  CWndOb::Close();
}

void ScrollDecorator::ChildResized(CVisualOb& child) {
  if (&child == panel_) Layout();
}

void ScrollDecorator::Paint(Canvas& canvas) {
  CWndOb::Paint(canvas);
  if (bars_[0].shown && bars_[1].shown) {
    const Rect client = ClientRect();
    const Rect view = ViewArea();
    canvas.PushClip(client);
    canvas.FillRect({view.right, view.bottom, client.right, client.bottom},
                    SystemColourValue(SystemColour::kButtonFace));
    canvas.PopClip();
  }
}

bool ScrollDecorator::MouseWheel(int32_t delta, uint32_t, Point) {
  if (!bars_[1].shown) return false;
  // Added as it comes: a wheel turned away (-120) moves the content down.
  ScrollBy(1, delta);
  return true;
}

void ScrollDecorator::PointerPressed(Point p) {
  last_pointer_ = p;
  dragging_ = true;
  if (COrvaneViewBase* root = Root()) root->SetTimer(this, kAutoScrollTimer, kAutoScrollMs);
}

void ScrollDecorator::PointerMoved(Point p) {
  if (dragging_) last_pointer_ = p;
}

void ScrollDecorator::PointerReleased() {
  dragging_ = false;
  if (COrvaneViewBase* root = Root()) root->KillTimer(this, kAutoScrollTimer);
}

void ScrollDecorator::OnTimer(int32_t id) {
  COrvaneViewBase* root = Root();
  if (id != kAutoScrollTimer || root == nullptr) return;
  CVisualOb* holder = root->State().capture();
  // The drag ended somewhere else (a release outside, the focus leaving).
  if (!dragging_ || holder == nullptr || !Contains(holder)) {
    PointerReleased();
    return;
  }
  // A thumb being dragged scrolls by itself.
  if (holder == bar_views_[0] || holder == bar_views_[1]) return;
  const Rect view = ViewArea();
  const Point p = last_pointer_;
  const auto direction = [](int32_t at, int32_t start, int32_t end) {
    if (at < start + kEdgeZone) return -1;
    if (at >= end - kEdgeZone) return 1;
    return 0;
  };
  const int32_t dx = direction(p.x, view.left, view.right);
  const int32_t dy = direction(p.y, view.top, view.bottom);
  if (dx == 0 && dy == 0) return;
  if (dx != 0) ScrollBy(0, dx * kLineStep);
  if (dy != 0) ScrollBy(1, dy * kLineStep);
  // The dragged object sees the pointer where it now lies on the content.
  const Point at_root = ToRoot(p);
  holder->MouseMove(kFlagLeftButton, holder->FromRoot(at_root));
}

ScrollBarView::Track ScrollBarView::Measure() const {
  const Rect r = ClientRect();
  const int32_t whole = axis_ == 0 ? r.right : r.bottom;
  const int32_t arrow = std::min(ScrollDecorator::kBarThickness, whole / 2);
  const ScrollDecorator::Bar& bar = axis_ == 0 ? owner_.horizontal() : owner_.vertical();
  Track t{arrow, std::max(whole - 2 * arrow, 0), 0, 0};
  const int64_t units = static_cast<int64_t>(bar.range_end) + 1;
  const int64_t thumb = std::max<int64_t>(t.length * std::max(bar.page, 1) / units, kSmallestThumb);
  t.thumb_length = static_cast<int32_t>(std::min<int64_t>(thumb, t.length));
  const int32_t room = t.length - t.thumb_length;
  const int32_t limit = bar.Limit();
  t.thumb_at = t.start + (limit > 0 ? static_cast<int32_t>(static_cast<int64_t>(room) *
                                                           owner_.Position(axis_) / limit)
                                    : 0);
  return t;
}

void ScrollBarView::Draw(Canvas& canvas) {
  const Rect r = ClientRect();
  const Track t = Measure();
  canvas.FillRect(r, kTrackColour);
  const int32_t whole = axis_ == 0 ? r.right : r.bottom;
  const Rect first = Side(r, axis_, 0, t.start);
  const Rect last = Side(r, axis_, whole - t.start, whole);
  DrawRaised(canvas, first);
  DrawRaised(canvas, last);
  DrawArrow(canvas, first, axis_, false);
  DrawArrow(canvas, last, axis_, true);
  if (t.length > 0) DrawRaised(canvas, Side(r, axis_, t.thumb_at, t.thumb_at + t.thumb_length));
}

void ScrollBarView::MouseDown(uint32_t, Point p) {
  const Track t = Measure();
  const Rect r = ClientRect();
  const int32_t at = Along(p);
  const int32_t whole = axis_ == 0 ? r.right : r.bottom;
  const ScrollDecorator::Bar& bar = axis_ == 0 ? owner_.horizontal() : owner_.vertical();
  const int32_t page_step = std::max(bar.page - 1, 1);
  if (at < t.start) {
    owner_.ScrollBy(axis_, -ScrollDecorator::kLineStep);
  } else if (at >= whole - t.start) {
    owner_.ScrollBy(axis_, ScrollDecorator::kLineStep);
  } else if (at < t.thumb_at) {
    owner_.ScrollBy(axis_, -page_step);
  } else if (at >= t.thumb_at + t.thumb_length) {
    owner_.ScrollBy(axis_, page_step);
  } else {
    dragging_ = true;
    grab_offset_ = at - t.thumb_at;
    CaptureMouse();
  }
}

void ScrollBarView::MouseMove(uint32_t, Point p) {
  if (!dragging_) return;
  // Where the pointer puts the thumb's start decides the position.
  const Track t = Measure();
  const int32_t room = t.length - t.thumb_length;
  const int32_t limit = (axis_ == 0 ? owner_.horizontal() : owner_.vertical()).Limit();
  if (room <= 0) return;
  const int32_t along = std::clamp(Along(p) - grab_offset_ - t.start, 0, room);
  owner_.ScrollTo(axis_, static_cast<int32_t>(static_cast<int64_t>(along) * limit / room));
}

void ScrollBarView::MouseUp(uint32_t flags, Point p) {
  dragging_ = false;
  CPaintObject::MouseUp(flags, p);
}

}  // namespace ov
