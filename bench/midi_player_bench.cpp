// What one call of the MIDI player's scheduler costs on a dense song: 16
// tracks, each with a note-on or note-off on every tick (in running status)
// at 96 ticks a quarter, looped, so every call plays 16 messages. A sparse
// song, one note a quarter on one track, shows the cost of a call that
// mostly sends the clock.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "platform/byte_order.h"
#include "media/midi_sequence.h"

namespace ov {
namespace {

class Counted final : public MidiSequence::Output {
 public:
  void SendMidi(uint32_t word) override {
    checksum += word;
    ++messages;
  }
  uint32_t checksum = 0;
  int64_t messages = 0;
};

// A format-1 song of `tracks` tracks with a note event every `spacing` ticks
// for eight bars.
std::vector<uint8_t> Song(uint16_t tracks, uint8_t spacing) {
  constexpr uint16_t kDivision = 96;
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd'};
  AppendBe32(file, 6);
  AppendBe16(file, 1);
  AppendBe16(file, tracks);
  AppendBe16(file, kDivision);
  for (uint16_t t = 0; t < tracks; ++t) {
    std::vector<uint8_t> body = {0x00, static_cast<uint8_t>(0x90 | (t & 15)), 60, 100};
    for (int tick = spacing; tick < 8 * 4 * kDivision; tick += spacing) {
      body.insert(body.end(), {spacing, static_cast<uint8_t>(60 + tick % 12),
                               static_cast<uint8_t>(tick / spacing % 2 ? 0 : 100)});
    }
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    AppendBe32(file, static_cast<uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
  }
  return file;
}

void Scheduler(benchmark::State& state, uint16_t tracks, uint8_t spacing) {
  MidiSequence sequence;
  if (!sequence.Load(Song(tracks, spacing))) {
    state.SkipWithError("the song did not load");
    return;
  }
  sequence.SetSampleRate(44100);
  sequence.SetLoop(true);
  Counted out;
  uint64_t samples = 0;
  for (auto _ : state) samples += sequence.Run(out).value_or(0);
  benchmark::DoNotOptimize(out.checksum);
  state.SetItemsProcessed(state.iterations());
  state.counters["messages/call"] =
      static_cast<double>(out.messages) / static_cast<double>(state.iterations());
  state.counters["samples/call"] =
      static_cast<double>(samples) / static_cast<double>(state.iterations());
}

void BM_MidiPlayerDense16Tracks(benchmark::State& state) { Scheduler(state, 16, 1); }
void BM_MidiPlayerSparse(benchmark::State& state) { Scheduler(state, 1, 96); }

BENCHMARK(BM_MidiPlayerDense16Tracks);
BENCHMARK(BM_MidiPlayerSparse);

}  // namespace
}  // namespace ov
