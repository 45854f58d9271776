// The panel objects of the control modules "Slider" and "List Entry": a
// frame at the module's panel rectangle holding the face its "Appearance"
// asks for, made anew each time the frame opens, so that a change of the
// appearance, range or items (the container reopens the frame) shows.
//
// Thread: editor.
#pragma once

#include "editor/controls/control_frame2.h"
#include "editor/panel_view.h"
#include "editor/visual_object.h"

namespace ov {

class CControl;

class CControlFrame : public FaceFrame {
 public:
  explicit CControlFrame(CControl& control);

 protected:
  std::unique_ptr<CVisualOb> MakeFace() override;

 private:
  CControl& control_;
};

// Sliders and list entries get their frame in the control panel.
void AddControlModuleMakers(VisualMakers& makers);

}  // namespace ov
