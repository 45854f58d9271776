#include "tools/show.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>
#include <thread>
#include <vector>

#include "media/midi_file.h"
#include "media/wav_file.h"
#include "platform/png_codec.h"
#include "platform/text.h"
#include "tools/block_events.h"
#include "tools/plugin_window.h"
#include "tools/vst_plugin.h"

namespace ov {
namespace {

constexpr const char* kName = "orvane show";
constexpr double kSampleRate = 48000;
constexpr int32_t kBlockSize = 256;
constexpr auto kIdlePeriod = std::chrono::milliseconds(20);
constexpr double kMaxWavSeconds = 3600;

std::atomic<bool> g_stop_requested{false};

void RequestStop(int) { g_stop_requested.store(true); }

// The MIDI file's events in frames, to be played again from the start each
// time its length has passed.
struct LoopedMidi {
  std::vector<ScheduledMidi> events;
  int64_t length_frames = 0;
};

bool ReadLoopedMidi(const std::string& path, LoopedMidi* midi, std::string* error) {
  const std::optional<MidiSong> song = ReadMidiFile(path, error);
  if (!song) return false;
  for (const MidiChannelEvent& event : song->events) {
    ScheduledMidi scheduled;
    scheduled.frame = static_cast<int64_t>(event.seconds * kSampleRate);
    std::copy(std::begin(event.bytes), std::end(event.bytes), scheduled.bytes);
    midi->events.push_back(scheduled);
  }
  midi->length_frames = std::max<int64_t>(kBlockSize, static_cast<int64_t>(song->length_seconds * kSampleRate));
  return true;
}

// Calls processReplacing at the pace of real time until `running` clears.
// Audio thread.
void PlayInRealTime(vst2::AEffect* effect, const LoopedMidi& midi, AudioClip* recording,
                    const std::atomic<bool>& running) {
  std::vector<std::vector<float>> inputs(static_cast<std::size_t>(std::max(effect->numInputs, 0)),
                                         std::vector<float>(kBlockSize, 0.0f));
  std::vector<std::vector<float>> outputs(static_cast<std::size_t>(std::max(effect->numOutputs, 0)),
                                          std::vector<float>(kBlockSize, 0.0f));
  std::vector<float*> input_pointers;
  std::vector<float*> output_pointers;
  for (auto& channel : inputs) input_pointers.push_back(channel.data());
  for (auto& channel : outputs) output_pointers.push_back(channel.data());
  std::unique_ptr<BlockEventScheduler> scheduler;
  int64_t loop_start = 0;
  int64_t frame = 0;
  const auto started = std::chrono::steady_clock::now();
  const std::size_t max_frames = static_cast<std::size_t>(kMaxWavSeconds * kSampleRate);
  while (running.load()) {
    if (!midi.events.empty()) {
      if (scheduler == nullptr || frame - loop_start >= midi.length_frames) {
        if (scheduler != nullptr) loop_start += midi.length_frames;
        scheduler = std::make_unique<BlockEventScheduler>(midi.events);
      }
      const vst2::VstEvents& events = scheduler->TakeBlock(frame - loop_start, kBlockSize);
      if (events.numEvents > 0) {
        effect->dispatcher(effect, vst2::effProcessEvents, 0, 0,
                           const_cast<vst2::VstEvents*>(&events), 0.0f);
      }
    }
    effect->processReplacing(effect, input_pointers.data(), output_pointers.data(), kBlockSize);
    if (recording != nullptr && recording->FrameCount() < max_frames) {
      for (std::size_t c = 0; c < outputs.size(); ++c) {
        recording->channels[c].insert(recording->channels[c].end(), outputs[c].begin(),
                                      outputs[c].end());
      }
    }
    frame += kBlockSize;
    std::this_thread::sleep_until(started + std::chrono::microseconds(static_cast<int64_t>(
                                                frame * 1e6 / kSampleRate)));
  }
}

}  // namespace

std::optional<ShowCommandLine> ParseShowArguments(std::span<const std::string> arguments,
                                                  std::string* error) {
  ShowCommandLine line;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--no-engine") {
      line.engine = false;
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
    constexpr std::string_view kValueOptions[] = {"--quit-after", "--midi", "-o", "--capture"};
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
    if (argument == "--quit-after") {
      const std::optional<double> seconds = ParseDouble(value);
      if (!seconds || !(*seconds >= 0 && *seconds <= 86400)) {
        *error = "--quit-after takes seconds from 0 to 86400";
        return std::nullopt;
      }
      line.quit_after_seconds = *seconds;
    } else if (argument == "--midi") {
      line.midi_path = value;
    } else if (argument == "-o") {
      line.output_path = value;
    } else if (argument == "--capture") {
      line.capture_path = value;
    }
  }
  if (line.input_path.empty()) {
    *error = "needs a project or library";
    return std::nullopt;
  }
  if (!line.engine && (!line.midi_path.empty() || !line.output_path.empty())) {
    *error = "--midi and -o need the engine";
    return std::nullopt;
  }
  return line;
}

