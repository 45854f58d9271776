// The input state of one root view: who has the keyboard focus, who holds
// the mouse capture, who intercepts keys, whose context menu is open, and
// when the last press came (for double clicks). One per root view, so two
// plug-in instances in one host never take each other's keys or clicks.
//
// Focus and capture change only through the setters, which tell the
// objects concerned: the old focus holder hears FocusLost before the new
// one hears FocusGot, and a capture holder that is replaced or released
// hears CaptureLost, so a drag always learns that it ended.
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

  CVisualOb* focus() const { return focus_; }
  CVisualOb* capture() const { return capture_; }
  CVisualOb* key_interceptor() const { return key_interceptor_; }
  CVisualOb* menu_target() const { return menu_target_; }
  Point context_point() const { return context_point_; }

  // Setting the present holder again tells nobody.
  void SetFocus(CVisualOb* object);
  void SetCapture(CVisualOb* object);
  void SetKeyInterceptor(CVisualOb* object) { key_interceptor_ = object; }
  // The object whose menu opens, and where it was asked for (window
  // coordinates); null when the menu went.
  void SetMenuTarget(CVisualOb* object, Point at = {});

  uint32_t Now() const { return clock_(); }
  // Records a press at the current time. True when it came within the
  // double-click time of the last recorded one; a double click is not
  // recorded, so it does not start the next pair.
  bool PressIsDoubleClick();

  // Clears every reference to `object` and to anything below it, telling
  // nobody: the objects are going.
  void Forget(const CVisualOb* object);

 private:
  std::function<uint32_t()> clock_;
  CVisualOb* focus_ = nullptr;
  CVisualOb* capture_ = nullptr;
  CVisualOb* key_interceptor_ = nullptr;
  CVisualOb* menu_target_ = nullptr;
  Point context_point_;
  bool pressed_before_ = false;
  uint32_t last_press_ = 0;
};

}  // namespace ov
