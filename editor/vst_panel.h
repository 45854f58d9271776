// The control panel of a hosted plug-in ("VST Plugin"): the plug-in's own
// editor in a native window of the editor's, or, for a plug-in without
// one, the generic grid of its parameters ("Name", "Value", "Units"); either
// in a scroll window sized to its content, under the patch toolbar.
//
// The plug-in's editor opens once: a second panel of the same plug-in says
// "Can't open VST Panel twice" instead.
//
// Thread: editor (the plug-in's editor is opened, idled and closed there).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "editor/panel_view.h"
#include "editor/visual_object.h"
#include "platform/window_port.h"

namespace ov {

class CGroup;
class Ctl_VST_Plugin;
class CMyTextLabel;

inline constexpr char kVstPanelTwice[] = "Can't open VST Panel twice";

// Holds the plug-in's own editor: a native child window of the plug-in's
// editor size (followed when the plug-in changes it), placed where this
// object lies in the editor's window, cut to what its ancestors show (the
// scroll window's view, the sub-panel), and moved along as they scroll or
// move. Where no native window can be made, or the plug-in's editor is
// open elsewhere, it says why in a label.
class VstEditorHost : public CPaintObject {
 public:
  // How often the window's place and life are checked.
  static constexpr uint32_t kFollowMs = 40;
  static constexpr int32_t kFollowTimer = 1;

  explicit VstEditorHost(Ctl_VST_Plugin& module);
  ~VstEditorHost() override;

  Point PreferredSize() const override;
  bool AcceptsMouse() const override { return true; }
  void Open() override;
  void Close() override;
  void SetRect(const Rect& rect) override;
  void Draw(Canvas& canvas) override;
  void OnTimer(int32_t id) override;
  // Places the native window where this object shows now.
  void Follow();

  // The native window while the plug-in's editor is open in it, or null.
  NativeChildWindow* native_window() const { return window_.get(); }
  // What the label says instead of the editor (empty while it shows).
  const std::string& notice() const { return notice_; }

 private:
  void ShowNotice(std::string text);
  void CloseEditor();
  // Takes the size the plug-in's editor has now, when it changed.
  void FollowEditorSize();

  Ctl_VST_Plugin& module_;
  Point editor_size_;
  std::unique_ptr<NativeChildWindow> window_;
  std::string notice_;
  CMyTextLabel* label_ = nullptr;
};

// The panel inside the scroll window: the editor host or the grid at its
// preferred size on the window colour; scrolling moves the native window.
class VstPanelView : public CPaintObject {
 public:
  VstPanelView(Ctl_VST_Plugin& module, std::unique_ptr<CVisualOb> content);
  CVisualOb* content() const { return content_; }
  Point PreferredSize() const override;
  void Open() override;
  void OnNotify(const Notification& notification) override;
  void ChildResized(CVisualOb& child) override;
  void Draw(Canvas& canvas) override;
  // The panel shows its module's inside, not where the module lies.
  void ModuleMoved(const Rect&) override {}

 private:
  CVisualOb* content_;
};

// A black label, owned by its parent, as the hosted plug-ins' grids show.
std::unique_ptr<CVisualOb> MakeGridLabel(std::string text);
// Makes `grid` a hosted plug-in's grid: owned, row lines on, `headers` in
// row 0.
void StartGrid(CGroup& grid, std::initializer_list<const char*> headers);

// The generic panel: a header row, then a row per parameter with a panel
// control: its name, its default control (tab orders 0, 1, ... in row
// order) and its unit text; "Program" and "Program Name" show their name
// alone.
std::unique_ptr<CVisualOb> MakeVstParameterGrid(Ctl_VST_Plugin& module);

// The whole panel of view kind 128 (null for other kinds): toolbar, scroll
// window in size-to-content mode, VstPanelView, content.
std::unique_ptr<CVisualOb> MakeVstPanel(Ctl_VST_Plugin& module, int32_t view_kind);

// Adds the panel maker of hosted plug-ins.
void AddVstPanels(VisualMakers& makers);

}  // namespace ov
