// Text on the canvas, in the canvas's text state (font, alignment, colour,
// background): single lines at a reference point, and boxes of lines broken
// at line breaks and, when asked, between words. Glyphs are grey coverage
// blended in linear light; advances only, no kerning.
// Thread: editor.
#pragma once

#include <string_view>
#include <vector>

#include "editor/canvas.h"
#include "editor/skins/font_cache.h"

namespace ov {

// Width of the text and the font's line height.
Point TextExtent(SkinFont& font, std::string_view utf8);

// One line whose top edge is at `at.y`; `at.x` is its left end, middle or
// right end by the canvas's alignment. An opaque state fills the line's
// extent with the background first.
void DrawTextLine(Canvas& canvas, Point at, std::string_view utf8);

// The lines of `utf8` in a box `width` wide: broken at "\n" (a "\r" before
// it dropped) and, with `wrap`, before a word that would overflow the line.
// A word wider than the box keeps a line of its own.
std::vector<std::string_view> BreakLines(SkinFont& font, std::string_view utf8, int32_t width,
                                         bool wrap);

struct TextBoxLayout {
  bool wrap = false;
  bool centre_vertically = false;
};

// Lines aligned in `box` by the canvas's alignment, drawn only inside it.
void DrawTextBox(Canvas& canvas, const Rect& box, std::string_view utf8, TextBoxLayout layout);

}  // namespace ov
