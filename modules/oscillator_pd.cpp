#include "modules/oscillator_pd.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "engine/audio_master.h"
#include "engine/lookup_table.h"
#include "modules/descriptors/plug_tables.h"
#include "modules/oscillator.h"
#include "modules/plug_table.h"

namespace ov {
namespace {

struct WaveShape {
  bool resonant;
  std::span<const float> records;  // (a, b, c) triples
};

constexpr float kSaw[] = {0, 0, 0, 0.5f, 0.5f, -0.5f, 1, 1, 0};
constexpr float kSquare[] = {0,     0,     0,  0, 0, 0.25f, 0.5f, 0.5f, -0.25f,
                             0.5f, 0.5f, 0.25f, 1, 1, -0.25f, 1,    1,    0};
constexpr float kPulse[] = {0, 0, 0, 0, 0, 0.5f, 1, 1, -0.5f, 1, 1, 0};
constexpr float kDoubleSine[] = {0, 0, 0, 0.5f, 1, -0.5f, 1, 2, 0};
constexpr float kSawPulse[] = {0, 0, 0, 0.5f, 0.5f, 0, 1, 1, -0.5f, 1, 1, 0};
constexpr float kReso1[] = {0, 0, 1, 1, 1, 0};
constexpr float kReso2[] = {0, 0, 0, 0.5f, 0.5f, 1, 1, 1, 0};
constexpr float kReso3[] = {0, 0, 1, 0.5f, 0.5f, 1, 1, 1, 0};

constexpr WaveShape kShapes[] = {
    {false, kSaw},      {false, kSquare}, {false, kPulse}, {false, kDoubleSine},
    {false, kSawPulse}, {true, kReso1},   {true, kReso2},  {true, kReso3},
};

}  // namespace

std::unique_ptr<ug_base> ug_oscillator_pd::CreateInstance() const {
  return std::make_unique<ug_oscillator_pd>();
}

void ug_oscillator_pd::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kOscillatorPdPlugs, {pitch_, depth_, out_, wave1_, wave2_, freq_scale_},
              descriptors);
}

const std::array<float, ug_oscillator_pd::kCosineEntries>& ug_oscillator_pd::CosineTable() {
  static const std::array<float, kCosineEntries> table = [] {
    std::array<float, kCosineEntries> made{};
    for (int32_t j = 0; j < kCosineEntries; ++j) {
      made[j] = FlushTableValue(static_cast<float>(0.5 * std::cos(j * 2.0 * M_PI / 512.0)));
    }
    return made;
  }();
  return table;
}

float ug_oscillator_pd::Cosine(const std::array<float, kCosineEntries>& table, float cycles) {
  // Through 64 bits: a Reso wave reads up to 10.7 cycles.
  const auto p = static_cast<uint32_t>(
      static_cast<uint64_t>(static_cast<int64_t>(static_cast<double>(cycles) * 4294967296.0)));
  const uint32_t i = p >> 23;
  const float t = static_cast<float>(p & 0x7FFFFFu) * (1.0f / 8388608.0f);
  return table[i] + (table[i + 1] - table[i]) * t;
}

void ug_oscillator_pd::BuildSlots() {
  int32_t count = 0;
  slots_ = 0;
  for (const int16_t wave : {wave1_, wave2_}) {
    if (wave == kNone) continue;
    // Values no list offers (from a connected module) play Saw.
    const WaveShape& shape = kShapes[wave >= kSaw && wave <= kReso3 ? wave : int16_t{kSaw}];
    slot_start_[slots_] = count;
    resonant_[slots_] = shape.resonant;
    for (std::size_t r = 0; r + 2 < shape.records.size(); r += 3) {
      breakpoints_[count++] = {shape.records[r], shape.records[r + 1], shape.records[r + 2]};
    }
    slot_end_[slots_] = count;
    ++slots_;
  }
  slot_start_[slots_] = 0;
  slot_ = 0;
  current_ = 0;
}

void ug_oscillator_pd::UpdateIncrement(float pitch) {
  increment_ = ug_oscillator2::IncrementFor(*tables_, pitch, freq_scale_ == 1);
  silent_ = increment_ > kUpperIncrement;
}

void ug_oscillator_pd::SelectRender() {
  if (slots_ == 0 || (silent_ && !pitch_runs_)) {
    SetProcessFunction(&ug_oscillator_pd::RenderZeros);
  } else if (silent_) {
    SetProcessFunction(&ug_oscillator_pd::RenderSilentStreaming);
  } else if (pitch_runs_) {
    SetProcessFunction(&ug_oscillator_pd::Render<true>);
  } else {
    SetProcessFunction(&ug_oscillator_pd::Render<false>);
  }
}

