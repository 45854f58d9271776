#include "media/wave_player.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>

#include "engine/audio_master.h"
#include "engine/data_files.h"
#include "modules/descriptors/plug_tables.h"

namespace ov {
namespace {

constexpr char kRestartSound[] = "For change to take effect, Restart sound";
constexpr uint32_t kWeightOne = 0x80000;  // the interpolation weights add up to this
constexpr float kHalfOfWeights = 1.0f / 1048576.0f;

template <typename T>
bool WritePointer(ByteRing& ring, T* pointer) {
  return ring.Write(std::as_bytes(std::span<T*, 1>(&pointer, 1)));
}

// Converts `count` samples from `bytes` in the file's format.
void Convert(const WaveData& wave, const uint8_t* bytes, int32_t count, float* out) {
  if (wave.format_tag == WaveData::kFloat) {
    std::memcpy(out, bytes, static_cast<std::size_t>(count) * sizeof(float));
  } else if (wave.bits == 8) {
    for (int32_t i = 0; i < count; ++i) out[i] = (bytes[i] - 128) * 0.00390625f;
  } else {
    for (int32_t i = 0; i < count; ++i) {
      const auto sample = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
      out[i] = sample * 0.000030517578125f;
    }
  }
}

// Every player of one file in an engine (voices above all) shares one copy,
// whether loaded at engine start or while it runs. Editor or media thread.
std::shared_ptr<const WaveData> SharedWave(const DataFiles* files, const std::string& name,
                                           std::string* message) {
  static std::mutex mutex;
  static std::map<std::pair<const DataFiles*, std::string>, std::weak_ptr<const WaveData>> open;
  std::lock_guard lock(mutex);
  std::erase_if(open, [](const auto& entry) { return entry.second.expired(); });
  const auto key = std::make_pair(files, name);
  if (auto it = open.find(key); it != open.end()) {
    message->clear();
    return it->second.lock();
  }
  std::shared_ptr<const WaveData> wave = LoadWave(files, name, message);
  if (wave) open[key] = wave;
  return wave;
}

}  // namespace

ug_wave_in::ug_wave_in() {
  file_name_.reserve(UPlug::kTextCapacity);
  open_name_.reserve(UPlug::kTextCapacity);
  SetProcessFunction(&ug_wave_in::DoNothing);
}

ug_wave_in::~ug_wave_in() {
  if (registered_) MediaFileThread::Instance().Unregister(*this);
}

std::unique_ptr<ug_base> ug_wave_in::CreateInstance() const {
  return std::make_unique<ug_wave_in>();
}

std::unique_ptr<ug_base> ug_wave_player::CreateInstance() const {
  return std::make_unique<ug_wave_player>();
}

void ug_wave_in::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  ListPlugs(kWaveInPlugs, descriptors);
}

void ug_wave_player::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  ug_wave_in::ListPlugs(kWavePlayerPlugs, descriptors);
}

void ug_wave_in::ListPlugs(PlugTable table, std::vector<InterfaceObject>& descriptors) {
  // "Wave Player" lists no "Mode": its mode stays "File".
  if (table.size() > kMode) {
    AppendPlugs(table, {gate_, pitch_, left_, right_, file_name_, mode_}, descriptors);
  } else {
    AppendPlugs(table, {gate_, pitch_, left_, right_, file_name_}, descriptors);
  }
}

void ug_wave_in::Open() {
  table_ = GetSineCInterpolationTable();
  renderer_ = &ug_wave_in::RenderSilent;
  silent_countdown_ = Master()->EngineBlockSize();
  playing_ = false;
  gate_state_ = ST_STOP;
  gate_high_ = false;
  // The base copies the inputs' values (the name among them); their status
  // changes follow as events on the audio thread.
  ug_base::Open();
  file_mode_ = mode_ == 0;
  if (!file_mode_) {
    SetProcessFunction(&ug_wave_in::DoNothing);
    return;
  }
  files_ = Master()->Host().MediaFiles();
  if (!wave_ || open_name_ != file_name_) LoadNow();
  wave_current_ = wave_ != nullptr;
  MediaFileThread::Instance().Register(*this);
  registered_ = true;
  SetProcessFunction(&ug_wave_in::RenderSilent);
}

void ug_wave_in::Close() {
  if (registered_) {
    MediaFileThread::Instance().Unregister(*this);
    registered_ = false;
  }
  // Audio is stopped and the media thread gone: this thread takes every
  // ring's far end too.
  Load* load = nullptr;
  while (loaded_.ReadValue(load)) delete load;
  while (retired_.ReadValue(load)) delete load;
  delete std::exchange(unsent_, nullptr);
  requests_.DiscardAll();
  pending_loads_ = 0;
  ug_base::Close();
}

void ug_wave_in::LoadNow() {
  open_name_ = file_name_;
  wave_.reset();
  if (file_name_.empty()) return;
  Load load;
  load.wave = SharedWave(files_, file_name_, &load.message);
  load.cant_open = !load.wave && load.message.starts_with("Can't open: ");
  ShowLoadMessage(load);
  wave_ = std::move(load.wave);
}

