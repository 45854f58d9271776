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
constexpr int32_t kTipPadding = 3;
constexpr Colour kMenuFace = MakeColour(240, 240, 240);
constexpr Colour kMenuHighlight = MakeColour(0, 120, 215);
constexpr Colour kTipFace = MakeColour(255, 255, 225);
constexpr Colour kBlack = MakeColour(0, 0, 0);
constexpr Colour kWhite = MakeColour(255, 255, 255);
// Tool tips sit below the pointer, clear of its arrow.
constexpr int32_t kTipBelowPointer = 20;

void DrawFrame(Canvas& canvas, int32_t width, int32_t height, Colour colour) {
  const Point corners[] = {
      {0, 0}, {width - 1, 0}, {width - 1, height - 1}, {0, height - 1}, {0, 0}};
  canvas.Polyline(corners, colour);
  canvas.FillRect({0, 0, 1, 1}, colour);  // the polyline leaves its last point out
}

}  // namespace

PopupWindows::PopupWindows(COrvaneViewBase& root, MessageSink* messages)
    : root_(root), messages_(messages) {}

PopupWindows::~PopupWindows() = default;

SkinFont& PopupWindows::Font() {
  if (font_ == nullptr) font_ = fonts_.Get("Arial", 12, 0);
  return *font_;
}

std::unique_ptr<WindowPort> PopupWindows::Open(Point at, int32_t width, int32_t height, bool grab) {
  WindowPort* parent = root_.Port();
  if (parent == nullptr) return nullptr;
  const PixelPoint screen = parent->ScreenPoint({at.x, at.y});
  std::string error;
  std::unique_ptr<WindowPort> window = parent->OpenPopup(screen, width, height, grab, &error);
  if (window == nullptr && messages_ != nullptr) messages_->Post(error, MessageStyle::kWarning);
  return window;
}

void PopupWindows::ShowMenu(const ContextMenu& menu, Point at) {
  CloseAll();
  items_ = menu.Items();
  hover_ = -1;
  SkinFont& font = Font();
  const int32_t line = font.raster != nullptr ? TextExtent(font, "M").y : 14;
  row_height_ = line + 2 * kMenuRowPadding;
  int32_t widest = 0;
  for (const MenuItem& item : items_) {
    widest = std::max(widest, TextExtent(font, item.text).x);
  }
  const int32_t width = widest + 2 * kMenuTextInset;
  const int32_t height = static_cast<int32_t>(items_.size()) * row_height_ + 4;
  menu_window_ = Open(at, width, height, true);
  if (menu_window_ == nullptr) {
    root_.CancelMenu();
    return;
  }
  DrawMenu();
}

void PopupWindows::DrawMenu() {
  if (menu_window_ == nullptr) return;
  PixelImage& buffer = menu_window_->BackBuffer();
  Canvas canvas(buffer);
  canvas.FillClip(kMenuFace);
  DrawFrame(canvas, buffer.Width(), buffer.Height(),
            SystemColourValue(SystemColour::kButtonShadow));
  canvas.Text().font = font_;
  canvas.Text().align = TextState::Align::kLeft;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const int32_t top = 2 + static_cast<int32_t>(i) * row_height_;
    const bool lit = static_cast<int32_t>(i) == hover_;
    if (lit) canvas.FillRect({2, top, buffer.Width() - 2, top + row_height_}, kMenuHighlight);
    canvas.Text().colour = lit ? kWhite : kBlack;
    DrawTextLine(canvas, {kMenuTextInset, top + kMenuRowPadding}, items_[i].text);
  }
  menu_window_->Present(buffer.Bounds());
}

int32_t PopupWindows::ItemAt(int32_t x, int32_t y) const {
  if (menu_window_ == nullptr || x < 0 || x >= menu_window_->Width() || y < 2) return -1;
  const int32_t row = (y - 2) / std::max(1, row_height_);
  return row < static_cast<int32_t>(items_.size()) ? row : -1;
}

void PopupWindows::SetHover(int32_t item) {
  if (item == hover_) return;
  hover_ = item;
  DrawMenu();
}

void PopupWindows::Idle() {
  WindowEvent event;
  while (menu_window_ != nullptr && menu_window_->NextEvent(&event)) HandleMenuEvent(event);
  if (menu_window_ != nullptr && !menu_window_->Alive()) Cancel();
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
    case WindowEventKind::kMotion:
      SetHover(ItemAt(event.x, event.y));
      return;
    case WindowEventKind::kPress:
      if (!inside) Cancel();
      return;
    case WindowEventKind::kRelease:
      // The menu opened on a release, so the next one over an item chooses.
      if (inside && ItemAt(event.x, event.y) >= 0) Choose(ItemAt(event.x, event.y));
      return;
    case WindowEventKind::kKeyDown: {
      const int32_t count = static_cast<int32_t>(items_.size());
      if (event.key == kKeyEscape) {
        Cancel();
      } else if (event.key == kKeyDown && count > 0) {
        SetHover((hover_ + 1) % count);
      } else if (event.key == kKeyUp && count > 0) {
        SetHover(hover_ <= 0 ? count - 1 : hover_ - 1);
      } else if (event.key == kKeyReturn && hover_ >= 0) {
        Choose(hover_);
      }
      return;
    }
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
  root_.ChooseMenuCommand(id);
}

void PopupWindows::Cancel() {
  menu_window_.reset();
  items_.clear();
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
  tip_window_ = Open({at.x, at.y + kTipBelowPointer}, width, height, false);
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