void ug_oscillator_pd::StartAtClock(ug_base& generator) {
  auto& self = static_cast<ug_oscillator_pd&>(generator);
  if (!self.pitch_runs_) self.UpdateIncrement(self.SampleNow(self.pitch_));
  self.SelectRender();
}

void ug_oscillator_pd::Open() {
  tables_ = GetOscillatorTables(Master()->SampleRate());
  cosine_ = &CosineTable();
  ug_base::Open();
  increment_ = 0;
  silent_ = false;
  BuildSlots();
  dc_coefficient_ = static_cast<float>(2.0 * std::sin(21.99115 / Master()->SampleRate()));
  // The increment from the pitch's first value, once it has arrived.
  if (!QueueRunFunction(Clock(), &ug_oscillator_pd::StartAtClock)) StartAtClock(*this);
  SelectRender();
  plug(kAudioOut)->Transmit(Clock(), ST_RUN);
}

void ug_oscillator_pd::OnStatusChange(uint32_t, connector* link, int32_t state) {
  const int32_t changed = link->Destination()->Number();
  if (changed == kPitch) pitch_runs_ = state == ST_RUN;
  if ((changed == kPitch || changed == kFreqScale) && !pitch_runs_) {
    UpdateIncrement(SampleNow(pitch_));
  }
  if (changed == kWave1 || changed == kWave2) BuildSlots();
  SelectRender();
}

float ug_oscillator_pd::Shape(float w) {
  const Breakpoint* bp = breakpoints_.data();
  const int32_t first = slot_start_[slot_];
  const int32_t last = slot_end_[slot_] - 1;
  const float v = static_cast<float>(phase_ >> 9) * (1.0f / 8388608.0f);
  int32_t k = current_;
  if (resonant_[slot_]) {
    while (k < last - 1 && v >= bp[k + 1].position) ++k;
    while (k > first && v < bp[k].position) --k;
    current_ = k;
    const float width = bp[k + 1].position - bp[k].position;
    const float o = bp[k].shift + (bp[k + 1].shift - bp[k].shift) / width * (v - bp[k].position);
    return 0.5f - 0.5f * o + o * Cosine(*cosine_, v * (1.0f + 10.0f * w));
  }
  const auto knee = [&](int32_t j) { return bp[j].position + w * bp[j].shift; };
  while (k < last - 1 && v >= knee(k + 1)) ++k;
  while (k > first && v < knee(k)) --k;
  current_ = k;
  const float from = knee(k);
  const float width = knee(k + 1) - from;
  // A segment of no width is never the one v lies in; kept safe anyway.
  const float u = width > 0.0f
                      ? bp[k].phase + (bp[k + 1].phase - bp[k].phase) / width * (v - from)
                      : bp[k].phase;
  return Cosine(*cosine_, u);
}

void ug_oscillator_pd::AdvancePhase() {
  const uint32_t next = phase_ + increment_;
  if (next < phase_) {
    // A new cycle: the next wave slot, back to the first after the last.
    ++slot_;
    if (slot_ >= 2 || slot_start_[slot_] == 0) slot_ = 0;
    current_ = slot_start_[slot_];
  }
  phase_ = next;
}

template <bool kPitchRuns>
void ug_oscillator_pd::Render(int32_t position, int32_t count) {
  const float m = dc_coefficient_;
  for (int32_t i = position; i < position + count; ++i) {
    if constexpr (kPitchRuns) {
      UpdateIncrement(pitch_[i]);
      if (silent_) {
        SelectRender();
        std::fill(out_ + i, out_ + position + count, 0.0f);
        return;
      }
    }
    const float depth = depth_[i];
    // NaN counts as 0; 10 V and above act as 9.7 V.
    const float w = depth > 0.0f ? (depth < kMaxDepth ? depth : kMaxDepth) : 0.0f;
    const float s = Shape(w);
    out_[i] = s - dc_;
    dc_ -= m * (dc_ - s);
    AdvancePhase();
  }
}

void ug_oscillator_pd::RenderSilentStreaming(int32_t position, int32_t count) {
  UpdateIncrement(pitch_[position]);
  if (!silent_) {
    SelectRender();
    Render<true>(position, count);
    return;
  }
  RenderZeros(position, count);
}

void ug_oscillator_pd::RenderZeros(int32_t position, int32_t count) {
  std::fill_n(out_ + position, count, 0.0f);
}

}  // namespace ov
