#include "modules/math_converters.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/audio_master.h"
#include "engine/saturating_cast.h"
#include "modules/descriptors/plug_tables.h"
#include "modules/descriptors/static_tables.h"

namespace ov {
namespace {

// Keeps a decaying level out of the denormal range.
float Undenormal(float x) { return x + 1e-18f - 1e-18f; }

float TimeCoefficient(double rate, double seconds) {
  return static_cast<float>(std::exp(-1.0 / (rate * seconds)));
}

}  // namespace

std::unique_ptr<ug_base> ug_voltage_to_enum::CreateInstance() const {
  return std::make_unique<ug_voltage_to_enum>();
}

void ug_voltage_to_enum::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kVoltageToEnumPlugs, {in_, value_}, descriptors);
}

void ug_voltage_to_enum::OnItemList(int32_t plug_number, std::string_view list_text) {
  if (plug_number == kListOut) items_.emplace(list_text);
}

void ug_voltage_to_enum::Open() {
  count_ = items_ ? items_->Count() : 0;
  SetWindow(0);
  SetProcessFunction(&ug_voltage_to_enum::SleepWhenIdle);
  ug_base::Open();
}

void ug_voltage_to_enum::SetWindow(int64_t index) {
  const auto n = static_cast<float>(std::max<int64_t>(count_, 1));
  const auto c = static_cast<float>(index);
  window_low_ = index == 0 ? -1e8f : (c - 0.33333334f) / n;
  window_high_ = index >= count_ - 1 ? 1e8f : (c + 1.0f + 0.33333334f) / n;
}

void ug_voltage_to_enum::Choose(uint32_t time, float x) {
  if (count_ <= 0) return;  // no items: stays at 0
  const double scaled = std::floor(static_cast<double>(count_ - 1) * x + 0.5);
  const int64_t index = std::clamp<int64_t>(SaturatingCast<int64_t>(scaled), 0, count_ - 1);
  const auto value = SaturatingCast<int16_t>(
      items_->ValueAt((static_cast<double>(index) + 0.5) / static_cast<double>(count_)));
  if (value == value_) return;
  value_ = value;
  plug(kListOut)->Transmit(time, ST_STATIC);
  SetWindow(index);
}

void ug_voltage_to_enum::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  if (link->Destination()->Number() != kSignalIn) return;
  // A running input is chosen for at once as well: inside the first window
  // it would otherwise never leave 0, which need not be an item's value.
  Choose(time, plug(kSignalIn)->ValueAtClock());
  if (state == ST_RUN) {
    SetProcessFunction(&ug_voltage_to_enum::Run);
  } else {
    SetProcessFunction(&ug_voltage_to_enum::SleepWhenIdle);
  }
}

void ug_voltage_to_enum::Run(int32_t position, int32_t count) {
  for (int32_t i = position; i < position + count; ++i) {
    const float x = in_[i];
    // NaN is outside no window: it keeps the current item.
    if (x < window_low_ || x > window_high_) Choose(Clock() + static_cast<uint32_t>(i - position), x);
  }
}

ug_float_to_volts::ug_float_to_volts() { output_.init(smart_output::kLinear, 4); }

std::unique_ptr<ug_base> ug_float_to_volts::CreateInstance() const {
  return std::make_unique<ug_float_to_volts>();
}

void ug_float_to_volts::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendStaticEnginePlugs(kFloatToVoltsTable, descriptors);
}

void ug_float_to_volts::Open() {
  output_.attach(*plug(kVoltsOut));
  SetProcessFunction(&ug_float_to_volts::Run);
  ug_base::Open();
}

void ug_float_to_volts::Resume() {
  ug_base::Resume();
  output_.rearm();
}

void ug_float_to_volts::OnStatusChange(uint32_t time, connector* link, int32_t) {
  if (link->Destination()->Number() != kFloatIn) return;
  int32_t length = 1;
  switch (plug(kSmoothing)->EnumValue()) {
    case kFast:
      length = 4;
      break;
    case kSmooth:
      length = static_cast<int32_t>(Master()->SampleRate()) / 32;
      break;
    default:
      break;
  }
  if (time == 0) length = 1;
  output_.set_target(time, plug(kFloatIn)->FloatValue() * 0.1f, length);
  SetProcessFunction(&ug_float_to_volts::Run);
}

void ug_float_to_volts::Run(int32_t position, int32_t count) {
  bool can_sleep = true;
  output_.process(position, count, can_sleep);
  if (can_sleep) SetProcessFunction(&ug_float_to_volts::SleepWhenIdle);
}

ug_volts_to_float::ug_volts_to_float() {
  // A meter neither spreads polyphony nor keeps a voice sounding.
  SetFlags(Flags() | UGF_STOPS_MARKING | UGF_VOICE_NEUTRAL);
}

std::unique_ptr<ug_base> ug_volts_to_float::CreateInstance() const {
  return std::make_unique<ug_volts_to_float>();
}

