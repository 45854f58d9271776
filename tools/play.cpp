#include "tools/play.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

#include "document/project_text.h"
#include "host/vendor_queries.h"
#include "media/midi_file.h"
#include "platform/clock.h"
#include "platform/file_watch.h"
#include "platform/files.h"
#include "platform/midi_ports.h"
#include "platform/text.h"
#include "tools/block_events.h"
#include "tools/play_take.h"
#include "tools/plugin_window.h"
#include "tools/snapshot.h"
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
// thread: it goes straight to the device's output port (JACK's buffer, or
// the queue of the sequencer port's sending thread). Other questions are
// answered as `orvane show` answers them.
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
        fade_(channels, std::vector<float>(kMaxFrames, 0.0f)),
        events_(kMaxEventsPerPeriod),
        first_source_events_(kMaxEventsPerPeriod),
        silence_(static_cast<std::size_t>(std::max(effect->numInputs, 0)),
                 std::vector<float>(kMaxFrames, 0.0f)) {
    for (std::vector<float>& channel : silence_) inputs_.push_back(channel.data());
    if (inputs_.empty()) inputs_.push_back(nullptr);
    for (std::vector<float>& channel : fade_) fade_pointers_.push_back(channel.data());
  }

  // Main thread: a plug-in opened and resumed as the one playing, with as
  // many inputs and outputs, to take over at the next period, which fades
  // from the one to the other.
  void Replace(vst2::AEffect* next) { next_.store(next, std::memory_order_release); }
  // Main thread: takes back a plug-in handed over that the audio thread has
  // not taken yet; null once it has.
  vst2::AEffect* Withdraw() { return next_.exchange(nullptr, std::memory_order_acq_rel); }
  // Main thread: the plug-in the audio thread let go of, once it has.
  vst2::AEffect* TakeRetired() { return retired_.exchange(nullptr, std::memory_order_acq_rel); }

  void Process(std::span<const DeviceMidi> midi, std::span<const DeviceMidi> first_source_midi,
               float* const* outputs, uint32_t frames) override {
    if (frames > kMaxFrames) {
      for (uint32_t c = 0; c < channels_; ++c) std::fill_n(outputs[c], frames, 0.0f);
      return;
    }
    events_.Clear();
    // The computer keyboard's notes start the period: it is not played to
    // the frame.
    while (const StampedMidi* note = keyboard_.Front()) {
      events_.Add(0, note->bytes, note->size);
      keyboard_.PopFront();
    }
    Fill(midi, events_);
    first_source_events_.Clear();
    Fill(first_source_midi, first_source_events_);
    vst2::AEffect* next = next_.exchange(nullptr, std::memory_order_acq_rel);
    if (next == nullptr) {
      Run(effect_, outputs, frames);
    } else {
      // Both play this period, the old one fading out as the new one comes in.
      Run(effect_, fade_pointers_.data(), frames);
      Run(next, outputs, frames);
      for (uint32_t c = 0; c < channels_; ++c) {
        for (uint32_t i = 0; i < frames; ++i) {
          const float in = static_cast<float>(i + 1) / static_cast<float>(frames);
          outputs[c][i] = outputs[c][i] * in + fade_[c][i] * (1.0f - in);
        }
      }
      retired_.store(effect_, std::memory_order_release);
      effect_ = next;
    }
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
  // The period's events, then the process call, into `outputs`.
  void Run(vst2::AEffect* effect, float* const* outputs, uint32_t frames) {
    if (events_.Count() > 0) {
      effect->dispatcher(effect, vst2::effProcessEvents, 0, 0,
                         const_cast<vst2::VstEvents*>(&events_.Record()), 0.0f);
    }
    // An Orvane plug-in's "MIDI In" modules; other plug-ins ignore the call.
    if (first_source_events_.Count() > 0) {
      effect->dispatcher(effect, vst2::effVendorSpecific, kOrvaneQuery, kQueryPlatformMidi,
                         const_cast<vst2::VstEvents*>(&first_source_events_.Record()), 0.0f);
    }
    effect->processReplacing(effect, inputs_.data(), const_cast<float**>(outputs),
                             static_cast<int32_t>(frames));
  }

  static int32_t Fill(std::span<const DeviceMidi> midi, FixedBlockEvents& events) {
    for (const DeviceMidi& message : midi) {
      events.Add(static_cast<int32_t>(message.frame), message.bytes, message.size);
    }
    return events.Count();
  }

  vst2::AEffect* effect_;
  std::atomic<vst2::AEffect*> next_{nullptr};
  std::atomic<vst2::AEffect*> retired_{nullptr};
  uint32_t channels_;
  std::vector<std::vector<float>> fade_;
  std::vector<float*> fade_pointers_;
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

// Patch parameters by name, as the host sees them.
std::string ParameterName(vst2::AEffect* effect, int32_t index) {
  char name[256] = {};
  effect->dispatcher(effect, vst2::effGetParamName, index, 0, name, 0.0f);
  name[sizeof name - 1] = '\0';
  return name;
}

// The new plug-in takes the old one's patch, then the values of the
// parameters whose names it still has.
void CarryOver(vst2::AEffect* from, vst2::AEffect* to) {
  const intptr_t patch = from->dispatcher(from, vst2::effGetProgram, 0, 0, nullptr, 0.0f);
  to->dispatcher(to, vst2::effSetProgram, 0, patch, nullptr, 0.0f);
  std::map<std::string, int32_t> names;
  for (int32_t i = 0; i < to->numParams; ++i) names.emplace(ParameterName(to, i), i);
  for (int32_t i = 0; i < from->numParams; ++i) {
    const auto found = names.find(ParameterName(from, i));
    if (found != names.end()) to->setParameter(to, found->second, from->getParameter(from, i));
  }
}

// The project and the files it embeds by "path", which a save of theirs
// changes too; those that cannot be found are left to the build to report.
std::vector<std::string> WatchedFiles(const std::string& project) {
  std::vector<std::string> watched{project};
  std::vector<uint8_t> bytes;
  std::string error;
  constexpr std::size_t kMaxProjectBytes = std::size_t{64} << 20;
  if (!ReadFileBytes(project, kMaxProjectBytes, &bytes, &error)) return watched;
  const std::optional<Json> text =
      ParseProjectText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), &error);
  if (!text || !text->is_object() || !text->contains("files") || !(*text)["files"].is_array()) {
    return watched;
  }
  const std::filesystem::path folder = std::filesystem::path(project).parent_path();
  for (const Json& file : (*text)["files"]) {
    if (!file.is_object() || !file.contains("path") || !file["path"].is_string()) continue;
    const std::filesystem::path path = folder / file["path"].get<std::string>();
    if (IsRegularFile(path.string())) watched.push_back(path.string());
  }
  return watched;
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
    if (argument == "--watch") {
      line.watch = true;
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
  if (line.watch && !IsProjectText(line.input_path)) {
    *error = "--watch needs a JSON project";
    return std::nullopt;
  }
  return line;
}

