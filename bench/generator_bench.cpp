// What generators cost per slice: asleep after their inputs went static, and
// running at full rate in a chain.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/bench_support.h"

namespace ov {
namespace {

// Followers fed constants: each computes one static block, then sleeps and
// is never visited again.
void BM_SleepingGenerators(benchmark::State& state) {
  const int generators = static_cast<int>(state.range(0));
  BenchEngine engine;
  for (int i = 0; i < generators; ++i) {
    auto& follower = engine.top.Add(std::make_unique<test::Follower>());
    follower.plug(0)->SetValueFromText("1");
  }
  engine.Run(state, generators);
  if (!engine.top.Children().back()->IsSleeping()) state.SkipWithError("not asleep");
}
BENCHMARK(BM_SleepingGenerators)->Arg(1000);

// A running source into a chain of followers that copy every sample.
void BM_RunningChain(benchmark::State& state) {
  const int generators = static_cast<int>(state.range(0));
  BenchEngine engine;
  auto& source = engine.top.Add(std::make_unique<test::Source>());
  source.SetSortOrder(generators + 1);
  UPlug* previous = source.plug(0);
  for (int i = 0; i < generators; ++i) {
    auto& follower = engine.top.Add(std::make_unique<test::Follower>());
    follower.SetSortOrder(generators - i);
    engine.top.connect(previous, follower.plug(0));
    previous = follower.plug(1);
  }
  previous->Owner().SetSortOrder(0);
  source.plug(0)->Transmit(0, ST_RUN);
  engine.Run(state, generators);
  if (engine.top.Children().back()->IsSleeping()) state.SkipWithError("chain asleep");
}
BENCHMARK(BM_RunningChain)->Arg(100);

}  // namespace
}  // namespace ov

BENCHMARK_MAIN();
