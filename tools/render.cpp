#include "tools/render.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "media/midi_file.h"
#include "platform/text.h"
#include "tools/state_files.h"
#include "tools/vst_plugin.h"

namespace ov {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr double kDefaultSeconds = 5.0;  // with neither music nor input to measure
constexpr int32_t kMaxChannels = kMaxWavChannels;

double SecondsSince(SteadyClock::time_point start) {
  return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

// Progress on stderr: redrawn in place on a terminal; elsewhere a line now
// and then, and only once the render has taken a while.
class ProgressMeter {
 public:
  ProgressMeter(std::ostream& out, bool terminal, double total_seconds)
      : out_(out),
        terminal_(terminal),
        total_seconds_(total_seconds),
        next_report_(terminal ? 0.5 : 5.0) {}

  void Update(double done_seconds) {
    const double elapsed = SecondsSince(start_);
    if (elapsed < next_report_) return;
    next_report_ = elapsed + (terminal_ ? 0.25 : 5.0);
    Show(done_seconds);
  }
  // Completes the line on a terminal, if any progress was shown.
  void Finish() {
    if (!shown_ || !terminal_) return;
    Show(total_seconds_);
    out_ << "\n";
  }

 private:
  void Show(double done_seconds) {
    out_ << (terminal_ ? "\r" : "") << "rendering: " << FormatFixed(done_seconds, 1) << " s of "
         << FormatFixed(total_seconds_, 1) << " s ("
         << static_cast<int>(100 * done_seconds / total_seconds_) << "%)" << (terminal_ ? "" : "\n")
         << std::flush;
    shown_ = true;
  }

  std::ostream& out_;
  const bool terminal_;
  const double total_seconds_;
  const SteadyClock::time_point start_ = SteadyClock::now();
  double next_report_;
  bool shown_ = false;
};

struct RenderInputs {
  std::vector<ScheduledMidi> events;
  double tempo_bpm = 120;
  bool has_music = false;
  double music_end_seconds = 0;
  std::optional<AudioClip> audio;
};

bool IsNoteOn(const ScheduledMidi& event) {
  return (event.bytes[0] & 0xF0) == 0x90 && event.bytes[2] != 0;
}

// Reads the MIDI file, the notes and the input audio, so that a bad file
// fails before the plug-in loads.
std::optional<RenderInputs> GatherInputs(const RenderSettings& settings, std::ostream& log,
                                         std::string* error) {
  RenderInputs inputs;
  const auto frame_at = [&](double seconds) {
    return static_cast<int64_t>(std::llround(seconds * settings.sample_rate));
  };
  if (!settings.midi_path.empty()) {
    const std::optional<MidiSong> song = ReadMidiFile(settings.midi_path, error);
    if (!song) return std::nullopt;
    for (const MidiChannelEvent& event : song->events) {
      inputs.events.push_back(
          {frame_at(event.seconds), {event.bytes[0], event.bytes[1], event.bytes[2]}});
    }
    inputs.tempo_bpm = song->FirstTempoBpm();
    inputs.has_music = true;
    inputs.music_end_seconds = song->length_seconds;
  }
  std::vector<ScheduledMidi> notes;
  for (const NoteRequest& note : settings.notes) {
    const auto key = static_cast<uint8_t>(note.key);
    notes.push_back(
        {frame_at(note.start_seconds), {0x90, key, static_cast<uint8_t>(note.velocity)}});
    notes.push_back({frame_at(note.start_seconds + note.length_seconds), {0x80, key, 0}});
    inputs.has_music = true;
    inputs.music_end_seconds =
        std::max(inputs.music_end_seconds, note.start_seconds + note.length_seconds);
  }
  // A note that ends where the next one of the same key starts must stop first.
  std::stable_sort(notes.begin(), notes.end(), [](const ScheduledMidi& a, const ScheduledMidi& b) {
    return a.frame != b.frame ? a.frame < b.frame : !IsNoteOn(a) && IsNoteOn(b);
  });
  inputs.events.insert(inputs.events.end(), notes.begin(), notes.end());
  if (!settings.input_path.empty()) {
    inputs.audio = ReadWavFile(settings.input_path, error);
    if (!inputs.audio) return std::nullopt;
    if (inputs.audio->sample_rate != settings.sample_rate) {
      log << "warning: " << settings.input_path << " is at " << inputs.audio->sample_rate
          << " Hz and is played unchanged at " << FormatDouble(settings.sample_rate) << " Hz\n";
    }
  }
  return inputs;
}

// The music or the input, whichever ends last, then the tail, so that
// releases and echoes are heard.
double RenderLength(const RenderSettings& settings, const RenderInputs& inputs) {
  if (settings.seconds) return *settings.seconds;
  double seconds = 0;
  if (inputs.has_music) seconds = inputs.music_end_seconds;
  if (inputs.audio) {
    seconds = std::max(seconds, inputs.audio->FrameCount() / settings.sample_rate);
  }
  if (!inputs.has_music && !inputs.audio) return kDefaultSeconds;
  return seconds + settings.tail_seconds;
}

bool ApplySettings(VstPlugin& plugin, const RenderSettings& settings, std::string* error) {
  vst2::AEffect& effect = plugin.Effect();
  if (effect.numOutputs < 1 || effect.numOutputs > kMaxChannels || effect.numInputs < 0 ||
      effect.numInputs > kMaxChannels) {
    *error = plugin.Path() + ": cannot render with " + std::to_string(effect.numInputs) +
             " inputs and " + std::to_string(effect.numOutputs) + " outputs";
    return false;
  }
  if (effect.processReplacing == nullptr && effect.process == nullptr) {
    *error = plugin.Path() + ": the plug-in has no process call";
    return false;
  }
  plugin.Dispatch(vst2::effSetSampleRate, 0, 0, nullptr, static_cast<float>(settings.sample_rate));
  plugin.Dispatch(vst2::effSetBlockSize, 0, settings.block_size);
  // A saved state first, so that a program or parameters given as well
  // apply on top of it.
  if (!settings.load_state_path.empty() &&
      !LoadStateFile(plugin, settings.load_state_path, error)) {
    return false;
  }
  if (settings.program) {
    if (*settings.program < 0 || *settings.program >= effect.numPrograms) {
      *error = "program " + std::to_string(*settings.program) +
               " is out of range (the plug-in has " + std::to_string(effect.numPrograms) + ")";
      return false;
    }
    plugin.Dispatch(vst2::effSetProgram, 0, *settings.program);
  }
  for (const ParameterSetting& parameter : settings.parameters) {
    if (parameter.index < 0 || parameter.index >= effect.numParams ||
        effect.setParameter == nullptr) {
      *error = "parameter " + std::to_string(parameter.index) +
               " is out of range (the plug-in has " + std::to_string(effect.numParams) + ")";
      return false;
    }
    effect.setParameter(&effect, parameter.index, parameter.value);
  }
  return true;
}

// Planar buffers for one block, and the pointer arrays the process call takes.
struct BlockBuffers {
  BlockBuffers(int32_t channels, int32_t frames)
      // Plug-ins without inputs still get one silent buffer: some read it anyway.
      : samples(std::max(channels, 1), std::vector<float>(frames)) {
    for (auto& channel : samples) pointers.push_back(channel.data());
  }
  std::vector<std::vector<float>> samples;
  std::vector<float*> pointers;
};

void RenderBlocks(VstPlugin& plugin, const RenderSettings& settings, const RenderInputs& inputs,
                  double seconds, ProgressMeter& progress, std::ostream& log, AudioClip* output) {
  vst2::AEffect& effect = plugin.Effect();
  HostSession& session = plugin.Session();
  const auto total = static_cast<int64_t>(std::llround(seconds * settings.sample_rate));
  BlockBuffers in(effect.numInputs, settings.block_size);
  BlockBuffers out(effect.numOutputs, settings.block_size);
  output->channels.assign(effect.numOutputs, {});
  for (auto& channel : output->channels) channel.reserve(total);
  BlockEventScheduler scheduler(inputs.events);
  // The accumulating call adds to zeroed buffers when replacing is not offered.
  const bool replacing =
      effect.processReplacing != nullptr && (effect.flags & vst2::effFlagsCanReplacing);
  const auto idle_period = static_cast<int64_t>(settings.sample_rate / 50);
  int64_t since_idle = 0;
  for (int64_t position = 0; position < total; position += settings.block_size) {
    const auto frames =
        static_cast<int32_t>(std::min<int64_t>(settings.block_size, total - position));
    session.BeginBlock(position);
    for (std::size_t c = 0; c < in.samples.size(); ++c) {
      std::vector<float>& buffer = in.samples[c];
      std::fill(buffer.begin(), buffer.end(), 0.0f);
      if (!inputs.audio || c >= inputs.audio->channels.size()) continue;
      const std::vector<float>& source = inputs.audio->channels[c];
      if (position >= static_cast<int64_t>(source.size())) continue;
      const auto available =
          std::min<int64_t>(frames, static_cast<int64_t>(source.size()) - position);
      std::copy_n(source.begin() + position, available, buffer.begin());
    }
    const vst2::VstEvents& events = scheduler.TakeBlock(position, frames);
    if (events.numEvents > 0) {
      plugin.Dispatch(vst2::effProcessEvents, 0, 0, const_cast<vst2::VstEvents*>(&events));
    }
    for (auto& buffer : out.samples) std::fill(buffer.begin(), buffer.end(), 0.0f);
    (replacing ? effect.processReplacing : effect.process)(&effect, in.pointers.data(),
                                                           out.pointers.data(), frames);
    if (settings.after_block) settings.after_block(plugin, frames);
    // As a host's user-interface thread would, every 20 ms of audio: what
    // the plug-in's engine asked of its editor side (a patch chosen by a MIDI
    // program change, say) happens while the render goes on.
    since_idle += frames;
    if (since_idle >= idle_period) {
      since_idle = 0;
      plugin.Dispatch(vst2::effIdle, 0, 0, nullptr);
    }
    for (int32_t c = 0; c < effect.numOutputs; ++c) {
      output->channels[c].insert(output->channels[c].end(), out.samples[c].begin(),
                                 out.samples[c].begin() + frames);
    }
    progress.Update((position + frames) / settings.sample_rate);
  }
  progress.Finish();
  if (scheduler.Remaining() > 0) {
    log << "note: " << scheduler.Remaining() << " MIDI events after the end were not sent\n";
  }
}

}  // namespace

std::optional<RenderResult> Render(const RenderSettings& settings, std::ostream& log,
                                   bool show_progress, std::string* error) {
  std::optional<RenderInputs> inputs = GatherInputs(settings, log, error);
  if (!inputs) return std::nullopt;
  const double seconds = RenderLength(settings, *inputs);
  std::unique_ptr<VstPlugin> plugin = VstPlugin::Load(settings.plugin_path, log, error);
  if (!plugin) return std::nullopt;
  // The host answers with the new settings while the plug-in takes them.
  HostSession& session = plugin->Session();
  session.SetSampleRate(settings.sample_rate);
  session.SetBlockSize(settings.block_size);
  session.SetTempo(inputs->tempo_bpm);
  if (!ApplySettings(*plugin, settings, error)) return std::nullopt;

  const auto plugin_inputs = static_cast<std::size_t>(plugin->Effect().numInputs);
  if (inputs->audio && inputs->audio->channels.size() > plugin_inputs) {
    log << "warning: " << settings.input_path << " has " << inputs->audio->channels.size()
        << " channels and the plug-in takes " << plugin_inputs << "; the rest are not played\n";
  }
  const bool instrument = (plugin->Effect().flags & vst2::effFlagsIsSynth) != 0;
  if (!inputs->audio && plugin_inputs > 0 && !instrument) {
    log << "note: the plug-in is an effect and no --in was given: it rendered silence in\n";
  }
  const SteadyClock::time_point start = SteadyClock::now();
  plugin->Dispatch(vst2::effMainsChanged, 0, 1);
  // Silence from an engine that was never built is no render.
  if (std::string problem = plugin->EngineProblem(); !problem.empty()) {
    *error = plugin->Path() + ": " + problem;
    return std::nullopt;
  }
  plugin->Dispatch(vst2::effStartProcess);
  session.SetRendering(true);

  RenderResult result;
  result.audio.sample_rate = static_cast<uint32_t>(std::lround(settings.sample_rate));
  ProgressMeter progress(log, show_progress, seconds);
  const SteadyClock::time_point blocks_start = SteadyClock::now();
  RenderBlocks(*plugin, settings, *inputs, seconds, progress, log, &result.audio);
  result.process_seconds = SecondsSince(blocks_start);
  result.wall_seconds = SecondsSince(start);

  session.SetRendering(false);
  plugin->Dispatch(vst2::effStopProcess);
  if (std::string problem = plugin->EngineProblem(); !problem.empty()) {
    *error = plugin->Path() + ": " + problem;
    return std::nullopt;
  }
  plugin->Dispatch(vst2::effMainsChanged, 0, 0);
  if (!settings.save_state_path.empty() &&
      !SaveStateFile(*plugin, settings.save_state_path, error)) {
    return std::nullopt;
  }
  result.midi_output = session.MidiOutput();
  result.tempo_bpm = inputs->tempo_bpm;
  if (inputs->audio) result.input_seconds = inputs->audio->FrameCount() / settings.sample_rate;
  if (!settings.seconds && (inputs->audio || inputs->has_music)) {
    result.tail_seconds = settings.tail_seconds;
  }
  return result;
}

}  // namespace ov
