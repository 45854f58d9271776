#include "editor/widgets/parameter_controls.h"

#include <algorithm>
#include <cmath>

#include "editor/canvas.h"
#include "editor/widgets/edit_boxes.h"
#include "editor/widgets/widget_text.h"
#include "modules/list_text.h"
#include "platform/window_port.h"

namespace ov {
namespace {

// The track bar's rows: the thumb's centre runs from kTrackMargin to the
// height less kTrackMargin.
constexpr int32_t kTrackMargin = 8;
constexpr int32_t kThumbHalfHeight = 4;
// The most characters the buddy's text is read with.
constexpr std::size_t kBuddyTextLimit = 256;

void Arrow(Canvas& canvas, int32_t cx, int32_t cy, bool up, Colour colour) {
  for (int32_t row = 0; row < 3; ++row) {
    const int32_t half = up ? row : 2 - row;
    canvas.FillRect({cx - half, cy - 1 + row, cx + half + 1, cy + row}, colour);
  }
}

}  // namespace

CMySliderCtrl::CMySliderCtrl(generic_parameter* parameter) {
  SetFlags(kVoGridCentred);
  Watch(parameter);
  OnParameterChanged();
}

std::string CMySliderCtrl::ToolTipText() const {
  return Watched() != nullptr ? Watched()->Name() : CPaintObject::ToolTipText();
}

void CMySliderCtrl::OnParameterChanged() {
  const float n = Watched() != nullptr ? Watched()->GetNormalised() : 0.0f;
  const int32_t position = std::clamp(static_cast<int32_t>(std::trunc(100.5 - 100.0 * n)), 0, 100);
  if (position == position_) return;
  position_ = position;
  InvalidateAll();
}

void CMySliderCtrl::Scrolled(int32_t position) {
  position = std::clamp(position, 0, 100);
  if (position != position_) {
    position_ = position;
    InvalidateAll();
  }
  if (Watched() != nullptr && !(flags() & kVoReadOnly)) {
    Watched()->SetNormalised(static_cast<float>(100 - position_) * 0.01f);
  }
}

int32_t CMySliderCtrl::PositionAt(int32_t y) const {
  const Rect client = ClientRect();
  const int32_t span = std::max(1, client.bottom - client.top - 2 * kTrackMargin);
  const int32_t from_top = y - client.top - kTrackMargin;
  return static_cast<int32_t>(std::lround(100.0 * from_top / span));
}

void CMySliderCtrl::MouseDown(uint32_t flags, Point p) {
  if (parent() != nullptr) parent()->ChildClicked(this, true);
  if (!(flags & kFlagLeftButton)) return;
  CaptureMouse();
  dragging_ = true;
  Scrolled(PositionAt(p.y));
}

void CMySliderCtrl::MouseMove(uint32_t, Point p) {
  if (dragging_) Scrolled(PositionAt(p.y));
}

bool CMySliderCtrl::KeyDown(int32_t key, int32_t, uint32_t) {
  switch (key) {
    case kKeyUp:
      Scrolled(position_ - 1);
      return true;
    case kKeyDown:
      Scrolled(position_ + 1);
      return true;
    case kKeyPageUp:
      Scrolled(position_ - 20);
      return true;
    case kKeyPageDown:
      Scrolled(position_ + 20);
      return true;
    case kKeyHome:
      Scrolled(0);
      return true;
    case kKeyEnd:
      Scrolled(100);
      return true;
    default:
      return false;
  }
}

void CMySliderCtrl::FocusGot() {
  if (parent() != nullptr) parent()->ChildClicked(this, false);
}

void CMySliderCtrl::Draw(Canvas& canvas) {
  const Rect client = ClientRect();
  canvas.FillRect(client, SystemColourValue(SystemColour::kButtonFace));
  const int32_t cx = (client.left + client.right) / 2;
  const int32_t top = client.top + kTrackMargin;
  const int32_t bottom = std::max(top, client.bottom - kTrackMargin);
  DrawSunkenBorder(canvas, {cx - 2, top - 2, cx + 2, bottom + 2});
  // Ticks every 10 on the right.
  const Colour text = SystemColourValue(SystemColour::kWindowText);
  for (int32_t tick = 0; tick <= 100; tick += 10) {
    const int32_t y = top + (bottom - top) * tick / 100;
    canvas.FillRect({cx + 8, y, cx + 11, y + 1}, text);
  }
  const int32_t y = top + (bottom - top) * position_ / 100;
  DrawButtonFace(canvas, {cx - 6, y - kThumbHalfHeight, cx + 6, y + kThumbHalfHeight + 1},
                 dragging_);
}

CMySpinButtonCtrl::CMySpinButtonCtrl(generic_parameter* parameter, CMyEdit* buddy) : buddy_(buddy) {
  Watch(parameter);
}

std::string CMySpinButtonCtrl::ToolTipText() const {
  return Watched() != nullptr ? Watched()->Name() : CPaintObject::ToolTipText();
}

void CMySpinButtonCtrl::TakeRange() {
  if (Watched() == nullptr) {
    minimum_ = 1;
    maximum_ = 128;
    position_ = 1;
    return;
  }
  const ListText items(Watched()->ItemList());
  if (items.Count() > 0) {
    const int32_t first = items.ItemAt(0).value;
    const int32_t last = items.ItemAt(items.Count() - 1).value;
    minimum_ = std::min(first, last);
    maximum_ = std::max(first, last);
  }
  OnParameterChanged();
}

void CMySpinButtonCtrl::Open() {
  TakeRange();
  CPaintObject::Open();
}

bool CMySpinButtonCtrl::Enabled() const {
  return Watched() == nullptr || !Watched()->DisplayOnly();
}

void CMySpinButtonCtrl::OnParameterChanged() {
  if (Watched() == nullptr) return;
  // The number as 16 bits, as the arrows hold it.
  position_ = static_cast<int16_t>(ParseLeadingInteger(Watched()->ValueText()));
  InvalidateAll();
}

void CMySpinButtonCtrl::Step(int32_t by) {
  if (!Enabled()) return;
  position_ = std::clamp(position_ + by, minimum_, maximum_);
  InvalidateAll();
  if (buddy_ == nullptr) return;
  buddy_->ShowText(std::to_string(position_));
  // The buddy commits what it shows, as far as it reads it.
  std::string text = buddy_->editing().text();
  if (text.size() > kBuddyTextLimit) text.resize(kBuddyTextLimit);
  if (Watched() != nullptr) Watched()->WriteValueText(text);
}

void CMySpinButtonCtrl::MouseDown(uint32_t flags, Point p) {
  // Reported to the parent chain before the arrows act.
  if (parent() != nullptr) parent()->ChildClicked(this, true);
  if (!(flags & kFlagLeftButton)) return;
  const Rect client = ClientRect();
  Step(p.y < (client.top + client.bottom) / 2 ? 1 : -1);
}

bool CMySpinButtonCtrl::KeyDown(int32_t key, int32_t, uint32_t) {
  if (key != kKeyUp && key != kKeyDown) return false;
  Step(key == kKeyUp ? 1 : -1);
  return true;
}

void CMySpinButtonCtrl::Draw(Canvas& canvas) {
  const Rect client = ClientRect();
  const int32_t middle = (client.top + client.bottom) / 2;
  DrawButtonFace(canvas, {client.left, client.top, client.right, middle}, false);
  DrawButtonFace(canvas, {client.left, middle, client.right, client.bottom}, false);
  const Colour colour = Enabled() ? SystemColourValue(SystemColour::kWindowText)
                                  : SystemColourValue(SystemColour::kButtonShadow);
  const int32_t cx = (client.left + client.right) / 2;
  Arrow(canvas, cx, (client.top + middle) / 2, true, colour);
  Arrow(canvas, cx, (middle + client.bottom) / 2, false, colour);
}

}  // namespace ov
