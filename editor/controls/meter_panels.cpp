#include "editor/controls/meter_panels.h"

#include "document/readouts.h"
#include "editor/controls/meter_lights.h"
#include "editor/controls/meter_volts.h"

namespace ov {

void MeterFrame::OnNotify(const Notification& notification) {
  if (notification.code == kNotifyValueChanged && notification.subject == Module()) {
    ShowReading();
    return;
  }
  FaceFrame::OnNotify(notification);
}

void AddMeterPanels(VisualMakers& makers) {
  makers.Add([](CDocOb& object, int32_t view_kind) -> std::unique_ptr<CVisualOb> {
    if (view_kind != kViewControlPanel) return nullptr;
    std::unique_ptr<MeterFrame> frame;
    if (auto* lights = dynamic_cast<MeterPanel*>(&object)) {
      frame = std::make_unique<MeterLightFrame>(*lights);
    } else if (auto* volts = dynamic_cast<Ctl_VoltMeter*>(&object)) {
      frame = std::make_unique<VoltMeterFrame>(*volts);
    } else {
      return nullptr;
    }
    if (const std::optional<Rect> rect = object.ViewRect(view_kind)) frame->SetRect(*rect);
    return frame;
  });
}

}  // namespace ov
