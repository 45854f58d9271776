// The editor the host opens in its window: the rectangle decided once from
// the project's panel size (at most kLargestWindowSide on a side), the
// panel built into a child of the host's window at open and torn down at
// close, and the host's idle calls turned into the editor side's periodic
// work (the engine-to-editor queue, events, timers, repaint).
//
// The editor takes no lock the engine could wait on: it reaches the engine
// only through the message rings, and it assumes no engine exists (there
// is none before the host resumes the plug-in).
//
// Thread: editor (the host's user-interface thread) for every call.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/panel_view.h"
#include "editor/popup_windows.h"
#include "editor/skins/skin_list.h"
#include "editor/view_root.h"
#include "editor/vst_windows.h"
#include "host/aeff_editor.h"

namespace ov {

class CContainer;
class MessageSink;
class SkinInfo;

// What the panel's skins are made from: the project's skin records (read at
// the first open) and the folder images missing from them are looked for in
// ("<library folder>/skins"; empty: none).
struct SkinSetup {
  const std::vector<std::unique_ptr<SkinInfo>>* records = nullptr;
  std::string folder;
  // Where the project's images are decoded; null: at their first lookup.
  std::shared_ptr<ImageDecodes> decodes;
};

class ov_vst_editor : public AEffEditor {
 public:
  // Makes the platform window: a child of `parent` (an X11 Window id) of the
  // given size, or null with `error` saying why.
  using WindowMaker = std::function<std::unique_ptr<WindowPort>(
      void* parent, int32_t width, int32_t height, std::string* error)>;

  // `app_idle` is the application's idle work (draining the engine's
  // messages); `messages` hears why a window could not open.
  ov_vst_editor(AudioEffect* effect, CContainer& main, Point panel_size,
                std::function<void()> app_idle, MessageSink& messages, SkinSetup skins = {});
  ~ov_vst_editor() override;

  bool getRect(vst2::ERect** rect) override;
  // Closes a window still open first (hosts do not always pair the calls).
  // False, with a message, when no window can be made (no display, no
  // parent window given, a parent that does not exist).
  bool open(void* window) override;
  void close() override;
  void idle() override;
  // Host keys take the same path as the window's own: 1 only when the panel
  // used the key, so the host's shortcuts keep working.
  int32_t onKeyDown(int32_t character, int32_t virtual_key, int32_t modifiers) override;
  int32_t onKeyUp(int32_t character, int32_t virtual_key, int32_t modifiers) override;
  bool setKnobMode(int32_t) override { return false; }
  bool isOpen() const override { return view_.IsOpen(); }
  // True while the open panel holds an object that types.
  bool KeysRequired() { return isOpen() && view_.KeysRequired(); }
  // Whether the editor is still open, having looked (without reading its
  // other events) whether its window was destroyed from outside or its
  // connection lost: either closes it for every purpose, and the host's
  // effEditClose that may follow finds it closed. For the plug-in's idle,
  // which must drain the engine's messages once no editor idle will.
  bool CheckOpen();

  // Where the menu commands chosen on the panel go, after the commands
  // that open a hosted plug-in's windows ("Panel Edit...", "Automation...").
  void SetCommandHandler(COrvaneViewBase::CommandHandler handler);
  // The hosted plug-ins' windows open now.
  const VstWindows& PluginWindows() const { return plugin_windows_; }

  void SetWindowMaker(WindowMaker maker) { window_maker_ = std::move(maker); }
  // The makers of the panel's visual objects; the product's by default.
  void SetVisualMakers(const VisualMakers* makers) { makers_ = makers; }
  COrvaneViewVST& View() { return view_; }
  // The skins, made at the first open.
  SkinList* Skins() const { return skins_.get(); }
  void* SystemWindow() const { return system_window_; }

 private:
  void MakeSkins();
  void CloseDeadWindow();
  void RunCommand(CVisualOb& target, int32_t id, Point p);

  CContainer& main_;
  std::function<void()> app_idle_;
  MessageSink& messages_;
  void* system_window_ = nullptr;
  vst2::ERect rect_{};
  SkinSetup skin_setup_;
  std::unique_ptr<SkinList> skins_;  // outlives the view's use of it
  ZenityFileDialog file_dialog_;     // outlives the view's use of it
  COrvaneViewVST view_;
  PopupWindows popups_;
  COrvaneViewBase::CommandHandler commands_;
  VstWindows plugin_windows_;
  WindowMaker window_maker_;
  const VisualMakers* makers_;
};

// The default window maker: an X11 child window.
std::unique_ptr<WindowPort> MakeX11Window(void* parent, int32_t width, int32_t height,
                                         std::string* error);

}  // namespace ov
