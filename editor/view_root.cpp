#include "editor/view_root.h"

#include <algorithm>

#include "editor/canvas.h"

namespace ov {

COrvaneViewBase::COrvaneViewBase(Clock clock) : state_(std::move(clock)) {}

COrvaneViewBase::~COrvaneViewBase() {
  Close();
  graveyard_.clear();
}

void COrvaneViewBase::SetRect(const Rect& rect) {
  CVisualOb::SetRect(rect);
  if (CVisualOb* panel = Panel()) panel->SetRect(ClientRect());
}

void COrvaneViewBase::Close() {
  if (!IsOpen()) return;
  CVisualOb::Close();
  if (popups_ != nullptr) popups_->CloseAll();
  tip_ = {};
  timers_.clear();
  menu_ = {};
  graveyard_.clear();
  window_.reset();
}

void COrvaneViewBase::InvalidateAll() { InvalidateRect(ClientRect()); }

void COrvaneViewBase::InvalidateRect(const Rect& area) {
  if (!IsOpen()) return;
  const Rect c = ClientRect();
  damage_.Add(Intersect({area.left, area.top, area.right, area.bottom},
                        {c.left, c.top, c.right, c.bottom}));
}

void COrvaneViewBase::Idle() {
  if (window_ == nullptr) return;
  WindowEvent event;
  while (window_ != nullptr && window_->NextEvent(&event)) {
    HandleEvent(event);
    graveyard_.clear();
  }
  if (popups_ != nullptr) popups_->Idle();
  RunTimers();
  graveyard_.clear();
  ShowToolTipWhenRested();
  if (window_ == nullptr) return;
  const PixelRect painted = damage_.Empty() ? PixelRect{} : Repaint(damage_.Take());
  const PixelRect shown = Union(painted, exposed_);
  exposed_ = {};
  if (!shown.Empty()) window_->Present(shown);
}

PixelRect COrvaneViewBase::Repaint(const PixelRect& area) {
  if (window_ == nullptr) return {};
  const PixelRect rounded = Intersect(RoundPaintArea(area), window_->BackBuffer().Bounds());
  Canvas canvas(window_->BackBuffer());
  ForEachTile(rounded, [&](const PixelRect& tile) {
    canvas.SetOrigin({0, 0});
    canvas.PushClip({tile.left, tile.top, tile.right, tile.bottom});
    Paint(canvas);
    canvas.PopClip();
  });
  return rounded;
}

bool COrvaneViewBase::HandleEvent(const WindowEvent& event) {
  const Point p{event.x, event.y};
  bool opaque = false;
  WatchPointer(event);
  switch (event.kind) {
    case WindowEventKind::kPress: {
      if (event.button != 1) return false;
      // Hosts that forward no keys leave them to the window with focus.
      if (window_ != nullptr) window_->TakeFocus();
      CVisualOb* hit = HitTest(p, &opaque);
      if (hit != nullptr) hit->MouseDown(event.flags | kFlagLeftButton, hit->FromRoot(p));
      return false;
    }
    case WindowEventKind::kRelease: {
      if (event.button == 3) {
        if (RequestContextMenu(p) && popups_ != nullptr) {
          if (menu_.Items().empty()) {
            CancelMenu();
          } else {
            popups_->ShowMenu(menu_, p);
          }
        }
        return false;
      }
      if (event.button != 1) return false;
      CVisualOb* target = state_.capture != nullptr ? state_.capture : HitTest(p, &opaque);
      if (target != nullptr) target->MouseUp(event.flags, target->FromRoot(p));
      return false;
    }
    case WindowEventKind::kMotion: {
      CVisualOb* target = state_.capture != nullptr ? state_.capture : HitTest(p, &opaque);
      if (target != nullptr) target->MouseMove(event.flags, target->FromRoot(p));
      return false;
    }
    case WindowEventKind::kWheel: {
      CVisualOb* window = WindowAt(p);
      return window != nullptr && window->MouseWheel(event.delta, event.flags, window->FromRoot(p));
    }
    case WindowEventKind::kKeyDown:
      return DeliverKey(true, event.key, event.flags);
    case WindowEventKind::kKeyUp:
      return DeliverKey(false, event.key, event.flags);
    case WindowEventKind::kCharacter:
      return DeliverCharacter(event.key, event.flags);
    case WindowEventKind::kExpose:
      exposed_ = Union(exposed_, event.area);
      return false;
    case WindowEventKind::kFocusOut:
    case WindowEventKind::kLeave:
    case WindowEventKind::kDestroyed:
      return false;
  }
  return false;
}

bool COrvaneViewBase::DeliverKey(bool down, int32_t key, uint32_t flags) {
  // The interceptor sees every key first; then the focused object and its
  // ancestors, until one uses it. Nothing uses a key by its position.
  CVisualOb* interceptor = state_.key_interceptor;
  const auto offer = [&](CVisualOb* o) {
    return down ? o->KeyDown(key, 0, flags) : o->KeyUp(key, 0, flags);
  };
  if (interceptor != nullptr && offer(interceptor)) return true;
  for (CVisualOb* o = state_.focus != nullptr ? state_.focus : this; o != nullptr;
       o = o->parent()) {
    if (o != interceptor && offer(o)) return true;
  }
  return false;
}

bool COrvaneViewBase::DeliverCharacter(int32_t key, uint32_t flags) {
  CVisualOb* focus = state_.focus;
  if (focus == nullptr || focus == this) return false;
  return focus->Character(key, 0, flags);
}

void COrvaneViewBase::SetTimer(CVisualOb* object, int32_t id, uint32_t interval_ms) {
  KillTimer(object, id);
  timers_.push_back({object, id, interval_ms, state_.Now()});
}

void COrvaneViewBase::KillTimer(CVisualOb* object, int32_t id) {
  std::erase_if(timers_, [&](const Timer& t) { return t.object == object && t.id == id; });
}

void COrvaneViewBase::RunTimers() {
  const uint32_t now = state_.Now();
  // A timer's handler may set or kill timers: work on a copy.
  const std::vector<Timer> due = timers_;
  for (const Timer& timer : due) {
    if (now - timer.started < timer.interval) continue;
    const auto still = std::find_if(timers_.begin(), timers_.end(), [&](const Timer& t) {
      return t.object == timer.object && t.id == timer.id;
    });
    if (still == timers_.end()) continue;
    still->started = now;
    timer.object->OnTimer(timer.id);
  }
}

void COrvaneViewBase::Forget(const CVisualOb* object) {
  state_.Forget(object);
  std::erase_if(timers_, [&](const Timer& t) { return object->Contains(t.object); });
}

std::optional<ToolAtPoint> COrvaneViewBase::ToolAt(Point p) {
  bool opaque = false;
  CVisualOb* hit = HitTest(p, &opaque);
  if (hit == nullptr || !(hit->flags() & kVoToolTip)) return std::nullopt;
  const Point origin = hit->ToRoot({0, 0});
  const Rect client = hit->ClientRect();
  const Rect area = Offset(client, origin.x, origin.y);
  if (!RectContains(area, p)) return std::nullopt;
  return ToolAtPoint{hit, area};
}

std::string COrvaneViewBase::ToolTipTextAt(Point p) {
  if (!RectContains(ClientRect(), p)) return {};
  bool opaque = false;
  CVisualOb* hit = HitTest(p, &opaque);
  if (hit == nullptr || !(hit->flags() & kVoToolTip)) return {};
  return hit->ToolTipText();
}

bool COrvaneViewBase::RequestContextMenu(Point p) {
  if (state_.capture != nullptr) return false;
  bool opaque = false;
  CVisualOb* target = HitTest(p, &opaque);
  if (target == nullptr) return false;
  state_.context_point = p;
  state_.menu_target = target;
  if (target->parent() != nullptr) target->parent()->ChildClicked(target, true);
  // The click may have closed the target.
  if (state_.menu_target == nullptr) return false;
  menu_ = {};
  CVisualOb* builder = target;
  while ((builder->flags() & kVoParentBuildsMenu) && builder->parent() != nullptr) {
    builder = builder->parent();
  }
  builder->BuildContextMenu(menu_, builder->FromRoot(p));
  return true;
}

void COrvaneViewBase::CancelMenu() {
  state_.menu_target = nullptr;
  menu_ = {};
}

void COrvaneViewBase::WatchPointer(const WindowEvent& event) {
  switch (event.kind) {
    case WindowEventKind::kMotion: {
      const Point p{event.x, event.y};
      if (tip_.shown && !RectContains(tip_.area, p)) HideToolTip();
      // While a tip shows, moves inside its tool keep it and start nothing.
      if (tip_.shown) return;
      tip_.resting = true;
      tip_.at = p;
      tip_.since = state_.Now();
      return;
    }
    case WindowEventKind::kPress:
    case WindowEventKind::kRelease:
    case WindowEventKind::kWheel:
    case WindowEventKind::kKeyDown:
    case WindowEventKind::kLeave:
    case WindowEventKind::kFocusOut:
    case WindowEventKind::kDestroyed:
      HideToolTip();
      tip_.resting = false;
      return;
    default:
      return;
  }
}

void COrvaneViewBase::ShowToolTipWhenRested() {
  if (popups_ == nullptr || !tip_.resting || tip_.shown || popups_->MenuShown()) return;
  if (state_.Now() - tip_.since < kToolTipDelayMs) return;
  tip_.resting = false;
  const std::optional<ToolAtPoint> tool = ToolAt(tip_.at);
  if (!tool) return;
  const std::string text = ToolTipTextAt(tip_.at);
  if (text.empty()) return;
  popups_->ShowToolTip(text, tip_.at);
  tip_.shown = true;
  tip_.area = tool->area;
}

void COrvaneViewBase::HideToolTip() {
  if (tip_.shown && popups_ != nullptr) popups_->HideToolTip();
  tip_.shown = false;
}

void COrvaneViewBase::ChooseMenuCommand(int32_t id) {
  CVisualOb* target = state_.menu_target;
  state_.menu_target = nullptr;
  menu_ = {};
  if (target == nullptr || !IsApplicationCommand(id)) return;
  const Point p = target->FromRoot(state_.context_point);
  if (command_handler_) {
    command_handler_(*target, id, p);
  } else {
    target->Command(id, p);
  }
  graveyard_.clear();
}

COrvaneViewVST::COrvaneViewVST(Clock clock) : COrvaneViewBase(std::move(clock)) {
  view_kind_ = kViewControlPanel;
  SetFlags(kVoNoScrollDecorator);
}

}  // namespace ov
