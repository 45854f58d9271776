#include "media/wave_recorder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/audio_master.h"
#include "engine/data_files.h"
#include "engine/ug_container.h"
#include "media/recording_target.h"
#include "modules/descriptors/plug_tables.h"
#include "platform/clock.h"
#include "platform/sound_player.h"

namespace ov {
namespace {

constexpr char kRestartSound[] = "For change to take effect, Restart sound";
// The header's sizes are 32-bit: the data stops at the last whole buffer
// that keeps the file under 4 GiB.
constexpr uint64_t kMaxDataBytes = (0xFFFFFFFFull - ug_wave_out::kHeaderBytes) /
                                   ug_wave_out::kBufferBytes * ug_wave_out::kBufferBytes;
constexpr double kRingSeconds = 2.0;

void StoreLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void StoreLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Whether a real source feeds the input (not a container's constant).
bool FedBySignal(const UPlug& input) {
  const std::vector<connector*>& links = input.Connectors();
  return !links.empty() &&
         dynamic_cast<const ug_io_mod*>(&links.front()->Source()->Owner()) == nullptr;
}

}  // namespace

ug_wave_out::ug_wave_out() { file_name_.reserve(UPlug::kTextCapacity); }

ug_wave_out::~ug_wave_out() {
  if (registered_) MediaFileThread::Instance().Unregister(*this);
}

std::unique_ptr<ug_base> ug_wave_out::CreateInstance() const {
  return std::make_unique<ug_wave_out>();
}

std::unique_ptr<ug_base> ug_wave_recorder::CreateInstance() const {
  return std::make_unique<ug_wave_recorder>();
}

void ug_wave_out::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kWaveOutPlugs,
              {left_, right_, file_name_, mode_, time_limit_, play_, report_, format_},
              descriptors);
}

void ug_wave_recorder::ListPlugs(std::vector<InterfaceObject>& descriptors) {
  AppendPlugs(kWaveRecorderPlugs, {left_, right_, file_name_, format_, time_limit_, play_, report_},
              descriptors);
}

void ug_wave_out::Open() {
  // The base copies the inputs' values first.
  ug_base::Open();
  SetProcessFunction(&ug_wave_out::DoNothing);
  const int16_t mode = fixed_file_mode_ ? int16_t{kModeFile} : mode_;
  channels_ = FedBySignal(*plug(kRight)) ? 2 : 1;
  bits_ = format_ == 1 ? 32 : 16;
  recording_ = false;
  fill_ = 0;
  bytes_handed_ = 0;
  bytes_written_ = 0;
  dropped_ = 0;
  write_failed_ = false;
  failure_reported_ = false;
  if (mode == kModeSpeaker) return;  // no sound card here: nothing to write
  if (mode == kModeFile && !file_name_.empty()) OpenFile();
  started_ms_ = MillisecondClock();
  ScheduleStop();
}

void ug_wave_out::OpenFile() {
  std::optional<RecordingTake> take = CreateTake(*this, file_name_, "wav");
  if (!take) return;
  file_ = std::move(take->file);
  path_ = take->path;
  if (!WriteHeader()) {
    RequestMessageBox("Error writing file header");
    Master()->RequestStop();
    return;
  }
  const double bytes_per_second =
      static_cast<double>(Master()->SampleRate()) * channels_ * (bits_ / 8);
  const auto buffers =
      static_cast<uint32_t>(std::ceil(bytes_per_second * kRingSeconds / kBufferBytes));
  ring_ = std::make_unique<ByteRing>(std::max(buffers, 2u) * kBufferBytes);
  MediaFileThread::Instance().Register(*this);
  registered_ = true;
  recording_ = true;
  const bool floats = bits_ == 32;
  if (channels_ == 2) {
    SetProcessFunction(floats ? &ug_wave_out::Write<true, 2> : &ug_wave_out::Write<false, 2>);
  } else {
    SetProcessFunction(floats ? &ug_wave_out::Write<true, 1> : &ug_wave_out::Write<false, 1>);
  }
}

void ug_wave_out::ScheduleStop() {
  // At least one sample, and never beyond half the clock's range.
  double samples = std::trunc(static_cast<double>(Master()->SampleRate()) * time_limit_);
  if (!(samples >= 1.0)) samples = 1.0;
  samples = std::min(samples, 2147483647.0);
  stop_time_ = Clock() + static_cast<uint32_t>(samples) - 1;
  QueueRunFunction(stop_time_, &ug_wave_out::TimeIsUp);
}

void ug_wave_out::TimeIsUp(ug_base& generator) { generator.Master()->RequestStop(); }

void ug_wave_out::HandOver() {
  if (write_failed_.load(std::memory_order_relaxed)) {
    if (!failure_reported_) {
      failure_reported_ = true;
      RequestMessageBox("Error writing file");
      Master()->RequestStop();
    }
    recording_ = false;
    return;
  }
  if (fill_ == 0) return;
  const auto size = static_cast<uint32_t>(fill_);
  fill_ = 0;
  if (bytes_handed_ + size > kMaxDataBytes) {
    RequestMessageBox("The WAVE file has reached 4 GB: recording stopped");
    recording_ = false;
    return;
  }
  if (!MediaFileThread::WaitForRoom(*ring_, size, Master()->Host().RendersOffline())) {
    ++dropped_;  // the disk has fallen two seconds behind
    return;
  }
  ring_->Write(std::as_bytes(std::span(buffer_.data(), size)));
  bytes_handed_ += size;
}

