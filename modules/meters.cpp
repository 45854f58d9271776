#include "modules/meters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/audio_master.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {

int32_t SamplesPer(float sample_rate, int32_t per_second) {
  return std::max(static_cast<int32_t>(sample_rate) / per_second, 1);
}

}  // namespace

// --- The update chain

ug_meter::ug_meter() {
  SetFlags(Flags() | UGF_STOPS_MARKING | UGF_VOICE_NEUTRAL);
  SetProcessFunction(&ug_meter::SleepWhenIdle);
}

void ug_meter::Open() {
  SelectMeasuring();
  settled_ = false;
  update_scheduled_ = false;
  SetDisplayed(-1.0f);  // the first update always reports
  ug_base::Open();
  ScheduleUpdate(Clock());
}

void ug_meter::SetDisplayed(float value) {
  displayed_ = value;
  displayed_shared_.store(value, std::memory_order_relaxed);
}

void ug_meter::ScheduleUpdate(uint32_t time) {
  interval_ = ChooseInterval();
  update_scheduled_ = QueueRunFunction(time, &ug_meter::Update);
  // Without an event record the chain cannot go on: measuring would never end.
  if (!update_scheduled_) SetProcessFunction(&ug_meter::SleepWhenIdle);
}

void ug_meter::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  if (link == nullptr || link->Destination()->Number() != kSignalIn || state == ST_STOP) return;
  Restart(time);
}

void ug_meter::Restart(uint32_t time) {
  SelectMeasuring();
  if (!update_scheduled_) {
    OnSignalChange();
    ScheduleUpdate(time + static_cast<uint32_t>(ChooseInterval()));
  }
  settled_ = false;
}

void ug_meter::Update(ug_base& generator) {
  auto& meter = static_cast<ug_meter&>(generator);
  const bool moving = meter.UpdateStep();
  if (meter.settled_ && !moving) {
    meter.update_scheduled_ = false;
    meter.SetProcessFunction(&ug_meter::SleepWhenIdle);
  } else {
    meter.SelectMeasuring();
    meter.ScheduleUpdate(meter.Clock() + static_cast<uint32_t>(meter.ChooseInterval()));
  }
  if (meter.plug(kSignalIn)->State() != ST_RUN) meter.settled_ = true;
}

// --- LED Indicator

std::unique_ptr<ug_base> ug_led::CreateInstance() const { return std::make_unique<ug_led>(); }

void ug_led::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kLedPlugs, {signal_, threshold_}, descriptors);
}

void ug_led::SelectMeasuring() { SetProcessFunction(&ug_led::Measure); }

int32_t ug_led::ChooseInterval() const { return SamplesPer(Master()->SampleRate(), 6); }

void ug_led::Measure(int32_t position, int32_t count) {
  for (int32_t i = position; i < position + count; ++i) {
    if (signal_[i] > threshold_[i]) {
      measured_ = 100.0f;
      SetProcessFunction(&ug_led::DoNothing);  // lit until the next update
      if (Displayed() != 100.0f) {
        SetDisplayed(100.0f);
        RequestRefresh();
      }
      return;
    }
  }
}

bool ug_led::UpdateStep() {
  const bool changed = Displayed() != measured_;
  if (changed) {
    SetDisplayed(measured_);
    RequestRefresh();
  }
  measured_ = 0.0f;
  return changed;
}

// --- Peak Meter

std::unique_ptr<ug_base> ug_peak_meter::CreateInstance() const {
  return std::make_unique<ug_peak_meter>();
}

void ug_peak_meter::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kPeakMeterPlugs, {signal_, response_}, descriptors);
}

void ug_peak_meter::SelectMeasuring() { SetProcessFunction(&ug_peak_meter::Measure); }

void ug_peak_meter::Measure(int32_t position, int32_t count) {
  // A sample that is not a number fails the test, so it never becomes the
  // maximum.
  for (int32_t i = position; i < position + count; ++i) {
    if (signal_[i] > measured_) measured_ = signal_[i];
  }
}

