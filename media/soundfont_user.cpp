#include "media/soundfont_user.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace ov {
namespace {

constexpr float kWeightOne = 524288.0f;  // 0x80000: the two row weights add up to this
constexpr float kOutputScale = 1.0f / 68719476736.0f;  // 2^-36: full scale plays at 0.25

template <typename T>
bool WritePointer(ByteRing& ring, T* pointer) {
  return ring.Write(std::as_bytes(std::span<T*, 1>(&pointer, 1)));
}

}  // namespace

ug_soundfont_user::ug_soundfont_user() = default;

ug_soundfont_user::~ug_soundfont_user() {
  CloseUser();
  ReleaseBank();
  soundfont_bank* bank = nullptr;
  while (handover_.ReadValue(bank)) {
    if (bank->Release()) delete bank;
  }
}

bool ug_soundfont_user::HandOver(soundfont_bank* bank) {
  if (bank == nullptr) return false;
  bank->AddRef();
  if (WritePointer(handover_, bank)) return true;
  if (bank->Release()) delete bank;
  return false;
}

void ug_soundfont_user::OpenUser() {
  table_ = GetSineCInterpolationTable();
  rows_ = table_->entries.data();
  zone_playing_ = false;
  ReleaseBank();
  bank_ = source_ != nullptr ? source_->AcquireBank() : nullptr;
  data_ = bank_ != nullptr ? bank_->SampleData() : std::span<const float>();
  if (bank_ != nullptr) bank_->SetBank(soundfont_bank::kDrumChannel, soundfont_bank::kDrumBank);
  if (!registered_) {
    MediaFileThread::Instance().Register(*this);
    registered_ = true;
  }
}

void ug_soundfont_user::CloseUser() {
  if (registered_) {
    MediaFileThread::Instance().Unregister(*this);
    registered_ = false;
  }
  // The media thread is gone for this client: what it would free goes here.
  soundfont_bank* bank = nullptr;
  while (retired_.ReadValue(bank)) delete bank;
  for (soundfont_bank*& slot : unretired_) delete std::exchange(slot, nullptr);
}

bool ug_soundfont_user::ServeMedia() {
  bool worked = false;
  soundfont_bank* bank = nullptr;
  while (retired_.ReadValue(bank)) {
    delete bank;
    worked = true;
  }
  return worked;
}

void ug_soundfont_user::ReleaseBank() {
  soundfont_bank* bank = std::exchange(bank_, nullptr);
  data_ = {};
  zone_playing_ = false;
  if (bank != nullptr) Retire(bank);
}

void ug_soundfont_user::Retire(soundfont_bank* bank) {
  if (!bank->Release()) return;
  // Deleting frees memory: not on the audio thread. What the full ring
  // cannot take waits for the generator to close.
  if (!registered_) {
    delete bank;
    return;
  }
  if (WritePointer(retired_, bank)) return;
  for (soundfont_bank*& slot : unretired_) {
    if (slot == nullptr) {
      slot = bank;
      return;
    }
  }
  delete bank;  // only after a flood of loads within milliseconds
}

bool ug_soundfont_user::TakeNotification(int32_t kind, int32_t channels) {
  if (kind == kNotifyChoices) {
    if (bank_ != nullptr && source_ != nullptr) {
      for (int32_t channel = 0; channel < channels; ++channel) {
        const SoundfontChoice choice = source_->Choice(channel);
        bank_->SetBank(channel, choice.bank);
        bank_->SetPreset(channel, static_cast<int8_t>(choice.preset));
      }
    }
    return true;
  }
  if (kind == kNotifyNewBank) {
    TakeHandedBank();
    return true;
  }
  return false;
}

void ug_soundfont_user::ReplaceBank(soundfont_bank* bank) {
  OnBankGone();
  ReleaseBank();
  if (bank == nullptr) return;
  bank->AddRef();
  bank_ = bank;
  data_ = bank->SampleData();
  bank->SetBank(soundfont_bank::kDrumChannel, soundfont_bank::kDrumBank);
}

void ug_soundfont_user::TakeHandedBank() {
  soundfont_bank* bank = nullptr;
  // Only the newest counts; older ones go back.
  soundfont_bank* newest = nullptr;
  while (handover_.ReadValue(bank)) {
    if (newest != nullptr) Retire(newest);
    newest = bank;
  }
  if (newest == nullptr) return;
  for (ug_soundfont_user* user = this; user != nullptr; user = user->NextUser()) {
    user->ReplaceBank(newest);
  }
  // The hand-over's own reference; every generator now holds one.
  Retire(newest);
}

uint32_t ug_soundfont_user::IncrementFor(double octaves, double sample_rate, double engine_rate) {
  if (!(engine_rate > 0.0)) return 0;
  const double increment = std::exp2(octaves) * (sample_rate / engine_rate) * 16777216.0;
  if (!(increment > 0.0)) return 0;  // negative, or not a number
  return increment >= static_cast<double>(kMaxIncrement) ? static_cast<uint32_t>(kMaxIncrement)
                                                         : static_cast<uint32_t>(increment);
}

