#include "tools/bench.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "document/text_writer.h"
#include "host/vendor_queries.h"
#include "media/midi_file.h"
#include "platform/text.h"
#include "tools/arguments.h"
#include "tools/project_commands.h"
#include "tools/render.h"
#include "tools/temporary_folder.h"
#include "tools/vst_plugin.h"

namespace ov {
namespace {

constexpr const char* kName = "orvane bench";
constexpr double kSampleRate = 44100;
constexpr int32_t kBlockSize = 512;
constexpr int kLowestKey = 24;
constexpr int kDefaultPolyphony = 6;  // a container's "Polyphony" default

// Raises the first container's "Polyphony" to `voices` when it is lower.
bool WriteWithPolyphony(const std::string& input, const std::string& output, int voices,
                        std::ostream& out, std::ostream& err) {
  std::optional<Json> text = ReadProjectJson(input, kName, err);
  if (!text) return false;
  Json& project = *text;
  Json* root = project.is_object() && project.contains("root") ? &project["root"] : nullptr;
  Json* modules = root != nullptr && root->is_object() && root->contains("modules")
                      ? &(*root)["modules"]
                      : nullptr;
  if (modules != nullptr && modules->is_array()) {
    for (Json& module : *modules) {
      if (!module.is_object() || module.value("type", Json()) != "Container") continue;
      Json& values = module["plug_values"];
      if (!values.is_object()) values = Json::object();
      const Json current = values.value("Polyphony", Json(kDefaultPolyphony));
      if (!current.is_number() || current.get<double>() < voices) {
        out << "Polyphony raised from " << current.dump() << " to " << voices << "\n";
        values["Polyphony"] = voices;
      }
      break;
    }
  }
  std::ofstream(output) << project.dump();
  return true;
}

// The mean number of notes held over the file's length.
double MeanHeldNotes(const MidiSong& song) {
  double note_seconds = 0;
  std::vector<double> started(128 * 16, -1);
  for (const MidiChannelEvent& event : song.events) {
    const int command = event.bytes[0] & 0xF0;
    const size_t slot = (event.bytes[0] & 0x0F) * 128u + (event.bytes[1] & 0x7F);
    if (command == 0x90 && event.bytes[2] != 0) {
      if (started[slot] < 0) started[slot] = event.seconds;
    } else if ((command == 0x80 || command == 0x90) && started[slot] >= 0) {
      note_seconds += event.seconds - started[slot];
      started[slot] = -1;
    }
  }
  return song.length_seconds > 0 ? note_seconds / song.length_seconds : 0;
}

}  // namespace

std::optional<BenchCommandLine> ParseBenchArguments(std::span<const std::string> arguments,
                                                    std::string* error) {
  BenchCommandLine line;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const bool takes_value = argument == "--voices" || argument == "--seconds" ||
                             argument == "--midi" || argument == "--from";
    if (takes_value) {
      if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
        *error = argument + " needs a value";
        return std::nullopt;
      }
      const std::string& value = arguments[++i];
      if (argument == "--voices") {
        const std::optional<long long> voices = ParseInteger(value);
        if (!voices || *voices < 1 || *voices > 128) {
          *error = "--voices takes 1 to 128";
          return std::nullopt;
        }
        line.voices = static_cast<int>(*voices);
      } else if (argument == "--seconds") {
        const std::optional<double> seconds = ParseDouble(value);
        if (!seconds || !(*seconds > 0 && *seconds <= 3600)) {
          *error = "--seconds takes a length above 0 and up to 3600";
          return std::nullopt;
        }
        line.seconds = *seconds;
      } else {
        (argument == "--midi" ? line.midi_path : line.from_path) = value;
      }
    } else if (!TakePositional(argument, &line.target, error)) {
      return std::nullopt;
    }
  }
  if (line.target.empty()) {
    *error = "no plug-in library or project given";
    return std::nullopt;
  }
  return line;
}

