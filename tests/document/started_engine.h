// A compiled document built into an engine graph and started as the plug-in
// starts one, with the host output port kept so that a test or benchmark can
// hand the engine its output buffers before each process call.
#pragma once

#include <memory>

#include "document/document.h"
#include "document/graph_build.h"
#include "engine/audio_master.h"
#include "engine/host_ports.h"
#include "engine/ug_notesource.h"
#include "engine/voice_lanes.h"
#include "tests/engine/engine_test_support.h"

namespace ov::test {

class OutputHost : public FakeEngineHost {
 public:
  void SetHostOutputPort(HostOutputPort* port) override { output = port; }
  HostOutputPort* output = nullptr;
};

struct StartedEngine {
  StartedEngine(const COrvaneDocBase& document, int32_t host_block, LaneMode lanes) {
    master.SetSampleRate(44100.0f);
    master.SetEngineBlockSize(OvAudioMaster::ChooseEngineBlockSize(host_block));
    master.SetLaneMode(lanes);
    {
      GraphBuild build(master);
      build.Build(*document.root());
      root = build.TakeRoot();
    }
    master.Start(root.get());
  }
  ~StartedEngine() { master.Stop(); }

  // The note source of the model voice (not one of its copies), or null.
  ug_base* ModelNoteSource() const {
    ug_base* source = nullptr;
    root->VisitTree([&](ug_base& generator) {
      if ((generator.Flags() & UGF_CLONE) == 0 && dynamic_cast<ug_notesource*>(&generator)) {
        source = &generator;
      }
    });
    return source;
  }

  OutputHost host;
  OvAudioMaster master{host};
  std::unique_ptr<ug_container> root;
};

}  // namespace ov::test
