#include "editor/view_root.h"

#include <algorithm>
#include <utility>

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
  list_chosen_ = nullptr;
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
    const bool key = event.kind == WindowEventKind::kKeyDown ||
                     event.kind == WindowEventKind::kKeyUp;
    // What the panel leaves of the keys it has the focus for is the host's.
    if (!HandleEvent(event) && key && window_ != nullptr) window_->ReturnKey();
    graveyard_.clear();
  }
  if (popups_ != nullptr) popups_->Idle();
  if (file_dialog_ != nullptr) file_dialog_->Idle();
  RunTimers();
  graveyard_.clear();
  ShowToolTipWhenRested();
  if (window_ == nullptr) return;
  // Each area is painted and shown on its own; what the server lost is
  // shown again from the back buffer, painted or not.
  Damage shown;
  for (const PixelRect& area : damage_.Take()) shown.Add(Repaint(area));
  shown.Add(exposed_);
  exposed_ = {};
  for (const PixelRect& area : shown.Areas()) window_->Present(area);
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
      CVisualOb* hit = HitTest(p, &opaque);
      if (hit == nullptr) return false;
      TellWindowsAbove(*hit, WindowEventKind::kPress, p);
      // The press may close what it hit: only the windows heard first.
      if (hit->Root() == this) hit->MouseDown(event.flags | kFlagLeftButton, hit->FromRoot(p));
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
      CVisualOb* target = state_.capture() != nullptr ? state_.capture() : HitTest(p, &opaque);
      if (target == nullptr) return false;
      TellWindowsAbove(*target, WindowEventKind::kRelease, p);
      target->MouseUp(event.flags, target->FromRoot(p));
      return false;
    }
    case WindowEventKind::kMotion: {
      if (state_.capture() != nullptr) TellWindowsAbove(*state_.capture(), event.kind, p);
      CVisualOb* target = state_.capture() != nullptr ? state_.capture() : HitTest(p, &opaque);
      if (target != nullptr) target->MouseMove(event.flags, target->FromRoot(p));
      return false;
    }
    case WindowEventKind::kWheel: {
      CVisualOb* window = WindowAt(p);
      return window != nullptr && window->MouseWheel(event.delta, event.flags, window->FromRoot(p));
    }
    case WindowEventKind::kKeyDown: {
      bool used = event.key != 0 && DeliverKey(true, event.key, event.repeat, event.flags);
      for (const char32_t c : event.text) {
        used = DeliverCharacter(static_cast<int32_t>(c), event.repeat, event.flags) || used;
      }
      return used;
    }
    case WindowEventKind::kKeyUp:
      return event.key != 0 && DeliverKey(false, event.key, 0, event.flags);
    case WindowEventKind::kCharacter:
      return DeliverCharacter(event.key, event.repeat, event.flags);
    case WindowEventKind::kExpose:
      exposed_ = Union(exposed_, event.area);
      return false;
    case WindowEventKind::kFocusOut:
      // Typing ends where the keyboard went; the panel's other focus stays.
      if (state_.focus() != nullptr && state_.focus()->TakesKeys()) state_.SetFocus(nullptr);
      state_.SetCapture(nullptr);
      return false;
    case WindowEventKind::kGrabbed:
      // Whoever grabbed has the pointer now: no drag goes on behind it.
      state_.SetCapture(nullptr);
      return false;
    case WindowEventKind::kLeave:
    case WindowEventKind::kDestroyed:
      return false;
  }
  return false;
}

void COrvaneViewBase::TellWindowsAbove(CVisualOb& object, WindowEventKind kind, Point p) {
  for (CVisualOb* at = object.parent(); at != nullptr && at != this; at = at->parent()) {
    if (!at->IsWindow()) continue;
    auto* window = static_cast<CWndOb*>(at);
    if (kind == WindowEventKind::kPress) {
      window->PointerPressed(window->FromRoot(p));
    } else if (kind == WindowEventKind::kMotion) {
      window->PointerMoved(window->FromRoot(p));
    } else {
      window->PointerReleased();
    }
  }
}

bool COrvaneViewBase::DeliverKey(bool down, int32_t key, int32_t repeat, uint32_t flags) {
  // The interceptor sees every key first; then the focused object and its
  // ancestors, until one uses it. Nothing uses a key by its position.
  CVisualOb* interceptor = state_.key_interceptor();
  const auto offer = [&](CVisualOb* o) {
    return down ? o->KeyDown(key, repeat, flags) : o->KeyUp(key, repeat, flags);
  };
  if (interceptor != nullptr && offer(interceptor)) return true;
  for (CVisualOb* o = state_.focus() != nullptr ? state_.focus() : this; o != nullptr;
       o = o->parent()) {
    if (o != interceptor && offer(o)) return true;
  }
  return false;
}