int RunBenchCommand(const BenchCommandLine& command, std::ostream& out, std::ostream& err) {
  RenderSettings settings;
  settings.sample_rate = kSampleRate;
  settings.block_size = kBlockSize;
  settings.plugin_path = command.target;
  settings.keep_audio = false;

  TemporaryFolder folder("orvane-bench-");
  if (std::filesystem::path(command.target).extension() == ".json") {
    const std::string project = folder / "project.json";
    const std::string library = folder / "bench.so";
    if (!WriteWithPolyphony(command.target, project, command.voices, out, err)) return 1;
    std::ostringstream baking;
    if (RunBakeCommand({project, library, command.from_path}, baking, err) != 0) return 1;
    settings.plugin_path = library;
  }

  double notes = command.voices;
  std::string error;
  if (!command.midi_path.empty()) {
    const std::optional<MidiSong> song = ReadMidiFile(command.midi_path, &error);
    if (!song) {
      err << kName << ": " << error << "\n";
      return 1;
    }
    settings.midi_path = command.midi_path;
    settings.seconds = song->length_seconds;  // the notes alone, no tail
    notes = MeanHeldNotes(*song);
  } else {
    // Keys a semitone apart from the bottom of the keyboard, wrapping round
    // past 127 so that even 128 notes are all MIDI keys and all different.
    for (int v = 0; v < command.voices; ++v) {
      settings.notes.push_back({(kLowestKey + v) % 128, 100, 0.0, command.seconds});
    }
    settings.seconds = command.seconds;
  }

  // A library may play fewer voices than the notes it holds (or more, while
  // released notes fade): ours say after each block how many sound. Any
  // other leaves the figure per note held.
  double voice_samples = 0;
  bool voices_told = true;
  settings.after_block = [&](VstPlugin& plugin, int32_t frames) {
    int32_t sounding = 0;
    if (voices_told && plugin.Dispatch(vst2::effVendorSpecific, kOrvaneQuery,
                                       kQuerySoundingVoices, &sounding) == 1) {
      voice_samples += static_cast<double>(sounding) * frames;
    } else {
      voices_told = false;
    }
  };

  // Held notes end with the render, so their note-offs are never due: that
  // note is left out of the log.
  std::ostringstream log;
  const std::optional<RenderResult> result = Render(settings, log, false, &error);
  std::istringstream lines(log.str());
  for (std::string line; std::getline(lines, line);) {
    if (!line.ends_with("MIDI events after the end were not sent")) err << line << "\n";
  }
  if (!result) {
    err << kName << ": " << error << "\n";
    return 1;
  }
  const double samples = static_cast<double>(result->frames);
  const double seconds = std::max(result->process_seconds, 1e-9);
  out << "Rendered " << FormatDouble(samples / kSampleRate) << " s at " << FormatDouble(kSampleRate)
      << " Hz in blocks of " << kBlockSize << ", "
      << (command.midi_path.empty() ? "notes held: " : "mean notes held: ")
      << FormatFixed(notes, 1);
  if (voices_told) out << ", mean voices sounding: " << FormatFixed(voice_samples / samples, 1);
  out << "\n";
  if (!voices_told) {
    out << "The library does not say how many voices sound, so the figure is per note held; "
           "where it plays fewer voices than notes it understates the cost of a voice\n";
  }
  out << "Process time " << FormatFixed(seconds, 3)
      << " s: " << FormatFixed(samples / kSampleRate / seconds, 1) << "x real time, "
      << FormatFixed(seconds * 1e9 / samples, 1) << " ns per sample";
  const double units = voices_told ? voice_samples : samples * notes;
  if (units > 0) {
    out << ", " << FormatFixed(seconds * 1e9 / units, 2)
        << (voices_told ? " ns per voice-sample" : " ns per note-sample");
  }
  out << "\n";
  return 0;
}

}  // namespace ov
