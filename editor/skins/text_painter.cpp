#include "editor/skins/text_painter.h"

#include "editor/skins/skin_drawing.h"
#include "editor/skins/skin_text.h"

namespace ov {
namespace {

std::string_view WithoutReturn(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

}  // namespace

Point TextExtent(SkinFont& font, std::string_view utf8) {
  if (!font.raster) return {};
  return {TextWidth(*font.raster, utf8), font.raster->LineHeight()};
}

void DrawTextLine(Canvas& canvas, Point at, std::string_view utf8) {
  TextState& state = canvas.Text();
  if (!state.font || !state.font->raster) return;
  RasterFont& raster = *state.font->raster;
  const Point extent = TextExtent(*state.font, utf8);
  int32_t left = at.x;
  if (state.align == TextState::Align::kCentre) left -= extent.x / 2;
  if (state.align == TextState::Align::kRight) left -= extent.x;
  if (state.opaque) {
    canvas.FillRect({left, at.y, left + extent.x, at.y + extent.y}, state.background);
  }
  const int32_t baseline = at.y + raster.Ascent();
  int32_t pen = left;
  for (std::size_t i = 0; i < utf8.size();) {
    const Glyph& glyph = raster.GlyphOf(NextCodePoint(utf8, &i));
    DrawCoverage(canvas, glyph.coverage.data(), glyph.width, glyph.height,
                 {pen + glyph.left, baseline - glyph.top}, state.colour);
    pen += glyph.advance;
  }
  if (state.font->style & kFontUnderline) {
    const int32_t top = baseline + raster.UnderlineOffset();
    canvas.FillRect({left, top, pen, top + raster.UnderlineThickness()}, state.colour);
  }
}

std::vector<std::string_view> BreakLines(SkinFont& font, std::string_view utf8, int32_t width,
                                         bool wrap) {
  std::vector<std::string_view> lines;
  while (true) {
    const std::size_t end = utf8.find('\n');
    std::string_view paragraph = WithoutReturn(utf8.substr(0, end));
    while (wrap && font.raster && TextWidth(*font.raster, paragraph) > width) {
      // The longest run of whole words that fits; at least one word.
      std::size_t cut = std::string_view::npos;
      for (std::size_t space = paragraph.find(' '); space != std::string_view::npos;
           space = paragraph.find(' ', space + 1)) {
        if (space > 0 && TextWidth(*font.raster, paragraph.substr(0, space)) > width) break;
        cut = space;
      }
      if (cut == std::string_view::npos) cut = paragraph.find(' ');
      if (cut == std::string_view::npos) break;
      if (cut > 0) lines.push_back(paragraph.substr(0, cut));
      paragraph.remove_prefix(cut + 1);
      while (!paragraph.empty() && paragraph.front() == ' ') paragraph.remove_prefix(1);
    }
    lines.push_back(paragraph);
    if (end == std::string_view::npos) break;
    utf8.remove_prefix(end + 1);
  }
  return lines;
}

void DrawTextBox(Canvas& canvas, const Rect& box, std::string_view utf8, TextBoxLayout layout) {
  TextState& state = canvas.Text();
  if (!state.font || !state.font->raster) return;
  const std::vector<std::string_view> lines =
      BreakLines(*state.font, utf8, box.right - box.left, layout.wrap);
  const int32_t line_height = state.font->raster->LineHeight();
  int32_t y = box.top;
  if (layout.centre_vertically) {
    const int64_t total = static_cast<int64_t>(line_height) * static_cast<int64_t>(lines.size());
    y += static_cast<int32_t>((box.bottom - box.top - total) / 2);
  }
  int32_t x = box.left;
  if (state.align == TextState::Align::kCentre) x = box.left + (box.right - box.left) / 2;
  if (state.align == TextState::Align::kRight) x = box.right;
  canvas.PushClip(box);
  for (std::string_view line : lines) {
    if (y >= box.bottom) break;
    if (y + line_height > box.top) DrawTextLine(canvas, {x, y}, line);
    y += line_height;
  }
  canvas.PopClip();
}

}  // namespace ov
