// A skin's font category applied to the canvas for a while: the scope
// sets font, alignment, colours and background mode, and puts back what
// was there when it ends.
// Thread: editor.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "editor/canvas.h"
#include "editor/skins/font_cache.h"
#include "editor/skins/skin_list.h"

namespace ov {

class TextStyleScope {
 public:
  // By number: the category's alignment flags unless one is given; its
  // background (white when it has none) and an opaque fill only when it
  // has one.
  TextStyleScope(Canvas& canvas, FontCache& fonts, const Skin& skin, int32_t number,
                 std::optional<TextState::Align> align);
  // By name: left unless an alignment is given, no fill; the category's
  // background and alignment flags are not used.
  TextStyleScope(Canvas& canvas, FontCache& fonts, const Skin& skin, std::string_view name,
                 std::optional<TextState::Align> align);
  ~TextStyleScope();
  TextStyleScope(const TextStyleScope&) = delete;
  TextStyleScope& operator=(const TextStyleScope&) = delete;

 private:
  Canvas& canvas_;
  TextState saved_;
};

}  // namespace ov
