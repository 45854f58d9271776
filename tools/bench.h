// `orvane bench`: how fast a plug-in renders held notes (or a MIDI file),
// single-threaded, as nanoseconds per voice-sample and a multiple of real
// time. Voices are those that sound, as Orvane libraries report them; for
// other libraries the figure is per note held.
// Thread: the program's main thread.
#pragma once

#include <optional>
#include <ostream>
#include <span>
#include <string>

namespace ov {

struct BenchCommandLine {
  std::string target;     // a plug-in library or a JSON project
  int voices = 64;        // notes held together
  double seconds = 10;    // length of the held notes
  std::string midi_path;  // instead of held notes
  std::string from_path;  // generic library a JSON project is baked into
};

std::optional<BenchCommandLine> ParseBenchArguments(std::span<const std::string> arguments,
                                                    std::string* error);

// A JSON project is baked into a temporary library first, with its main
// container's polyphony raised to the voice count when it is lower, so every
// held note sounds.
int RunBenchCommand(const BenchCommandLine& command, std::ostream& out, std::ostream& err);

}  // namespace ov
