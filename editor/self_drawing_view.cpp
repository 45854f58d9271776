#include "editor/self_drawing_view.h"

#include "document/doc_object.h"
#include "platform/window_port.h"

namespace ov {

SelfDrawingView::SelfDrawingView(CDocOb& module) { BindToModule(&module); }

void SelfDrawingView::OnNotify(const Notification& notification) {
  if (notification.code == kNotifyContentsChanged && notification.subject == Module()) {
    InvalidateAll();
    return;
  }
  CPaintObject::OnNotify(notification);
}

Rect SelfDrawingView::PlaceAt(const Rect& rect) const {
  const Point smallest = SmallestSize();
  if (Sizable() && rect.right - rect.left >= smallest.x && rect.bottom - rect.top >= smallest.y) {
    return rect;
  }
  const Point size = PreferredSize();
  return {rect.left, rect.top, rect.left + size.x, rect.top + size.y};
}

void SelfDrawingView::MouseDown(uint32_t flags, Point p) {
  // A view that uses keys takes the focus, so that they reach it.
  if (parent() != nullptr) parent()->ChildClicked(this, CanTakeFocus());
  if (!(flags & kFlagLeftButton) || !IsOpen() || dragging_) return;
  if (Press(flags, p)) {
    dragging_ = true;
    last_drag_ = p;
    CaptureMouse();
  }
}

void SelfDrawingView::DoubleClick(uint32_t flags, Point p) { MouseDown(flags, p); }

void SelfDrawingView::MouseMove(uint32_t flags, Point p) {
  if (!dragging_) return;
  last_drag_ = p;
  Drag(flags, p);
}

void SelfDrawingView::MouseUp(uint32_t flags, Point p) {
  if (dragging_) FinishDrag(p, true);
  CPaintObject::MouseUp(flags, p);
}

void SelfDrawingView::CaptureLost() {
  // A grab or the focus leaving took the pointer: the drag ends where it was.
  if (dragging_) FinishDrag(last_drag_, false);
}

void SelfDrawingView::FinishDrag(Point p, bool released) {
  dragging_ = false;
  EndDrag(p, released);
}

void SelfDrawingView::BuildContextMenu(ContextMenu& menu, Point p) {
  AddMenuItems(menu, p);
  ContextMenu module_entries;
  CPaintObject::BuildContextMenu(module_entries, p);
  if (module_entries.Items().empty()) return;
  menu.AddSeparator();
  for (const MenuItem& item : module_entries.Items()) menu.Add(item.id, item.text, item.flags);
}

bool SelfDrawingView::Command(int32_t id, Point p) {
  return MenuCommand(id) || CPaintObject::Command(id, p);
}

std::unique_ptr<CVisualOb> PlacedAtModule(std::unique_ptr<SelfDrawingView> view) {
  const std::optional<Rect> rect = view->Module()->ViewRect(kViewControlPanel);
  view->SetRect(view->PlaceAt(rect.value_or(Rect{})));
  return view;
}

}  // namespace ov