void ug_volts_to_float::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  const std::size_t first = descriptors.size();
  AppendStaticEnginePlugs(kVoltsToFloatTable, descriptors);
  descriptors[first + kVoltsIn].buffer_member = &in_;
  descriptors[first + kFloatOut].value_member = &float_out_;
}

void ug_volts_to_float::Open() {
  const double rate = Master()->SampleRate();
  mean_square_coefficient_ = static_cast<float>(std::exp(-2.0 * std::numbers::pi * 100.0 / rate));
  level_ = mean_square_ = 0.0f;
  last_reported_ = -1000.0f;
  settled_ = false;
  SetUpResponse();
  SetUpInterval();
  ug_base::Open();
  scheduled_ = QueueRunFunction(Clock(), &ug_volts_to_float::UpdateEvent);
}

void ug_volts_to_float::SetUpResponse() {
  const double rate = Master()->SampleRate();
  response_ = plug(kResponse)->EnumValue();
  switch (response_) {
    case kVu:
    case kRms:
    case kDcAverage:
      attack_ = release_ = TimeCoefficient(rate, 0.1);
      break;
    case kPpm:
      attack_ = TimeCoefficient(rate, 0.017);
      release_ = TimeCoefficient(rate, 0.65);
      break;
    default:  // the peak readings and Volts DC (Fast)
      attack_ = 0.0f;
      release_ = TimeCoefficient(rate, 0.03);
      break;
  }
  switch (response_) {
    case kVu:
    case kPpm:
    case kRms:
      SetProcessFunction(&ug_volts_to_float::TrackMeanSquare);
      break;
    case kPeak:
    case kHeadRoom:
      SetProcessFunction(&ug_volts_to_float::TrackPeak);
      break;
    case kDcAverage:
      SetProcessFunction(&ug_volts_to_float::TrackAverage);
      break;
    default:  // each update reads the input itself
      SetProcessFunction(&ug_volts_to_float::DoNothing);
      break;
  }
}

void ug_volts_to_float::SetUpInterval() {
  // At least one sample, so a negative or huge rate cannot stall the chain
  // at one time.
  const double samples = Master()->SampleRate() / (plug(kUpdateRate)->EnumValue() + 0.03);
  interval_ = std::clamp(SaturatingCast<int32_t>(samples), 1, kLongestInterval);
}

void ug_volts_to_float::Schedule(uint32_t time) {
  scheduled_ = QueueRunFunction(time, &ug_volts_to_float::UpdateEvent);
}

void ug_volts_to_float::UpdateEvent(ug_base& module) { static_cast<ug_volts_to_float&>(module).Update(); }

void ug_volts_to_float::Update() {
  const float a = response_ == kDcFast ? plug(kVoltsIn)->ValueAtClock() : level_;
  if (std::fabs(a - last_reported_) >= 1e-8f) {
    last_reported_ = a;
    settled_ = false;
    if (response_ >= kDcFast) {
      float_out_ = a * 10.0f;
    } else {
      float_out_ = (a < 1e-8f ? -160.0f : 20.0f * std::log10(a)) + 10.0f;
      if (response_ == kHeadRoom) float_out_ = -float_out_;
    }
    plug(kFloatOut)->Transmit(Clock(), ST_STATIC);
  }
  if (settled_) {
    scheduled_ = false;
    SetProcessFunction(&ug_volts_to_float::SleepWhenIdle);
  } else {
    Schedule(Clock() + static_cast<uint32_t>(interval_));
  }
  if (plug(kVoltsIn)->State() != ST_RUN) settled_ = true;
}

void ug_volts_to_float::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  switch (link->Destination()->Number()) {
    case kUpdateRate:
      SetUpInterval();
      return;
    case kVoltsIn:
    case kResponse:  // a new response reads afresh, as a new input does
      if (state != ST_STATIC && state != ST_RUN) return;
      SetUpResponse();  // selects the tracking function
      settled_ = false;
      if (!scheduled_) Schedule(time + static_cast<uint32_t>(interval_));
      return;
    default:
      return;
  }
}

void ug_volts_to_float::TrackMeanSquare(int32_t position, int32_t count) {
  const float k = mean_square_coefficient_;
  for (int32_t i = position; i < position + count; ++i) {
    const float square = in_[i] * in_[i];
    mean_square_ = Undenormal(square + k * (mean_square_ - square));
    const float r = std::sqrt(mean_square_);
    const float difference = level_ - r;
    level_ = Undenormal(r + difference * (difference < 0.0f ? attack_ : release_));
  }
}

void ug_volts_to_float::TrackPeak(int32_t position, int32_t count) {
  for (int32_t i = position; i < position + count; ++i) {
    const float a = std::fabs(in_[i]);
    const float difference = level_ - a;
    level_ = Undenormal(a + difference * (difference < 0.0f ? attack_ : release_));
  }
}

void ug_volts_to_float::TrackAverage(int32_t position, int32_t count) {
  for (int32_t i = position; i < position + count; ++i) {
    const float x = in_[i];
    level_ = Undenormal(x + (level_ - x) * release_);
  }
}

}  // namespace ov
