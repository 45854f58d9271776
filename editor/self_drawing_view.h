// The panel area of a control that draws itself. The control's editor half
// derives from SelfDrawingView and is handed the paint, the mouse, the keys
// and the context menu; the view does what every such area shares: it
// follows its module (code 28 repaints it), takes the focus on a press when
// it uses keys, turns a press into a drag that keeps the mouse wherever the
// pointer goes and always ends (a release, a lost capture), and puts its
// own menu entries before the module's.
//
// Thread: editor.
#pragma once

#include <cstdint>
#include <memory>

#include "editor/context_menu.h"
#include "editor/panel_view.h"
#include "editor/visual_object.h"

namespace ov {

class SelfDrawingView : public CPaintObject {
 public:
  explicit SelfDrawingView(CDocOb& module);

  bool AcceptsMouse() const override { return true; }
  // The module's contents changed (code 28): the area is drawn again.
  void OnNotify(const Notification& notification) override;

  void MouseDown(uint32_t flags, Point p) final;
  void MouseMove(uint32_t flags, Point p) final;
  void MouseUp(uint32_t flags, Point p) final;
  // A second press soon after the first is another press here.
  void DoubleClick(uint32_t flags, Point p) final;
  void CaptureLost() final;
  void BuildContextMenu(ContextMenu& menu, Point p) final;
  bool Command(int32_t id, Point p) final;

  // Takes the module's new rectangle as PlaceAt() fits it.
  void ModuleMoved(const Rect& rect) override { SetRect(PlaceAt(rect)); }
  // PreferredSize() at the top-left of `rect`; a view that can be sized
  // takes `rect` itself when it is at least SmallestSize() on both sides
  // (a module made without a size is not).
  Rect PlaceAt(const Rect& rect) const;
  virtual bool Sizable() const { return false; }
  virtual Point SmallestSize() const { return PreferredSize(); }

  bool dragging() const { return dragging_; }

 protected:
  // A left press at `p`: true starts a drag, which captures the mouse.
  virtual bool Press(uint32_t flags, Point p) = 0;
  // The pointer moved during the drag (it may lie outside the area).
  virtual void Drag(uint32_t /*flags*/, Point /*p*/) {}
  // The drag ended: released at `p`, or lost (`released` false, `p` the
  // last point dragged to).
  virtual void EndDrag(Point /*p*/, bool /*released*/) {}
  // The view's own entries, at `p`; the module's follow them.
  virtual void AddMenuItems(ContextMenu& /*menu*/, Point /*p*/) {}
  // One of the view's own entries was chosen; false when it is not one.
  virtual bool MenuCommand(int32_t /*id*/) { return false; }

 private:
  void FinishDrag(Point p, bool released);

  bool dragging_ = false;
  Point last_drag_;
};

// The commands of self-drawing views' own menu entries (ids the root view
// hands on, unused by the application itself).
constexpr int32_t kCommandDeleteSegment = 34917;
constexpr int32_t kCommandInsertSegment = 34918;
constexpr int32_t kCommandSustainSegment = 34919;

// Makes `view` for the module's panel rectangle and places it there.
std::unique_ptr<CVisualOb> PlacedAtModule(std::unique_ptr<SelfDrawingView> view);

}  // namespace ov
