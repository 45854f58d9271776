// The panels of "LED Indicator" and "Peak Meter": the skin's "led" or
// "bar_graph1" image lit by the meter's reading. The reading arrives on
// the editor thread with the generator's refresh request ("refr", read by
// the module) and reaches the light through the module's code-31
// notification; the panel never reads the engine itself.
//
// Thread: editor.
#pragma once

#include <memory>

#include "editor/controls/control_frame2.h"
#include "editor/panel_view.h"

namespace ov {

class CMyBmpCtrl;
class MeterPanel;

class MeterLightFrame : public FaceFrame {
 public:
  explicit MeterLightFrame(MeterPanel& meter);
  // Code 31 of the meter: the light shows the new reading.
  void OnNotify(const Notification& notification) override;
  // The light, or null before the frame filled.
  CMyBmpCtrl* Light() const;
  // What a reading lights, 0 .. 1: NaN and minus infinity dark, plus
  // infinity full.
  static float Lit(float bitmap_value);

 protected:
  std::unique_ptr<CVisualOb> MakeFace() override;

 private:
  MeterPanel& meter_;
};

// LEDs and peak meters get their frame in the control panel.
void AddMeterLightPanels(VisualMakers& makers);

}  // namespace ov
