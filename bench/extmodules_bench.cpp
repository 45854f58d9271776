// What a module from a module library costs per sample against the built-in
// "VCA" doing the same multiplication: 16 instances on one running source,
// 64-sample slices, with 0 or 8 status changes of their input per slice
// (each splits the library module's process calls and reaches its event
// function). "ns_per_sample" is per sample per instance.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "extmodules/module_library.h"
#include "modules/module_registry.h"
#include "modules/vca.h"
#include "tests/engine/graph_fixture.h"

namespace ov {
namespace {

constexpr int32_t kSlice = 64;
constexpr int kInstances = 16;

const ModuleRegistry& LibraryTypes() {
  static ModuleRegistry registry;
  static const bool registered = [] {
    const std::string path = std::string(OV_SDK_LIBRARIES) + "/example_modules.ovm";
    RegisterModuleLibrary(registry, "", "example_modules.ovm", path);
    return true;
  }();
  (void)registered;
  return registry;
}

struct GainBench : test::BasicGraphRig<test::FakeEngineHost, kSlice> {
  GainBench() { master.SetSampleRate(44100.0f); }

  void Run(benchmark::State& state, bool library) {
    test::Source& source = Add(std::make_unique<test::Source>(), 10);
    for (int i = 0; i < kInstances; ++i) {
      if (library) {
        ug_base& gain = Add(LibraryTypes().FindModule("Ov Example Gain")->CreateGenerator(), 1);
        gain.plug(1)->SetValueFromText("0.5");
        top.connect(source.plug(0), gain.plug(0));
      } else {
        ug_base& vca = Add(std::make_unique<ug_vca>(), 1);
        vca.plug(ug_vca::kVolume)->SetValueFromText("5");
        top.connect(source.plug(0), vca.plug(ug_vca::kSignal));
      }
    }
    master.Start(&top);
    for (int i = 0; i < kSlice; ++i) source.out[i] = 0.3f * std::sin(0.1f * static_cast<float>(i));
    source.plug(0)->Transmit(0, ST_RUN);
    const int changes = static_cast<int>(state.range(0));
    for (int i = 0; i < 8; ++i) master.Process(kSlice);
    for (auto _ : state) {
      const uint32_t start = master.SampleClock();
      for (int k = 0; k < changes; ++k) {
        source.plug(0)->Transmit(start + static_cast<uint32_t>(k * (kSlice / changes)),
                                 k % 2 == 0 ? ST_STATIC : ST_RUN);
      }
      master.Process(kSlice);
    }
    state.counters["ns_per_sample"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kSlice * kInstances,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  }
};

void BM_LibraryGain(benchmark::State& state) { GainBench().Run(state, true); }
BENCHMARK(BM_LibraryGain)->Arg(0)->Arg(8);

void BM_BuiltInVca(benchmark::State& state) { GainBench().Run(state, false); }
BENCHMARK(BM_BuiltInVca)->Arg(0)->Arg(8);

}  // namespace
}  // namespace ov

BENCHMARK_MAIN();
