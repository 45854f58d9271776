// What the widgets draw their text with: the tree's font cache, the font
// categories "control_label" and "control_edit", and the skin's text
// styles by number ("Style").
//
// Thread: editor.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "editor/canvas.h"
#include "editor/skins/font_cache.h"
#include "editor/skins/text_style.h"
#include "editor/visual_object.h"

namespace ov {

inline constexpr std::string_view kLabelFont = "control_label";
inline constexpr std::string_view kEditFont = "control_edit";

// The category (or style) an object's text is set in.
struct WidgetFont {
  std::string_view category;  // used when style < 0
  int32_t style = -1;
};

// The font of `which` for measuring; null outside a tree with skins and
// fonts.
std::shared_ptr<SkinFont> FontFor(const CVisualOb& object, WidgetFont which);
// The text extent in that font; {0, 0} without one.
Point ExtentIn(const CVisualOb& object, WidgetFont which, std::string_view utf8);
// The font category's colour (platform colour), white without a skin.
Colour CategoryColour(const CVisualOb& object, std::string_view category);

// Sets the canvas's text state to `which` for a while; draws nothing when
// the object has no skin or fonts (the state then has no font).
class WidgetTextScope {
 public:
  WidgetTextScope(Canvas& canvas, const CVisualOb& object, WidgetFont which,
                  std::optional<TextState::Align> align = std::nullopt);
  ~WidgetTextScope();
  WidgetTextScope(const WidgetTextScope&) = delete;
  WidgetTextScope& operator=(const WidgetTextScope&) = delete;

 private:
  Canvas& canvas_;
  TextState saved_;
  std::optional<TextStyleScope> scope_;
};

// The sunken border of edit boxes and lists: shadow on the top and left,
// white on the bottom and right.
void DrawSunkenBorder(Canvas& canvas, const Rect& r);
// A raised button face, pressed or not.
void DrawButtonFace(Canvas& canvas, const Rect& r, bool pressed);

}  // namespace ov
