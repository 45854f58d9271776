// An engine for benchmarks: host blocks of 512 on 128-sample cells, and the
// per-generator-slice counter every engine benchmark reports.
#pragma once

#include <benchmark/benchmark.h>

#include "engine/audio_master.h"
#include "engine/ug_container.h"
#include "tests/engine/engine_test_support.h"

namespace ov {

struct BenchEngine {
  static constexpr int32_t kHostBlock = 512;

  BenchEngine() {
    master.SetEngineBlockSize(OvAudioMaster::ChooseEngineBlockSize(kHostBlock));
    top.SetMaster(&master);
  }
  ~BenchEngine() { master.Stop(); }

  // Starts, settles for a few blocks, then times host blocks; reports the
  // time per slice of each of `generators`.
  void Run(benchmark::State& state, int generators) {
    master.Start(&top);
    for (int i = 0; i < 4; ++i) master.Process(kHostBlock);
    for (auto _ : state) master.Process(kHostBlock);
    const double slices = static_cast<double>(kHostBlock / master.EngineBlockSize());
    state.counters["per_generator_slice"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * slices * generators,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  }

  test::FakeEngineHost host;
  OvAudioMaster master{host};
  ug_container top;
};

}  // namespace ov
