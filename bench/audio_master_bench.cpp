// The cost of the master's slice loop itself: generators that do no work and
// never sleep, host blocks of 512 on a 128-sample cell grid.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/bench_support.h"
#include "engine/ug_container.h"

namespace ov {
namespace {

class IdleGenerator : public ug_base {
 public:
  IdleGenerator() { SetProcessFunction(&IdleGenerator::DoNothing); }
  std::unique_ptr<ug_base> CreateInstance() const override {
    return std::make_unique<IdleGenerator>();
  }
};

void BM_SliceLoop(benchmark::State& state) {
  const int generators = static_cast<int>(state.range(0));
  BenchEngine engine;
  for (int i = 0; i < generators; ++i) engine.top.Add(std::make_unique<IdleGenerator>());
  engine.Run(state, generators);
}
BENCHMARK(BM_SliceLoop)->Arg(64)->Arg(256);

}  // namespace
}  // namespace ov
