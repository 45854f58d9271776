#include "editor/window_object.h"

#include "editor/canvas.h"

namespace ov {

void CWndOb::SetScrollOffset(Point offset) {
  if (offset == scroll_) return;
  scroll_ = offset;
  InvalidateAll();
}

void CWndOb::Paint(Canvas& canvas) {
  // A window shows nothing outside its own area.
  canvas.PushClip(ClientRect());
  CVisualOb::Paint(canvas);
  canvas.PopClip();
}

void CWndOb::InvalidateAll() {
  if (IsOpen()) InvalidateInParent(GetRect());
}

void CWndOb::InvalidateRect(const Rect& area) {
  if (!IsOpen()) return;
  const Rect r = GetRect();
  InvalidateInParent(Offset(area, r.left, r.top));
}

void CWndOb::SetRect(const Rect& rect) {
  const Rect old = GetRect();
  if (IsOpen()) InvalidateInParent(old);
  CVisualOb::SetRect(rect);
  if (IsOpen()) InvalidateInParent(rect);
}

void CWndOb::Close() {
  if (!IsOpen()) return;
  InvalidateAll();
  CVisualOb::Close();
}

}  // namespace ov
