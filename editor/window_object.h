// CWndOb: a visual object that is a window. The root view owns the platform
// window; window objects below it are drawn into the root's buffer but keep
// window behaviour: their own origin and scroll offset, clipping to their
// area, the wheel, and invalidation of what they show.
//
// Thread: editor.
#pragma once

#include "editor/visual_object.h"

namespace ov {

class CWndOb : public CVisualOb {
 public:
  CWndOb* Window() override { return this; }
  bool IsWindow() const override { return true; }
  Point ScrollOffset() const override { return scroll_; }
  void SetScrollOffset(Point offset);

  void Paint(Canvas& canvas) override;
  void InvalidateAll() override;
  void InvalidateRect(const Rect& area) override;
  // Moves the window: the area it left and the one it takes are repainted.
  void SetRect(const Rect& rect) override;
  void Close() override;

  // The root tells every window above the object a press goes to, a move
  // while the mouse is captured and the release (p in this window's
  // coordinates), whoever takes them.
  virtual void PointerPressed(Point /*p*/) {}
  virtual void PointerMoved(Point /*p*/) {}
  virtual void PointerReleased() {}

 private:
  Point scroll_;
};

}  // namespace ov
