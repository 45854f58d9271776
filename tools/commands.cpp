#include "tools/commands.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "media/midi_file.h"
#include "platform/text.h"
#include "tools/plugin_info.h"
#include "tools/vst_plugin.h"

namespace ov {
namespace {

std::string Decibels(double level) {
  return level > 0 ? FormatFixed(20 * std::log10(level), 1) + " dBFS" : "-inf dBFS";
}

void PrintLevels(const AudioClip& audio, std::ostream& out) {
  for (std::size_t c = 0; c < audio.channels.size(); ++c) {
    double peak = 0;
    double energy = 0;
    for (const float sample : audio.channels[c]) {
      peak = std::max(peak, static_cast<double>(std::fabs(sample)));
      energy += static_cast<double>(sample) * sample;
    }
    const double rms = audio.FrameCount() > 0 ? std::sqrt(energy / audio.FrameCount()) : 0;
    out << "  channel " << c + 1 << ": peak " << FormatFixed(peak, 4) << " (" << Decibels(peak)
        << "), RMS " << FormatFixed(rms, 4) << " (" << Decibels(rms) << ")\n";
  }
}

// Samples beyond full scale clip once the host writes them out.
void WarnOfClipping(const AudioClip& audio, std::ostream& err) {
  std::size_t count = 0;
  std::size_t first = SIZE_MAX;
  std::size_t first_channel = 0;
  double peak = 0;
  for (std::size_t c = 0; c < audio.channels.size(); ++c) {
    const std::vector<float>& samples = audio.channels[c];
    for (std::size_t i = 0; i < samples.size(); ++i) {
      const double level = std::fabs(samples[i]);
      if (!(level > 1.0)) continue;
      ++count;
      peak = std::max(peak, level);
      if (i < first) {
        first = i;
        first_channel = c;
      }
    }
  }
  if (count == 0) return;
  err << "warning: " << count << (count == 1 ? " sample exceeds" : " samples exceed")
      << " 0 dBFS (peak +" << FormatFixed(20 * std::log10(peak), 1) << " dBFS), the first at "
      << FormatFixed(first / static_cast<double>(audio.sample_rate), 3) << " s on channel "
      << first_channel + 1 << "\n";
}

// Peak and RMS of each channel over each `interval`, so that a tail, a
// sweep or a fade can be seen.
void PrintLevelsOverTime(const AudioClip& audio, double interval, std::ostream& out) {
  const auto frames = static_cast<std::size_t>(
      std::max(1.0, std::round(interval * static_cast<double>(audio.sample_rate))));
  out << "Levels every " << FormatDouble(interval) << " s (peak / RMS, dBFS, per channel):\n";
  for (std::size_t begin = 0; begin < audio.FrameCount(); begin += frames) {
    const std::size_t end = std::min(begin + frames, audio.FrameCount());
    out << "  " << FormatFixed(begin / static_cast<double>(audio.sample_rate), 2) << " s:";
    for (const std::vector<float>& samples : audio.channels) {
      double peak = 0;
      double energy = 0;
      for (std::size_t i = begin; i < end; ++i) {
        peak = std::max(peak, static_cast<double>(std::fabs(samples[i])));
        energy += static_cast<double>(samples[i]) * samples[i];
      }
      const double rms = std::sqrt(energy / static_cast<double>(end - begin));
      out << "  " << (peak > 0 ? FormatFixed(20 * std::log10(peak), 1) : "-inf") << " / "
          << (rms > 0 ? FormatFixed(20 * std::log10(rms), 1) : "-inf");
    }
    out << "\n";
  }
}

bool WriteMidiOutput(const std::string& path, const RenderResult& result, double sample_rate,
                     std::string* error) {
  std::vector<MidiChannelEvent> events;
  for (const ScheduledMidi& sent : result.midi_output) {
    MidiChannelEvent event;
    event.seconds = sent.frame / sample_rate;
    std::copy(std::begin(sent.bytes), std::end(sent.bytes), event.bytes);
    event.size = static_cast<uint8_t>(ChannelMessageSize(sent.bytes[0]));
    events.push_back(event);
  }
  return WriteMidiFile(path, events, result.tempo_bpm, error);
}

}  // namespace

int RunInfoCommand(const std::string& library_path, std::ostream& out, std::ostream& err) {
  std::string error;
  const std::unique_ptr<VstPlugin> plugin = VstPlugin::Load(library_path, err, &error);
  if (!plugin) {
    err << "orvane info: " << error << "\n";
    return 1;
  }
  DescribePlugin(*plugin, out);
  return 0;
}

int RunRenderCommand(const RenderCommandLine& command, std::ostream& out, std::ostream& err,
                     bool err_is_terminal) {
  const RenderSettings& settings = command.settings;
  std::string error;
  const std::optional<RenderResult> result = Render(settings, err, err_is_terminal, &error);
  if (!result || !WriteFloatWavFile(command.output_path, result->audio, &error) ||
      (!command.midi_output_path.empty() &&
       !WriteMidiOutput(command.midi_output_path, *result, settings.sample_rate, &error))) {
    err << "orvane render: " << error << "\n";
    return 1;
  }
  const double seconds = result->audio.FrameCount() / settings.sample_rate;
  const std::size_t channels = result->audio.channels.size();
  out << "Wrote " << command.output_path << ": " << channels
      << (channels == 1 ? " channel, " : " channels, ") << FormatFixed(seconds, 3) << " s at "
      << result->audio.sample_rate << " Hz\n";
  if (result->input_seconds) {
    out << "  the input's " << FormatFixed(*result->input_seconds, 3) << " s";
    if (result->tail_seconds > 0) {
      out << " and a " << FormatFixed(result->tail_seconds, 1) << " s tail after it (--tail S)";
    }
    out << "\n";
  }
  PrintLevels(result->audio, out);
  WarnOfClipping(result->audio, err);
  if (command.levels_interval) PrintLevelsOverTime(result->audio, *command.levels_interval, out);
  if (!command.midi_output_path.empty()) {
    out << "Wrote " << command.midi_output_path << ": " << result->midi_output.size()
        << " MIDI events from the plug-in\n";
  }
  out << "Render time " << FormatFixed(result->wall_seconds, 3) << " s, "
      << FormatFixed(seconds / std::max(result->wall_seconds, 1e-9), 1) << "x real time\n";
  return 0;
}

}  // namespace ov
