// What the meters' panels share: a frame that shows its meter's reading
// again whenever the meter says it changed (code 31, sent when the
// module takes the generator's refresh request on the editor thread), and
// the maker that places "LED Indicator", "Peak Meter" and "Volt Meter" on
// the control panel. The panels never read the engine themselves.
//
// Thread: editor.
#pragma once

#include "editor/controls/control_frame2.h"
#include "editor/panel_view.h"

namespace ov {

class MeterFrame : public FaceFrame {
 public:
  explicit MeterFrame(CDocOb& meter) : FaceFrame(meter) {}
  void OnNotify(const Notification& notification) override;

 protected:
  // The face, when there is one, shows the meter's current reading.
  virtual void ShowReading() = 0;
};

void AddMeterPanels(VisualMakers& makers);

}  // namespace ov
