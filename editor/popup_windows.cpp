#include "editor/popup_windows.h"

#include <algorithm>

#include "editor/canvas.h"
#include "editor/skins/text_painter.h"
#include "editor/view_root.h"
#include "platform/message_sink.h"

namespace ov {
namespace {

constexpr int32_t kMenuTextInset = 20;
constexpr int32_t kMenuRowPadding = 3;
constexpr int32_t kMenuFrame = 2;
constexpr int32_t kSeparatorHeight = 7;
constexpr int32_t kArrowHeight = 12;
constexpr int32_t kTipPadding = 3;
constexpr Colour kMenuFace = MakeColour(240, 240, 240);
constexpr Colour kMenuHighlight = MakeColour(0, 120, 215);
constexpr Colour kMenuGreyed = MakeColour(160, 160, 160);
constexpr Colour kTipFace = MakeColour(255, 255, 225);
constexpr Colour kBlack = MakeColour(0, 0, 0);
constexpr Colour kWhite = MakeColour(255, 255, 255);
// Tool tips sit below the pointer, clear of its arrow.
constexpr int32_t kTipBelowPointer = 20;
// The wheel scrolls a menu by this many items a notch.
constexpr int32_t kItemsPerNotch = 3;

void DrawFrame(Canvas& canvas, int32_t width, int32_t height, Colour colour) {
  const Point corners[] = {
      {0, 0}, {width - 1, 0}, {width - 1, height - 1}, {0, height - 1}, {0, 0}};
  canvas.Polyline(corners, colour);
  canvas.FillRect({0, 0, 1, 1}, colour);  // the polyline leaves its last point out
}

// A tick in the item's inset, its corner `row_height` / 2 below `top`.
void DrawCheck(Canvas& canvas, int32_t top, int32_t row_height, Colour colour) {
  const int32_t mid = top + row_height / 2;
  for (int32_t thick = 0; thick < 2; ++thick) {
    const Point tick[] = {{6, mid - 1 + thick}, {9, mid + 2 + thick}, {15, mid - 4 + thick}};
    canvas.Polyline(tick, colour);
  }
}

// A triangle pointing up (`up`) or down, centred in the band at `top`.
void DrawArrow(Canvas& canvas, int32_t width, int32_t top, bool up, Colour colour) {
  const int32_t centre = width / 2;
  for (int32_t row = 0; row < 4; ++row) {
    const int32_t y = up ? top + 4 + row : top + kArrowHeight - 5 - row;
    canvas.FillRect({centre - row, y, centre + row + 1, y + 1}, colour);
  }
}

}  // namespace

PopupWindows::PopupWindows(COrvaneViewBase& root, MessageSink* messages)
    : root_(root), messages_(messages) {}

PopupWindows::~PopupWindows() = default;

SkinFont& PopupWindows::Font() {
  if (font_ == nullptr) font_ = fonts_.Get("Arial", 12, 0);
  return *font_;
}

std::unique_ptr<WindowPort> PopupWindows::Open(PixelPoint screen_at, int32_t width,
                                               int32_t height, int32_t flip_x, int32_t flip_y,
                                               bool grab) {
  WindowPort* parent = root_.Port();
  if (parent == nullptr) return nullptr;
  const PixelRect screen = parent->ScreenArea();
  PixelPoint at = screen_at;
  if (!screen.Empty()) {
    if (at.x + width > screen.right) at.x = flip_x - width;
    if (at.y + height > screen.bottom) at.y = flip_y - height;
    at.x = std::clamp(at.x, screen.left, std::max(screen.left, screen.right - width));
    at.y = std::clamp(at.y, screen.top, std::max(screen.top, screen.bottom - height));
  }
  std::string error;
  std::unique_ptr<WindowPort> window = parent->OpenPopup(at, width, height, grab, &error);
  if (window == nullptr && messages_ != nullptr) messages_->Post(error, MessageStyle::kWarning);
  return window;
}

void PopupWindows::ShowMenu(const ContextMenu& menu, Point at) {
  CloseAll();
  items_ = menu.Items();
  hover_ = -1;
  first_ = 0;
  arrow_ = 0;
  SkinFont& font = Font();
  const int32_t line = font.raster != nullptr ? TextExtent(font, "M").y : 14;
  row_height_ = line + 2 * kMenuRowPadding;
  int32_t widest = 0;
  int32_t total = 2 * kMenuFrame;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    widest = std::max(widest, TextExtent(font, items_[i].text).x);
    total += ItemHeight(i);
  }
  WindowPort* parent = root_.Port();
  const PixelRect screen = parent != nullptr ? parent->ScreenArea() : PixelRect{};
  const int32_t tallest = screen.Empty() ? kMenuMaxHeight : screen.Height();
  scrolls_ = total > tallest;
  int32_t width = widest + 2 * kMenuTextInset;
  if (!screen.Empty()) width = std::min(width, screen.Width());
  const int32_t height = scrolls_ ? tallest : total;
  const PixelPoint click = parent != nullptr ? parent->ScreenPoint({at.x, at.y}) : PixelPoint{};
  menu_window_ = Open(click, width, height, click.x, click.y, true);
  if (menu_window_ == nullptr) {
    items_.clear();
    root_.CancelMenu();
    return;
  }
  DrawMenu();
}

