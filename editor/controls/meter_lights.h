// The panels of "LED Indicator" and "Peak Meter": the skin's "led" or
// "bar_graph1" image lit by the meter's reading, display only.
//
// Thread: editor.
#pragma once

#include <memory>

#include "editor/controls/meter_panels.h"

namespace ov {

class CMyBmpCtrl;
class MeterPanel;

class MeterLightFrame : public MeterFrame {
 public:
  explicit MeterLightFrame(MeterPanel& meter);
  // The light, or null before the frame filled.
  CMyBmpCtrl* Light() const;
  // What a reading lights, 0 .. 1: NaN and minus infinity dark, plus
  // infinity full.
  static float Lit(float bitmap_value);

 protected:
  std::unique_ptr<CVisualOb> MakeFace() override;
  void ShowReading() override;

 private:
  MeterPanel& meter_;
};

}  // namespace ov
