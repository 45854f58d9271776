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

 private:
  Point scroll_;
};

}  // namespace ov
