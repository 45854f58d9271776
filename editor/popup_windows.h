// Context menus and tool tips in borderless windows of their own, drawn by
// the canvas in "Arial" 12. A menu takes the pointer and the keyboard while
// it is open: a click on an item chooses it, Escape or a click outside
// cancels, the arrow keys and Enter work too. A tool tip breaks its text
// between words to stay at most 128 pixels wide.
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
  std::unique_ptr<WindowPort> Open(Point at, int32_t width, int32_t height, bool grab);
  // "Arial" 12, looked up at the first popup: opening the plug-in never
  // waits for the font configuration.
  SkinFont& Font();
  void HandleMenuEvent(const WindowEvent& event);
  // The item row under a point of the menu window, or -1.
  int32_t ItemAt(int32_t x, int32_t y) const;
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
  std::unique_ptr<WindowPort> tip_window_;
};

}  // namespace ov
