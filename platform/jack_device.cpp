// A JACK client of our own: audio out, MIDI in and out in the same process
// call, so incoming MIDI lands at the very frame JACK stamped it with.
#include <jack/jack.h>
#include <jack/midiport.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "platform/audio_device.h"

namespace ov {
namespace {

constexpr std::size_t kMaxMidiPerPeriod = 512;
constexpr uint32_t kMaxChannels = 64;

// libjack prints every failed attempt to find a server; the caller reports
// the outcome once instead.
void Quiet(const char*) {}

// The ports jack_get_ports lists, freed as JACK asks.
class PortList {
 public:
  PortList(jack_client_t* client, const char* type, unsigned long flags)
      : names_(jack_get_ports(client, nullptr, type, flags)) {}
  ~PortList() { jack_free(names_); }
  PortList(const PortList&) = delete;
  PortList& operator=(const PortList&) = delete;
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const char** name = names_; name != nullptr && *name != nullptr; ++name) {
      names.push_back(*name);
    }
    return names;
  }

 private:
  const char** names_;
};

class JackDevice final : public AudioDevice {
 public:
  explicit JackDevice(AudioClient* client) : AudioDevice(AudioBackend::kJack, client) {}

  ~JackDevice() override {
    Stop();
    if (client_handle_ != nullptr) jack_client_close(client_handle_);
  }

