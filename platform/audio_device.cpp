// The ALSA and PulseAudio streams (through RtAudio), the choice of backend,
// and what every backend shares.
#include "platform/audio_device.h"

#include <alsa/asoundlib.h>
#include <rtaudio/RtAudio.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/clock.h"
#include "platform/midi_ports.h"

namespace ov {

std::optional<AudioBackend> ParseAudioBackend(std::string_view name) {
  if (name == "jack") return AudioBackend::kJack;
  if (name == "alsa") return AudioBackend::kAlsa;
  if (name == "pulse") return AudioBackend::kPulse;
  return std::nullopt;
}

const char* AudioBackendName(AudioBackend backend) {
  switch (backend) {
    case AudioBackend::kJack:
      return "JACK";
    case AudioBackend::kAlsa:
      return "ALSA";
    case AudioBackend::kPulse:
      return "PulseAudio";
  }
  return "?";
}

void AudioDevice::RunClient(std::span<const DeviceMidi> midi,
                            std::span<const DeviceMidi> first_source_midi, float* const* outputs,
                            uint32_t frames) {
  // The work's own time: a thread preempted by others (a loaded machine, a
  // container's quota) is late through no fault of its own, which the
  // device's xrun count tells.
  const int64_t started = ThreadCpuNanoseconds();
  client_->Process(midi, first_source_midi, outputs, frames);
  const int64_t spent = ThreadCpuNanoseconds() - started;
  periods_.fetch_add(1, std::memory_order_relaxed);
  if (rate_ == 0 || frames == 0) return;
  const int64_t period = static_cast<int64_t>(frames) * 1000000000 / rate_;
  if (spent > period) overruns_.fetch_add(1, std::memory_order_relaxed);
  const auto load = static_cast<uint32_t>(std::min<int64_t>(spent * 1000 / period, 1000000));
  if (load > peak_load_.load(std::memory_order_relaxed)) {
    peak_load_.store(load, std::memory_order_relaxed);
  }
}

namespace {

constexpr uint32_t kDefaultRate = 48000;
constexpr std::size_t kMaxMidiPerPeriod = 512;
constexpr uint32_t kMaxChannels = 64;

// ALSA prints each step of a failed search for a card; the failure is
// reported once, in the error.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

// An RtAudio output stream; MIDI from ALSA sequencer ports, placed by its
// arrival time in the period after it arrived, and to a port of ours, sent
// when the audio of its frame is due to sound.
class StreamDevice final : public AudioDevice {
 public:
  StreamDevice(AudioBackend backend, AudioClient* client) : AudioDevice(backend, client) {}

  ~StreamDevice() override { Stop(); }

  bool Open(const AudioDeviceSettings& settings, std::string* error) {
    const RtAudio::Api api =
        backend_ == AudioBackend::kAlsa ? RtAudio::LINUX_ALSA : RtAudio::LINUX_PULSE;
    std::vector<RtAudio::Api> compiled;
    RtAudio::getCompiledApi(compiled);
    if (std::find(compiled.begin(), compiled.end(), api) == compiled.end()) {
      *error = std::string(AudioBackendName(backend_)) + " is not built into RtAudio here";
      return false;
    }
    if (settings.outputs == 0 || settings.outputs > kMaxChannels) {
      *error = "cannot play " + std::to_string(settings.outputs) + " channels";
      return false;
    }
    snd_lib_error_set_handler(&QuietAlsa);
    try {
      audio_ = std::make_unique<RtAudio>(api);
      audio_->showWarnings(false);
      const unsigned count = audio_->getDeviceCount();
      if (count == 0) {
        *error = std::string(AudioBackendName(backend_)) + " has no output device";
        return false;
      }
      RtAudio::StreamParameters output;
      output.deviceId = audio_->getDefaultOutputDevice();
      if (!settings.device.empty()) {
        bool found = false;
        for (unsigned i = 0; i < count && !found; ++i) {
          if (audio_->getDeviceInfo(i).name.find(settings.device) != std::string::npos) {
            output.deviceId = i;
            found = true;
          }
        }
        if (!found) {
          *error = std::string(AudioBackendName(backend_)) + " has no device named '" +
                   settings.device + "'";
          return false;
        }
      }
      device_name_ = audio_->getDeviceInfo(output.deviceId).name;
      output.nChannels = settings.outputs;
      RtAudio::StreamOptions options;
      options.flags = RTAUDIO_NONINTERLEAVED | RTAUDIO_MINIMIZE_LATENCY;
      options.streamName = settings.client_name;
      unsigned frames = settings.period;
      rate_ = settings.rate != 0 ? settings.rate : kDefaultRate;
      audio_->openStream(&output, nullptr, RTAUDIO_FLOAT32, rate_, &frames, &StreamDevice::Callback,
                         this, &options);
      period_ = frames;
      channels_ = settings.outputs;
      latency_ = static_cast<uint32_t>(std::max(audio_->getStreamLatency(), 0L));
    } catch (const RtAudioError& failure) {
      *error = std::string(AudioBackendName(backend_)) + ": " + failure.getMessage();
      return false;
    }
    // MIDI is optional here: a machine without a sequencer still plays.
    std::string midi_error;
    midi_ = MidiInputPorts::Open(settings.client_name, settings.midi_sources, settings.connect,
                                 &midi_error);
    if (midi_ == nullptr && !settings.midi_sources.empty()) {
      *error = midi_error;
      return false;
    }
    if (midi_ == nullptr) midi_report_ = "MIDI in: none (" + midi_error + ")";
    midi_out_ = MidiOutputPort::Open(settings.client_name, &midi_error);
    midi_out_report_ = midi_out_ != nullptr ? midi_out_->Report() : "MIDI out: none (" + midi_error + ")";
    return true;
  }