namespace {

// Four floats the compiler keeps in one vector register.
using Float4 = float __attribute__((vector_size(16)));

Float4 Load4(const float* at) {
  Float4 v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

[[gnu::always_inline]] inline float InterpolateAt(const float* rows, std::span<const float> data,
                                                  int64_t position, uint32_t fraction) {
  const float* row = rows + 8 * (fraction >> 19);
  const float* next = row + 8;
  const auto w = static_cast<float>(fraction & 0x7FFFF);
  const float w0 = kWeightOne - w;
  const int64_t first = position - 3;
  float s[8];
  if (first >= 0 && first + 8 <= static_cast<int64_t>(data.size())) {
    std::memcpy(s, data.data() + first, sizeof s);
  } else {
    // Taps outside the sample data read 0.
    for (int k = 0; k < 8; ++k) {
      const int64_t at = first + k;
      s[k] = at < 0 || at >= static_cast<int64_t>(data.size()) ? 0.0f
                                                               : data[static_cast<std::size_t>(at)];
    }
  }
  // Four taps at a time: each lane holds taps k and k + 4 of both rows,
  // blended by the weights.
  const Float4 low = Load4(s);
  const Float4 high = Load4(s + 4);
  const Float4 a = Load4(row) * low + Load4(row + 4) * high;
  const Float4 b = Load4(next) * low + Load4(next + 4) * high;
  const Float4 v = a * w0 + b * w;
  return ((v[0] + v[1]) + (v[2] + v[3])) * kOutputScale;
}

}  // namespace

float ug_soundfont_user::Interpolate(const float* rows, std::span<const float> data,
                                     int64_t position, uint32_t fraction) {
  return InterpolateAt(rows, data, position, fraction);
}

ug_soundfont_user::Start ug_soundfont_user::StartZone(int32_t channel, int32_t key,
                                                      int32_t velocity) {
  zone_playing_ = false;
  const Jzone* zone = bank_ != nullptr ? bank_->FindZone(channel, key, velocity) : nullptr;
  if (zone == nullptr) return Start::kNoZone;
  const SfSampleHeader* primary = bank_->Sample(static_cast<uint16_t>(zone->gen[kGenSampleId]));
  if (primary == nullptr) return Start::kNoZone;
  if ((primary->type & kSampleRom) != 0) return Start::kRom;
  const SfSampleHeader* secondary = nullptr;
  if ((primary->type & kSampleMono) == 0) {
    secondary = bank_->Sample(primary->link);
    // A left sample and its right partner: the right one leads.
    if (secondary != nullptr && (primary->type & kSampleLeft) != 0) std::swap(primary, secondary);
  }
  gens_ = zone->gen;
  const auto gen = [&](int32_t number) { return static_cast<int64_t>(gens_[number]); };
  const auto size = static_cast<int64_t>(data_.size());
  const auto clamp = [size](int64_t position) { return std::clamp<int64_t>(position, 0, size); };
  start_ = clamp(primary->start + gen(kGenStartOffset) + 32768 * gen(kGenStartCoarseOffset));
  end_ = clamp(primary->end + gen(kGenEndOffset) + 32768 * gen(kGenEndCoarseOffset));
  loop_start_ = clamp(primary->loop_start + gen(kGenStartLoopOffset) +
                      32768 * gen(kGenStartLoopCoarseOffset));
  loop_end_ =
      clamp(primary->loop_end + gen(kGenEndLoopOffset) + 32768 * gen(kGenEndLoopCoarseOffset));
  read_ = start_;
  secondary_offset_ =
      secondary != nullptr ? static_cast<int64_t>(secondary->start) - primary->start : 0;
  mode_ = gens_[kGenSampleModes] & 3;
  if ((gens_[kGenSampleModes] & 1) == 0) loop_end_ = end_;
  // A loop without length cannot repeat: it plays once.
  if (loop_end_ - loop_start_ <= 0) mode_ = 0;
  current_end_ = std::min(loop_end_, end_);
  loop_released_ = false;
  primary_ = primary;
  secondary_ = secondary;
  zone_playing_ = true;
  return Start::kPlaying;
}

bool ug_soundfont_user::Advance() {
  fraction_ += increment_;
  if (fraction_ <= 0xFFFFFF) return true;
  read_ += fraction_ >> 24;
  fraction_ &= 0xFFFFFF;
  return read_ < current_end_ || Wrap();
}

template <bool kStereo>
int32_t ug_soundfont_user::RenderRun(float* left, float* right, int32_t count, float& level,
                                     float step) {
  const std::span<const float> data = data_;
  const float* rows = rows_;
  const uint32_t increment = increment_;
  uint32_t fraction = fraction_;
  int64_t read = read_;
  float gain = level;
  int32_t i = 0;
  for (; i < count; ++i) {
    fraction += increment;
    if (fraction > 0xFFFFFF) {
      read += fraction >> 24;
      fraction &= 0xFFFFFF;
      if (read >= current_end_) {
        read_ = read;
        if (!Wrap()) break;
        read = read_;
      }
    }
    gain += step;
    const float primary = InterpolateAt(rows, data, read, fraction) * gain;
    if constexpr (kStereo) {
      left[i] = InterpolateAt(rows, data, read + secondary_offset_, fraction) * gain;
    } else {
      left[i] = primary;
    }
    right[i] = primary;
  }
  fraction_ = fraction;
  read_ = read;
  level = gain;
  return i;
}

template int32_t ug_soundfont_user::RenderRun<false>(float*, float*, int32_t, float&, float);
template int32_t ug_soundfont_user::RenderRun<true>(float*, float*, int32_t, float&, float);

bool ug_soundfont_user::Wrap() {
  if (mode_ == 0 || (mode_ == 3 && loop_released_)) {
    current_end_ = end_;
    return read_ < end_;
  }
  const int64_t length = loop_end_ - loop_start_;
  // The remainder takes the dividend's sign: an overshoot of d past the
  // loop end goes on d before the loop start.
  read_ = loop_start_ + (loop_end_ - read_) % length;
  return true;
}

}  // namespace ov
