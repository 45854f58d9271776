// Headless rendering through a VST 2 plug-in: MIDI and audio in, audio (and
// the plug-in's MIDI) out, faster than real time.
// Thread: the calling thread loads, drives and unloads the plug-in.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "media/wav_file.h"
#include "tools/block_events.h"

namespace ov {

class VstPlugin;

struct NoteRequest {
  int key = 60;
  int velocity = 100;
  double start_seconds = 0;
  double length_seconds = 0;
};

struct ParameterSetting {
  int32_t index = 0;
  float value = 0;
};

struct RenderSettings {
  std::string plugin_path;
  std::string midi_path;   // optional
  std::string input_path;  // optional WAV fed to the plug-in's inputs
  std::vector<NoteRequest> notes;
  std::optional<double> seconds;  // unset: the music or the input, plus the tail
  double tail_seconds = 2.0;      // heard after the last note or the input's end
  double sample_rate = 48000;
  int32_t block_size = 512;
  std::optional<int32_t> program;
  std::vector<ParameterSetting> parameters;
  std::string load_state_path;  // optional .fxb/.fxp given to the plug-in first
  std::string save_state_path;  // optional .fxb/.fxp written after rendering
  // Called after each process call with its frame count, inside the timed
  // block loop.
  std::function<void(VstPlugin&, int32_t frames)> after_block;
  // False: each block is dropped once rendered (a benchmark times the
  // plug-in, not the storing of minutes of audio).
  bool keep_audio = true;
};

struct RenderResult {
  AudioClip audio;  // one channel per plug-in output; empty unless kept
  int64_t frames = 0;  // rendered, kept or not
  std::vector<ScheduledMidi> midi_output;
  double tempo_bpm = 120;
  double wall_seconds = 0;
  // The block loop alone: process calls and their MIDI, without loading the
  // plug-in or starting its engine.
  double process_seconds = 0;
  // How the length was chosen: the input's length (when given) and the tail
  // after the music or the input (0 when the length was given).
  std::optional<double> input_seconds;
  double tail_seconds = 0;
};

// Warnings, plug-in notices and (when `show_progress`) progress go to `log`.
std::optional<RenderResult> Render(const RenderSettings& settings, std::ostream& log,
                                   bool show_progress, std::string* error);

}  // namespace ov
