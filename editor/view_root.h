// The root of the panel tree: the view that owns the platform window, the
// input state, the damage and the timers of one editor. It reads the
// window's events, routes them to the tree, and repaints what changed, all
// from Idle(), which the host's idle calls drive.
//
// Thread: editor.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "editor/context_menu.h"
#include "editor/damage.h"
#include "editor/event_state.h"
#include "editor/popup_presenter.h"
#include "editor/skin_source.h"
#include "editor/window_object.h"
#include "platform/file_dialog.h"
#include "platform/window_port.h"

namespace ov {

// A tool: the object with a tool tip under a point, and its area in window
// coordinates.
struct ToolAtPoint {
  CVisualOb* object = nullptr;
  Rect area;
};

class COrvaneViewBase : public CWndOb {
 public:
  using Clock = std::function<uint32_t()>;
  // A menu command for the application: the menu's target, the command and
  // the point where the menu was asked for, in the target's coordinates.
  using CommandHandler = std::function<void(CVisualOb& target, int32_t id, Point p)>;

  explicit COrvaneViewBase(Clock clock);
  ~COrvaneViewBase() override;

  int32_t ViewKind() const override { return view_kind_; }
  // The view shows its container's inside, not where the container lies.
  void ModuleMoved(const Rect&) override {}
  EventState& State() { return state_; }
  // The one child, the container's panel (null before it is added).
  CVisualOb* Panel() const { return children().empty() ? nullptr : children().front(); }

  // Stores the rectangle and gives the panel the same.
  void SetRect(const Rect& rect) override;
  // The window is the editor bridge's to make; the view uses it from Open
  // and destroys it at Close.
  void AttachWindow(std::unique_ptr<WindowPort> window) { window_ = std::move(window); }
  WindowPort* Port() const { return window_.get(); }
  void Close() override;

  // The skins the panel draws with; they must outlive the view.
  void SetSkins(SkinSource* skins) { skins_ = skins; }
  SkinSource* Skins() const { return skins_; }
  Skin* GetSkin() override { return skins_ != nullptr ? &skins_->SkinNamed("default") : nullptr; }

  void InvalidateAll() override;
  void InvalidateRect(const Rect& area) override;

  // One idle turn: every waiting event, the timers that ran out, then one
  // repaint and presentation of the damage.
  void Idle();
  // Routes one event; true when a key was used.
  bool HandleEvent(const WindowEvent& event);
  // Paints `area` (rounded) into the back buffer, tile by tile; answers
  // the area painted.
  PixelRect Repaint(const PixelRect& area);

  // The focus went to an object that types (`wanted`) or to one that does
  // not: the window takes the keyboard focus, or hands it back.
  void KeyboardWanted(bool wanted);
  // True when some object of the tree types, so the host should send keys.
  bool KeysRequired();

  // Timers: `object` gets OnTimer(id) every `interval_ms`, checked in Idle.
  void SetTimer(CVisualOb* object, int32_t id, uint32_t interval_ms);
  void KillTimer(CVisualOb* object, int32_t id);

  std::optional<ToolAtPoint> ToolAt(Point p);
  std::string ToolTipTextAt(Point p);

  // A context menu asked for at `p` (window coordinates): true when one
  // was built; Menu() holds it until a command is chosen.
  bool RequestContextMenu(Point p);
  const ContextMenu& Menu() const { return menu_; }
  void ChooseMenuCommand(int32_t id);
  // An application command for `target` (a menu of its own chose it),
  // handed on as a context menu's command is.
  void RunCommand(CVisualOb& target, int32_t id);
  // The menu went without a choice.
  void CancelMenu();
  // A drop-down's list for `target`, shown as a menu at `at` (window
  // coordinates) with item `current` checked: `chosen` hears the index of
  // the item chosen, or -1 when the list went without a choice (never when
  // the target left the tree first). False, showing nothing, without
  // popups or items.
  using ListChoice = std::function<void(int32_t item)>;
  bool ShowList(CVisualOb& target, const std::vector<std::string>& items, int32_t current, Point at,
                ListChoice chosen);
  // The application's file dialog, asked by browse buttons and answered
  // in Idle; it must outlive the view's use of it. Null: none.
  void SetFileDialog(FileDialog* dialog) { file_dialog_ = dialog; }
  FileDialog* Files() const { return file_dialog_; }
  // Shows the menus and tool tips; it must outlive the view's use of it.
  void SetPopups(PopupPresenter* popups) { popups_ = popups; }
  // A text shown in a popup at `at` (window coordinates) until the pointer
  // moves, a button or a key is pressed; false without popups.
  bool ShowNote(std::string_view text, Point at);
  void SetCommandHandler(CommandHandler handler) { command_handler_ = std::move(handler); }

  // Called as objects leave the tree: no reference to them stays.
  void Forget(const CVisualOb* object);
  // Deleted after the event being handled.
  void Bury(std::unique_ptr<CVisualOb> object) { graveyard_.push_back(std::move(object)); }

 protected:
  int32_t view_kind_ = 256;

 private:
  struct Timer {
    CVisualOb* object;
    int32_t id;
    uint32_t interval;
    uint32_t started;
  };
  // Presses, captured moves and releases: the windows above `object`.
  void TellWindowsAbove(CVisualOb& object, WindowEventKind kind, Point p);
  bool DeliverKey(bool down, int32_t key, int32_t repeat, uint32_t flags);
  bool DeliverCharacter(int32_t key, int32_t repeat, uint32_t flags);
  void RunTimers();
  // Tool tips: the pointer's rest is timed from its last move.
  void WatchPointer(const WindowEvent& event);
  void ShowToolTipWhenRested();
  void HideToolTip();

  struct ToolTipWatch {
    bool resting = false;
    Point at;
    uint32_t since = 0;
    bool shown = false;
    Rect area;  // of the tool whose tip is shown, window coordinates
  };

  EventState state_;
  std::unique_ptr<WindowPort> window_;
  Damage damage_;
  PixelRect exposed_;
  std::vector<Timer> timers_;
  ContextMenu menu_;
  ListChoice list_chosen_;  // set while the menu shown is a drop-down's list
  CommandHandler command_handler_;
  SkinSource* skins_ = nullptr;
  PopupPresenter* popups_ = nullptr;
  FileDialog* file_dialog_ = nullptr;
  ToolTipWatch tip_;
  std::vector<std::unique_ptr<CVisualOb>> graveyard_;
};

// The plug-in's root view: the control panel, without scroll bars.
class COrvaneViewVST : public COrvaneViewBase {
 public:
  explicit COrvaneViewVST(Clock clock);
};

}  // namespace ov
