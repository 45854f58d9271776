// The input state of one root view: who has the keyboard focus, who holds
// the mouse capture, who intercepts keys, whose context menu is open, and
// when the last press came (for double clicks). One per root view, so two
// plug-in instances in one host never take each other's keys or clicks.
//
// Thread: editor.
#pragma once

#include <cstdint>
#include <functional>

#include "document/geometry.h"

namespace ov {

class CVisualOb;

// Presses closer together than this (in milliseconds) make a double click.
constexpr uint32_t kDoubleClickMs = 200;

class EventState {
 public:
  // `clock` gives milliseconds on a 32-bit wrapping scale.
  explicit EventState(std::function<uint32_t()> clock);

  CVisualOb* focus = nullptr;
  CVisualOb* capture = nullptr;
  CVisualOb* key_interceptor = nullptr;
  CVisualOb* menu_target = nullptr;
  Point context_point;

  uint32_t Now() const { return clock_(); }
  // Records a press at the current time. True when it came within the
  // double-click time of the last recorded one; a double click is not
  // recorded, so it does not start the next pair.
  bool PressIsDoubleClick();

  // Clears every reference to `object` and to anything below it.
  void Forget(const CVisualOb* object);

 private:
  std::function<uint32_t()> clock_;
  bool pressed_before_ = false;
  uint32_t last_press_ = 0;
};

}  // namespace ov
