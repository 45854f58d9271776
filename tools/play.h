// `orvane play`: a plug-in on a live sound device, its editor in a window,
// MIDI from real ports into it and its MIDI out to a port of ours.
// Thread: the program's main thread, plus the device's audio thread.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "platform/audio_device.h"

namespace ov {

struct PlayCommandLine {
  std::string input_path;  // LIB.so or PROJECT.json
  std::optional<AudioBackend> backend;
  std::string device;
  uint32_t rate = 0;
  uint32_t period = 256;
  std::vector<std::string> midi_sources;
  bool connect = true;
  bool keyboard = false;     // the window's keys play notes
  bool watch = false;        // rebuild the project whenever it is saved
  std::string output_path;   // optional WAV of what was played
  std::optional<double> quit_after_seconds;
};

std::optional<PlayCommandLine> ParsePlayArguments(std::span<const std::string> arguments,
                                                  std::string* error);
// 0 after playing; 2 when no sound device could be opened; 1 otherwise.
int RunPlayCommand(const PlayCommandLine& command, std::ostream& out, std::ostream& err);

}  // namespace ov
