// The cost of the master's slice loop itself: generators that do no work,
// host blocks of 512 on a 128-sample cell grid.
#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <vector>

#include "engine/audio_master.h"
#include "engine/ug_base.h"

namespace ov {
namespace {

class NullHost : public EngineHost {
 public:
  const vst2::VstTimeInfo* HostTimeInfo(int32_t) override { return nullptr; }
  uint32_t NewTargetId() override { return next_id_++; }
  void PostUserMessage(std::string_view) override {}

 private:
  uint32_t next_id_ = 1;
};

class IdleGenerator : public ug_base {
 protected:
  void DoProcess(int32_t frames) override { benchmark::DoNotOptimize(frames); }
};

class Patch : public ug_base {
 public:
  explicit Patch(int count) : generators_(count) {}

  void VisitTree(const std::function<void(ug_base&)>& visit) override {
    visit(*this);
    for (IdleGenerator& generator : generators_) visit(generator);
  }
  void Open() override {
    for (IdleGenerator& generator : generators_) generator.Open();
  }
  void Close() override {
    for (IdleGenerator& generator : generators_) generator.Close();
  }

 protected:
  void DoProcess(int32_t) override {}

 private:
  std::vector<IdleGenerator> generators_;
};

void BM_SliceLoop(benchmark::State& state) {
  const int generators = static_cast<int>(state.range(0));
  constexpr int32_t kHostBlock = 512;
  NullHost host;
  OvAudioMaster master(host);
  master.SetEngineBlockSize(OvAudioMaster::ChooseEngineBlockSize(kHostBlock));
  Patch patch(generators);
  master.Start(&patch);
  for (auto _ : state) master.Process(kHostBlock);
  master.Stop();

  const double slices = static_cast<double>(kHostBlock / master.EngineBlockSize());
  state.counters["per_generator_slice"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * slices * generators,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SliceLoop)->Arg(64)->Arg(256);

}  // namespace
}  // namespace ov

BENCHMARK_MAIN();
