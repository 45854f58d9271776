#include "editor/controls/meter_volts.h"

#include <string>

#include "document/readouts.h"
#include "editor/widgets/text_labels.h"
#include "editor/widgets/widget_text.h"

namespace ov {
namespace {

// Readings below 1 V carry three decimals, so the widest one that is
// still read often is a negative hundred-volt figure.
constexpr const char* kWidestReading = "-000.000";

class VoltLabel final : public CMyTextLabel {
 public:
  // Over the panel's background, as the skin's label colours expect.
  explicit VoltLabel(std::string text) : CMyTextLabel(std::move(text), true) {
    SetAlign(TextState::Align::kRight);
    SetFlags(kVoReadOnly | kVoGridCentred);
  }
  Point PreferredSize() const override { return ExtentIn(*this, {kLabelFont}, kWidestReading); }
};

}  // namespace

VoltMeterFrame::VoltMeterFrame(Ctl_VoltMeter& meter) : FaceFrame(meter), meter_(meter) {}

CMyTextLabel* VoltMeterFrame::Label() const { return dynamic_cast<CMyTextLabel*>(Face()); }

std::unique_ptr<CVisualOb> VoltMeterFrame::MakeFace() {
  return std::make_unique<VoltLabel>(meter_.label_text());
}

void VoltMeterFrame::OnNotify(const Notification& notification) {
  if (notification.code == kNotifyValueChanged && notification.subject == &meter_) {
    if (CMyTextLabel* label = Label()) label->SetText(meter_.label_text());
    return;
  }
  FaceFrame::OnNotify(notification);
}

void AddVoltMeterPanels(VisualMakers& makers) {
  makers.Add([](CDocOb& object, int32_t view_kind) -> std::unique_ptr<CVisualOb> {
    auto* meter = dynamic_cast<Ctl_VoltMeter*>(&object);
    if (meter == nullptr || view_kind != kViewControlPanel) return nullptr;
    auto frame = std::make_unique<VoltMeterFrame>(*meter);
    if (const std::optional<Rect> rect = meter->ViewRect(view_kind)) frame->SetRect(*rect);
    return frame;
  });
}

}  // namespace ov