void ug_wave_in::ShowLoadMessage(const Load& load) {
  // Voice copies play the model's file: only the model speaks.
  if (load.message.empty() || (load.cant_open && cant_open_shown_) || (Flags() & UGF_CLONE) != 0) {
    return;
  }
  if (load.cant_open) cant_open_shown_ = true;
  RequestMessageBox(load.message);
}

bool ug_wave_in::ServeMedia() {
  bool worked = false;
  Load* done = nullptr;
  while (retired_.ReadValue(done)) {
    delete done;
    worked = true;
  }
  if (unsent_ != nullptr) {
    if (!WritePointer(loaded_, unsent_)) return worked;
    unsent_ = nullptr;
  }
  uint32_t length = 0;
  while (requests_.ReadValue(length)) {
    std::string name(length, '\0');
    requests_.Read(std::as_writable_bytes(std::span(name.data(), name.size())));
    auto load = std::make_unique<Load>();
    if (!name.empty()) {
      load->wave = SharedWave(files_, name, &load->message);
      load->cant_open = !load->wave && load->message.starts_with("Can't open: ");
    }
    worked = true;
    if (!WritePointer(loaded_, load.get())) {
      unsent_ = load.release();
      return worked;
    }
    load.release();
  }
  return worked;
}

void ug_wave_in::TakeLoadedFile() {
  Load* load = nullptr;
  // A load is taken only when its record can go back: a flood of loads
  // waits in its ring rather than leak.
  while (retired_.WritableSize() >= sizeof load && loaded_.ReadValue(load)) {
    ShowLoadMessage(*load);
    // The record goes back holding the file it replaces, so the media thread
    // frees that.
    std::swap(wave_, load->wave);
    // Only the last name asked for is current.
    wave_current_ = --pending_loads_ == 0;
    WritePointer(retired_, load);
  }
}

void ug_wave_in::RequestLoad(const std::string& name) {
  const auto length = static_cast<uint32_t>(name.size());
  if (!requests_.Write({std::as_bytes(std::span(&length, 1)),
                        std::as_bytes(std::span(name.data(), name.size()))})) {
    return;
  }
  open_name_ = name;  // reserved: never allocates
  wave_current_ = false;
  ++pending_loads_;
}

uint32_t ug_wave_in::Increment(float pitch) const {
  if (!wave_) return 0;
  // The rates' ratio last, so equal rates give whole octaves exactly.
  const double frames = std::exp2((static_cast<double>(pitch) - 0.5) * 10.0) * wave_->sample_rate /
                        Master()->SampleRate() * 16777216.0;
  if (!(frames > 0.0)) return 0;  // negative, or not a number
  return frames >= kMaxIncrement ? kMaxIncrement : static_cast<uint32_t>(frames);
}

uint32_t ug_wave_in::TimeAt(int32_t index) const {
  return Master()->CellStart() + static_cast<uint32_t>(index);
}

void ug_wave_in::OnStatusChange(uint32_t time, connector* link, int32_t state) {
  switch (link->Destination()->Number()) {
    case kGate:
      gate_state_ = std::max(state, static_cast<int32_t>(ST_STATIC));
      // Without a file the renderer stays silent; the gate process still
      // takes over a file the media thread loads.
      if (file_mode_) SetProcessFunction(&ug_wave_in::GateProcess);
      break;
    case kPitchShift:
      if (wave_) increment_ = Increment(plug(kPitchShift)->ValueAtClock());
      break;
    case kFileName:
      if (!file_mode_ || file_name_ == open_name_) break;
      silent_countdown_ = Master()->EngineBlockSize();
      RequestLoad(file_name_);
      StopPlaying();
      // Waits for the file and the next rising gate.
      SetProcessFunction(&ug_wave_in::GateProcess);
      break;
    case kMode:
      if (Clock() >= 6 && (Flags() & UGF_CLONE) == 0) RequestMessageBox(kRestartSound);
      break;
    default:
      break;
  }
  (void)time;
}

void ug_wave_in::StopPlaying() {
  playing_ = false;
  renderer_ = &ug_wave_in::RenderSilent;
}

void ug_wave_in::StartPlayback(int32_t index) {
  if (!wave_ || !wave_current_) return;
  playing_ = true;
  channels_ = wave_->channels;
  renderer_ = channels_ == 2 ? &ug_wave_in::Render<2> : &ug_wave_in::Render<1>;
  end_mark_ = kBufferSamples / channels_ - 4;
  fraction_ = 0;
  read_position_ = 0;
  // The fill moves the buffer's last frames to the front as history.
  std::fill(buffer_.end() - kHistoryFrames * channels_, buffer_.end(), 0.0f);
  FillBuffer();
  read_ = kHistoryFrames;
  plug(kLeftOut)->Transmit(TimeAt(index), ST_RUN);
  plug(kRightOut)->Transmit(TimeAt(index), ST_RUN);
  increment_ = Increment(plug(kPitchShift)->State() == ST_RUN ? pitch_[index]
                                                              : plug(kPitchShift)->ValueAtClock());
}

