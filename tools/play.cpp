#include "tools/play.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <thread>

#include "host/vendor_queries.h"
#include "media/midi_file.h"
#include "platform/clock.h"
#include "platform/midi_ports.h"
#include "platform/text.h"
#include "tools/block_events.h"
#include "tools/play_take.h"
#include "tools/plugin_window.h"
#include "tools/vst_plugin.h"

namespace ov {
namespace {

constexpr const char* kName = "orvane play";
constexpr int kNoDeviceExit = 2;
constexpr auto kIdlePeriod = std::chrono::milliseconds(20);
// Frames one process call may cover; devices asking for more get silence.
constexpr uint32_t kMaxFrames = 8192;
constexpr std::size_t kMaxEventsPerPeriod = 512;

std::atomic<bool> g_stop_requested{false};
std::atomic<bool> g_counts_requested{false};

void RequestStop(int) { g_stop_requested.store(true); }
void RequestCounts(int) { g_counts_requested.store(true); }

// The device the plug-in's MIDI output goes to while it plays; a program
// plays one plug-in.
std::atomic<AudioDevice*> g_device{nullptr};

// The plug-in sends its MIDI from inside its process call, on the audio
// thread: it goes straight to the device's output port. Other questions
// are answered as `orvane show` answers them.
intptr_t PlayHost(vst2::AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                  float opt) {
  if (opcode != vst2::audioMasterProcessEvents) {
    return PrintingHost(effect, opcode, index, value, ptr, opt);
  }
  AudioDevice* device = g_device.load(std::memory_order_acquire);
  const auto* events = static_cast<const vst2::VstEvents*>(ptr);
  if (device == nullptr || events == nullptr) return 0;
  for (int32_t i = 0; i < events->numEvents; ++i) {
    const vst2::VstEvent* event = events->events[i];
    if (event == nullptr || event->type != vst2::kVstMidiType) continue;
    const auto* midi = reinterpret_cast<const vst2::VstMidiEvent*>(event);
    const auto* bytes = reinterpret_cast<const uint8_t*>(midi->midiData);
    const std::size_t size = ChannelMessageSize(bytes[0]);
    if (size == 0) continue;
    device->SendMidi(static_cast<uint32_t>(std::max(0, midi->deltaFrames)),
                     std::span(bytes, size));
  }
  return 1;
}

// The computer keyboard as a piano: the home row plays the white keys from
// C, the row above it the black keys; Z and X move an octave down and up.
// Main thread; its notes reach the audio thread through `notes`.
class ComputerKeyboard {
 public:
  explicit ComputerKeyboard(MidiQueue& notes) : notes_(notes) { playing_.fill(-1); }

  void Take(const X11TopWindow::Key& key) {
    if (key.symbol == 'z' || key.symbol == 'x') {
      if (key.pressed) base_ = std::clamp(base_ + (key.symbol == 'z' ? -12 : 12), 0, 120);
      return;
    }
    constexpr std::pair<unsigned long, int> kKeys[] = {
        {'a', 0},  {'w', 1},  {'s', 2},  {'e', 3},  {'d', 4},  {'f', 5},
        {'t', 6},  {'g', 7},  {'y', 8},  {'h', 9},  {'u', 10}, {'j', 11},
        {'k', 12}, {'o', 13}, {'l', 14}, {'p', 15}, {';', 16}, {'\'', 17}};
    const auto found = std::find_if(std::begin(kKeys), std::end(kKeys),
                                    [&](const auto& entry) { return entry.first == key.symbol; });
    if (found == std::end(kKeys)) return;
    int& playing = playing_[static_cast<std::size_t>(found - std::begin(kKeys))];
    // A held key repeats its presses; the note it started ends with it,
    // whatever the octave is by then.
    if (key.pressed == (playing >= 0)) return;
    if (key.pressed) playing = std::min(base_ + found->second, 127);
    StampedMidi message;
    message.nanoseconds = MonotonicNanoseconds();
    message.size = 3;
    message.bytes[0] = key.pressed ? 0x90 : 0x80;
    message.bytes[1] = static_cast<uint8_t>(playing);
    message.bytes[2] = key.pressed ? kVelocity : 0;
    notes_.Push(message);
    if (!key.pressed) playing = -1;
  }

 private:
  static constexpr uint8_t kVelocity = 100;
  MidiQueue& notes_;
  int base_ = 60;  // the note of 'a'
  std::array<int, 18> playing_;
};

// Runs the plug-in over each period the device asks for. Audio thread,
// apart from construction.
class PluginClient final : public AudioClient {
 public:
  PluginClient(vst2::AEffect* effect, uint32_t channels)
      : effect_(effect),
        channels_(channels),
        events_(kMaxEventsPerPeriod),
        first_source_events_(kMaxEventsPerPeriod),
        silence_(static_cast<std::size_t>(std::max(effect->numInputs, 0)),
                 std::vector<float>(kMaxFrames, 0.0f)) {
    for (std::vector<float>& channel : silence_) inputs_.push_back(channel.data());
    if (inputs_.empty()) inputs_.push_back(nullptr);
  }