int RunPlayCommand(const PlayCommandLine& command, std::ostream& out, std::ostream& err) {
  SetPrintingHostLog(&out);
  LoadedEffect loaded;
  if (!LoadEffect(command.input_path, &PlayHost, err, kName, &loaded)) return 1;
  vst2::AEffect* effect = loaded.effect;
  loaded.Dispatch(vst2::effOpen);

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
    loaded.Close();
    return kNoDeviceExit;
  }
  if (device->Period() > kMaxFrames) {
    err << kName << ": the device asks for " << device->Period() << " frames a period, more than "
        << kMaxFrames << "\n";
    loaded.Close();
    return kNoDeviceExit;
  }
  // Sized for the device's period, known once it is open.
  std::unique_ptr<PlayTake> take;
  if (!command.output_path.empty()) {
    take = std::make_unique<PlayTake>(settings.outputs, device->Rate(), kMaxFrames);
    client.Record(take.get());
  }
  loaded.Dispatch(vst2::effSetSampleRate, 0, nullptr, static_cast<float>(device->Rate()));
  loaded.Dispatch(vst2::effSetBlockSize, device->Period());
  loaded.Dispatch(vst2::effMainsChanged, 1);
  if (const std::string problem = EngineProblem(*effect); !problem.empty()) {
    err << kName << ": " << problem << "\n";
    loaded.Close();
    return 1;
  }
  // Without a display the plug-in still plays: the window is a view of it.
  std::unique_ptr<EditorWindow> window = EditorWindow::Open(effect, command.input_path, err, kName);
  if (window == nullptr) err << kName << ": playing without a window\n";
  const bool windowed = window != nullptr;
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

  std::unique_ptr<FileWatch> watch;
  if (command.watch && status == 0) {
    watch = FileWatch::Open(WatchedFiles(command.input_path), &error);
    if (watch == nullptr) err << kName << ": " << error << "; not watching\n";
  }
  // A saved project is built and started beside the one playing, which
  // plays on if that fails; the new one takes over at a period's start.
  const auto reload = [&] {
    const auto began = std::chrono::steady_clock::now();
    std::ostringstream why;
    LoadedEffect next;
    // Printed, and shown on the panel until a save builds.
    std::string failure;
    const auto refuse = [&](const std::string& reason) {
      if (next.effect != nullptr) next.effect->dispatcher(next.effect, vst2::effClose, 0, 0, nullptr, 0.0f);
      failure = reason + "; the last good one plays on";
      err << kName << ": " << failure << "\n" << std::flush;
      if (window != nullptr) window->ShowNotice(failure, err, kName);
    };
    if (!LoadEffect(command.input_path, &PlayHost, why, kName, &next)) {
      std::string reason = why.str();
      while (!reason.empty() && reason.back() == '\n') reason.pop_back();
      // LoadEffect's message names the command already.
      if (reason.starts_with(std::string(kName) + ": ")) reason.erase(0, std::string(kName).size() + 2);
      next.effect = nullptr;
      return refuse(reason);
    }
    vst2::AEffect* fresh = next.effect;
    if (fresh->numOutputs != effect->numOutputs || fresh->numInputs != effect->numInputs) {
      return refuse("the saved project has other inputs or outputs: start orvane play again");
    }
    fresh->dispatcher(fresh, vst2::effOpen, 0, 0, nullptr, 0.0f);
    fresh->dispatcher(fresh, vst2::effSetSampleRate, 0, 0, nullptr, static_cast<float>(device->Rate()));
    fresh->dispatcher(fresh, vst2::effSetBlockSize, 0, device->Period(), nullptr, 0.0f);
    CarryOver(effect, fresh);
    fresh->dispatcher(fresh, vst2::effMainsChanged, 0, 1, nullptr, 0.0f);
    if (const std::string problem = EngineProblem(*fresh); !problem.empty()) return refuse(problem);
    window.reset();
    client.Replace(fresh);
    vst2::AEffect* retired = nullptr;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while ((retired = client.TakeRetired()) == nullptr && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (retired == nullptr && client.Withdraw() != nullptr) {
      refuse("the device stopped asking for sound");
    } else {
      while (retired == nullptr) retired = client.TakeRetired();  // taken meanwhile
      retired->dispatcher(retired, vst2::effMainsChanged, 0, 0, nullptr, 0.0f);
      retired->dispatcher(retired, vst2::effClose, 0, 0, nullptr, 0.0f);
      effect = fresh;
      loaded = std::move(next);
      // The saved project may name other files.
      if (std::unique_ptr<FileWatch> renewed = FileWatch::Open(WatchedFiles(command.input_path), &error)) {
        watch = std::move(renewed);
      }
      const auto spent = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - began);
      out << "reloaded " << command.input_path << " in " << FormatDouble(std::round(spent.count()))
          << " ms" << std::endl;
    }
    if (!windowed) return;
    window = EditorWindow::Open(effect, command.input_path, err, kName);
    if (command.keyboard && window != nullptr) window->Frame().KeepKeys();
    if (!failure.empty() && window != nullptr) window->ShowNotice(failure, err, kName);
  };

  const auto started = std::chrono::steady_clock::now();
  // Without a window (none could open) it plays until stopped.
  while (status == 0 && !g_stop_requested.load() && (window == nullptr || window->Pump())) {
    if (g_counts_requested.exchange(false)) PrintCounts(*device, out);
    if (watch != nullptr && watch->Changed()) {
      // A save may come as several writes: the last one counts.
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      watch->Changed();
      reload();
    }
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
  loaded.Dispatch(vst2::effMainsChanged, 0);
  loaded.Close();
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
