// The panel objects of the control modules "Slider" and "List Entry": a
// frame at the module's panel rectangle holding the face its "Appearance"
// asks for, made anew each time the frame opens, so that a change of the
// appearance, range or items (the container reopens the frame) shows.
//
// Thread: editor.
#pragma once

#include "editor/panel_view.h"
#include "editor/visual_object.h"

namespace ov {

class CControl;

class CControlFrame : public CPaintObject {
 public:
  explicit CControlFrame(CControl& control);
  // The face's preferred size (20 x 20 without one); a thick face (flag
  // 0x20) keeps at least its current size.
  Point PreferredSize() const override;
  void SetRect(const Rect& rect) override;
  void Open() override;
  void Close() override;
  CVisualOb* Face() const { return children().empty() ? nullptr : children().front(); }

 private:
  void Fill();

  CControl& control_;
  bool filled_ = false;
};

// Sliders and list entries get their frame in the control panel.
void AddControlModuleMakers(VisualMakers& makers);

}  // namespace ov
