// The panel of "Volt Meter": one label showing the volts the module last
// read from its generator, sized for the widest reading so that it does
// not grow as the reading changes. The text arrives with the module's
// code-31 notification after the generator's refresh request.
//
// Thread: editor.
#pragma once

#include <memory>

#include "editor/controls/control_frame2.h"
#include "editor/panel_view.h"

namespace ov {

class Ctl_VoltMeter;
class CMyTextLabel;

class VoltMeterFrame : public FaceFrame {
 public:
  explicit VoltMeterFrame(Ctl_VoltMeter& meter);
  // Code 31 of the meter: the label shows the new reading.
  void OnNotify(const Notification& notification) override;
  // The label, or null before the frame filled.
  CMyTextLabel* Label() const;

 protected:
  std::unique_ptr<CVisualOb> MakeFace() override;

 private:
  Ctl_VoltMeter& meter_;
};

// Volt meters get their frame in the control panel.
void AddVoltMeterPanels(VisualMakers& makers);

}  // namespace ov
