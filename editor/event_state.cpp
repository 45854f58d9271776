#include "editor/event_state.h"

#include "editor/visual_object.h"

namespace ov {

EventState::EventState(std::function<uint32_t()> clock) : clock_(std::move(clock)) {}

bool EventState::PressIsDoubleClick() {
  const uint32_t now = clock_();
  // The difference of two wrapping readings is right across the wrap.
  if (pressed_before_ && now - last_press_ < kDoubleClickMs) return true;
  pressed_before_ = true;
  last_press_ = now;
  return false;
}

void EventState::Forget(const CVisualOb* object) {
  for (CVisualOb** held : {&focus, &capture, &key_interceptor, &menu_target}) {
    if (*held != nullptr && object->Contains(*held)) *held = nullptr;
  }
}

}  // namespace ov
