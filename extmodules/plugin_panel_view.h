// The visual object a library module's panel part draws in, the maker that
// gives CPlugin2 modules one, and the installation of library panel parts.
//
// Thread: editor.
#pragma once

#include "editor/panel_view.h"
#include "editor/visual_object.h"
#include "sdk/orvane_module.h"

namespace ov {

class CPlugin2;
class ModuleRegistry;
class PluginPanel;

// Hands painting, mouse, opening and closing to the module's panel part,
// whichever panel part the module has at the time (a reload makes a new
// one, which hears of the object's opening anew).
class PluginPanelView : public CPaintObject {
 public:
  explicit PluginPanelView(CPlugin2& module);
  ~PluginPanelView() override;

  Point PreferredSize() const override;
  bool AcceptsMouse() const override { return true; }
  void OnNotify(const Notification& notification) override;
  // Moves to the module's new place, keeping the size it draws at.
  void ModuleMoved(const Rect& rect) override;
  void Open() override;
  void Close() override;
  void Draw(Canvas& canvas) override;
  void MouseDown(uint32_t flags, Point p) override;
  void MouseUp(uint32_t flags, Point p) override;
  void MouseMove(uint32_t flags, Point p) override;

 private:
  // The module's panel part, told of this object's opening when it has not
  // heard of it yet; null when the module has none.
  PluginPanel* Panel();
  void Unregister();
  // The drawing record of this object, as the panel part receives it.
  OvDrawing Drawing();
  void SendMouse(int32_t opcode, uint32_t flags, Point p);
  // Takes the size the panel part draws at, when it changed.
  void FollowDrawingSize();

  CPlugin2& module_;
  uint32_t registered_ = 0;  // the generation of the panel part told of the opening; 0: none
};

// Adds the maker of CPlugin2 modules' visual objects: made when the panel
// part draws (a drawing width above 0), except outside the panel view
// while drawing flag bit 1 is set; thick (0x20) while bit 0 is set, in the
// panel view or anywhere while bit 1 is clear. In the panel view the object
// stands at the module's panel rectangle.
void AddModulePanelViews(VisualMakers& makers);

// Makes `registry` give CPlugin2 modules their library panel parts.
void InstallModulePanels(ModuleRegistry& registry);

}  // namespace ov
