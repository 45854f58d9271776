// What the sequencer modules' engine half plays: a snapshot of the
// document's patterns, song list and tempo, and the bars of MIDI events
// filled from it. Time counts in ticks, 24 to a quarter note; a step lasts
// 6 ticks.
//
// Threads: a PatternSet is built on the editor thread and only read after
// it is published; MidiBar and the fills run on the audio thread, where
// nothing allocates (a bar's room is reserved at open).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace ov {

inline constexpr int32_t kSequencerSongLength = 100;
inline constexpr int32_t kSequencerPatterns = 32;
inline constexpr int32_t kSequencerMaxSteps = 32;
inline constexpr int32_t kTicksPerStep = 6;
// The bar of an empty or negative pattern.
inline constexpr int32_t kEmptyBarTicks = 6;
inline constexpr int32_t kNoPattern = -99;

struct MidiBarEvent {
  int32_t delta;     // ticks since the previous event, or the bar start
  uint32_t message;  // status in bits 0-7, data bytes above
};

// One bar of events in time order, with its length in ticks and the
// pattern it was filled from.
class MidiBar {
 public:
  // The most events any bar holds: every drum row of every step, on and off.
  static constexpr std::size_t kCapacity = kSequencerMaxSteps * 31 * 2;

  // Editor thread, audio stopped.
  void Reserve() { events_.reserve(kCapacity); }
  void Clear();
  // An event at tick `tick` of the bar; ticks never go back. Beyond the
  // room reserved the event is dropped rather than allocating.
  void Append(int32_t tick, uint32_t message);

  const std::vector<MidiBarEvent>& events() const { return events_; }
  int32_t length = kEmptyBarTicks;
  int32_t pattern = kNoPattern;

 private:
  std::vector<MidiBarEvent> events_;
  int32_t last_tick_ = 0;
};

// One "Step Sequencer" step as played.
struct PlayedStep {
  int32_t note = -1;  // -1: rest
  int32_t velocity = 0;
  int32_t modulation = 0;
  bool slide = false;
};

// The document's data as the engine reads it, immutable once published.
struct PatternSet {
  bool drums = false;
  float tempo = 120.0f;
  bool song_mode = false;
  int32_t current_pattern = 1;
  std::array<int32_t, kSequencerSongLength> song{};
  // Step counts, then the steps of the kind in use.
  std::array<int32_t, kSequencerPatterns> step_counts{};
  std::array<std::array<PlayedStep, kSequencerMaxSteps>, kSequencerPatterns> steps{};
  std::array<std::array<uint32_t, kSequencerMaxSteps>, kSequencerPatterns> drum_words{};
  std::array<int16_t, 32> row_notes{};  // -1: the row plays nothing

  // Appends pattern `pattern`'s events to `bar` and sets its length; a
  // pattern outside 0..31 or without steps gives the empty 6-tick bar.
  void FillBar(int32_t pattern, MidiBar& bar) const;
  // Samples per tick for the tempo limited to 1..300 beats per minute;
  // never below 1.
  float SamplesPerTick(float sample_rate) const;

 private:
  void FillSteps(int32_t pattern, MidiBar& bar) const;
  void FillDrums(int32_t pattern, MidiBar& bar) const;
};

}  // namespace ov
