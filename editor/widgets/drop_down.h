// A drop-down list drawn into the panel: a sunken field showing the
// current item with an arrow button, whose list opens in the panel's popup
// window. Items carry values; the item shown is the one whose value is the
// bound value, or item 0 when none has it. Choosing an item writes its
// value; an in-place list removes itself once its list has closed or it
// loses the focus.
//
// Subclasses say where the list and the value come from and go.
//
// Thread: editor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "editor/visual_object.h"
#include "editor/widgets/widget_text.h"
#include "modules/list_text.h"

namespace ov {

// The system edge that drop-down heights count with.
inline constexpr int32_t kEdgeHeight = 2;
// The most items a list shows (the popup's choice commands).
inline constexpr std::size_t kMostListItems = 200;

class DropDownList : public CPaintObject {
 public:
  bool AcceptsMouse() const override { return true; }
  bool CanTakeFocus() const override { return true; }
  void MouseDown(uint32_t flags, Point p) override;
  void DoubleClick(uint32_t flags, Point p) override { MouseDown(flags, p); }
  // Space, Enter or Alt+Down open the list; Up and Down step through it.
  bool KeyDown(int32_t key, int32_t repeat, uint32_t flags) override;
  void FocusLost() override;
  void Draw(Canvas& canvas) override;
  // Width in characters times the average character width; the font's
  // height plus the edge (ExtraEdges() times more).
  Point PreferredSize() const override;

  // Rebuilds the items from list text and selects by value.
  void ShowItems(const std::string& list, int32_t value);
  int32_t selection() const { return selection_; }
  const std::vector<ListText::Item>& items() const { return items_; }
  // The list in the popup window; false when it cannot be shown.
  bool OpenList();
  // An item chosen from the list (or by the keys): its value is written.
  void Choose(int32_t index);
  void SetWidthInCharacters(int32_t characters) { width_characters_ = characters; }
  void SetInPlace(bool in_place) { in_place_ = in_place; }

 protected:
  virtual void Write(int32_t value) = 0;
  virtual WidgetFont Font() const { return {kEditFont}; }
  virtual int32_t ExtraEdges() const { return 1; }

 private:
  void RemoveIfInPlace();

  std::vector<ListText::Item> items_;
  int32_t selection_ = 0;
  int32_t width_characters_ = 3;
  bool in_place_ = false;
  bool list_open_ = false;
};

// Which item of `list` shows `value`: the first item with that value, else
// 0 (also for an empty list).
int32_t ItemShowing(const std::vector<ListText::Item>& items, int32_t value);
std::vector<ListText::Item> ItemsOf(const std::string& list);

}  // namespace ov
