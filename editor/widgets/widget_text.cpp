#include "editor/widgets/widget_text.h"

#include "editor/skins/skin_list.h"
#include "editor/skins/text_painter.h"
#include "editor/view_root.h"

namespace ov {
namespace {

// Skins and fonts are the tree's: reading them changes no object.
struct Looks {
  Skin* skin = nullptr;
  FontCache* fonts = nullptr;
};

Looks LooksOf(const CVisualOb& object) {
  auto& mutable_object = const_cast<CVisualOb&>(object);
  Looks looks;
  looks.skin = mutable_object.GetSkin();
  COrvaneViewBase* root = mutable_object.Root();
  if (root != nullptr && root->Skins() != nullptr) looks.fonts = root->Skins()->Fonts();
  return looks;
}

const FontCategory& CategoryOf(const Skin& skin, WidgetFont which) {
  return which.style >= 0 ? SkinList::Category(skin, which.style)
                          : SkinList::Category(skin, which.category);
}

}  // namespace

std::shared_ptr<SkinFont> FontFor(const CVisualOb& object, WidgetFont which) {
  const Looks looks = LooksOf(object);
  if (looks.skin == nullptr || looks.fonts == nullptr) return nullptr;
  const FontCategory& category = CategoryOf(*looks.skin, which);
  return looks.fonts->Get(category.face, category.size, category.style);
}

Point ExtentIn(const CVisualOb& object, WidgetFont which, std::string_view utf8) {
  const std::shared_ptr<SkinFont> font = FontFor(object, which);
  return font != nullptr ? TextExtent(*font, utf8) : Point{};
}

Colour CategoryColour(const CVisualOb& object, std::string_view category) {
  const Looks looks = LooksOf(object);
  if (looks.skin == nullptr) return 0xFFFFFF;
  return static_cast<Colour>(SkinList::Category(*looks.skin, category).colour) & 0xFFFFFF;
}

WidgetTextScope::WidgetTextScope(Canvas& canvas, const CVisualOb& object, WidgetFont which,
                                 std::optional<TextState::Align> align)
    : canvas_(canvas), saved_(canvas.Text()) {
  const Looks looks = LooksOf(object);
  if (looks.skin == nullptr || looks.fonts == nullptr) {
    canvas.Text().font = nullptr;
    return;
  }
  if (which.style >= 0) {
    scope_.emplace(canvas, *looks.fonts, *looks.skin, which.style, align);
  } else {
    scope_.emplace(canvas, *looks.fonts, *looks.skin, which.category, align);
  }
}

WidgetTextScope::~WidgetTextScope() {
  scope_.reset();
  canvas_.Text() = saved_;
}

void DrawSunkenBorder(Canvas& canvas, const Rect& r) {
  const Colour shadow = SystemColourValue(SystemColour::kButtonShadow);
  const Colour light = MakeColour(255, 255, 255);
  canvas.FillRect({r.left, r.top, r.right, r.top + 1}, shadow);
  canvas.FillRect({r.left, r.top, r.left + 1, r.bottom}, shadow);
  canvas.FillRect({r.left, r.bottom - 1, r.right, r.bottom}, light);
  canvas.FillRect({r.right - 1, r.top, r.right, r.bottom}, light);
}

void DrawButtonFace(Canvas& canvas, const Rect& r, bool pressed) {
  const Colour shadow = SystemColourValue(SystemColour::kButtonShadow);
  const Colour light = MakeColour(255, 255, 255);
  canvas.FillRect(r, SystemColourValue(SystemColour::kButtonFace));
  const Colour top_left = pressed ? shadow : light;
  const Colour bottom_right = pressed ? light : MakeColour(64, 64, 64);
  canvas.FillRect({r.left, r.top, r.right, r.top + 1}, top_left);
  canvas.FillRect({r.left, r.top, r.left + 1, r.bottom}, top_left);
  canvas.FillRect({r.left, r.bottom - 1, r.right, r.bottom}, bottom_right);
  canvas.FillRect({r.right - 1, r.top, r.right, r.bottom}, bottom_right);
}

}  // namespace ov