bool ug_wave_in::FillBuffer() {
  const WaveData& wave = *wave_;
  const uint64_t size = wave.samples.size();
  if (read_position_ >= size) {
    StopPlaying();
    silent_countdown_ = Master()->EngineBlockSize();
    return false;
  }
  const int32_t history = kHistoryFrames * channels_;
  std::copy(buffer_.end() - history, buffer_.end(), buffer_.begin());
  float* out = buffer_.data() + history;
  int32_t room = kBufferSamples - history;
  const uint32_t sample_bytes = wave.bits / 8u;
  const bool sustain = gate_high_ && wave.HasLoop();
  while (room > 0 && read_position_ < size) {
    const bool to_loop_end = sustain && read_position_ < wave.loop_end;
    const uint64_t stop = to_loop_end ? wave.loop_end : size;
    const auto count =
        static_cast<int32_t>(std::min<uint64_t>(room, (stop - read_position_) / sample_bytes));
    if (count == 0) break;
    Convert(wave, wave.samples.data() + read_position_, count, out);
    read_position_ += uint64_t{sample_bytes} * static_cast<uint64_t>(count);
    out += count;
    room -= count;
    if (to_loop_end && read_position_ == wave.loop_end) read_position_ = wave.loop_start;
  }
  std::fill(out, out + room, 0.0f);
  read_ -= kBufferSamples / channels_ - kHistoryFrames;
  return true;
}

void ug_wave_in::GateProcess(int32_t position, int32_t count) {
  TakeLoadedFile();
  if (gate_state_ != ST_RUN && gate_state_ != ST_STATIC) {
    (this->*renderer_)(position, count);
    return;
  }
  int32_t start = position;
  for (int32_t i = position; i < position + count; ++i) {
    const bool high = gate_[i] > 0.0f;
    if (high == gate_high_) continue;
    if (i > start) (this->*renderer_)(start, i - start);
    start = i;
    gate_high_ = high;
    if (high) StartPlayback(i);
  }
  (this->*renderer_)(start, position + count - start);
  if (gate_state_ == ST_STATIC) gate_state_ = ST_STOP;
}

template <int kChannels>
void ug_wave_in::Render(int32_t position, int32_t count) {
  const float* rows = table_->entries.data();
  const bool pitch_runs = plug(kPitchShift)->State() == ST_RUN;
  const int32_t end = position + count;
  for (int32_t i = position; i < end; ++i) {
    if (pitch_runs) increment_ = Increment(pitch_[i]);
    fraction_ += increment_;
    if (fraction_ > 0xFFFFFF) {
      read_ += static_cast<int32_t>(fraction_ >> 24);
      fraction_ &= 0xFFFFFF;
    }
    if (read_ >= end_mark_ && !FillBuffer()) {
      EndAt(i, end);
      return;
    }
    const float* row = rows + 8 * (fraction_ >> 19);
    const float* next_row = row + 8;
    const auto w = static_cast<float>(fraction_ & 0x7FFFF);
    const float w0 = static_cast<float>(kWeightOne) - w;
    const float* s = buffer_.data() + kChannels * (read_ - 3);
    float a = 0.0f;
    float b = 0.0f;
    for (int k = 0; k < 8; ++k) {
      a += row[k] * s[kChannels * k];
      b += next_row[k] * s[kChannels * k];
    }
    left_[i] = (a * w0 + b * w) * kHalfOfWeights;
    if constexpr (kChannels == 1) {
      right_[i] = left_[i];
    } else {
      float c = 0.0f;
      float d = 0.0f;
      for (int k = 0; k < 8; ++k) {
        c += row[k] * s[2 * k + 1];
        d += next_row[k] * s[2 * k + 1];
      }
      right_[i] = (c * w0 + d * w) * kHalfOfWeights;
    }
  }
}

void ug_wave_in::EndAt(int32_t index, int32_t end) {
  plug(kLeftOut)->Transmit(TimeAt(index), ST_STOP);
  plug(kRightOut)->Transmit(TimeAt(index), ST_STOP);
  silent_countdown_ -= end - index;
  std::fill(left_ + index, left_ + end, 0.0f);
  std::fill(right_ + index, right_ + end, 0.0f);
}

void ug_wave_in::RenderSilent(int32_t position, int32_t count) {
  if (silent_countdown_ >= 0) {
    std::fill(left_ + position, left_ + position + count, 0.0f);
    std::fill(right_ + position, right_ + position + count, 0.0f);
    silent_countdown_ -= count;
  }
  if (silent_countdown_ < 0 && gate_state_ != ST_RUN && gate_state_ != ST_STATIC) {
    SetProcessFunction(&ug_wave_in::SleepWhenIdle);
  }
}

}  // namespace ov
