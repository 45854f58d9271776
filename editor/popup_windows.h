// Context menus and tool tips in borderless windows of their own, drawn by
// the canvas in "Arial" 12, kept on the screen. A menu takes the pointer
// and the keyboard while it is open: a click on an item chooses it, Escape
// or a click outside cancels, the arrow keys and Enter work too. A menu
// taller than the screen scrolls: arrows at its top and bottom scroll it
// while the pointer rests on them, and so does the wheel. A tool tip breaks
// its text between words to stay at most 128 pixels wide.
// Thread: editor.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "editor/popup_presenter.h"
#include "editor/skins/font_cache.h"
#include "platform/window_port.h"

namespace ov {

class COrvaneViewBase;
class MessageSink;

constexpr int32_t kToolTipMaxWidth = 128;
// A menu on a screen of unknown size is at most this tall.
constexpr int32_t kMenuMaxHeight = 600;
// A scroll arrow moves the menu one item this often while pointed at.
constexpr uint32_t kMenuScrollMs = 50;

class PopupWindows final : public PopupPresenter {
 public:
  // `messages` hears why a popup could not open.
  PopupWindows(COrvaneViewBase& root, MessageSink* messages);
  ~PopupWindows() override;

  void ShowMenu(const ContextMenu& menu, Point at) override;
  bool MenuShown() const override { return menu_window_ != nullptr; }
  void ShowToolTip(std::string_view text, Point at) override;
  void HideToolTip() override;
  void Idle() override;
  void CloseAll() override;

  // For tests: the windows while they are shown.
  WindowPort* MenuWindow() const { return menu_window_.get(); }
  WindowPort* ToolTipWindow() const { return tip_window_.get(); }

 private:
  // A window of `width` x `height` at `screen_at`, moved to lie on the
  // screen: one that would pass the right or bottom edge opens to the left
  // of or above `flip_x` / `flip_y` instead.
  std::unique_ptr<WindowPort> Open(PixelPoint screen_at, int32_t width, int32_t height,
                                   int32_t flip_x, int32_t flip_y, bool grab);
  // "Arial" 12, looked up at the first popup: opening the plug-in never
  // waits for the font configuration.
  SkinFont& Font();
  void HandleMenuEvent(const WindowEvent& event);
  int32_t ItemHeight(std::size_t item) const;
  // The items' area of the menu window, inside the frame and the arrows.
  int32_t ItemsTop() const;
  int32_t ItemsBottom() const;
  // The item under a point of the menu window, or -1.
  int32_t ItemAt(int32_t x, int32_t y) const;
  // -1 over the upper scroll arrow, +1 over the lower one, else 0.
  int32_t ArrowAt(int32_t x, int32_t y) const;
  int32_t LastVisible() const;
  void ScrollBy(int32_t items);
  void MakeVisible(int32_t item);
  // The next choosable item from `from` in `step` direction, wrapping.
  int32_t NextChoosable(int32_t from, int32_t step) const;
  void SetHover(int32_t item);
  void DrawMenu();
  void Choose(int32_t item);
  void Cancel();

  COrvaneViewBase& root_;
  MessageSink* messages_;
  FontCache fonts_;
  std::shared_ptr<SkinFont> font_;  // null until the first popup
  std::unique_ptr<WindowPort> menu_window_;
  std::vector<MenuItem> items_;
  int32_t row_height_ = 0;
  int32_t hover_ = -1;
  bool scrolls_ = false;
  int32_t first_ = 0;      // the first item shown
  int32_t arrow_ = 0;      // the arrow the pointer rests on
  uint32_t scrolled_at_ = 0;
  std::unique_ptr<WindowPort> tip_window_;
};

}  // namespace ov
