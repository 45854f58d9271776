#include "editor/containers/tab_pages.h"

#include "document/panel_objects.h"

namespace ov {

CTabBoxWnd::CTabBoxWnd(CTabBox& box) : box_(box) {
  SetFlags(kVoOwned | 0x620);
  BindToModule(&box);
}

Point CTabBoxWnd::ScrollOffset() const {
  const Rect r = GetRect();
  return {r.left, r.top};
}

void CTabBoxWnd::Open() {
  // The members are made by what made the panel around.
  if (Makers() == nullptr && parent() != nullptr) SetMakers(MakersAbove(*parent()));
  CMyView_base::Open();
  if (CVisualOb* panel = parent()) {
    const std::vector<CVisualOb*> around = panel->children();
    for (CVisualOb* object : around) {
      if (object != this && box_.IsMember(object->Module())) panel->DestroyChild(object);
    }
  }
  ShowPage();
}

void CTabBoxWnd::ShowPage() {
  const std::vector<CVisualOb*> shown = children();
  for (CVisualOb* child : shown) {
    if (child->flags() & kVoOwned) DestroyChild(child);
  }
  if (Makers() == nullptr) return;
  const int32_t page = box_.Page();
  for (const CTabBox::Member& member : box_.members()) {
    if (member.page != page) continue;
    // A member without an object in this view kind is passed over.
    std::unique_ptr<CVisualOb> made = Makers()->Make(*member.object, ViewKind());
    if (made == nullptr) continue;
    AdoptChild(std::move(made), false)->Open();
  }
  InvalidateAll();
}

void CTabBoxWnd::OnNotify(const Notification& notification) {
  if (notification.subject == &box_ && notification.code == kNotifyPageChanged) {
    ShowPage();
    return;
  }
  if (notification.code == kNotifyChildAdded) return;
  CMyView_base::OnNotify(notification);
}

}  // namespace ov
