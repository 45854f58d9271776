// What the wave player's renderers cost per output sample: mono and stereo
// files, at a fixed "Pitch Shift" a little above the file's own (so every
// sample is interpolated) and with a moving one (the increment recomputed
// each sample). 16 players loop a one-second file while their gate is held.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench/memory_file.h"
#include "platform/byte_order.h"
#include "media/wave_player.h"
#include "tests/engine/graph_fixture.h"

namespace ov {
namespace {

constexpr int32_t kSlice = 64;
constexpr int kInstances = 16;
constexpr uint32_t kFrames = 44100;

// One looped WAVE file of 16-bit noise.
class LoopedWave {
 public:
  explicit LoopedWave(uint16_t channels) {
    std::vector<uint8_t> body;
    AppendLe16(body, 1);
    AppendLe16(body, channels);
    AppendLe32(body, 44100);
    AppendLe32(body, 44100u * 2 * channels);
    AppendLe16(body, static_cast<uint16_t>(2 * channels));
    AppendLe16(body, 16);
    Chunk("fmt ", body);
    std::vector<uint8_t> smpl(60, 0);
    smpl[28] = 1;
    std::vector<uint8_t> end;
    AppendLe32(end, kFrames);
    std::copy(end.begin(), end.end(), smpl.begin() + 48);
    Chunk("smpl", smpl);
    std::vector<uint8_t> data;
    for (uint32_t i = 0; i < kFrames * channels; ++i) {
      AppendLe16(data, static_cast<uint16_t>(std::lround(9000 * std::sin(1.7 * i * i))));
    }
    Chunk("data", data);
    const std::vector<uint8_t> chunks = std::move(bytes_);
    bytes_ = {'R', 'I', 'F', 'F'};
    AppendLe32(bytes_, static_cast<uint32_t>(chunks.size() + 4));
    bytes_.insert(bytes_.end(), {'W', 'A', 'V', 'E'});
    bytes_.insert(bytes_.end(), chunks.begin(), chunks.end());
  }
  std::vector<uint8_t> Bytes() && { return std::move(bytes_); }

 private:
  void Chunk(const char* id, const std::vector<uint8_t>& body) {
    bytes_.insert(bytes_.end(), id, id + 4);
    AppendLe32(bytes_, static_cast<uint32_t>(body.size()));
    bytes_.insert(bytes_.end(), body.begin(), body.end());
  }

  std::vector<uint8_t> bytes_;
};

void BM_WavePlayer(benchmark::State& state) {
  const auto channels = static_cast<uint16_t>(state.range(0));
  const bool moving = state.range(1) != 0;
  state.SetLabel(std::string(channels == 1 ? "mono" : "stereo") +
                 (moving ? ", moving pitch" : ", fixed pitch"));
  MemoryFile file(LoopedWave(channels).Bytes());
  test::BasicGraphRig<test::FakeEngineHost, kSlice> rig;
  rig.host.files = &file;
  rig.master.SetSampleRate(44100.0f);
  test::Source* pitch = nullptr;
  if (moving) pitch = &rig.Add(std::make_unique<test::Source>(), 10);
  for (int i = 0; i < kInstances; ++i) {
    auto& player = rig.Add(std::make_unique<ug_wave_player>(), 1);
    player.plug(ug_wave_in::kGate)->SetValueFromText("10");
    player.plug(ug_wave_in::kFileName)->SetValueFromText("loop");
    if (pitch != nullptr) {
      rig.top.connect(pitch->plug(0), player.plug(ug_wave_in::kPitchShift));
    } else {
      player.plug(ug_wave_in::kPitchShift)->SetValueFromText("5.3");
    }
  }
  rig.Start();
  if (pitch != nullptr) {
    for (int i = 0; i < kSlice; ++i) pitch->out[i] = 0.53f + 0.05f * std::sin(0.1f * i);
    pitch->plug(0)->Transmit(0, ST_RUN);
  }
  for (int i = 0; i < 8; ++i) rig.master.Process(kSlice);
  for (auto _ : state) rig.master.Process(kSlice);
  state.counters["ns_per_sample"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kSlice * kInstances,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_WavePlayer)->ArgsProduct({{1, 2}, {0, 1}});

}  // namespace
}  // namespace ov
