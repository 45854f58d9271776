#include "editor/skins/text_style.h"

namespace ov {
namespace {

std::shared_ptr<SkinFont> FontOf(FontCache& fonts, const FontCategory& category) {
  return fonts.Get(category.face, category.size, category.style);
}

Colour ColourOf(int32_t value) { return static_cast<Colour>(value) & 0xFFFFFF; }

}  // namespace

TextStyleScope::TextStyleScope(Canvas& canvas, FontCache& fonts, const Skin& skin, int32_t number,
                               std::optional<TextState::Align> align)
    : canvas_(canvas), saved_(canvas.Text()) {
  const FontCategory& category = SkinList::Category(skin, number);
  TextState& text = canvas.Text();
  text.font = FontOf(fonts, category);
  TextState::Align from_flags = TextState::Align::kLeft;
  if (category.style & kFontCentred) {
    from_flags = TextState::Align::kCentre;
  } else if (category.style & kFontRight) {
    from_flags = TextState::Align::kRight;
  }
  text.align = align.value_or(from_flags);
  text.colour = ColourOf(category.colour);
  text.opaque = category.background >= 0;
  text.background = text.opaque ? ColourOf(category.background) : MakeColour(255, 255, 255);
}

TextStyleScope::TextStyleScope(Canvas& canvas, FontCache& fonts, const Skin& skin,
                               std::string_view name, std::optional<TextState::Align> align)
    : canvas_(canvas), saved_(canvas.Text()) {
  const FontCategory& category = SkinList::Category(skin, name);
  TextState& text = canvas.Text();
  text.font = FontOf(fonts, category);
  text.align = align.value_or(TextState::Align::kLeft);
  text.colour = ColourOf(category.colour);
  text.opaque = false;
}

TextStyleScope::~TextStyleScope() { canvas_.Text() = saved_; }

}  // namespace ov
