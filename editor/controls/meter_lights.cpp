#include "editor/controls/meter_lights.h"

#include <algorithm>
#include <cmath>

#include "document/control_mapper.h"
#include "document/readouts.h"
#include "editor/controls/bitmap_controls.h"

namespace ov {
namespace {

// The light's reading, never written back: a meter shows what its
// generator measured.
class MeterReading final : public control_mapper_bmc {
 public:
  MeterReading(MappedControl* light, const MeterPanel& meter)
      : control_mapper_bmc(light), meter_(meter) {}
  float GetNormalised() const override { return MeterLightFrame::Lit(meter_.bitmap_value()); }
  void SetNormalised(float) override {}
  std::string ToolTipText() const override { return meter_.title(); }

 private:
  const MeterPanel& meter_;
};

}  // namespace

MeterLightFrame::MeterLightFrame(MeterPanel& meter) : MeterFrame(meter), meter_(meter) {}

float MeterLightFrame::Lit(float bitmap_value) {
  if (std::isnan(bitmap_value)) return 0.0f;
  return std::clamp(bitmap_value, 0.0f, 1.0f);
}

CMyBmpCtrl* MeterLightFrame::Light() const { return dynamic_cast<CMyBmpCtrl*>(Face()); }

std::unique_ptr<CVisualOb> MeterLightFrame::MakeFace() {
  const bool led = dynamic_cast<const Ctl_LED*>(&meter_) != nullptr;
  auto light = std::make_unique<CMyBmpCtrl>(led ? "led" : "bar_graph1");
  light->SetMapper(std::make_unique<MeterReading>(light.get(), meter_));
  light->SetFlags(kVoReadOnly);
  return light;
}

void MeterLightFrame::ShowReading() {
  if (CMyBmpCtrl* light = Light()) light->ValueFromParameter(Lit(meter_.bitmap_value()));
}

}  // namespace ov
