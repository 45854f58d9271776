#include "document/readouts.h"

#include "modules/meters.h"

namespace ov {

void MeterPanel::OnRefresh(ug_base& generator) {
  const auto* meter = dynamic_cast<const ug_meter*>(&generator);
  if (meter == nullptr) return;
  bitmap_value_ = meter->DisplayedValue() * 0.01f;
  Notify(Notification(kNotifyValueChanged, this));
}

void Ctl_VoltMeter::OnRefresh(ug_base& generator) {
  const auto* meter = dynamic_cast<const ug_volt_meter*>(&generator);
  if (meter == nullptr) return;
  label_text_ = ug_volt_meter::Text(meter->DisplayedValue(), meter->DisplayedMode());
  Notify(Notification(kNotifyValueChanged, this));
}

void Ctl_tty::OnPrint(std::string_view line) {
  if (line.ends_with('\n')) line.remove_suffix(1);
  if (lines_.size() == kKeptLines) lines_.pop_front();
  lines_.emplace_back(line);
  Notify(Notification(kNotifyContentsChanged, this, 0, lines_.back()));
}

}  // namespace ov
