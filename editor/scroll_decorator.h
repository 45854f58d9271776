// A window onto a panel larger than the space it is given: scroll bars
// (drawn here, 17 pixels thick) where the panel's content does not fit,
// the wheel, and scrolling by itself while a drag nears an edge. It uses
// no keys: the space key, like any key nothing on the panel takes, goes
// back to the host, whose transport it starts and stops.
//
// Thread: editor.
#pragma once

#include <cstdint>
#include <memory>

#include "editor/window_object.h"

namespace ov {

class ScrollBarView;

// Code a panel hears when its window scrolled; the subject is the new
// scroll position (a Point).
inline constexpr int32_t kNotifyScrolled = 13;

class ScrollDecorator : public CWndOb {
 public:
  static constexpr int32_t kBarThickness = 17;
  static constexpr int32_t kLineStep = 10;
  // How near an edge a drag must be for the window to scroll by itself,
  // and how often it does.
  static constexpr int32_t kEdgeZone = 10;
  static constexpr uint32_t kAutoScrollMs = 30;
  static constexpr int32_t kAutoScrollTimer = 1;

  enum Mode : int32_t { kAuto = 0, kNone = 1, kEnable = 2, kSizeToContent = 3 };

  struct Bar {
    bool shown = false;
    int32_t range_end = 0;  // the range starts at 0
    int32_t page = 0;
    // The furthest position: the range's end less a page, plus one.
    int32_t Limit() const;
  };

  // `panel` is the panel view it shows.
  ScrollDecorator(std::unique_ptr<CVisualOb> panel, int32_t mode);
  ~ScrollDecorator() override;

  int32_t mode() const { return mode_; }
  // Lays the content out again.
  void SetMode(int32_t mode);
  CVisualOb* panel() const { return panel_; }
  const Bar& horizontal() const { return bars_[0]; }
  const Bar& vertical() const { return bars_[1]; }
  // The area the panel shows in: the rectangle less the bars shown.
  Rect ViewArea() const;

  // The size to content (mode 3) limited to the project's panel size, the
  // bars' thickness where it was cut; else just the bars' thickness.
  Point PreferredSize() const override;
  void SetRect(const Rect& rect) override;
  // Opens scrolled to where its container's panel was left.
  void Open() override;
  void Close() override;
  void ChildResized(CVisualOb& child) override;
  void Paint(Canvas& canvas) override;
  // Delta -120 (the wheel turned away) moves the content down.
  bool MouseWheel(int32_t delta, uint32_t flags, Point p) override;
  void OnTimer(int32_t id) override;
  // A press inside starts the timer that scrolls while a drag stays near
  // an edge; the release stops it.
  void PointerPressed(Point p) override;
  void PointerMoved(Point p) override;
  void PointerReleased() override;

  // Measures the content and decides the bars; keeps the positions in
  // range.
  void Layout();
  // Moves the content to a position on one axis (0 horizontal, 1
  // vertical), kept within the bar's range.
  void ScrollTo(int axis, int32_t position);
  void ScrollBy(int axis, int32_t delta) { ScrollTo(axis, Position(axis) + delta); }
  int32_t Position(int axis) const { return axis == 0 ? ScrollOffset().x : ScrollOffset().y; }

 private:
  Point ContentSize() const;
  void PlaceBars();

  int32_t mode_;
  CVisualOb* panel_;
  Bar bars_[2];
  ScrollBarView* bar_views_[2] = {nullptr, nullptr};
  Point last_pointer_;
  bool dragging_ = false;
};

}  // namespace ov