  void Process(std::span<const DeviceMidi> midi, std::span<const DeviceMidi> first_source_midi,
               float* const* outputs, uint32_t frames) override {
    if (frames > kMaxFrames) {
      for (int32_t c = 0; c < effect_->numOutputs; ++c) std::fill_n(outputs[c], frames, 0.0f);
      return;
    }
    events_.Clear();
    // The computer keyboard's notes start the period: it is not played to
    // the frame.
    while (const StampedMidi* note = keyboard_.Front()) {
      events_.Add(0, note->bytes, note->size);
      keyboard_.PopFront();
    }
    if (Fill(midi, events_) > 0) {
      effect_->dispatcher(effect_, vst2::effProcessEvents, 0, 0,
                          const_cast<vst2::VstEvents*>(&events_.Record()), 0.0f);
    }
    // An Orvane plug-in's "MIDI In" modules; other plug-ins ignore the call.
    first_source_events_.Clear();
    if (Fill(first_source_midi, first_source_events_) > 0) {
      effect_->dispatcher(effect_, vst2::effVendorSpecific, kOrvaneQuery, kQueryPlatformMidi,
                          const_cast<vst2::VstEvents*>(&first_source_events_.Record()), 0.0f);
    }
    effect_->processReplacing(effect_, inputs_.data(), const_cast<float**>(outputs),
                              static_cast<int32_t>(frames));
    // A plug-in without outputs still has the device's one channel.
    for (uint32_t c = static_cast<uint32_t>(std::max(effect_->numOutputs, 0)); c < channels_; ++c) {
      std::fill_n(outputs[c], frames, 0.0f);
    }
    if (take_ != nullptr) take_->Add(outputs, frames);
  }

  // Main thread: where the computer keyboard's notes go.
  MidiQueue& KeyboardNotes() { return keyboard_; }
  // Main thread, before the device starts: keep what is played in `take`.
  void Record(PlayTake* take) { take_ = take; }

 private:
  static int32_t Fill(std::span<const DeviceMidi> midi, FixedBlockEvents& events) {
    for (const DeviceMidi& message : midi) {
      events.Add(static_cast<int32_t>(message.frame), message.bytes, message.size);
    }
    return events.Count();
  }

  vst2::AEffect* effect_;
  uint32_t channels_;
  PlayTake* take_ = nullptr;
  MidiQueue keyboard_;
  FixedBlockEvents events_;
  FixedBlockEvents first_source_events_;
  std::vector<std::vector<float>> silence_;
  std::vector<float*> inputs_;
};

// The JACK client's name: the plug-in's own, else its file's.
std::string ClientName(vst2::AEffect* effect, const std::string& path) {
  char name[256] = {};
  effect->dispatcher(effect, vst2::effGetEffectName, 0, 0, name, 0.0f);
  name[sizeof name - 1] = '\0';
  std::string chosen = name[0] != '\0' ? name : std::filesystem::path(path).stem().string();
  // JACK separates client and port names with a colon.
  std::replace(chosen.begin(), chosen.end(), ':', '_');
  return chosen.empty() ? "Orvane" : chosen;
}

void PrintCounts(const AudioDevice& device, std::ostream& out) {
  out << "periods: " << device.Periods() << ", overruns: " << device.Overruns()
      << ", busiest period: " << FormatDouble(device.PeakLoad() / 10.0) << "%"
      << ", device xruns: " << device.DeviceXruns() << ", MIDI dropped: " << device.DroppedMidi()
      << std::endl;
}

}  // namespace

std::optional<PlayCommandLine> ParsePlayArguments(std::span<const std::string> arguments,
                                                  std::string* error) {
  PlayCommandLine line;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--no-connect") {
      line.connect = false;
      continue;
    }
    if (argument == "--keyboard") {
      line.keyboard = true;
      continue;
    }
    if (argument.empty() || argument[0] != '-') {
      if (!line.input_path.empty()) {
        *error = "one project or library only";
        return std::nullopt;
      }
      line.input_path = argument;
      continue;
    }
    constexpr std::string_view kValueOptions[] = {"--audio", "--device",  "--rate",
                                                  "--period", "--midi-in", "--quit-after",
                                                  "-o"};
    if (std::find(std::begin(kValueOptions), std::end(kValueOptions), argument) ==
        std::end(kValueOptions)) {
      *error = "unexpected argument '" + argument + "'";
      return std::nullopt;
    }
    if (i + 1 == arguments.size()) {
      *error = argument + " needs a value";
      return std::nullopt;
    }
    const std::string& value = arguments[++i];
    if (argument == "--audio") {
      line.backend = ParseAudioBackend(value);
      if (!line.backend) {
        *error = "--audio takes jack, alsa or pulse";
        return std::nullopt;
      }
    } else if (argument == "--device") {
      line.device = value;
    } else if (argument == "--rate" || argument == "--period") {
      const std::optional<long long> number = ParseInteger(value);
      const bool rate = argument == "--rate";
      const long long low = rate ? 8000 : 16;
      const long long high = rate ? 384000 : kMaxFrames;
      if (!number || *number < low || *number > high) {
        *error = argument + " takes a whole number from " + std::to_string(low) + " to " +
                 std::to_string(high);
        return std::nullopt;
      }
      (rate ? line.rate : line.period) = static_cast<uint32_t>(*number);
    } else if (argument == "-o") {
      line.output_path = value;
    } else if (argument == "--midi-in") {
      line.midi_sources.push_back(value);
    } else if (argument == "--quit-after") {
      const std::optional<double> seconds = ParseDouble(value);
      if (!seconds || !(*seconds >= 0 && *seconds <= 86400)) {
        *error = "--quit-after takes seconds from 0 to 86400";
        return std::nullopt;
      }
      line.quit_after_seconds = *seconds;
    }
  }
  if (line.input_path.empty()) {
    *error = "needs a project or library";
    return std::nullopt;
  }
  return line;
}

