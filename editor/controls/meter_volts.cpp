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

VoltMeterFrame::VoltMeterFrame(Ctl_VoltMeter& meter) : MeterFrame(meter), meter_(meter) {}

CMyTextLabel* VoltMeterFrame::Label() const { return dynamic_cast<CMyTextLabel*>(Face()); }

std::unique_ptr<CVisualOb> VoltMeterFrame::MakeFace() {
  return std::make_unique<VoltLabel>(meter_.label_text());
}

void VoltMeterFrame::ShowReading() {
  if (CMyTextLabel* label = Label()) label->SetText(meter_.label_text());
}

}  // namespace ov
