#include "modules/level_meter.h"

#include <algorithm>
#include <cmath>

#include "engine/audio_master.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {

// Adding and taking away a tiny amount in single precision turns a
// denormal state into 0, which would otherwise slow every later sample.
inline float Flushed(float state) {
  state += 1e-18f;
  return state - 1e-18f;
}

// exp(-1 / (sample rate x seconds)); 0 for no smoothing.
float Coefficient(float sample_rate, double seconds) {
  if (seconds <= 0.0 || !(sample_rate > 0.0f)) return 0.0f;
  return static_cast<float>(std::exp(-1.0 / (static_cast<double>(sample_rate) * seconds)));
}

}  // namespace

std::unique_ptr<ug_base> ug_param_float_out::CreateInstance() const {
  return std::make_unique<ug_param_float_out>();
}

void ug_param_float_out::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kParamFloatOutPlugs, {signal_, {}, {}, response_, rate_}, descriptors);
}

void ug_param_float_out::Open() {
  ChooseCoefficients();
  ug_meter::Open();
  SetDisplayed(-1000.0f);  // so that the first tick reports
}

void ug_param_float_out::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  if (link != nullptr && state != ST_STOP &&
      (link->Destination()->Number() == kResponse ||
       link->Destination()->Number() == kUpdateRate)) {
    ChooseCoefficients();
    Restart(time);
    return;
  }
  ug_meter::OnStatusChange(time, link, state);
}

int32_t ug_param_float_out::TickInterval(float sample_rate, int32_t rate) {
  const double per_second = std::max(rate, 1) + 0.03;
  const double samples = std::trunc(static_cast<double>(sample_rate) / per_second);
  if (!(samples >= 1.0)) return 1;
  return samples >= INT32_MAX ? INT32_MAX : static_cast<int32_t>(samples);
}

int32_t ug_param_float_out::ChooseInterval() const {
  return TickInterval(Master()->SampleRate(), rate_);
}

void ug_param_float_out::ChooseCoefficients() {
  const float sample_rate = Master()->SampleRate();
  switch (response_) {
    case kVu:
      attack_ = release_ = Coefficient(sample_rate, 0.1);
      break;
    case kPpm:
    case kDcAverage:
      attack_ = Coefficient(sample_rate, 0.017);
      release_ = Coefficient(sample_rate, 0.65);
      break;
    default:  // Peak, HeadRoom and DC (Fast)
      attack_ = 0.0f;
      release_ = Coefficient(sample_rate, 0.03);
      break;
  }
  mean_square_coefficient_ =
      sample_rate > 0.0f
          ? static_cast<float>(std::exp(-2.0 * M_PI * 100.0 / static_cast<double>(sample_rate)))
          : 0.0f;
}

void ug_param_float_out::SelectMeasuring() {
  switch (response_) {
    case kVu:
    case kPpm:
      SetProcessFunction(&ug_param_float_out::MeasureRms);
      break;
    case kPeak:
    case kHeadRoom:
      SetProcessFunction(&ug_param_float_out::MeasurePeak);
      break;
    case kDcAverage:
      SetProcessFunction(&ug_param_float_out::MeasureAverage);
      break;
    default:  // DC (Fast) reads the input at each tick
      SetProcessFunction(&ug_param_float_out::DoNothing);
      break;
  }
}

void ug_param_float_out::MeasureRms(int32_t position, int32_t count) {
  float mean_square = mean_square_;
  float level = level_;
  for (int32_t i = position; i < position + count; ++i) {
    const float square = signal_[i] * signal_[i];
    mean_square = Flushed(square + mean_square_coefficient_ * (mean_square - square));
    const float q = std::sqrt(mean_square);
    level = Flushed(q + (level - q) * (level - q < 0.0f ? attack_ : release_));
  }
  mean_square_ = mean_square;
  level_ = level;
}

void ug_param_float_out::MeasurePeak(int32_t position, int32_t count) {
  float level = level_;
  for (int32_t i = position; i < position + count; ++i) {
    const float q = std::fabs(signal_[i]);
    level = Flushed(q + (level - q) * (level - q < 0.0f ? attack_ : release_));
  }
  level_ = level;
}

void ug_param_float_out::MeasureAverage(int32_t position, int32_t count) {
  float level = level_;
  for (int32_t i = position; i < position + count; ++i) {
    level = Flushed(signal_[i] + (level - signal_[i]) * release_);
  }
  level_ = level;
}

bool ug_param_float_out::UpdateStep() {
  float reading = level_;
  if (response_ == kHeadRoom) reading = 1.0f - level_;
  if (response_ == kDcFast) reading = SampleNow(signal_);
  if (!(std::fabs(reading - Displayed()) >= 1e-8f)) return false;
  SetDisplayed(reading);
  RequestRefresh();
  return true;
}

}  // namespace ov
