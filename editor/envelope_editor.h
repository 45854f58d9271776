// The break-point editor of "Multistage Env": the shape's points as 7 x 7
// handles over a time axis (left to right, scrolled and zoomed) and a level
// axis (+10 V at the top, 0 in the middle, -10 V at the bottom). Every edit
// goes through the module's own edit methods, which keep the limits,
// publish the shape to the engine and store it in the current patch.
//
// Mouse: a press on a handle selects its point and drags it; in the top 12
// rows the rightmost 12 pixels widen the visible span by 1.1 and the 12
// to their left narrow it; a drag anywhere else scrolls the time axis.
// Keys (while focused): Tab selects the next point, with Shift or Control
// the previous one; the arrows move the selected point by one pixel;
// Delete removes it as "Del Segment" does. The context menu on a handle
// offers "Del Segment" (not for the last point), "Ins Segment" and
// "Sustain Seg".
//
// Thread: editor.
#pragma once

#include <cstdint>
#include <optional>

#include "document/envelope_shape.h"
#include "document/generic_parameter.h"
#include "editor/self_drawing_view.h"

namespace ov {

class EnvelopeEditorView : public SelfDrawingView, protected ParamWatcher {
 public:
  static constexpr float kFirstSpan = 3.0f;  // seconds visible at first
  static constexpr int32_t kHandle = 7;
  static constexpr int32_t kStrip = 12;  // the top rows with the zoom buttons

  explicit EnvelopeEditorView(Ctl_Env_Edit& module);

  Point PreferredSize() const override { return {200, 100}; }
  bool Sizable() const override { return true; }
  Point SmallestSize() const override { return {48, 40}; }
  bool CanTakeFocus() const override { return true; }
  bool TakesKeys() const override { return true; }
  void FocusGot() override { InvalidateAll(); }
  void FocusLost() override { InvalidateAll(); }
  bool KeyDown(int32_t key, int32_t repeat, uint32_t flags) override;
  // Tab stays here while there are points to select.
  bool Character(int32_t key, int32_t repeat, uint32_t flags) override;
  void Draw(Canvas& canvas) override;

  // The visible span: its first second and its length.
  double start() const { return start_; }
  double span() const { return span_; }
  // Where a point is drawn, in this object's coordinates.
  Point PointAt(const env_seg& point) const;
  // The point whose handle lies under `p`; the one drawn on top first.
  std::optional<std::size_t> HandleAt(Point p) const;

 protected:
  bool Press(uint32_t flags, Point p) override;
  void Drag(uint32_t flags, Point p) override;
  void EndDrag(Point p, bool released) override;
  void AddMenuItems(ContextMenu& menu, Point p) override;
  bool MenuCommand(int32_t id) override;
  // The shape follows patches: a new current value repaints it.
  void OnParameterChanged() override { InvalidateAll(); }

 private:
  enum class Dragging { kNothing, kPoint, kScroll };
  // Seconds and level units per pixel.
  double SecondsPerPixel() const;
  double LevelPerPixel() const;
  void Zoom(double factor);
  // Moves the selected point by whole pixels; the shape is stored.
  bool Nudge(int32_t dx, int32_t dy);

  Ctl_Env_Edit& module_;
  double start_ = 0.0;
  double span_ = kFirstSpan;
  Dragging dragging_what_ = Dragging::kNothing;
  Point pressed_at_;
  env_seg pressed_point_;
  double pressed_start_ = 0.0;
  std::optional<std::size_t> menu_point_;  // the handle the menu was asked on
};

// Adds the maker of "Multistage Env" editors for the control panel.
void AddEnvelopeEditorViews(VisualMakers& makers);

}  // namespace ov
