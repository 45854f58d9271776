// A live sound device that calls its client once per period: a JACK client
// of its own (audio ports "out_1", "out_2", …, a MIDI input "midi_in" read
// exactly to the frame and a MIDI output "midi_out"), or an ALSA or
// PulseAudio stream through RtAudio, whose MIDI comes from ALSA sequencer
// ports time-stamped on arrival and placed in the next period, and goes to
// an ALSA sequencer port of ours "midi_out", sent as its frame sounds.
//
// Threads: Open, Start, Stop, Report and the destructor on the owner's
// thread; the client's Process and SendMidi on the device's audio thread;
// the counters from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ov {

enum class AudioBackend { kJack, kAlsa, kPulse };

std::optional<AudioBackend> ParseAudioBackend(std::string_view name);
const char* AudioBackendName(AudioBackend backend);

// One short MIDI message at its frame inside the period being processed.
struct DeviceMidi {
  uint32_t frame = 0;
  uint8_t size = 0;
  uint8_t bytes[3] = {};
};

// What a device asks of its user. Audio thread.
class AudioClient {
 public:
  virtual ~AudioClient() = default;
  // `midi`: what arrived for this period, in frame order, each frame below
  // `frames`; `first_source_midi`: what of it came from the first of the
  // settings' MIDI sources. Fills every output channel with `frames` samples.
  virtual void Process(std::span<const DeviceMidi> midi,
                       std::span<const DeviceMidi> first_source_midi, float* const* outputs,
                       uint32_t frames) = 0;
};

struct AudioDeviceSettings {
  // Empty: JACK when a server runs, else PulseAudio, else ALSA's default.
  std::optional<AudioBackend> backend;
  std::string client_name;  // the JACK client's name, the stream's elsewhere
  std::string device;       // JACK: the server; ALSA/PulseAudio: a device name
  uint32_t rate = 0;        // 0: the server's, else 48000
  uint32_t period = 256;    // frames; JACK keeps the server's
  uint32_t outputs = 2;
  bool connect = true;  // to the system's playback ports and MIDI sources
  // MIDI sources to connect to our input: JACK port names, or ALSA
  // sequencer ports ("client:port" or part of a port's name). JACK: the
  // first is connected to a second input, "first_in", too.
  std::vector<std::string> midi_sources;
};

class AudioDevice {
 public:
  // Null, with `error` naming what was tried and why it failed, when no
  // backend could be opened. Never waits for a server to start.
  static std::unique_ptr<AudioDevice> Open(const AudioDeviceSettings& settings,
                                           AudioClient* client, std::string* error);
  virtual ~AudioDevice() = default;
  AudioDevice(const AudioDevice&) = delete;
  AudioDevice& operator=(const AudioDevice&) = delete;

  AudioBackend Backend() const { return backend_; }
  uint32_t Rate() const { return rate_; }
  uint32_t Period() const { return period_; }

  // Starts calling the client, then connects ports as the settings ask.
  virtual bool Start(std::string* error) = 0;
  // Stops calling the client; on return no call is running.
  virtual void Stop() = 0;
  // Lines telling what was connected and how to change it.
  virtual std::vector<std::string> Report() const = 0;

  // Audio thread, from inside Process: sends a message at `frame` of the
  // period. False when it could not be sent (no room, or no output here).
  virtual bool SendMidi(uint32_t frame, std::span<const uint8_t> bytes) = 0;

  // Periods processed, and those whose Process used more processor time
  // than a period lasts; the most any period used, in thousandths of it.
  uint64_t Periods() const { return periods_.load(std::memory_order_relaxed); }
  uint64_t Overruns() const { return overruns_.load(std::memory_order_relaxed); }
  uint32_t PeakLoad() const { return peak_load_.load(std::memory_order_relaxed); }
  // Overruns the server or driver reported (JACK counts idle ones too).
  uint64_t DeviceXruns() const { return device_xruns_.load(std::memory_order_relaxed); }
  // MIDI messages dropped for want of room (long ones are never taken).
  uint64_t DroppedMidi() const { return dropped_midi_.load(std::memory_order_relaxed); }

 protected:
  AudioDevice(AudioBackend backend, AudioClient* client) : backend_(backend), client_(client) {}
  // Audio thread: runs the client over one period and counts an overrun.
  void RunClient(std::span<const DeviceMidi> midi, std::span<const DeviceMidi> first_source_midi,
                 float* const* outputs, uint32_t frames);

  AudioBackend backend_;
  AudioClient* client_;
  uint32_t rate_ = 0;
  uint32_t period_ = 0;
  std::atomic<uint64_t> periods_{0};
  std::atomic<uint64_t> overruns_{0};
  std::atomic<uint32_t> peak_load_{0};
  std::atomic<uint64_t> device_xruns_{0};
  std::atomic<uint64_t> dropped_midi_{0};
};

// The JACK and ALSA/PulseAudio halves behind Open.
std::unique_ptr<AudioDevice> OpenJackDevice(const AudioDeviceSettings& settings,
                                            AudioClient* client, std::string* error);
std::unique_ptr<AudioDevice> OpenStreamDevice(AudioBackend backend,
                                              const AudioDeviceSettings& settings,
                                              AudioClient* client, std::string* error);

}  // namespace ov