int32_t PopupWindows::ItemHeight(std::size_t item) const {
  return (items_[item].flags & kMenuSeparator) ? kSeparatorHeight : row_height_;
}

int32_t PopupWindows::ItemsTop() const { return kMenuFrame + (scrolls_ ? kArrowHeight : 0); }

int32_t PopupWindows::ItemsBottom() const {
  const int32_t height = menu_window_ != nullptr ? menu_window_->Height() : 0;
  return height - kMenuFrame - (scrolls_ ? kArrowHeight : 0);
}

int32_t PopupWindows::LastVisible() const {
  int32_t bottom = ItemsTop();
  int32_t last = first_ - 1;
  for (std::size_t i = static_cast<std::size_t>(first_); i < items_.size(); ++i) {
    bottom += ItemHeight(i);
    if (bottom > ItemsBottom()) break;
    last = static_cast<int32_t>(i);
  }
  return last;
}

void PopupWindows::ScrollBy(int32_t items) {
  // The furthest the list goes: its last item at the bottom.
  int32_t room = ItemsBottom() - ItemsTop();
  int32_t furthest = static_cast<int32_t>(items_.size());
  while (furthest > 0 && room >= ItemHeight(static_cast<std::size_t>(furthest - 1))) {
    room -= ItemHeight(static_cast<std::size_t>(--furthest));
  }
  const int32_t first = std::clamp(first_ + items, 0, furthest);
  if (first == first_) return;
  first_ = first;
  DrawMenu();
}

void PopupWindows::MakeVisible(int32_t item) {
  if (item < 0) return;
  if (item < first_) ScrollBy(item - first_);
  while (item > LastVisible() && first_ < item) ScrollBy(1);
}

