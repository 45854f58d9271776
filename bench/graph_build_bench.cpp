// Building the engine graph of a generated project: 1,000 modules in ten
// containers, each container a chain of a hundred (so sorting walks long
// paths).
#include <benchmark/benchmark.h>

#include <string>

#include "document/container.h"
#include "document/graph_build.h"
#include "engine/audio_master.h"
#include "tests/document/document_test_support.h"
#include "tests/engine/engine_test_support.h"

namespace ov {
namespace {

using testing::Add;
using testing::Plug;

void Wire(CContainer& container, CUG& from, CUG& to) {
  container.Connect(Plug(from, "Signal Out"), Plug(to, "Signal in"));
}

struct GeneratedProject {
  static constexpr int kContainers = 10;
  static constexpr int kModulesPerContainer = 100;

  GeneratedProject() {
    for (int c = 0; c < kContainers; ++c) {
      auto* inner = Add<CContainer>(*project.main, "Container");
      inner->SetTitle("Part " + std::to_string(c));
      CUG* previous = nullptr;
      for (int m = 0; m < kModulesPerContainer; ++m) {
        CUG* module = Add(*inner, "Inverter");
        module->SetTitle("Stage " + std::to_string(m));
        if (previous != nullptr) Wire(*inner, *previous, *module);
        previous = module;
      }
    }
  }

  testing::TestProject project;
};

void BM_GraphBuild(benchmark::State& state) {
  GeneratedProject generated;
  test::FakeEngineHost host;
  for (auto _ : state) {
    OvAudioMaster master(host);
    master.SetEngineBlockSize(128);
    GraphBuild build(master);
    build.Build(*generated.project.document.root());
    benchmark::DoNotOptimize(build.TakeRoot());
  }
  state.counters["modules"] = GeneratedProject::kContainers * GeneratedProject::kModulesPerContainer;
}
BENCHMARK(BM_GraphBuild)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ov
