#include "modules/sequencer_bar.h"

#include <algorithm>
#include <cmath>

#include "engine/midi_word.h"

namespace ov {
namespace {

// Stored values reach MIDI data bytes: keep them within 0..127.
uint32_t DataByte(int32_t value) { return static_cast<uint32_t>(std::clamp(value, 0, 127)); }

constexpr uint32_t kModulationWheel = 1;
constexpr uint32_t kAccentVelocity = 110;
constexpr uint32_t kPlainVelocity = 90;

}  // namespace

void MidiBar::Clear() {
  events_.clear();
  last_tick_ = 0;
  length = kEmptyBarTicks;
  pattern = kNoPattern;
}

void MidiBar::Append(int32_t tick, uint32_t message) {
  if (events_.size() >= events_.capacity()) return;
  tick = std::max(tick, last_tick_);
  events_.push_back({tick - last_tick_, message});
  last_tick_ = tick;
}

void PatternSet::FillBar(int32_t pattern, MidiBar& bar) const {
  bar.length = kEmptyBarTicks;
  if (pattern < 0 || pattern >= kSequencerPatterns || step_counts[pattern] <= 0) return;
  if (drums) {
    FillDrums(pattern, bar);
  } else {
    FillSteps(pattern, bar);
  }
}

void PatternSet::FillSteps(int32_t pattern, MidiBar& bar) const {
  const int32_t count = std::min(step_counts[pattern], kSequencerMaxSteps);
  const PlayedStep* held = nullptr;  // a sliding note whose note-off waits
  int32_t modulation = -1;           // none sent yet
  auto note_off = [&](const PlayedStep& step, int32_t tick) {
    bar.Append(tick, midi::Word(midi::kNoteOff, DataByte(step.note), DataByte(step.velocity)));
  };
  for (int32_t index = 0; index < count; ++index) {
    const PlayedStep& step = steps[pattern][index];
    const int32_t tick = index * kTicksPerStep;
    const int32_t step_modulation = static_cast<int32_t>(DataByte(step.modulation));
    if (step_modulation != modulation) {
      modulation = step_modulation;
      bar.Append(tick, midi::Word(midi::kControlChange, kModulationWheel, DataByte(modulation)));
    }
    if (step.note >= 0) {
      const bool tied = held != nullptr && DataByte(held->note) == DataByte(step.note);
      if (!tied) {
        bar.Append(tick, midi::Word(midi::kNoteOn, DataByte(step.note), DataByte(step.velocity)));
        if (held != nullptr) {
          note_off(*held, tick);
          held = nullptr;
        }
      }
      if (step.slide) {
        held = &step;
      } else {
        note_off(step, tick + kTicksPerStep - 1);
        held = nullptr;
      }
    } else if (held != nullptr) {
      note_off(*held, tick);
      held = nullptr;
    }
  }
  bar.length = count * kTicksPerStep;
  if (held != nullptr) {
    bar.length += 1;
    note_off(*held, bar.length);
  }
}

void PatternSet::FillDrums(int32_t pattern, MidiBar& bar) const {
  const int32_t count = std::min(step_counts[pattern], kSequencerMaxSteps);
  for (int32_t index = 0; index < count; ++index) {
    const uint32_t word = drum_words[pattern][index];
    const uint32_t velocity = (word & 1u) != 0 ? kAccentVelocity : kPlainVelocity;
    const int32_t tick = index * kTicksPerStep;
    for (uint32_t command : {midi::kNoteOn, midi::kNoteOff}) {
      for (int32_t row = 1; row < 32; ++row) {
        if ((word & (1u << row)) == 0 || row_notes[row] < 0) continue;
        bar.Append(command == midi::kNoteOn ? tick : tick + 1,
                   midi::Word(command, static_cast<uint32_t>(row_notes[row] & 0x7F), velocity));
      }
    }
  }
  bar.length = count * kTicksPerStep;
}

float PatternSet::SamplesPerTick(float sample_rate) const {
  const float bpm = std::isfinite(tempo) ? std::clamp(tempo, 1.0f, 300.0f) : 120.0f;
  return std::max(sample_rate / (bpm * 0.4f), 1.0f);
}

}  // namespace ov