  bool Open(const AudioDeviceSettings& settings, std::string* error) {
    settings_ = settings;
    if (settings.outputs == 0 || settings.outputs > kMaxChannels) {
      *error = "cannot play " + std::to_string(settings.outputs) + " channels";
      return false;
    }
    jack_set_error_function(&Quiet);
    jack_set_info_function(&Quiet);
    jack_status_t status{};
    const int options = JackNoStartServer | (settings.device.empty() ? 0 : JackServerName);
    client_handle_ = settings.device.empty()
                         ? jack_client_open(settings.client_name.c_str(),
                                            static_cast<jack_options_t>(options), &status)
                         : jack_client_open(settings.client_name.c_str(),
                                            static_cast<jack_options_t>(options), &status,
                                            settings.device.c_str());
    if (client_handle_ == nullptr) {
      *error = (status & JackServerFailed) != 0 ? "JACK: no server is running"
                                                : "JACK: the client could not be opened";
      return false;
    }
    rate_ = jack_get_sample_rate(client_handle_);
    period_ = jack_get_buffer_size(client_handle_);
    if (settings.rate != 0 && settings.rate != rate_) {
      *error = "JACK: the server runs at " + std::to_string(rate_) + " Hz, not " +
               std::to_string(settings.rate);
      return false;
    }
    for (uint32_t c = 0; c < settings.outputs; ++c) {
      const std::string name = "out_" + std::to_string(c + 1);
      jack_port_t* port =
          jack_port_register(client_handle_, name.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
      if (port == nullptr) {
        *error = "JACK: port " + name + " could not be made";
        return false;
      }
      outputs_[c] = port;
    }
    channels_ = settings.outputs;
    midi_in_ = jack_port_register(client_handle_, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    midi_out_ =
        jack_port_register(client_handle_, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (!settings.midi_sources.empty()) {
      first_in_ = jack_port_register(client_handle_, "first_in", JACK_DEFAULT_MIDI_TYPE,
                                     JackPortIsInput, 0);
      if (first_in_ == nullptr) {
        *error = "JACK: the MIDI ports could not be made";
        return false;
      }
    }
    if (midi_in_ == nullptr || midi_out_ == nullptr) {
      *error = "JACK: the MIDI ports could not be made";
      return false;
    }
    jack_set_process_callback(client_handle_, &JackDevice::ProcessThunk, this);
    jack_set_xrun_callback(client_handle_, &JackDevice::XrunThunk, this);
    return true;
  }

  bool Start(std::string* error) override {
    if (jack_activate(client_handle_) != 0) {
      *error = "JACK: the client could not be activated";
      return false;
    }
    active_ = true;
    const std::string ours = jack_get_client_name(client_handle_);
    report_.push_back("JACK: client '" + ours + "' at " + std::to_string(rate_) + " Hz, " +
                      std::to_string(period_) + " frames a period");
    if (settings_.connect) {
      const std::vector<std::string> playback =
          PortList(client_handle_, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput)
              .Names();
      for (uint32_t c = 0; c < channels_ && c < playback.size(); ++c) {
        Connect(jack_port_name(outputs_[c]), playback[c]);
      }
      if (playback.empty()) report_.push_back("JACK: no playback ports to connect to");
      const std::vector<std::string> sources =
          PortList(client_handle_, JACK_DEFAULT_MIDI_TYPE, JackPortIsPhysical | JackPortIsOutput)
              .Names();
      for (const std::string& source : sources) Connect(source, jack_port_name(midi_in_));
      if (sources.empty()) report_.push_back("JACK: no hardware MIDI sources to connect");
    }
    for (const std::string& source : settings_.midi_sources) {
      if (!Connect(source, jack_port_name(midi_in_)) ||
          (&source == &settings_.midi_sources.front() &&
           !Connect(source, jack_port_name(first_in_)))) {
        *error = "JACK: no MIDI port named '" + source + "' to connect to " + ours + ":midi_in";
        return false;
      }
    }
    report_.push_back("JACK: change connections with jack_connect/jack_disconnect or a graph tool "
                      "(qpwgraph, QjackCtl); --no-connect leaves every port unconnected");
    return true;
  }

  void Stop() override {
    if (active_) jack_deactivate(client_handle_);
    active_ = false;
  }

  std::vector<std::string> Report() const override { return report_; }

  bool SendMidi(uint32_t frame, std::span<const uint8_t> bytes) override {
    if (midi_out_buffer_ == nullptr || frame >= current_frames_ ||
        frame < last_midi_out_frame_) {
      dropped_midi_.fetch_add(1, std::memory_order_relaxed);
      return false;
    }
    if (jack_midi_event_write(midi_out_buffer_, frame, bytes.data(), bytes.size()) != 0) {
      dropped_midi_.fetch_add(1, std::memory_order_relaxed);
      return false;
    }
    last_midi_out_frame_ = frame;
    return true;
  }

 private:
  bool Connect(const std::string& from, const std::string& to) {
    const int result = jack_connect(client_handle_, from.c_str(), to.c_str());
    if (result != 0 && result != EEXIST) return false;
    report_.push_back("JACK: connected " + from + " -> " + to);
    return true;
  }

  // JACK's process thread.
  static int ProcessThunk(jack_nframes_t frames, void* self) {
    static_cast<JackDevice*>(self)->Process(frames);
    return 0;
  }
  static int XrunThunk(void* self) {
    static_cast<JackDevice*>(self)->device_xruns_.fetch_add(1, std::memory_order_relaxed);
    return 0;
  }

  // The short messages at `port` this period, in JACK's order (by frame).
  std::size_t TakeMidi(jack_port_t* port, jack_nframes_t frames,
                       std::array<DeviceMidi, kMaxMidiPerPeriod>& taken) {
    void* buffer = jack_port_get_buffer(port, frames);
    const uint32_t arrived = jack_midi_get_event_count(buffer);
    std::size_t count = 0;
    for (uint32_t i = 0; i < arrived; ++i) {
      jack_midi_event_t event;
      if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0 || event.size > 3) continue;
      if (count == taken.size()) {
        dropped_midi_.fetch_add(1, std::memory_order_relaxed);
        continue;
      }
      DeviceMidi& message = taken[count++];
      message.frame = event.time < frames ? event.time : frames - 1;
      message.size = static_cast<uint8_t>(event.size);
      std::memcpy(message.bytes, event.buffer, event.size);
    }
    return count;
  }

  void Process(jack_nframes_t frames) {
    for (uint32_t c = 0; c < channels_; ++c) {
      channel_pointers_[c] = static_cast<float*>(jack_port_get_buffer(outputs_[c], frames));
    }
    const std::size_t count = TakeMidi(midi_in_, frames, midi_events_);
    const std::size_t first_count =
        first_in_ != nullptr ? TakeMidi(first_in_, frames, first_source_events_) : 0;
    midi_out_buffer_ = jack_port_get_buffer(midi_out_, frames);
    jack_midi_clear_buffer(midi_out_buffer_);
    current_frames_ = frames;
    last_midi_out_frame_ = 0;
    RunClient(std::span(midi_events_.data(), count),
              std::span(first_source_events_.data(), first_count), channel_pointers_.data(),
              frames);
    midi_out_buffer_ = nullptr;
  }

  AudioDeviceSettings settings_;
  jack_client_t* client_handle_ = nullptr;
  bool active_ = false;
  std::array<jack_port_t*, kMaxChannels> outputs_{};
  uint32_t channels_ = 0;
  jack_port_t* midi_in_ = nullptr;
  jack_port_t* midi_out_ = nullptr;
  jack_port_t* first_in_ = nullptr;  // only with MIDI sources asked for
  std::vector<std::string> report_;
  // Audio thread only.
  std::array<DeviceMidi, kMaxMidiPerPeriod> midi_events_{};
  std::array<DeviceMidi, kMaxMidiPerPeriod> first_source_events_{};
  std::array<float*, kMaxChannels> channel_pointers_{};
  void* midi_out_buffer_ = nullptr;
  uint32_t current_frames_ = 0;
  uint32_t last_midi_out_frame_ = 0;
};

}  // namespace

std::unique_ptr<AudioDevice> OpenJackDevice(const AudioDeviceSettings& settings,
                                            AudioClient* client, std::string* error) {
  auto device = std::make_unique<JackDevice>(client);
  if (!device->Open(settings, error)) return nullptr;
  return device;
}

}  // namespace ov
