// What gliding sliders cost: 64 "Slider" generators that never stop ramping
// (the host moves every one again as soon as its glide of sample rate / 32
// samples ends), in CPU time per sample of all 64.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "document/control.h"
#include "document/graph_build.h"
#include "engine/audio_master.h"
#include "modules/control_modules.h"
#include "tests/document/document_test_support.h"
#include "tests/engine/engine_test_support.h"

namespace ov {
namespace {

using testing::Add;

void BM_SixtyFourRampingSliders(benchmark::State& state) {
  constexpr int32_t kBlock = 64;
  testing::TestProject project;
  std::vector<Ctl_Slider*> sliders;
  for (int i = 0; i < 64; ++i) {
    auto* slider = Add<Ctl_Slider>(*project.main, "Slider");
    sliders.push_back(slider);
  }
  project.document.RunPasses(true);
  test::FakeEngineHost host;
  OvAudioMaster master(host);
  master.SetEngineBlockSize(kBlock);
  std::unique_ptr<ug_container> root;
  std::vector<ug_slider*> engines;
  {
    GraphBuild build(master);
    build.Build(*project.document.root());
    for (Ctl_Slider* slider : sliders) {
      engines.push_back(dynamic_cast<ug_slider*>(build.GeneratorOf(*slider)));
    }
    root = build.TakeRoot();
  }
  master.Start(root.get());
  const int32_t ramp_blocks = 44100 / 32 / kBlock + 1;
  int32_t block = 0;
  bool up = false;
  for (auto _ : state) {
    if (block++ % ramp_blocks == 0) {
      up = !up;
      for (ug_slider* slider : engines) slider->SetNormalisedFromHost(up ? 0.9f : 0.1f);
    }
    master.Process(kBlock);
  }
  master.Stop();
  state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(BM_SixtyFourRampingSliders);

}  // namespace
}  // namespace ov
