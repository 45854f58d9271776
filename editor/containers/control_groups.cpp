#include "editor/containers/control_groups.h"

#include <algorithm>

#include "document/panel_objects.h"
#include "editor/canvas.h"
#include "editor/groups.h"

namespace ov {
namespace {

constexpr Colour kBorderLight = MakeColour(180, 180, 180);

}  // namespace

Point CBorder::PreferredSize() const {
  const CVisualOb* child = Child();
  if (child == nullptr) return {10, 10};
  const Point size = child->PreferredSize();
  return {size.x + BorderWidth(), size.y + BorderWidth()};
}

void CBorder::SetRect(const Rect& rect) {
  Rect r = rect;
  if (Child() != nullptr) {
    const Point least = PreferredSize();
    r.right = std::max(r.right, r.left + least.x);
    r.bottom = std::max(r.bottom, r.top + least.y);
  }
  CPaintObject::SetRect(r);
  if (CVisualOb* child = Child()) {
    const Rect c = ClientRect();
    child->SetRect({0, 0, c.right - BorderWidth(), c.bottom - BorderWidth()});
  }
}

void CBorder::Draw(Canvas& canvas) {
  if (ViewKind() == kViewControlPanel) return;
  const Rect c = ClientRect();
  const Point shadow[] = {{0, c.bottom - 1}, {0, 0}, {c.right - 1, 0}};
  const Point light[] = {{1, c.bottom - 1}, {c.right - 1, c.bottom - 1}, {c.right - 1, 0}};
  canvas.Polyline(shadow, SystemColourValue(SystemColour::kButtonShadow));
  canvas.Polyline(light, kBorderLight);
}

control_group::control_group() { SetFlags(kVoOwned); }

Point control_group::PreferredSize() const {
  Point size;
  for (const CVisualOb* child : children()) {
    const Rect r = child->GetRect();
    const Point wanted = child->PreferredSize();
    size = {std::max(size.x, r.left + wanted.x), std::max(size.y, r.top + wanted.y)};
  }
  return size;
}

void control_group::TakeFocus() { FocusFirstTabStop(*this); }

control_group_auto_size::control_group_auto_size(control_group_ob& group) : group_(group) {
  SetFlags(kVoOwned | kVoAutoSize | kVoSeeThrough);
  BindToModule(&group);
}

control_group_auto_size::~control_group_auto_size() { StopWatching(); }

void control_group_auto_size::StopWatching() {
  for (CDocOb* member : watched_) member->RemoveListener(&watch_);
  watched_.clear();
}

Rect control_group_auto_size::Union() const {
  Rect u;
  bool any = false;
  for (const CVisualOb* child : children()) {
    const Rect r = child->GetRect();
    u = any ? Rect{std::min(u.left, r.left), std::min(u.top, r.top), std::max(u.right, r.right),
                   std::max(u.bottom, r.bottom)}
            : r;
    any = true;
  }
  return u;
}

Point control_group_auto_size::PreferredSize() const {
  const Rect u = Union();
  return {u.right - u.left, u.bottom - u.top};
}

void control_group_auto_size::Open() {
  if (Makers() == nullptr && parent() != nullptr) SetMakers(MakersAbove(*parent()));
  control_group::Open();
  const auto is_member = [&](const CDocOb* module) {
    return module != nullptr && std::find(group_.members().begin(), group_.members().end(),
                                          module) != group_.members().end();
  };
  if (CVisualOb* panel = parent()) {
    const std::vector<CVisualOb*> around = panel->children();
    for (CVisualOb* object : around) {
      if (object != this && is_member(object->Module())) panel->DestroyChild(object);
    }
  }
  StopWatching();
  if (Makers() != nullptr) {
    for (CDocOb* member : group_.members()) {
      if (member == nullptr) continue;
      std::unique_ptr<CVisualOb> made = Makers()->Make(*member, ViewKind());
      if (made == nullptr) continue;
      AdoptChild(std::move(made), false)->Open();
      member->AddListener(&watch_);
      watched_.push_back(member);
    }
  }
  Recompute();
}

void control_group_auto_size::Close() {
  StopWatching();
  control_group::Close();
}

void control_group_auto_size::Recompute() {
  const Rect u = Union();
  const Rect old = GetRect();
  const Point old_origin = origin_;
  const Rect now{u.left, u.top, u.right, u.bottom};
  origin_ = {u.left, u.top};
  // The group sits where its members' union lies on the panel.
  if (now != old) SetRect(now);
  if (now != old && parent() != nullptr) parent()->ChildResized(*this);
  if (origin_ != old_origin) {
    ParentMoved({old_origin.x - origin_.x, old_origin.y - origin_.y});
    InvalidateInParent(old);
    InvalidateInParent(now);
  }
}

void control_group_auto_size::MemberWatch::OnNotify(const Notification& notification) {
  if (notification.code == kNotifyRectChanged) owner_.Recompute();
}

}  // namespace ov