  bool Start(std::string* error) override {
    try {
      previous_start_ = MonotonicNanoseconds();
      audio_->startStream();
    } catch (const RtAudioError& failure) {
      *error = std::string(AudioBackendName(backend_)) + ": " + failure.getMessage();
      return false;
    }
    return true;
  }

  void Stop() override {
    if (audio_ == nullptr) return;
    try {
      if (audio_->isStreamRunning()) audio_->stopStream();
      if (audio_->isStreamOpen()) audio_->closeStream();
    } catch (const RtAudioError&) {
      // Closing a stream whose device went away: nothing is left to stop.
    }
  }

  std::vector<std::string> Report() const override {
    std::vector<std::string> lines{std::string(AudioBackendName(backend_)) + ": playing on '" +
                                   device_name_ + "' at " + std::to_string(rate_) + " Hz, " +
                                   std::to_string(period_) + " frames a period"};
    if (midi_ != nullptr) {
      for (const std::string& line : midi_->Report()) lines.push_back(line);
    } else {
      lines.push_back(midi_report_);
    }
    lines.push_back(midi_out_report_);
    return lines;
  }

  // Due as the frame's sound leaves the device: the period's start, the
  // stream's latency and the frame.
  bool SendMidi(uint32_t frame, std::span<const uint8_t> bytes) override {
    if (midi_out_ == nullptr || frame >= current_frames_ ||
        !midi_out_->Send(previous_start_ + static_cast<int64_t>(latency_ + frame) * 1000000000 / rate_,
                         bytes)) {
      dropped_midi_.fetch_add(1, std::memory_order_relaxed);
      return false;
    }
    return true;
  }

 private:
  // RtAudio's audio thread.
  static int Callback(void* output, void*, unsigned frames, double, RtAudioStreamStatus status,
                      void* user) {
    auto* self = static_cast<StreamDevice*>(user);
    if (status & RTAUDIO_OUTPUT_UNDERFLOW) {
      self->device_xruns_.fetch_add(1, std::memory_order_relaxed);
    }
    self->RunPeriod(static_cast<float*>(output), frames);
    return 0;
  }

  // What arrived since the last period starts at the frame that is as far
  // into this one as it came into the last.
  void RunPeriod(float* output, uint32_t frames) {
    const int64_t now = MonotonicNanoseconds();
    const int64_t span = std::max<int64_t>(1, now - previous_start_);
    std::size_t count = 0;
    std::size_t first_count = 0;
    if (midi_ != nullptr) {
      midi_->TakeUntil(now, [&](const StampedMidi& message, bool first_source) {
        if (count == midi_events_.size()) {
          dropped_midi_.fetch_add(1, std::memory_order_relaxed);
          return;
        }
        const int64_t into = std::max<int64_t>(0, message.nanoseconds - previous_start_);
        DeviceMidi& event = midi_events_[count++];
        event.frame = static_cast<uint32_t>(std::min<int64_t>(frames - 1, into * frames / span));
        event.size = message.size;
        std::memcpy(event.bytes, message.bytes, sizeof event.bytes);
        if (first_source) first_source_events_[first_count++] = event;
      });
      // Each port's messages come in order; several ports are merged.
      std::stable_sort(midi_events_.begin(), midi_events_.begin() + static_cast<std::ptrdiff_t>(count),
                       [](const DeviceMidi& a, const DeviceMidi& b) { return a.frame < b.frame; });
    }
    previous_start_ = now;
    current_frames_ = frames;
    for (uint32_t c = 0; c < channels_; ++c) channel_pointers_[c] = output + c * frames;
    RunClient(std::span(midi_events_.data(), count),
              std::span(first_source_events_.data(), first_count), channel_pointers_.data(),
              frames);
  }

  std::unique_ptr<RtAudio> audio_;
  std::unique_ptr<MidiInputPorts> midi_;
  // Destroyed before the stream, which Stop has ended by then.
  std::unique_ptr<MidiOutputPort> midi_out_;
  std::string device_name_;
  std::string midi_report_;
  std::string midi_out_report_;
  uint32_t channels_ = 0;
  uint32_t latency_ = 0;  // frames between a period's start and its sound
  // Audio thread, once started.
  int64_t previous_start_ = 0;  // the current period's start, within Process
  uint32_t current_frames_ = 0;
  std::array<DeviceMidi, kMaxMidiPerPeriod> midi_events_{};
  std::array<DeviceMidi, kMaxMidiPerPeriod> first_source_events_{};
  std::array<float*, kMaxChannels> channel_pointers_{};
};

}  // namespace

std::unique_ptr<AudioDevice> OpenStreamDevice(AudioBackend backend,
                                              const AudioDeviceSettings& settings,
                                              AudioClient* client, std::string* error) {
  auto device = std::make_unique<StreamDevice>(backend, client);
  if (!device->Open(settings, error)) return nullptr;
  return device;
}

std::unique_ptr<AudioDevice> AudioDevice::Open(const AudioDeviceSettings& settings,
                                               AudioClient* client, std::string* error) {
  if (settings.backend == AudioBackend::kJack) return OpenJackDevice(settings, client, error);
  if (settings.backend) return OpenStreamDevice(*settings.backend, settings, client, error);
  std::string tried;
  for (const AudioBackend backend : {AudioBackend::kJack, AudioBackend::kPulse, AudioBackend::kAlsa}) {
    std::string why;
    std::unique_ptr<AudioDevice> device =
        backend == AudioBackend::kJack ? OpenJackDevice(settings, client, &why)
                                       : OpenStreamDevice(backend, settings, client, &why);
    if (device != nullptr) return device;
    tried += (tried.empty() ? "" : "; ") + why;
  }
  *error = "no audio backend could be opened (" + tried + ")";
  return nullptr;
}

}  // namespace ov
