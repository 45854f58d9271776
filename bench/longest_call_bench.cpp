// The longest host process call in two hard cases: a "WaveShaper2" whose
// 200-character formula is edited again and again while it plays, and a
// "MIDI Player" playing a 2 MB file whose events all fall on one tick. A
// real-time host has a block's time for each call (2.9 ms for 128 samples
// at 44.1 kHz), so the longest call is what a user hears as a dropout.
// Prints one line per case: the longest call, and what reached the end.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench/memory_file.h"
#include "media/midi_player.h"
#include "modules/wave_shaper.h"
#include "tests/engine/graph_fixture.h"
#include "tests/media/same_tick_song.h"

namespace ov {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int32_t kBlock = 128;

double Milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

// A block's time at 44.1 kHz.
constexpr Clock::duration kBlockTime = std::chrono::microseconds(2902);

struct Calls {
  Clock::duration longest{};
  int over_block = 0;  // calls that took longer than the block lasts
};

// The longest of `blocks` process calls; `before` runs ahead of each. On a
// busy machine a call now and then also holds the time the scheduler gave
// another process (a few milliseconds), whatever the call does.
template <typename Before>
Calls LongestCall(OvAudioMaster& master, int blocks, Before before) {
  Calls longest;
  for (int block = 0; block < blocks; ++block) {
    before(block);
    const auto start = Clock::now();
    master.Process(kBlock);
    const Clock::duration took = Clock::now() - start;
    longest.longest = std::max(longest.longest, took);
    longest.over_block += took > kBlockTime;
  }
  return longest;
}

void FormulaEdits() {
  test::GraphRig rig;
  rig.master.SetSampleRate(44100.0f);
  auto& shaper = rig.Add(std::make_unique<ug_wave_shaper2>(), 10);
  shaper.plug(ug_wave_shaper::kSignalIn)->SetValueFromText("3");
  auto& shape = rig.Feed(*shaper.plug(ug_wave_shaper::kShape), 20);
  std::string formulas[2] = {"x", "x"};
  while (formulas[0].size() + 16 <= ug_wave_shaper2::kFormulaLength) {
    formulas[0] += "+sin(x)*cos(x/3)";
    formulas[1] += "-sin(x)*cos(x/5)";
  }
  shape.plug(0)->SetValueFromText(formulas[1]);
  rig.Start();
  // The first block builds the shape the engine starts with, before any
  // sound; the edits come after it.
  rig.master.Process(kBlock);
  constexpr int kEdits = 100;
  constexpr int kBlocksPerEdit = 8;
  const Calls calls = LongestCall(rig.master, kEdits * kBlocksPerEdit, [&](int block) {
    if (block % kBlocksPerEdit != 0) return;
    // The text is set between calls, as the editor thread's message
    // would have it when the audio thread applies it.
    shape.plug(0)->SetValueFromText(formulas[block / kBlocksPerEdit % 2]);
    shape.plug(0)->Transmit(rig.master.CellStart() + 5, ST_STATIC);
    // Room for a background build to finish between edits, as a user's
    // typing leaves.
    std::this_thread::sleep_for(std::chrono::milliseconds(4));
  });
  std::printf(
      "WaveShaper2, %d edits of a %zu-character formula: longest call %.3f ms, %d calls longer "
      "than a block\n",
      kEdits, formulas[0].size(), Milliseconds(calls.longest), calls.over_block);
}

void SameTickFile() {
  constexpr int kEvents = 699'000;  // 2 MB of three-byte events
  MemoryFile file(testing::SameTickSong(kEvents), "/tmp/");
  test::GraphRig rig;
  rig.master.SetSampleRate(44100.0f);
  rig.host.files = &file;
  auto& player = rig.Add(std::make_unique<ug_midi_player>(), 10);
  player.plug(ug_midi_player::kFileName)->SetValueFromText("tick");
  player.plug(ug_midi_player::kTempo)->SetValueFromText("12");
  auto& counter = rig.Add(std::make_unique<testing::NoteCounter>(), 0);
  rig.top.connect(player.plug(ug_midi_player::kMidiOut), counter.plug(0));
  rig.Start();
  const Calls calls = LongestCall(rig.master, 4000, [](int) {});
  std::printf(
      "MIDI Player, %d events on one tick: longest call %.3f ms, %d calls longer than a block, "
      "%lld events arrived, %u lost to the full pool\n",
      kEvents, Milliseconds(calls.longest), calls.over_block, static_cast<long long>(counter.notes),
      rig.master.Events().Dropped());
}

}  // namespace
}  // namespace ov

int main() {
  ov::FormulaEdits();
  ov::SameTickFile();
  return 0;
}
