#include "engine/smart_output.h"

#include <algorithm>

#include "engine/audio_master.h"
#include "engine/ug_base.h"

namespace ov {

void smart_output::init(int32_t mode, int32_t default_length) {
  *this = smart_output{};
  mode_ = mode;
  default_length_ = default_length;
}

void smart_output::attach(UPlug& output) {
  plug_ = &output;
  fill_countdown_ = BlockSize();
  sample_data_ = output.Data();
}

void smart_output::rearm() {
  if (fill_countdown_ > 0) fill_countdown_ = BlockSize();
}

void smart_output::set_target(uint32_t time, float value, int32_t length) {
  if (value == target_value_ && steady_) return;
  steady_ = false;
  int32_t mode = length < 1 ? kJump : mode_;
  if (mode == kJump) {
    length = 1;
    mode = kLinear;
  }
  if (mode == kLinear) {
    const float step = (value - current_value_) / static_cast<float>(length);
    next_value_ = current_value_ + step;
    first_difference_ = step;
    second_difference_ = 0.0f;
    third_difference_ = 0.0f;
    remaining_ = length - 1;
    target_value_ = value;
  } else if (mode == kSmooth) {
    // Forward differences of current + d(3x^2 - 2x^3) at x = k/n: three
    // additions per sample, no multiplication.
    const double d = static_cast<double>(value) - current_value_;
    const double n = length;
    const double f = 1.0 / (n * n * n);
    third_difference_ = static_cast<float>(-12.0 * d * f);
    const float a = static_cast<float>(d * f * (3.0 * n - 2.0));
    const float b = static_cast<float>(6.0 * d * f * (n - 2.0));
    next_value_ = current_value_ + a;
    first_difference_ = a + b;
    second_difference_ = b + third_difference_;
    remaining_ = length - 1;
    target_value_ = value;
  }
  if (length > 1) plug_->Transmit(time, ST_RUN);
}

void smart_output::process(int32_t position, int32_t count, bool& can_sleep) {
  if (!steady_) {
    can_sleep = false;
    if (Ramp(position, count)) {
      steady_ = true;
      fill_countdown_ = BlockSize();
    }
    return;
  }
  if (fill_countdown_ <= 0) return;
  float* out = sample_data_ + position;
  std::fill(out, out + std::min(fill_countdown_, count), current_value_);
  fill_countdown_ -= count;
  can_sleep = false;
}

bool smart_output::Ramp(int32_t position, int32_t count) {
  float* out = sample_data_ + position;
  // The state in locals: the stores to `out` could otherwise alias these
  // members, and every sample would wait for them to go through memory.
  float value = next_value_;
  float first = first_difference_;
  float second = second_difference_;
  const float third = third_difference_;
  int32_t remaining = remaining_;
  for (int32_t k = 0; k < count; ++k) {
    out[k] = value;
    if (--remaining < 0) {
      // The last sample is the target exactly, whatever rounding the
      // differences gathered.
      remaining_ = remaining;
      next_value_ = current_value_ = target_value_;
      std::fill(out + k, out + count, target_value_);
      const uint32_t cell_start = plug_->Owner().Master()->CellStart();
      plug_->Transmit(cell_start + static_cast<uint32_t>(position + k), ST_STATIC);
      return true;
    }
    value += first;
    first += second;
    second += third;
  }
  next_value_ = current_value_ = value;
  first_difference_ = first;
  second_difference_ = second;
  remaining_ = remaining;
  return false;
}

int32_t smart_output::BlockSize() const { return plug_->Owner().Master()->EngineBlockSize(); }

}  // namespace ov
