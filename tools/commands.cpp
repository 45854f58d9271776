#include "tools/commands.h"

#include <algorithm>
#include <cmath>

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
  PrintLevels(result->audio, out);
  if (!command.midi_output_path.empty()) {
    out << "Wrote " << command.midi_output_path << ": " << result->midi_output.size()
        << " MIDI events from the plug-in\n";
  }
  out << "Render time " << FormatFixed(result->wall_seconds, 3) << " s, "
      << FormatFixed(seconds / std::max(result->wall_seconds, 1e-9), 1) << "x real time\n";
  return 0;
}

}  // namespace ov