bool COrvaneViewBase::DeliverCharacter(int32_t key, int32_t repeat, uint32_t flags) {
  CVisualOb* focus = state_.focus();
  if (focus == nullptr || focus == this) return false;
  return focus->Character(key, repeat, flags);
}

void COrvaneViewBase::KeyboardWanted(bool wanted) {
  if (window_ == nullptr) return;
  if (wanted) {
    window_->TakeFocus();
  } else {
    window_->ReturnFocus();
  }
}

bool COrvaneViewBase::KeysRequired() {
  bool wanted = false;
  const std::function<void(CVisualOb&)> look = [&](CVisualOb& o) {
    wanted = wanted || o.TakesKeys();
    for (CVisualOb* child : o.children()) {
      if (!wanted) look(*child);
    }
  };
  look(*this);
  return wanted;
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
  if (state_.menu_target() != nullptr && object->Contains(state_.menu_target())) {
    list_chosen_ = nullptr;
  }
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
  if (state_.capture() != nullptr) return false;
  bool opaque = false;
  CVisualOb* target = HitTest(p, &opaque);
  if (target == nullptr) return false;
  state_.SetMenuTarget(target, p);
  if (target->parent() != nullptr) target->parent()->ChildClicked(target, true);
  // The click may have closed the target.
  if (state_.menu_target() == nullptr) return false;
  menu_ = {};
  CVisualOb* builder = target;
  while ((builder->flags() & kVoParentBuildsMenu) && builder->parent() != nullptr) {
    builder = builder->parent();
  }
  builder->BuildContextMenu(menu_, builder->FromRoot(p));
  return true;
}

void COrvaneViewBase::CancelMenu() {
  state_.SetMenuTarget(nullptr);
  menu_ = {};
  if (ListChoice chosen = std::exchange(list_chosen_, nullptr)) chosen(-1);
}

bool COrvaneViewBase::ShowList(CVisualOb& target, const std::vector<std::string>& items,
                               int32_t current, Point at, ListChoice chosen) {
  const auto most = static_cast<std::size_t>(35127 - kFirstChoiceCommand + 1);
  if (popups_ == nullptr || items.empty() || items.size() > most) return false;
  CancelMenu();
  menu_ = {};
  for (std::size_t i = 0; i < items.size(); ++i) {
    menu_.Add(kFirstChoiceCommand + static_cast<int32_t>(i), items[i],
              static_cast<int32_t>(i) == current ? uint32_t{kMenuChecked} : 0u);
  }
  state_.SetMenuTarget(&target, at);
  list_chosen_ = std::move(chosen);
  popups_->ShowMenu(menu_, at);
  return true;
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
    case WindowEventKind::kGrabbed:
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

bool COrvaneViewBase::ShowNote(std::string_view text, Point at) {
  if (popups_ == nullptr || text.empty()) return false;
  HideToolTip();
  popups_->ShowToolTip(text, at);
  // Shown as a tip over no tool: the next move hides it.
  tip_.shown = true;
  tip_.resting = false;
  tip_.area = {};
  return true;
}

void COrvaneViewBase::HideToolTip() {
  if (tip_.shown && popups_ != nullptr) popups_->HideToolTip();
  tip_.shown = false;
}

void COrvaneViewBase::ChooseMenuCommand(int32_t id) {
  CVisualOb* target = state_.menu_target();
  state_.SetMenuTarget(nullptr);
  menu_ = {};
  if (ListChoice chosen = std::exchange(list_chosen_, nullptr)) {
    // A list's choice is its drop-down's, never the application's.
    if (target != nullptr) chosen(id - kFirstChoiceCommand);
    return;
  }
  if (target == nullptr || !IsApplicationCommand(id)) return;
  const Point p = target->FromRoot(state_.context_point());
  if (command_handler_) {
    command_handler_(*target, id, p);
  } else {
    target->Command(id, p);
  }
  graveyard_.clear();
}

void COrvaneViewBase::RunCommand(CVisualOb& target, int32_t id) {
  if (command_handler_) {
    command_handler_(target, id, {});
  } else {
    target.Command(id, {});
  }
}

COrvaneViewVST::COrvaneViewVST(Clock clock) : COrvaneViewBase(std::move(clock)) {
  view_kind_ = kViewControlPanel;
  SetFlags(kVoNoScrollDecorator);
}

}  // namespace ov