void PopupWindows::DrawMenu() {
  if (menu_window_ == nullptr) return;
  PixelImage& buffer = menu_window_->BackBuffer();
  const int32_t width = buffer.Width();
  Canvas canvas(buffer);
  canvas.FillClip(kMenuFace);
  const Colour shadow = SystemColourValue(SystemColour::kButtonShadow);
  DrawFrame(canvas, width, buffer.Height(), shadow);
  canvas.Text().font = font_;
  canvas.Text().align = TextState::Align::kLeft;
  canvas.PushClip({kMenuFrame, ItemsTop(), width - kMenuFrame, ItemsBottom()});
  int32_t top = ItemsTop();
  for (std::size_t i = static_cast<std::size_t>(first_); i < items_.size() && top < ItemsBottom();
       ++i) {
    const MenuItem& item = items_[i];
    const int32_t height = ItemHeight(i);
    if (item.flags & kMenuSeparator) {
      const int32_t mid = top + height / 2;
      canvas.FillRect({kMenuFrame + 2, mid, width - kMenuFrame - 2, mid + 1}, shadow);
      top += height;
      continue;
    }
    const bool lit = static_cast<int32_t>(i) == hover_;
    if (lit) canvas.FillRect({kMenuFrame, top, width - kMenuFrame, top + height}, kMenuHighlight);
    const Colour ink = !item.Choosable() ? kMenuGreyed : lit ? kWhite : kBlack;
    canvas.Text().colour = ink;
    if (item.flags & kMenuChecked) DrawCheck(canvas, top, height, ink);
    DrawTextLine(canvas, {kMenuTextInset, top + kMenuRowPadding}, item.text);
    top += height;
  }
  canvas.PopClip();
  if (scrolls_) {
    const bool more_above = first_ > 0;
    const bool more_below = LastVisible() < static_cast<int32_t>(items_.size()) - 1;
    DrawArrow(canvas, width, kMenuFrame, true, more_above ? kBlack : kMenuGreyed);
    DrawArrow(canvas, width, ItemsBottom(), false, more_below ? kBlack : kMenuGreyed);
  }
  menu_window_->Present(buffer.Bounds());
}

int32_t PopupWindows::ItemAt(int32_t x, int32_t y) const {
  if (menu_window_ == nullptr || x < 0 || x >= menu_window_->Width() || y < ItemsTop() ||
      y >= ItemsBottom()) {
    return -1;
  }
  int32_t top = ItemsTop();
  for (std::size_t i = static_cast<std::size_t>(first_); i < items_.size(); ++i) {
    top += ItemHeight(i);
    if (y < top) return static_cast<int32_t>(i);
  }
  return -1;
}

int32_t PopupWindows::ArrowAt(int32_t x, int32_t y) const {
  if (!scrolls_ || menu_window_ == nullptr || x < 0 || x >= menu_window_->Width()) return 0;
  if (y >= 0 && y < ItemsTop()) return -1;
  if (y >= ItemsBottom() && y < menu_window_->Height()) return 1;
  return 0;
}

int32_t PopupWindows::NextChoosable(int32_t from, int32_t step) const {
  const int32_t count = static_cast<int32_t>(items_.size());
  int32_t at = from < 0 ? (step > 0 ? -1 : count) : from;
  for (int32_t tried = 0; tried < count; ++tried) {
    at = (at + step + count) % count;
    if (items_[static_cast<std::size_t>(at)].Choosable()) return at;
  }
  return -1;
}

void PopupWindows::SetHover(int32_t item) {
  if (item >= 0 && !items_[static_cast<std::size_t>(item)].Choosable()) item = -1;
  if (item == hover_) return;
  hover_ = item;
  DrawMenu();
}

void PopupWindows::Idle() {
  WindowEvent event;
  while (menu_window_ != nullptr && menu_window_->NextEvent(&event)) HandleMenuEvent(event);
  if (menu_window_ != nullptr && !menu_window_->Alive()) Cancel();
  if (menu_window_ != nullptr && arrow_ != 0 &&
      root_.State().Now() - scrolled_at_ >= kMenuScrollMs) {
    scrolled_at_ = root_.State().Now();
    ScrollBy(arrow_);
  }
  if (tip_window_ != nullptr) {
    while (tip_window_->NextEvent(&event)) {
      if (event.kind == WindowEventKind::kExpose) tip_window_->Present(event.area);
    }
  }
}

