#include "editor/widgets/drop_down.h"

#include "editor/skins/text_painter.h"
#include "editor/view_root.h"
#include "platform/window_port.h"

namespace ov {

std::vector<ListText::Item> ItemsOf(const std::string& list) {
  std::vector<ListText::Item> items;
  // A range lists its integers; what a menu cannot show is left out.
  ListText(list).ForEach([&items](const ListText::Item& item) {
    items.push_back(item);
    return items.size() < kMostListItems;
  });
  return items;
}

int32_t ItemShowing(const std::vector<ListText::Item>& items, int32_t value) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].value == value) return static_cast<int32_t>(i);
  }
  return 0;
}

void DropDownList::ShowItems(const std::string& list, int32_t value) {
  items_ = ItemsOf(list);
  selection_ = ItemShowing(items_, value);
  InvalidateAll();
}

void DropDownList::MouseDown(uint32_t, Point) {
  if (parent() != nullptr) parent()->ChildClicked(this, true);
  if (!IsOpen() || (flags() & kVoReadOnly)) return;
  OpenList();
}

bool DropDownList::OpenList() {
  COrvaneViewBase* root = Root();
  if (root == nullptr || list_open_) return false;
  std::vector<std::string> texts;
  for (const ListText::Item& item : items_) texts.push_back(item.label);
  const Rect client = ClientRect();
  const Point at = ToRoot({client.left, client.bottom});
  list_open_ = root->ShowList(*this, texts, selection_, at, [this](int32_t item) {
    list_open_ = false;
    if (item >= 0) Choose(item);
    RemoveIfInPlace();
  });
  return list_open_;
}

void DropDownList::Choose(int32_t index) {
  if (index < 0 || index >= static_cast<int32_t>(items_.size())) return;
  selection_ = index;
  InvalidateAll();
  Write(items_[static_cast<std::size_t>(index)].value);
}

bool DropDownList::KeyDown(int32_t key, int32_t, uint32_t flags) {
  const bool read_only = (this->flags() & kVoReadOnly) != 0;
  if (key == kKeySpace || key == kKeyReturn || (key == kKeyDown && (flags & kFlagAlt))) {
    if (!read_only) OpenList();
    return true;
  }
  if (key == kKeyUp || key == kKeyDown) {
    if (!read_only) Choose(selection_ + (key == kKeyDown ? 1 : -1));
    return true;
  }
  return false;
}

void DropDownList::FocusLost() {
  if (!list_open_) RemoveIfInPlace();
}

void DropDownList::RemoveIfInPlace() {
  if (in_place_ && parent() != nullptr) parent()->DestroyChild(this);
}

Point DropDownList::PreferredSize() const {
  const std::shared_ptr<SkinFont> font = FontFor(*this, Font());
  const Point cell = font != nullptr ? font->cell : Point{8, 14};
  const int32_t height = font != nullptr ? TextExtent(*font, " ").y : 14;
  return {width_characters_ * cell.x, height + kEdgeHeight * ExtraEdges()};
}

void DropDownList::Draw(Canvas& canvas) {
  const Rect client = ClientRect();
  canvas.FillRect(client, SystemColourValue(SystemColour::kWindow));
  DrawSunkenBorder(canvas, client);
  // The arrow button at the right end, as wide as the field is high.
  const int32_t side =
      std::max(0, std::min(client.bottom - client.top - 2, client.right - client.left - 2));
  const Rect button{client.right - 1 - side, client.top + 1, client.right - 1, client.bottom - 1};
  DrawButtonFace(canvas, button, list_open_);
  const int32_t cx = (button.left + button.right) / 2;
  const int32_t cy = (button.top + button.bottom) / 2;
  for (int32_t row = 0; row < 3; ++row) {
    canvas.FillRect({cx - 3 + row, cy - 1 + row, cx + 4 - row, cy + row},
                    SystemColourValue(SystemColour::kWindowText));
  }
  if (items_.empty()) return;
  const Rect text_area{client.left + 3, client.top + 1, button.left - 1, client.bottom - 1};
  canvas.PushClip(text_area);
  {
    WidgetTextScope scope(canvas, *this, Font(), TextState::Align::kLeft);
    canvas.Text().opaque = false;
    canvas.Text().colour = SystemColourValue(SystemColour::kWindowText);
    DrawTextBox(canvas, text_area, items_[static_cast<std::size_t>(selection_)].label,
                {false, true});
  }
  canvas.PopClip();
}

}  // namespace ov
