#include "editor/event_state.h"

#include "editor/visual_object.h"

namespace ov {

EventState::EventState(std::function<uint32_t()> clock) : clock_(std::move(clock)) {}

void EventState::SetFocus(CVisualOb* object) {
  CVisualOb* previous = focus_;
  if (previous == object) return;
  // The new holder is in place before the old one hears of it, so a
  // handler that asks who has the focus gets the truth.
  focus_ = object;
  if (previous != nullptr) previous->FocusLost();
  // The old holder's handler may itself have moved the focus on.
  if (object != nullptr && focus_ == object) object->FocusGot();
}

void EventState::SetCapture(CVisualOb* object) {
  CVisualOb* previous = capture_;
  if (previous == object) return;
  capture_ = object;
  if (previous != nullptr) previous->CaptureLost();
}

void EventState::SetMenuTarget(CVisualOb* object, Point at) {
  menu_target_ = object;
  if (object != nullptr) context_point_ = at;
}

bool EventState::PressIsDoubleClick() {
  const uint32_t now = clock_();
  // The difference of two wrapping readings is right across the wrap.
  if (pressed_before_ && now - last_press_ < kDoubleClickMs) return true;
  pressed_before_ = true;
  last_press_ = now;
  return false;
}

void EventState::Forget(const CVisualOb* object) {
  for (CVisualOb** held : {&focus_, &capture_, &key_interceptor_, &menu_target_}) {
    if (*held != nullptr && object->Contains(*held)) *held = nullptr;
  }
}

}  // namespace ov
