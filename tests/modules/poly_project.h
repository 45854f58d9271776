// A project with one polyphonic container, built from documents as the
// application builds it and started: for tests that play notes through a
// whole graph of voices.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "document/graph_build.h"
#include "engine/ug_container.h"
#include "engine/ug_notesource.h"
#include "tests/document/document_test_support.h"
#include "tests/engine/engine_test_support.h"

namespace ov::test {

// The main container holds a "Midi to CV" (`cv`); tests add and connect more
// modules, then Start.
struct PolyProject {
  explicit PolyProject(int voices = 3, int32_t cell = 64) {
    project.main->FindPlug("Polyphony")->SetValueText(std::to_string(voices));
    cv = Add("Midi to CV");
    master.SetEngineBlockSize(cell);
    master.SetSampleRate(44100.0f);
  }
  ~PolyProject() { master.Stop(); }

  CUG* Add(std::string_view key) { return ov::testing::Add(*project.main, key); }
  void Connect(CUG* from, std::string_view output, CUG* to, std::string_view input) {
    project.main->Connect(ov::testing::Plug(*from, output), ov::testing::Plug(*to, input));
  }
  void Start() {
    build.Build(*project.document.root());
    root = build.TakeRoot();
    master.Start(root.get());
  }
  // A MIDI message reaching the model note source at `time`.
  void Midi(uint32_t time, uint32_t word) {
    ug_base& model = *build.GeneratorOf(*cv);
    model.QueueEvent(time, UET_MIDI, static_cast<int32_t>(word), model.plug(0), 0, true);
  }
  ug_container& Voices() { return *dynamic_cast<ug_container*>(build.GeneratorOf(*project.main)); }
  // The generator of `module` in each voice that has one, voice 0 first.
  template <typename T>
  std::vector<T*> PerVoice(const CUG& module) {
    std::vector<T*> found;
    for (ug_base* g = build.GeneratorOf(module); g != nullptr; g = g->NextClone()) {
      found.push_back(dynamic_cast<T*>(g));
    }
    return found;
  }

  ov::testing::TestProject project;
  CUG* cv = nullptr;
  FakeEngineHost host;
  OvAudioMaster master{host};
  GraphBuild build{master};
  std::unique_ptr<ug_container> root;
};

}  // namespace ov::test