int RunPlayCommand(const PlayCommandLine& command, std::ostream& out, std::ostream& err) {
  SetPrintingHostLog(&out);
  LoadedEffect loaded;
  if (!LoadEffect(command.input_path, &PlayHost, err, kName, &loaded)) return 1;
  vst2::AEffect* effect = loaded.effect;
  const auto dispatch = [&](int32_t opcode, intptr_t value = 0, void* ptr = nullptr,
                            float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, 0, value, ptr, opt);
  };
  const auto close_plugin = [&] {
    dispatch(vst2::effClose);
    SetPrintingHostLog(nullptr);
  };
  dispatch(vst2::effOpen);

  AudioDeviceSettings settings;
  settings.backend = command.backend;
  settings.client_name = ClientName(effect, command.input_path);
  settings.device = command.device;
  settings.rate = command.rate;
  settings.period = command.period;
  settings.outputs = static_cast<uint32_t>(std::max(effect->numOutputs, 1));
  settings.connect = command.connect;
  settings.midi_sources = command.midi_sources;
  std::string error;
  PluginClient client(effect, settings.outputs);
  std::unique_ptr<AudioDevice> device = AudioDevice::Open(settings, &client, &error);
  if (device == nullptr) {
    err << kName << ": " << error << "\n";
    close_plugin();
    return kNoDeviceExit;
  }
  if (device->Period() > kMaxFrames) {
    err << kName << ": the device asks for " << device->Period() << " frames a period, more than "
        << kMaxFrames << "\n";
    close_plugin();
    return kNoDeviceExit;
  }
  // Sized for the device's period, known once it is open.
  std::unique_ptr<PlayTake> take;
  if (!command.output_path.empty()) {
    take = std::make_unique<PlayTake>(settings.outputs, device->Rate(), kMaxFrames);
    client.Record(take.get());
  }
  dispatch(vst2::effSetSampleRate, 0, nullptr, static_cast<float>(device->Rate()));
  dispatch(vst2::effSetBlockSize, device->Period());
  dispatch(vst2::effMainsChanged, 1);
  if (const std::string problem = EngineProblem(*effect); !problem.empty()) {
    err << kName << ": " << problem << "\n";
    close_plugin();
    return 1;
  }
  // Without a display the plug-in still plays: the window is a view of it.
  std::unique_ptr<EditorWindow> window = EditorWindow::Open(effect, command.input_path, err, kName);
  if (window == nullptr) err << kName << ": playing without a window\n";
  ComputerKeyboard keyboard(client.KeyboardNotes());
  if (command.keyboard && window != nullptr) window->Frame().KeepKeys();
  if (command.keyboard && window == nullptr) err << kName << ": no window, so no keyboard\n";

  std::signal(SIGINT, RequestStop);
  std::signal(SIGTERM, RequestStop);
  std::signal(SIGUSR1, RequestCounts);
  g_device.store(device.get(), std::memory_order_release);
  int status = 0;
  if (!device->Start(&error)) {
    err << kName << ": " << error << "\n";
    status = kNoDeviceExit;
  }
  for (const std::string& line : device->Report()) out << line << "\n";
  out << std::flush;

  const auto started = std::chrono::steady_clock::now();
  while (status == 0 && !g_stop_requested.load() && (window == nullptr || window->Pump())) {
    if (g_counts_requested.exchange(false)) PrintCounts(*device, out);
    if (command.keyboard && window != nullptr) {
      for (const X11TopWindow::Key& key : window->Frame().TakeKeys()) keyboard.Take(key);
    }
    if (command.quit_after_seconds &&
        std::chrono::steady_clock::now() - started >=
            std::chrono::duration<double>(*command.quit_after_seconds)) {
      break;
    }
    std::this_thread::sleep_for(kIdlePeriod);
  }
  device->Stop();
  g_device.store(nullptr, std::memory_order_release);
  PrintCounts(*device, out);
  window.reset();
  dispatch(vst2::effMainsChanged, 0);
  close_plugin();
  if (take != nullptr) {
    if (take->DroppedFrames() > 0) {
      err << kName << ": the take lost " << take->DroppedFrames() << " frames (the disk was slow)\n";
    }
    if (!take->Finish(command.output_path, &error)) {
      err << kName << ": " << error << "\n";
      status = 1;
    }
  }
  return status;
}

}  // namespace ov
