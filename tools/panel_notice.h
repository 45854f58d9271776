// A strip over the bottom of the plug-in's panel, inside our own window
// frame, that tells what went wrong (a saved project that did not build)
// until it is taken away: white "Arial" 12 on dark red, its text broken
// between words into as many lines as it needs, at most the frame's height.
// It is a window of its own above the editor's, so the plug-in's drawing
// never covers it and its own is left untouched.
// Thread: the program's main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "editor/canvas.h"
#include "editor/skins/font_cache.h"
#include "platform/x11_child_window.h"

namespace ov {

class PanelNotice {
 public:
  static constexpr Colour kBackground = MakeColour(139, 26, 26);
  static constexpr Colour kInk = MakeColour(255, 255, 255);

  // Null, with `error` saying why, when no window can be made in `frame`
  // (a window `width` x `height`).
  static std::unique_ptr<PanelNotice> Show(unsigned long frame, int32_t width, int32_t height,
                                           std::string_view text, std::string* error);

  // Shows again what the X server lost; false once the strip is gone.
  bool Pump();
  const std::string& Text() const { return text_; }
  // The strip's area in the frame.
  PixelRect Area() const { return area_; }

 private:
  PanelNotice() = default;
  void Draw();

  std::string text_;
  PixelRect area_;
  FontCache fonts_;
  std::shared_ptr<SkinFont> font_;
  std::unique_ptr<X11ChildWindow> window_;
};

}  // namespace ov
