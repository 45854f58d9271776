// Writes examples/demo.mid, the phrase the demo synthesiser renders: at 100
// bpm, Am - F - C - G as triads held for three beats with a falling or
// rising melody note on each beat above them, a beat of rest closing each
// bar, and a last Am chord with A on top.
//   cmake --build build --target orvane_demo_song && build/orvane_demo_song examples/demo.mid
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include "media/midi_file.h"

namespace {

constexpr double kBpm = 100;
constexpr double kBeat = 60.0 / kBpm;  // seconds
constexpr int kBeatsPerBar = 4;

struct Bar {
  uint8_t chord[3];
  uint8_t melody[3];  // one per beat while the chord sounds
};

constexpr Bar kPhrase[] = {
    {{57, 60, 64}, {76, 74, 72}},  // Am
    {{53, 57, 60}, {72, 74, 77}},  // F
    {{55, 60, 64}, {79, 76, 72}},  // C
    {{55, 59, 62}, {74, 71, 67}},  // G
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
  double bar_start = 0;
  for (const Bar& bar : kPhrase) {
    for (const uint8_t key : bar.chord) AddNote(events, bar_start, 3 * kBeat, key, 90);
    for (int beat = 0; beat < 3; ++beat) {
      // Slightly detached, so every melody note is struck anew.
      AddNote(events, bar_start + beat * kBeat, kBeat * 0.8, bar.melody[beat], 100);
    }
    bar_start += kBeat * kBeatsPerBar;
  }
  for (const uint8_t key : {57, 60, 64, 69}) AddNote(events, bar_start, 3 * kBeat, key, 90);
  std::string error;
  if (!ov::WriteMidiFile(argv[1], events, kBpm, &error)) {
    std::cerr << error << "\n";
    return 1;
  }
  return 0;
}
