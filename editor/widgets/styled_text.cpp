#include "editor/widgets/styled_text.h"

#include <span>

#include "document/control_features.h"
#include "editor/skins/text_painter.h"
#include "editor/widgets/drop_downs.h"
#include "editor/widgets/edit_boxes.h"
#include "editor/widgets/widget_text.h"
#include "engine/interface_object.h"

namespace ov {
namespace {

bool Describe(int32_t kind, int32_t index, generic_control* output,
              FeatureDescription* description) {
  const std::span<const FaceFeature> features = FaceFeatures(kind);
  if (output == nullptr || index < 0 || static_cast<std::size_t>(index) >= features.size()) {
    return false;
  }
  *description = FeatureDescription{};
  description->name = features[index].name;
  description->datatype = features[index].datatype;
  description->item_list = features[index].item_list;
  description->output = output;
  description->flags = kPlugPanelSide;
  return true;
}

// Text in a style: its background (when it has one) inside the rectangle
// less 3 pixels, the text over the whole rectangle, so that text of the
// preferred size is not cut by the inset.
void DrawStyled(Canvas& canvas, const CVisualOb& object, int32_t style, std::string_view text,
                bool multiline) {
  const Rect client = object.ClientRect();
  const Rect inside{client.left + 3, client.top + 3, client.right - 3, client.bottom - 3};
  WidgetTextScope scope(canvas, object, {{}, style});
  if (canvas.Text().opaque) canvas.FillRect(inside, canvas.Text().background);
  canvas.Text().opaque = false;
  DrawTextBox(canvas, client, text, {multiline, !multiline});
}

}  // namespace

CMyTextLabel2::CMyTextLabel2() = default;

bool CMyTextLabel2::DescribeFeature(int32_t index, FeatureDescription* description) {
  generic_control* outputs[] = {&text_, &style_, &mode_, &multiline_};
  return index >= 0 && index < 4 && Describe(kTextFace, index, outputs[index], description);
}

bool CMyTextLabel2::ReadOnly() const { return (flags() & kVoReadOnly) || mode_.Get() == 1; }

void CMyTextLabel2::OnControlChanged(generic_control&) { InvalidateAll(); }

Point CMyTextLabel2::PreferredSize() const { return ExtentIn(*this, {{}, style_.Get()}, "8888.8"); }

Point CMyTextLabel3::PreferredSize() const {
  const Point extent = CMyTextLabel2::PreferredSize();
  return {extent.x + 12, extent.y + 12};
}

void CMyTextLabel2::MouseDown(uint32_t flags, Point p) {
  CPaintObject::MouseDown(flags, p);
  if (ReadOnly() || Editor() != nullptr) return;
  CaptureMouse();
  pressed_ = true;
}

void CMyTextLabel2::MouseUp(uint32_t flags, Point p) {
  const bool open = pressed_ && ContainsPoint(p);
  pressed_ = false;
  CPaintObject::MouseUp(flags, p);
  if (!open || ReadOnly()) return;
  auto editor = std::make_unique<CMyEdit2>();
  editor->SetInPlace(true);
  editor->ShareValues(text_, style_);
  editor->SetMultiline(multiline_.Get());
  editor->SetRect(ClientRect());
  CVisualOb* shown = AdoptChild(std::move(editor), true);
  shown->Open();
  shown->TakeFocus();
}

void CMyTextLabel2::Draw(Canvas& canvas) {
  DrawStyled(canvas, *this, style_.Get(), text_.Get(), multiline_.Get());
}

CMyListEntry::CMyListEntry() = default;

bool CMyListEntry::DescribeFeature(int32_t index, FeatureDescription* description) {
  generic_control* outputs[] = {&list_, &style_};
  return index >= 0 && index < 2 && Describe(kListFace, index, outputs[index], description);
}

void CMyListEntry::OnControlChanged(generic_control&) { InvalidateAll(); }

Point CMyListEntry::PreferredSize() const { return ExtentIn(*this, {{}, style_.Get()}, "8888.8"); }

void CMyListEntry::MouseDown(uint32_t flags, Point p) {
  CPaintObject::MouseDown(flags, p);
  if ((this->flags() & kVoReadOnly) || Editor() != nullptr) return;
  CaptureMouse();
  pressed_ = true;
}

void CMyListEntry::MouseUp(uint32_t flags, Point p) {
  const bool open = pressed_ && ContainsPoint(p);
  pressed_ = false;
  CPaintObject::MouseUp(flags, p);
  if (!open) return;
  auto list = std::make_unique<CMyComboBox2>();
  list->SetInPlace(true);
  list->ShareValues(list_, style_);
  list->SetRect(ClientRect());
  auto* shown = static_cast<CMyComboBox2*>(AdoptChild(std::move(list), true));
  shown->Open();
  shown->TakeFocus();
  shown->OpenList();
}

void CMyListEntry::Draw(Canvas& canvas) {
  const std::vector<ListText::Item> items = ItemsOf(list_.Metadata().items);
  const int32_t shown = ItemShowing(items, list_.Get());
  DrawStyled(canvas, *this, style_.Get(),
             items.empty() ? std::string_view{}
                           : std::string_view(items[static_cast<std::size_t>(shown)].label),
             false);
}

}  // namespace ov