void PopupWindows::HandleMenuEvent(const WindowEvent& event) {
  const bool inside = event.x >= 0 && event.y >= 0 && menu_window_ != nullptr &&
                      event.x < menu_window_->Width() && event.y < menu_window_->Height();
  switch (event.kind) {
    case WindowEventKind::kMotion: {
      const int32_t arrow = ArrowAt(event.x, event.y);
      if (arrow != arrow_) scrolled_at_ = root_.State().Now();
      arrow_ = arrow;
      SetHover(ItemAt(event.x, event.y));
      return;
    }
    case WindowEventKind::kWheel:
      ScrollBy(event.delta / 120 * kItemsPerNotch);
      SetHover(ItemAt(event.x, event.y));
      return;
    case WindowEventKind::kPress:
      if (!inside) {
        Cancel();
      } else if (ArrowAt(event.x, event.y) != 0) {
        ScrollBy(ArrowAt(event.x, event.y));
      }
      return;
    case WindowEventKind::kRelease: {
      // The menu opened on a release, so the next one over an item chooses.
      const int32_t item = inside ? ItemAt(event.x, event.y) : -1;
      if (item >= 0 && items_[static_cast<std::size_t>(item)].Choosable()) Choose(item);
      return;
    }
    case WindowEventKind::kKeyDown:
      if (event.key == kKeyEscape) {
        Cancel();
      } else if (event.key == kKeyDown || event.key == kKeyUp) {
        const int32_t next = NextChoosable(hover_, event.key == kKeyDown ? 1 : -1);
        MakeVisible(next);
        SetHover(next);
      } else if (event.key == kKeyReturn && hover_ >= 0) {
        Choose(hover_);
      }
      return;
    case WindowEventKind::kExpose:
      menu_window_->Present(event.area);
      return;
    case WindowEventKind::kDestroyed:
      Cancel();
      return;
    default:
      return;
  }
}

void PopupWindows::Choose(int32_t item) {
  const int32_t id = items_[static_cast<std::size_t>(item)].id;
  menu_window_.reset();
  items_.clear();
  arrow_ = 0;
  root_.ChooseMenuCommand(id);
}

void PopupWindows::Cancel() {
  menu_window_.reset();
  items_.clear();
  arrow_ = 0;
  root_.CancelMenu();
}

void PopupWindows::ShowToolTip(std::string_view text, Point at) {
  HideToolTip();
  if (Font().raster == nullptr) return;
  const int32_t inner = kToolTipMaxWidth - 2 * kTipPadding - 2;
  const std::vector<std::string_view> lines = BreakLines(*font_, text, inner, true);
  int32_t widest = 0;
  for (std::string_view line : lines) widest = std::max(widest, TextExtent(*font_, line).x);
  const int32_t line_height = TextExtent(*font_, "M").y;
  const int32_t width = std::min(kToolTipMaxWidth, widest + 2 * kTipPadding + 2);
  const int32_t height = static_cast<int32_t>(lines.size()) * line_height + 2 * kTipPadding + 2;
  WindowPort* parent = root_.Port();
  if (parent == nullptr) return;
  const PixelPoint pointer = parent->ScreenPoint({at.x, at.y});
  // Above the pointer where there is no room below it.
  tip_window_ = Open({pointer.x, pointer.y + kTipBelowPointer}, width, height, pointer.x,
                     pointer.y, false);
  if (tip_window_ == nullptr) return;
  PixelImage& buffer = tip_window_->BackBuffer();
  Canvas canvas(buffer);
  canvas.FillClip(kTipFace);
  DrawFrame(canvas, width, height, kBlack);
  canvas.Text().font = font_;
  canvas.Text().colour = kBlack;
  canvas.Text().align = TextState::Align::kLeft;
  DrawTextBox(canvas,
              {1 + kTipPadding, 1 + kTipPadding, width - 1 - kTipPadding, height - 1 - kTipPadding},
              text, {.wrap = true, .centre_vertically = false});
  tip_window_->Present(buffer.Bounds());
}

void PopupWindows::HideToolTip() { tip_window_.reset(); }

void PopupWindows::CloseAll() {
  HideToolTip();
  if (menu_window_ != nullptr) Cancel();
}

}  // namespace ov
