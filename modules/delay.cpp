#include "modules/delay.h"

#include <algorithm>
#include <cmath>

#include "engine/audio_master.h"
#include "engine/ug_container.h"
#include "modules/descriptors/plug_tables.h"
#include "modules/level_curves.h"

namespace ov {
namespace {

bool Runs(const UPlug& input) { return input.State() == ST_RUN; }

}  // namespace

std::unique_ptr<ug_base> ug_delay::CreateInstance() const { return std::make_unique<ug_delay>(); }

void ug_delay::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  ListPlugs(kDelayPlugs, descriptors);
}

void ug_delay::ListPlugs(PlugTable table, std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(table, {input_, modulation_, output_, delay_time_, interpolate_, feedback_},
              descriptors);
}

std::unique_ptr<ug_base> ug_delay2::CreateInstance() const { return std::make_unique<ug_delay2>(); }

void ug_delay2::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  ug_delay::ListPlugs(kDelay2Plugs, descriptors);
}

std::unique_ptr<ug_base> ug_delay::Clone() {
  std::unique_ptr<ug_base> copy = ug_base::Clone();
  static_cast<ug_delay&>(*copy).parameter_maximum_ = parameter_maximum_;
  return copy;
}

void ug_delay::OnDrivenByParameter(int32_t plug_number, float maximum) {
  if (plug_number == kDelayTime && maximum > parameter_maximum_) parameter_maximum_ = maximum;
}

float ug_delay::LongestTime() const {
  for (const connector* link : plug(kDelayTime)->Connectors()) {
    // Only a constant source keeps the time to what it is now (or what a
    // parameter driving that constant may make it).
    if (dynamic_cast<const ug_io_mod*>(&link->Source()->Owner()) == nullptr) return kMaxSeconds;
  }
  const float longest = std::max(delay_time_, parameter_maximum_);
  return longest < kMaxSeconds ? std::max(longest, 0.0f) : kMaxSeconds;  // NaN counts as 0
}

void ug_delay::Open() {
  if (line_.empty()) {
    // One sample more than the longest line SetUpLine makes, at least 1.
    const double rate = Master()->SampleRate();
    const double longest = std::trunc(rate * static_cast<double>(LongestTime()));
    line_.assign(static_cast<size_t>(std::max(longest, 0.0)) + 1, 0.0f);
    SetUpLine();
  }
  SelectProcess();
  tail_countdown_ = TailLength();
  ug_base::Open();
  plug(kSignalOut)->Transmit(Clock(), ST_RUN);
}

void ug_delay::SetUpLine() {
  const double rate = Master()->SampleRate();
  const double samples = rate * static_cast<double>(delay_time_);
  const double longest = std::trunc(rate) * kMaxSeconds;
  int32_t length = 1;
  if (samples > longest) {
    length = static_cast<int32_t>(longest);
  } else if (samples >= 1.0) {
    length = static_cast<int32_t>(samples);
  }
  // Longer than the line allocated at open: cut to it (the audio thread
  // never allocates).
  length_ = std::min(length, static_cast<int32_t>(line_.size()));
  std::fill_n(line_.begin(), length_, 0.0f);
  write_ = 0;
}

void ug_delay::SetOffset(float modulation) {
  double x = (static_cast<double>(offset_constant_) - modulation) * length_;
  // Out-of-range and non-numeric values read as the nearest end of the line.
  if (!(x > -1.0)) x = -1.0;
  if (x > length_ + 1.0) x = length_ + 1.0;
  const auto whole = static_cast<int32_t>(x);
  fraction_ = static_cast<float>(x - whole);
  offset_ = std::clamp(whole, 1, length_);
}

int32_t ug_delay::TailLength() const { return std::max(length_, Master()->EngineBlockSize()); }

void ug_delay::SelectProcess() {
  using Self = ug_delay;
  static constexpr void (Self::*kVariants[8])(int32_t, int32_t) = {
      &Self::Run<false, false, false>, &Self::Run<false, false, true>,
      &Self::Run<false, true, false>,  &Self::Run<false, true, true>,
      &Self::Run<true, false, false>,  &Self::Run<true, false, true>,
      &Self::Run<true, true, false>,   &Self::Run<true, true, true>,
  };
  const int32_t modulated = Runs(*plug(kModulation)) ? 2 : 0;
  const int32_t feedback = Runs(*plug(kFeedback)) ? 1 : 0;
  const auto variant = kVariants[(interpolate_ ? 4 : 0) + modulated + feedback];
  // While the input does not run, the line plays out its tail.
  variant_ = static_cast<ProcessFunction>(variant);
  if (Runs(*plug(kSignalIn))) {
    SetProcessFunction(variant);
  } else {
    SetProcessFunction(&Self::Tail);
  }
}

void ug_delay::OnStatusChange(uint32_t time, connector* link, int32_t) {
  const int32_t changed = link->Destination()->Number();
  if (changed == kDelayTime) {
    SetUpLine();
    SetOffset(plug(kModulation)->ValueAtClock());
    return;
  }
  // A feedback that starts or stops running changes the variant too, so it
  // is never read from the wrong place.
  if (changed == kFeedback) static_feedback_ = plug(kFeedback)->ValueAtClock();
  if (changed == kModulation) SetOffset(plug(kModulation)->ValueAtClock());
  if (changed == kSignalIn) {
    tail_countdown_ = TailLength();
    plug(kSignalOut)->Transmit(time, ST_RUN);
  }
  SelectProcess();
}

template <bool kInterpolate, bool kModulated, bool kFeedbackRuns>
void ug_delay::Run(int32_t position, int32_t count) {
  float* line = line_.data();
  const int32_t length = length_;
  int32_t write = write_;
  float previous = previous_output_;
  for (int32_t i = position; i < position + count; ++i) {
    if constexpr (kModulated) SetOffset(modulation_[i]);
    const float feedback = kFeedbackRuns ? feedback_[i] : static_feedback_;
    line[write] = input_[i] + feedback * previous;
    int32_t read = write + offset_;
    if (read >= length) read -= length;
    float y = line[read];
    if constexpr (kInterpolate) {
      const int32_t next = read + 1 == length ? 0 : read + 1;
      y = (1.0f - fraction_) * y + fraction_ * line[next];
    }
    y = FlushTiny(y);
    output_[i] = y;
    previous = y;
    write = write + 1 == length ? 0 : write + 1;
  }
  write_ = write;
  previous_output_ = previous;
}

void ug_delay::Tail(int32_t position, int32_t count) {
  (this->*variant_)(position, count);
  const float* begin = output_ + position;
  const float* end = begin + count;
  // A NaN counts as sound.
  const bool silent = std::all_of(begin, end, [](float y) { return y == 0.0f; });
  if (!silent) {
    tail_countdown_ = TailLength();
    return;
  }
  tail_countdown_ -= count;
  if (tail_countdown_ > 0) return;
  SetProcessFunction(&ug_delay::SleepWhenIdle);
  plug(kSignalOut)
      ->Transmit(Master()->CellStart() + static_cast<uint32_t>(position + count), ST_STATIC);
}

}  // namespace ov