template <bool kFloat, int kChannels>
void ug_wave_out::Write(int32_t position, int32_t count) {
  if (!recording_) return;
  constexpr int32_t kFrameBytes = kChannels * (kFloat ? 4 : 2);
  // The take ends with the sample the stop request is stamped on, and the
  // slice's own samples decide it: no scheduled event has to come for it.
  const int32_t left = static_cast<int32_t>(stop_time_ - Clock()) + 1;
  const int32_t frames = std::clamp(left, 0, count);
  for (int32_t i = position; i < position + frames && recording_; ++i) {
    uint8_t* out = buffer_.data() + fill_;
    for (int32_t c = 0; c < kChannels; ++c) {
      float x = c == 0 ? left_[i] : right_[i];
      if (std::isnan(x)) x = 0.0f;
      if constexpr (kFloat) {
        uint32_t bits;
        std::memcpy(&bits, &x, sizeof bits);
        StoreLe32(out, bits);
        out += 4;
      } else {
        const float clamped = std::clamp(x, -0.999f, 0.999f);
        StoreLe16(out,
                  static_cast<uint16_t>(static_cast<int16_t>(std::lround(clamped * 32768.0f))));
        out += 2;
      }
    }
    fill_ += kFrameBytes;
    // A full buffer goes to the media thread at once: every buffer's worth
    // of samples.
    if (fill_ + kFrameBytes > kBufferBytes) HandOver();
  }
  if (recording_ && left <= count) {
    HandOver();
    recording_ = false;
  }
}

bool ug_wave_out::ServeMedia() { return WriteQueued(); }

bool ug_wave_out::WriteQueued() {
  return MediaFileThread::DrainToFile(*ring_, file_, kHeaderBytes, bytes_written_, write_failed_,
                                      [this] { return WriteHeader(); });
}

bool ug_wave_out::WriteHeader() {
  const auto rate = static_cast<uint32_t>(Master()->SampleRate());
  const auto data = static_cast<uint32_t>(bytes_written_);
  std::array<uint8_t, kHeaderBytes> header{};
  std::memcpy(&header[0], "RIFF", 4);
  StoreLe32(&header[4], data + 36);
  std::memcpy(&header[8], "WAVEfmt ", 8);
  StoreLe32(&header[16], 16);
  StoreLe16(&header[20], bits_ == 32 ? 3 : 1);
  StoreLe16(&header[22], static_cast<uint16_t>(channels_));
  StoreLe32(&header[24], rate);
  StoreLe32(&header[28], rate * static_cast<uint32_t>(channels_ * bits_ / 8));
  StoreLe16(&header[32], static_cast<uint16_t>(channels_ * (bits_ / 8)));
  StoreLe16(&header[34], static_cast<uint16_t>(bits_));
  std::memcpy(&header[36], "data", 4);
  StoreLe32(&header[40], data);
  return file_.WriteAt(0, header);
}

void ug_wave_out::FinishTake() {
  // Audio has stopped and the media thread let go: this thread owns both
  // ends of the ring and the file now.
  WriteQueued();
  if (!write_failed_ && recording_ && fill_ > 0 && bytes_handed_ + fill_ <= kMaxDataBytes) {
    const std::span<const uint8_t> rest(buffer_.data(), static_cast<std::size_t>(fill_));
    if (file_.WriteAt(kHeaderBytes + bytes_written_, rest)) {
      bytes_written_ += rest.size();
    } else {
      write_failed_ = true;
    }
    fill_ = 0;
  }
  recording_ = false;
  if (write_failed_ && !failure_reported_) RequestMessageBox("Error writing file");
  if (!WriteHeader() || !file_.Close()) {
    RequestMessageBox("Error writing file header");
    Master()->RequestStop();
  }
  if (dropped_ > 0) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "%u buffers of sound were lost: the disk could not keep up with the recording",
                  dropped_);
    RequestMessageBox(text);
  }
  if (bytes_written_ == 0) {
    RemoveFile(path_);  // a take without frames
  } else if (play_) {
    CurrentSoundPlayer().Play(path_);
  }
}

void ug_wave_out::ReportStats() {
  double elapsed = static_cast<uint32_t>(MillisecondClock() - started_ms_) * 0.001;
  if (elapsed <= 0.0) elapsed = 0.001;  // faster than the clock can tell
  const double rendered = Clock() / static_cast<double>(Master()->SampleRate());
  char text[200];
  std::snprintf(text, sizeof text,
                "%.1f seconds of sound rendered in %.2f s.  Efficiency = %.2f%%\n", rendered,
                elapsed, rendered / elapsed * 100.0);
  RequestMessageBox(text);
}

void ug_wave_out::Close() {
  if (registered_) {
    MediaFileThread::Instance().Unregister(*this);
    registered_ = false;
  }
  if (file_.IsOpen()) FinishTake();
  ring_.reset();
  const int16_t mode = fixed_file_mode_ ? int16_t{kModeFile} : mode_;
  if (report_ && (mode == kModeFile || mode == kModeNoAudio)) ReportStats();
  ug_base::Close();
}

void ug_wave_out::OnStatusChange(uint32_t, connector* link, int32_t) {
  const int32_t changed = link->Destination()->Number();
  if (Clock() >= 6 && (changed == kFileName || changed == kMode)) {
    RequestMessageBox(kRestartSound);
  }
}

}  // namespace ov
