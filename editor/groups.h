// Groups of controls that have no document objects of their own: CGroup
// lays its children out in rows and columns, GroupLoose keeps them where
// they were put. Stacks, selectors, default parameter controls and the
// patch toolbar are built from them.
//
// Thread: editor.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "editor/visual_object.h"

namespace ov {

// Focus for a group: the child with the smallest non-negative tab order,
// else the group itself. (Shift+Tab walks tab stops backwards through the
// tree's own navigation.)
void FocusFirstTabStop(CVisualOb& group);

// A grid. Every row is as tall as its tallest child and every column as
// wide as its widest; a gap follows each row (4 pixels) and each column
// (2). A child with flag 0x10 fills its column's width and takes the
// surplus width of the group, one with 0x800 likewise for its row's height;
// 0x4 centres a child in its column; children are centred in their row.
class CGroup : public CPaintObject {
 public:
  CGroup();

  // Adds and owns `child` at the back, in cell (row, column); cells may
  // hold several children, drawn over each other.
  CVisualOb* AddInCell(std::unique_ptr<CVisualOb> child, int32_t row, int32_t column);
  // A line below every row; off at creation.
  void set_row_lines(bool on) { row_lines_ = on; }

  Point PreferredSize() const override;
  // Lays the children out unless only the position changed.
  void SetRect(const Rect& rect) override;
  void Open() override;
  void Close() override;
  void Draw(Canvas& canvas) override;
  void TakeFocus() override;
  void ChildResized(CVisualOb& child) override;

  const std::vector<int32_t>& row_heights() const { return row_heights_; }
  const std::vector<int32_t>& column_widths() const { return column_widths_; }

 private:
  struct Cell {
    CVisualOb* child;
    int32_t row;
    int32_t column;
  };
  void Measure();
  void Layout(const Rect& rect);
  // Cells whose child left the group are dropped.
  void ForgetGoneChildren();

  std::vector<Cell> cells_;
  int32_t last_row_ = -1;
  int32_t row_gap_ = 4;
  int32_t column_gap_ = 2;
  bool row_lines_ = false;
  std::vector<int32_t> row_heights_;
  std::vector<int32_t> column_widths_;
};

// Children at free positions, each at its preferred size.
class GroupLoose : public CPaintObject {
 public:
  GroupLoose();
  // Adds and owns `child` at the back, at its current rectangle.
  CVisualOb* Add(std::unique_ptr<CVisualOb> child);
  // Moves every child so that the smallest left and top (each at most
  // 999) become 0: the top-left child touches the group's corner.
  void Normalise();

  Point PreferredSize() const override;
  void SetRect(const Rect& rect) override;
  void Open() override;
  void TakeFocus() override;
  void ChildResized(CVisualOb& child) override;

 private:
  void SizeChildren();
};

}  // namespace ov
