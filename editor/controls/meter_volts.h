// The panel of "Volt Meter": one label showing the volts the module last
// read from its generator, sized for the widest reading so that it does
// not grow as the reading changes.
//
// Thread: editor.
#pragma once

#include <memory>

#include "editor/controls/meter_panels.h"

namespace ov {

class Ctl_VoltMeter;
class CMyTextLabel;

class VoltMeterFrame : public MeterFrame {
 public:
  explicit VoltMeterFrame(Ctl_VoltMeter& meter);
  // The label, or null before the frame filled.
  CMyTextLabel* Label() const;

 protected:
  std::unique_ptr<CVisualOb> MakeFace() override;
  void ShowReading() override;

 private:
  Ctl_VoltMeter& meter_;
};

}  // namespace ov
