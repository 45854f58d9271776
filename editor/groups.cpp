#include "editor/groups.h"

#include <algorithm>

#include "editor/canvas.h"

namespace ov {
namespace {

constexpr Colour kRowLineColour = MakeColour(200, 200, 200);

int32_t Width(const Rect& r) { return r.right - r.left; }
int32_t Height(const Rect& r) { return r.bottom - r.top; }

}  // namespace

void FocusFirstTabStop(CVisualOb& group) {
  CVisualOb* best = nullptr;
  for (CVisualOb* child : group.children()) {
    if (child->tab_order() < 0) continue;
    if (best == nullptr || child->tab_order() < best->tab_order()) {
      best = child;
    }
  }
  if (best != nullptr) {
    best->TakeFocus();
  } else {
    group.CVisualOb::TakeFocus();
  }
}

CGroup::CGroup() { SetFlags(kVoAutoSize | kVoParentBuildsMenu); }

CVisualOb* CGroup::AddInCell(std::unique_ptr<CVisualOb> child, int32_t row, int32_t column) {
  row = std::max(row, 0);
  column = std::max(column, 0);
  CVisualOb* added = AdoptChild(std::move(child), false);
  cells_.push_back({added, row, column});
  last_row_ = std::max(last_row_, row);
  return added;
}

void CGroup::ForgetGoneChildren() {
  std::erase_if(cells_, [this](const Cell& cell) {
    return std::find(children().begin(), children().end(), cell.child) == children().end();
  });
  last_row_ = -1;
  for (const Cell& cell : cells_) last_row_ = std::max(last_row_, cell.row);
}

void CGroup::Measure() {
  ForgetGoneChildren();
  int32_t columns = 0;
  for (const Cell& cell : cells_) columns = std::max(columns, cell.column + 1);
  row_heights_.assign(static_cast<size_t>(last_row_ + 1), 0);
  column_widths_.assign(static_cast<size_t>(columns), 0);
  for (const Cell& cell : cells_) {
    const Point size = cell.child->PreferredSize();
    int32_t& height = row_heights_[static_cast<size_t>(cell.row)];
    int32_t& width = column_widths_[static_cast<size_t>(cell.column)];
    height = std::max(height, size.y);
    width = std::max(width, size.x);
  }
}

Point CGroup::PreferredSize() const {
  auto* self = const_cast<CGroup*>(this);
  self->Measure();
  Point size{0, 0};
  for (const int32_t width : column_widths_) size.x += width + column_gap_;
  for (const int32_t height : row_heights_) size.y += height + row_gap_;
  return size;
}

void CGroup::SetRect(const Rect& rect) {
  const Rect old = GetRect();
  if (Width(rect) == Width(old) && Height(rect) == Height(old) && !cells_.empty() &&
      !row_heights_.empty()) {
    CPaintObject::SetRect(rect);  // a move: the cells stay
    return;
  }
  Layout(rect);
}

void CGroup::Layout(const Rect& asked) {
  const Point preferred = PreferredSize();  // measures
  int32_t wide_column = -1;
  int32_t tall_row = -1;
  for (const Cell& cell : cells_) {
    if (cell.child->flags() & kVoGridFullWidth) wide_column = cell.column;
    if (cell.child->flags() & kVoGridFullHeight) tall_row = cell.row;
  }
  Rect rect = asked;
  if (Width(rect) < preferred.x) {
    rect.right = rect.left + preferred.x;
  } else if (wide_column >= 0) {
    column_widths_[static_cast<size_t>(wide_column)] += Width(rect) - preferred.x;
  }
  if (Height(rect) < preferred.y) {
    rect.bottom = rect.top + preferred.y;
  } else if (tall_row >= 0) {
    row_heights_[static_cast<size_t>(tall_row)] += Height(rect) - preferred.y;
  }
  CPaintObject::SetRect(rect);
  for (const Cell& cell : cells_) {
    int32_t left = 0;
    for (int32_t c = 0; c < cell.column; ++c) left += column_widths_[static_cast<size_t>(c)] + column_gap_;
    int32_t top = 0;
    for (int32_t r = 0; r < cell.row; ++r) top += row_heights_[static_cast<size_t>(r)] + row_gap_;
    const int32_t column_width = column_widths_[static_cast<size_t>(cell.column)];
    const int32_t row_height = row_heights_[static_cast<size_t>(cell.row)];
    const uint32_t flags = cell.child->flags();
    Point size = cell.child->PreferredSize();
    if (flags & kVoGridFullWidth) size.x = column_width;
    if (flags & kVoGridFullHeight) size.y = row_height;
    if ((flags & kVoGridCentred) && !(flags & kVoGridFullWidth)) left += (column_width - size.x) / 2;
    if (!(flags & kVoGridFullHeight)) top += (row_height - size.y) / 2;
    cell.child->SetRect({left, top, left + size.x, top + size.y});
  }
}

void CGroup::Open() {
  Layout(GetRect());
  CPaintObject::Open();
}

void CGroup::Close() {
  CPaintObject::Close();
  ForgetGoneChildren();
}

void CGroup::ChildResized(CVisualOb&) {
  const Rect old = GetRect();
  Rect asked = old;
  if (flags() & kVoAutoSize) {
    const Point size = PreferredSize();
    asked = {old.left, old.top, old.left + size.x, old.top + size.y};
  }
  Layout(asked);
  InvalidateAll();
  if (GetRect() != old && parent() != nullptr) parent()->ChildResized(*this);
}

void CGroup::Draw(Canvas& canvas) {
  if (!row_lines_) return;
  const int32_t width = Width(GetRect());
  int32_t y = 0;
  for (const int32_t height : row_heights_) {
    y += height + row_gap_;
    const int32_t line = y - row_gap_ / 2;
    canvas.FillRect({0, line, width, line + 1}, kRowLineColour);
  }
}

void CGroup::TakeFocus() { FocusFirstTabStop(*this); }

GroupLoose::GroupLoose() { SetFlags(kVoAutoSize); }

CVisualOb* GroupLoose::Add(std::unique_ptr<CVisualOb> child) {
  return AdoptChild(std::move(child), false);
}

void GroupLoose::Normalise() {
  int32_t left = 999;
  int32_t top = 999;
  for (const CVisualOb* child : children()) {
    left = std::min(left, child->GetRect().left);
    top = std::min(top, child->GetRect().top);
  }
  for (CVisualOb* child : children()) child->SetRect(Offset(child->GetRect(), -left, -top));
}

Point GroupLoose::PreferredSize() const {
  Point size{0, 0};
  for (const CVisualOb* child : children()) {
    const Point preferred = child->PreferredSize();
    size.x = std::max(size.x, child->GetRect().left + preferred.x);
    size.y = std::max(size.y, child->GetRect().top + preferred.y);
  }
  return size;
}

void GroupLoose::SizeChildren() {
  for (CVisualOb* child : children()) {
    const Rect r = child->GetRect();
    const Point size = child->PreferredSize();
    child->SetRect({r.left, r.top, r.left + size.x, r.top + size.y});
  }
}

void GroupLoose::SetRect(const Rect& rect) {
  CPaintObject::SetRect(rect);
  SizeChildren();
}

void GroupLoose::Open() {
  SizeChildren();
  CPaintObject::Open();
}

void GroupLoose::ChildResized(CVisualOb& child) {
  SizeChildren();
  CPaintObject::ChildResized(child);
}

void GroupLoose::TakeFocus() { FocusFirstTabStop(*this); }

}  // namespace ov
