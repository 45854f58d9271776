// `orvane show`: a plug-in's editor in a window of its own, as a host shows
// it, with the plug-in running in real time on a second thread (silent
// input, a MIDI file looped, no sound device). Automation and display
// updates from the plug-in are printed one per line.
// Thread: the program's main thread, plus the audio thread it starts.
#pragma once

#include <optional>
#include <ostream>
#include <span>
#include <string>

namespace ov {

struct ShowCommandLine {
  std::string input_path;  // LIB.so or PROJECT.json
  std::optional<double> quit_after_seconds;
  bool engine = true;
  std::string midi_path;     // optional, looped
  std::string output_path;   // optional WAV of what the plug-in played
  std::string capture_path;  // optional PNG of the window when it ends
};

std::optional<ShowCommandLine> ParseShowArguments(std::span<const std::string> arguments,
                                                  std::string* error);
int RunShowCommand(const ShowCommandLine& command, std::ostream& out, std::ostream& err);

}  // namespace ov
