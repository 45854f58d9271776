// Writes examples/demo.mid, the short piece the demo renders: a plucked
// arpeggio over Am - F - C - G with a bass note on each bar, at 100 bpm.
//   cmake --build build --target orvane_demo_song && build/orvane_demo_song examples/demo.mid
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include "media/midi_file.h"

namespace {

constexpr double kBpm = 100;
constexpr double kEighth = 30.0 / kBpm;  // seconds
constexpr int kEighthsPerBar = 8;

struct Chord {
  uint8_t bass;
  uint8_t tones[4];  // the arpeggio climbs these and comes back down
};

// Am, F, C, G: twice through, the last bar resolving on A.
constexpr Chord kProgression[] = {
    {45, {57, 60, 64, 69}},
    {41, {57, 60, 65, 69}},
    {48, {55, 60, 64, 67}},
    {43, {55, 59, 62, 67}},
};

void AddNote(std::vector<ov::MidiChannelEvent>& events, double start, double length, uint8_t key,
             uint8_t velocity) {
  events.push_back({start, 0, 0, {0x90, key, velocity}, 3});
  events.push_back({start + length, 0, 0, {0x80, key, 0}, 3});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: orvane_demo_song OUT.mid\n";
    return 2;
  }
  std::vector<ov::MidiChannelEvent> events;
  constexpr int kPattern[kEighthsPerBar] = {0, 1, 2, 3, 2, 1, 2, 3};
  double bar_start = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (const Chord& chord : kProgression) {
      AddNote(events, bar_start, kEighth * kEighthsPerBar, chord.bass, 90);
      for (int step = 0; step < kEighthsPerBar; ++step) {
        const uint8_t velocity = step % 2 == 0 ? 100 : 72;  // accent the beats
        AddNote(events, bar_start + step * kEighth, kEighth * 1.5, chord.tones[kPattern[step]],
                velocity);
      }
      bar_start += kEighth * kEighthsPerBar;
    }
  }
  AddNote(events, bar_start, kEighth * 8, 45, 90);
  AddNote(events, bar_start, kEighth * 8, 69, 90);
  std::string error;
  if (!ov::WriteMidiFile(argv[1], events, kBpm, &error)) {
    std::cerr << error << "\n";
    return 1;
  }
  return 0;
}
