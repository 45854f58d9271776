#include "editor/visual_object.h"

#include <algorithm>
#include <limits>

#include "document/doc_object.h"
#include "editor/canvas.h"
#include "editor/context_menu.h"
#include "editor/view_root.h"
#include "platform/window_port.h"

namespace ov {
namespace {

// Notification codes a visual object reacts to besides those of notifier.h.
constexpr int32_t kNotifyBringToFront = 51;
constexpr int32_t kNotifySendToBack = 55;
// How much of a child must stay inside its parent.
constexpr int32_t kReachableMargin = 8;

}  // namespace

Rect Offset(const Rect& r, int32_t dx, int32_t dy) {
  return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

bool RectContains(const Rect& r, Point p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

CVisualOb::CVisualOb() = default;

CVisualOb::~CVisualOb() {
  if (listening_ && module_ != nullptr) module_->RemoveListener(this);
  if (parent_ != nullptr) {
    // The owner already let go of an owned child; only a borrowed one is
    // still listed.
    CVisualOb* parent = parent_;
    if (COrvaneViewBase* root = Root()) root->Forget(this);
    std::erase(parent->children_, this);
  }
  for (CVisualOb* child : children_) child->parent_ = nullptr;
}

bool CVisualOb::Contains(const CVisualOb* other) const {
  for (; other != nullptr; other = other->parent_) {
    if (other == this) return true;
  }
  return false;
}

COrvaneViewBase* CVisualOb::Root() {
  CVisualOb* top = this;
  while (top->parent_ != nullptr) top = top->parent_;
  return dynamic_cast<COrvaneViewBase*>(top);
}

CWndOb* CVisualOb::Window() { return parent_ != nullptr ? parent_->Window() : nullptr; }

std::string CVisualOb::ToolTipText() const {
  return (flags_ & kVoParentToolTip) && parent_ != nullptr ? parent_->ToolTipText() : "";
}

int32_t CVisualOb::ViewKind() const { return parent_ != nullptr ? parent_->ViewKind() : 0; }

void CVisualOb::OnNotify(const Notification& notification) {
  switch (notification.code) {
    case kNotifyPlugDestroyed:
    case kNotifyRemoved:
      if (notification.subject == module_ && module_ != nullptr && parent_ != nullptr) {
        parent_->DestroyChild(this);
      }
      break;
    case kNotifyRectChanged:
      if (notification.subject == module_ && module_ != nullptr &&
          notification.number == ViewKind()) {
        if (const std::optional<Rect> rect = module_->ViewRect(notification.number)) {
          ModuleMoved(*rect);
        }
      }
      break;
    case kNotifyBringToFront:
    case kNotifySendToBack: {
      const std::vector<CVisualOb*> children = children_;
      for (CVisualOb* child : children) {
        if (!child->IsOpen() || child->module_ == nullptr || child->module_ != notification.subject)
          continue;
        if (notification.code == kNotifyBringToFront) {
          child->BringToFront();
        } else {
          child->SendToBack();
        }
      }
      break;
    }
    default:
      break;
  }
}

bool CVisualOb::KeyDown(int32_t, int32_t, uint32_t) { return false; }
bool CVisualOb::KeyUp(int32_t, int32_t, uint32_t) { return false; }
bool CVisualOb::Character(int32_t, int32_t, uint32_t) { return false; }

Point CVisualOb::ToRoot(Point p) const {
  if (parent_ == nullptr) return p;
  const Rect r = GetRect();
  const Point scroll = parent_->ScrollOffset();
  return parent_->ToRoot({p.x + r.left - scroll.x, p.y + r.top - scroll.y});
}

Point CVisualOb::FromRoot(Point p) const {
  const Point origin = ToRoot({0, 0});
  return {p.x - origin.x, p.y - origin.y};
}

void CVisualOb::CaptureMouse() {
  if (COrvaneViewBase* root = Root()) root->State().SetCapture(this);
}

void CVisualOb::ReleaseCapture() {
  COrvaneViewBase* root = Root();
  if (root != nullptr && root->State().capture() == this) root->State().SetCapture(nullptr);
}

void CVisualOb::KeepChildReachable(CVisualOb& child) {
  const Rect client = ClientRect();
  const Rect r = child.GetRect();
  int32_t dx = 0;
  int32_t dy = 0;
  if (r.right < client.left + kReachableMargin) dx = client.left + kReachableMargin - r.right;
  if (r.left > client.right - kReachableMargin) dx = client.right - kReachableMargin - r.left;
  if (r.bottom < client.top + kReachableMargin) dy = client.top + kReachableMargin - r.bottom;
  if (r.top > client.bottom - kReachableMargin) dy = client.bottom - kReachableMargin - r.top;
  if (dx != 0 || dy != 0) child.SetRect(Offset(r, dx, dy));
}

void CVisualOb::ChildClicked(CVisualOb* child, bool give_focus) {
  if (give_focus && child != nullptr && child->CanTakeFocus()) {
    child->TakeFocus();
    give_focus = false;
  }
  if (parent_ != nullptr) {
    parent_->ChildClicked(this, give_focus);
  } else if (give_focus) {
    TakeFocus();
  }
}

void CVisualOb::ChildReleased(CVisualOb* child) {
  (void)child;
  if (parent_ != nullptr) parent_->ChildReleased(this);
}

void CVisualOb::MouseDown(uint32_t flags, Point p) {
  COrvaneViewBase* root = Root();
  if (root != nullptr && root->State().PressIsDoubleClick()) {
    DoubleClick(flags, p);
    return;
  }
  if (parent_ != nullptr) parent_->ChildClicked(this, true);
}

void CVisualOb::MouseUp(uint32_t, Point) {
  ReleaseCapture();
  if (parent_ != nullptr) parent_->ChildReleased(this);
}

void CVisualOb::MouseMove(uint32_t, Point) {}
void CVisualOb::DoubleClick(uint32_t, Point) {}
bool CVisualOb::MouseWheel(int32_t, uint32_t, Point) { return false; }
void CVisualOb::OnTimer(int32_t) {}

void CVisualOb::Paint(Canvas& canvas) {
  Draw(canvas);
  PaintChildren(canvas);
}

void CVisualOb::Draw(Canvas&) {}

void CVisualOb::PaintChildren(Canvas& canvas) {
  const Point scroll = ScrollOffset();
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    CVisualOb* child = *it;
    if (!child->IsOpen()) continue;
    const Rect r = Offset(child->GetRect(), -scroll.x, -scroll.y);
    if (!canvas.RectVisible(r)) continue;
    canvas.OffsetOrigin(r.left, r.top);
    child->Paint(canvas);
    canvas.OffsetOrigin(-r.left, -r.top);
  }
}

void CVisualOb::InvalidateAll() { InvalidateRect(ClientRect()); }

void CVisualOb::InvalidateRect(const Rect&) {}

void CVisualOb::InvalidateInParent(const Rect& area) {
  if (parent_ == nullptr) return;
  const Point scroll = parent_->ScrollOffset();
  parent_->InvalidateRect(Offset(area, -scroll.x, -scroll.y));
}

void CVisualOb::BringToFront() {
  if (parent_ == nullptr) return;
  std::vector<CVisualOb*>& list = parent_->children_;
  std::erase(list, this);
  // In front of everything of its own layer or lower.
  const auto place = std::find_if(list.begin(), list.end(),
                                  [&](const CVisualOb* o) { return o->Layer() <= Layer(); });
  list.insert(place, this);
  OnBroughtToFront();
}

void CVisualOb::SendToBack() {
  if (parent_ == nullptr) return;
  std::vector<CVisualOb*>& list = parent_->children_;
  std::erase(list, this);
  // Behind everything of its own layer or higher.
  const auto place = std::find_if(list.rbegin(), list.rend(),
                                  [&](const CVisualOb* o) { return o->Layer() >= Layer(); });
  list.insert(place.base(), this);
  OnSentToBack();
}

void CVisualOb::OnBroughtToFront() {
  for (CVisualOb* child : children_) child->OnBroughtToFront();
}

void CVisualOb::OnSentToBack() {
  for (CVisualOb* child : children_) child->OnSentToBack();
}

void CVisualOb::TakeFocus() {
  COrvaneViewBase* root = Root();
  if (root == nullptr) return;
  root->State().SetFocus(this);
  root->KeyboardWanted(TakesKeys());
}

void CVisualOb::BuildContextMenu(ContextMenu& menu, Point) {
  if (module_ != nullptr) module_->AddMenuEntries(menu);
}

bool CVisualOb::Command(int32_t id, Point p) {
  // The range below is the panel's own and never the module's.
  const bool panel_command = id >= 32908 && id <= 33908;
  if (module_ != nullptr && !panel_command && module_->OnMenuCommand(id)) return true;
  if (parent_ == nullptr) return false;
  const Rect r = GetRect();
  const Point scroll = parent_->ScrollOffset();
  return parent_->Command(id, {p.x + r.left - scroll.x, p.y + r.top - scroll.y});
}

void CVisualOb::ParentMoved(Point delta) {
  for (CVisualOb* child : children_) child->ParentMoved(delta);
}

Skin* CVisualOb::GetSkin() { return parent_ != nullptr ? parent_->GetSkin() : nullptr; }

void CVisualOb::Open() {
  flags_ |= kVoOpen;
  if (module_ != nullptr && !listening_) {
    module_->AddListener(this);
    listening_ = true;
  }
  // Opening one child may remove others (tab pages take their members
  // off the panel): only those still listed are opened, found by address
  // before they are touched.
  const std::vector<CVisualOb*> children = children_;
  for (CVisualOb* child : children) {
    if (std::find(children_.begin(), children_.end(), child) == children_.end()) continue;
    if (!child->IsOpen()) child->Open();
  }
}

void CVisualOb::Close() {
  if (!IsOpen()) return;
  const std::vector<CVisualOb*> children = children_;
  for (CVisualOb* child : children) {
    if (child->flags_ & kVoOwned) {
      DestroyChild(child);
    } else {
      child->Close();
    }
  }
  flags_ &= ~kVoOpen;
  if (listening_) {
    module_->RemoveListener(this);
    listening_ = false;
  }
}

Rect CVisualOb::ClientRect() const {
  const Rect r = GetRect();
  return {0, 0, r.right - r.left, r.bottom - r.top};
}

void CVisualOb::ChildResized(CVisualOb&) {
  if (!(flags_ & kVoAutoSize)) return;
  const Rect old = GetRect();
  const Point size = PreferredSize();
  const Rect now{old.left, old.top, old.left + size.x, old.top + size.y};
  if (now == old) return;
  SetRect(now);
  if (parent_ != nullptr) parent_->ChildResized(*this);
}

CVisualOb* CVisualOb::HitTest(Point p, bool* opaque) {
  const Point scroll = ScrollOffset();
  const Point q{p.x + scroll.x, p.y + scroll.y};
  bool found_opaque = false;
  for (CVisualOb* child : children_) {
    if (!child->IsOpen()) continue;
    const Rect r = child->GetRect();
    if (!RectContains(r, q)) continue;
    if (CVisualOb* hit = child->HitTest({q.x - r.left, q.y - r.top}, &found_opaque)) return hit;
  }
  if (!ContainsPoint(p)) return nullptr;
  if (found_opaque || !(flags_ & kVoSeeThrough)) {
    *opaque = true;
  } else if (!*opaque) {
    return nullptr;
  }
  return AcceptsMouse() ? this : nullptr;
}

CVisualOb* CVisualOb::WindowAt(Point p) {
  const Point scroll = ScrollOffset();
  const Point q{p.x + scroll.x, p.y + scroll.y};
  for (CVisualOb* child : children_) {
    if (!child->IsOpen()) continue;
    const Rect r = child->GetRect();
    if (!RectContains(r, q)) continue;
    if (CVisualOb* window = child->WindowAt({q.x - r.left, q.y - r.top})) return window;
  }
  return IsWindow() && ContainsPoint(p) ? this : nullptr;
}

void CVisualOb::PlaceInChildren(CVisualOb* child, bool at_front) {
  if (at_front) {
    children_.insert(children_.begin(), child);
  } else {
    children_.push_back(child);
  }
  child->parent_ = this;
}

void CVisualOb::AddChild(CVisualOb* child, bool at_front) { PlaceInChildren(child, at_front); }

CVisualOb* CVisualOb::AdoptChild(std::unique_ptr<CVisualOb> child, bool at_front) {
  CVisualOb* raw = child.get();
  raw->flags_ |= kVoOwned;
  owned_.push_back(std::move(child));
  PlaceInChildren(raw, at_front);
  return raw;
}

std::unique_ptr<CVisualOb> CVisualOb::RemoveChild(CVisualOb* child) {
  if (COrvaneViewBase* root = Root()) root->Forget(child);
  std::erase(children_, child);
  child->parent_ = nullptr;
  const auto owned = std::find_if(owned_.begin(), owned_.end(),
                                  [&](const std::unique_ptr<CVisualOb>& o) { return o.get() == child; });
  if (owned == owned_.end()) return nullptr;
  std::unique_ptr<CVisualOb> taken = std::move(*owned);
  owned_.erase(owned);
  return taken;
}

void CVisualOb::DestroyChild(CVisualOb* child) {
  child->Close();
  COrvaneViewBase* root = Root();
  std::unique_ptr<CVisualOb> taken = RemoveChild(child);
  // Whatever is being dispatched may still hold it: the root deletes it
  // after the event.
  if (taken != nullptr && root != nullptr) root->Bury(std::move(taken));
}

bool CPaintObject::Character(int32_t key, int32_t, uint32_t flags) {
  if (key == '\t') {
    MoveFocus(*this, !(flags & kFlagShift));
    return true;
  }
  if (key == '\r') {
    MoveFocus(*this, true);
    return true;
  }
  return false;
}

void CPaintObject::InvalidateRect(const Rect& area) {
  if (!IsOpen()) return;
  const Rect r = GetRect();
  InvalidateInParent(Offset(area, r.left, r.top));
}

void CPaintObject::SetRect(const Rect& rect) {
  if (IsOpen()) InvalidateInParent(last_rect_);
  CVisualOb::SetRect(rect);
  if (IsOpen()) {
    last_rect_ = GetRect();
    InvalidateInParent(last_rect_);
  }
}

void CPaintObject::Open() {
  last_rect_ = GetRect();
  CVisualOb::Open();
  InvalidateInParent(last_rect_);
}

void CPaintObject::Close() {
  if (!IsOpen()) return;
  InvalidateInParent(last_rect_);
  CVisualOb::Close();
}

void CPaintObject::BringToFront() {
  CVisualOb::BringToFront();
  InvalidateInParent(GetRect());
}

void CPaintObject::SendToBack() {
  CVisualOb::SendToBack();
  InvalidateInParent(GetRect());
}

namespace {

// The sibling of `from` next in tab order (or previous); null when none.
CVisualOb* NextTabStop(const CVisualOb& from, bool forward) {
  CVisualOb* best = nullptr;
  for (CVisualOb* sibling : from.parent()->children()) {
    const int32_t order = sibling->tab_order();
    if (order < 0 || sibling == &from) continue;
    const bool beyond = forward ? order > from.tab_order() : order < from.tab_order();
    if (!beyond) continue;
    if (best == nullptr || (forward ? order < best->tab_order() : order > best->tab_order())) {
      best = sibling;
    }
  }
  return best;
}

// The first (or last) tab stop among `parent`'s children.
CVisualOb* FirstTabStop(const CVisualOb& parent, bool forward) {
  CVisualOb* best = nullptr;
  for (CVisualOb* child : parent.children()) {
    const int32_t order = child->tab_order();
    if (order < 0) continue;
    if (best == nullptr || (forward ? order < best->tab_order() : order > best->tab_order())) {
      best = child;
    }
  }
  return best;
}

}  // namespace

void MoveFocus(CVisualOb& from, bool forward) {
  CVisualOb* at = &from;
  while (at->parent() != nullptr) {
    if (CVisualOb* next = NextTabStop(*at, forward)) {
      next->TakeFocus();
      return;
    }
    if (at->parent()->tab_order() < 0) break;
    at = at->parent();
  }
  CVisualOb* parent = at->parent();
  CVisualOb* wrapped = parent != nullptr ? FirstTabStop(*parent, forward) : nullptr;
  if (wrapped == nullptr) {
    if (CWndOb* window = from.Window()) window->TakeFocus();
    return;
  }
  COrvaneViewBase* root = from.Root();
  if (root != nullptr && root->State().focus() == wrapped) {
    if (CWndOb* window = parent->Window()) window->TakeFocus();
  }
  wrapped->TakeFocus();
}

}  // namespace ov