float ug_peak_meter::Target(float measured, int16_t response) {
  if (response == kLinear) return measured * 100.0f;
  const double power = std::max(2.0 * static_cast<double>(measured), 1e-12);
  return std::max(static_cast<float>(10.0 * std::log10(power) * 2.25 + 90.0), -100.0f);
}

bool ug_peak_meter::UpdateStep() {
  const float step = std::max(Target(measured_, response_) - Displayed(), -20.0f);
  // A step that is not a number would stick: the display stays as it is.
  const bool moved = step != 0.0f && !std::isnan(step);
  if (moved) {
    SetDisplayed(Displayed() + step);
    RequestRefresh();
  }
  const float now = signal_[BlockPosition()];
  const float restart = std::isnan(now) ? 0.0f : now;
  const bool input_moved = restart != measured_;
  measured_ = restart;
  return input_moved || moved || plug(kSignalIn)->State() == ST_RUN;
}

// --- Volt Meter

std::unique_ptr<ug_base> ug_volt_meter::CreateInstance() const {
  return std::make_unique<ug_volt_meter>();
}

void ug_volt_meter::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kVoltMeterPlugs, {signal_, mode_, rate_}, descriptors);
}

void ug_volt_meter::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  // A new mode measures afresh, as a new signal does.
  if (link != nullptr && link->Destination()->Number() == kMode && state != ST_STOP) {
    Restart(time);
    return;
  }
  ug_meter::OnStatusChange(time, link, state);
}

void ug_volt_meter::SelectMeasuring() {
  if (mode_ == kAcRms) {
    SetProcessFunction(&ug_volt_meter::MeasureRms);
  } else {
    SetProcessFunction(&ug_volt_meter::MeasureDc);
  }
}

int32_t ug_volt_meter::ChooseInterval() const {
  return SamplesPer(Master()->SampleRate(), rate_ > 0 ? rate_ : 2);
}

// Each slice of n samples closes n/1000 of the distance to its mean: the mean
// m becomes (sum + (1000 - n) m) / 1000, written as m + (sum of (x - m)) /
// 1000 so that a constant input reaches a value the next slice leaves as it
// is, whatever the slices' lengths; otherwise rounding keeps it moving and
// the meter never settles. A slice of 1000 samples or more closes the whole
// distance (the slice's own mean): a larger step would overshoot, and from
// 2000 samples on (an engine block as long as a prime host block) every
// slice would swing the mean further out.
float ug_volt_meter::MeanWeight(int32_t count) {
  return count > kMeanLength ? 1.0f / static_cast<float>(count) : 1.0f / kMeanLength;
}

void ug_volt_meter::MeasureDc(int32_t position, int32_t count) {
  float distance = 0.0f;
  for (int32_t i = position; i < position + count; ++i) distance += signal_[i] - measured_;
  measured_ += distance * MeanWeight(count);
}

void ug_volt_meter::MeasureRms(int32_t position, int32_t count) {
  float distance = 0.0f;
  for (int32_t i = position; i < position + count; ++i) {
    distance += signal_[i] * signal_[i] - measured_;
  }
  measured_ += distance * MeanWeight(count);
}

bool ug_volt_meter::UpdateStep() {
  const float shown = Displayed();
  if (measured_ == shown) return false;
  if (!std::isfinite(measured_) && !std::isfinite(shown)) {
    measured_ = 0.0f;  // start the mean again
    return false;
  }
  displayed_mode_.store(mode_, std::memory_order_relaxed);
  SetDisplayed(measured_);
  RequestRefresh();
  return true;
}

std::string ug_volt_meter::Text(float displayed, int16_t mode) {
  const double x = mode == kAcRms ? std::sqrt(static_cast<double>(displayed)) : displayed;
  const double volts = x * 10.0;
  char text[32];
  if (volts < 1.0) {
    std::snprintf(text, sizeof text, "%.3f", volts);
  } else if (volts < 100.0) {
    std::snprintf(text, sizeof text, "%.2f", volts);
  } else {
    std::snprintf(text, sizeof text, "%.1f", volts);
  }
  return text;
}

}  // namespace ov
