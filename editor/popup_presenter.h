// What shows the panel's popups outside its window: context menus and tool
// tips. The root view decides when; a presenter draws them in windows of
// their own and hands a chosen command back through the root view's
// ChooseMenuCommand, a cancelled menu through CancelMenu.
// Thread: editor.
#pragma once

#include <string_view>

#include "document/geometry.h"
#include "editor/context_menu.h"

namespace ov {

// A tool tip shows after the pointer rests this long over a tool.
constexpr uint32_t kToolTipDelayMs = 500;

class PopupPresenter {
 public:
  virtual ~PopupPresenter() = default;
  // `at` is a point of the root view's window.
  virtual void ShowMenu(const ContextMenu& menu, Point at) = 0;
  virtual bool MenuShown() const = 0;
  virtual void ShowToolTip(std::string_view text, Point at) = 0;
  virtual void HideToolTip() = 0;
  // Reads the popups' own events.
  virtual void Idle() = 0;
  virtual void CloseAll() = 0;
};

}  // namespace ov