int RunShowCommand(const ShowCommandLine& command, std::ostream& out, std::ostream& err) {
  LoopedMidi midi;
  std::string error;
  if (!command.midi_path.empty() && !ReadLoopedMidi(command.midi_path, &midi, &error)) {
    err << kName << ": " << error << "\n";
    return 1;
  }
  SetPrintingHostLog(&out);
  LoadedEffect loaded;
  if (!LoadEffect(command.input_path, &PrintingHost, err, kName, &loaded)) return 1;
  vst2::AEffect* effect = loaded.effect;
  loaded.Dispatch(vst2::effOpen);
  loaded.Dispatch(vst2::effSetSampleRate, 0, nullptr, static_cast<float>(kSampleRate));
  loaded.Dispatch(vst2::effSetBlockSize, kBlockSize);
  // The engine starts before the window opens, so that one which cannot be
  // built is told without a window shown for nothing.
  if (command.engine) {
    loaded.Dispatch(vst2::effMainsChanged, 1);
    if (const std::string problem = EngineProblem(*effect); !problem.empty()) {
      err << kName << ": " << problem << "\n";
      loaded.Close();
      return 1;
    }
  }
  std::unique_ptr<EditorWindow> window = EditorWindow::Open(effect, command.input_path, err, kName);
  if (window == nullptr) {
    loaded.Close();
    return 1;
  }

  std::signal(SIGINT, RequestStop);
  std::signal(SIGTERM, RequestStop);
  std::atomic<bool> running{true};
  AudioClip recording;
  recording.sample_rate = static_cast<uint32_t>(kSampleRate);
  recording.channels.resize(static_cast<std::size_t>(std::max(effect->numOutputs, 0)));
  std::thread audio;
  if (command.engine) {
    audio = std::thread(PlayInRealTime, effect, std::cref(midi),
                        command.output_path.empty() ? nullptr : &recording, std::cref(running));
  }

  const auto started = std::chrono::steady_clock::now();
  while (!g_stop_requested.load() && window->Pump()) {
    if (command.quit_after_seconds &&
        std::chrono::steady_clock::now() - started >=
            std::chrono::duration<double>(*command.quit_after_seconds)) {
      break;
    }
    std::this_thread::sleep_for(kIdlePeriod);
  }
  int status = 0;
  if (!command.capture_path.empty()) {
    const std::optional<PixelImage> shown = window->Frame().Capture();
    if (!shown || !WritePngFile(command.capture_path, *shown, &error)) {
      err << kName << ": the window could not be captured " << error << "\n";
      status = 1;
    }
  }
  window.reset();
  running.store(false);
  if (audio.joinable()) audio.join();
  if (command.engine) loaded.Dispatch(vst2::effMainsChanged, 0);
  loaded.Close();
  if (!command.output_path.empty() && !WriteFloatWavFile(command.output_path, recording, &error)) {
    err << kName << ": " << error << "\n";
    status = 1;
  }
  return status;
}

}  // namespace ov
