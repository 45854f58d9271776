// A panel face driving an engine module: a list face connected to an
// oscillator's "Waveform" input, directly or through a container's plug,
// chooses the waveform the running engine plays, patch by patch, and again
// after the project is saved and loaded.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "document/container.h"
#include "document/document.h"
#include "document/graph_build.h"
#include "document/panel_objects.h"
#include "document/patch_manager.h"
#include "document/plug_kinds.h"
#include "document/project_text.h"
#include "document/value_objects.h"
#include "engine/audio_master.h"
#include "engine/uplug.h"
#include "patches/message_hub.h"
#include "tests/engine/engine_test_support.h"

namespace ov {
namespace {

using ListFace = control_std<int16_t, MetaData_enum>;

COrvaneDocBase Reloaded(const COrvaneDocBase& document) {
  COrvaneDocBase loaded;
  const LoadResult result = loaded.Load(document.Write(kCurrentLoadVersion), {});
  EXPECT_TRUE(result.ok) << result.message;
  return loaded;
}

// As the plug-in has it: compiled, stored, and loaded from the stream. When
// `nested`, the oscillator sits in a container of its own, fed through the
// container's "Wave" plug.
COrvaneDocBase Project(bool connected, bool nested) {
  Json text = Json::parse(R"({"root": {"modules": [{"type": "Container", "name": "main",
      "modules": [
        {"type": "List Entry2", "name": "wave", "plug_values": {"List": 3}},
        {"type": "Oscillator", "name": "osc"},
        {"type": "PatchMemFloatIn", "name": "level"},
        {"type": "Image", "name": "knob"}],
      "connections": ["wave.List -> osc.Waveform", "knob.Animation Position -> level.Value"]}]}})");
  Json& main = text["root"]["modules"][0];
  if (nested) {
    main["modules"][1] = Json::parse(R"({"type": "Container", "name": "voice",
        "io": [{"name": "Wave", "direction": "in", "datatype": "enum"}],
        "modules": [{"type": "Oscillator", "name": "osc"}],
        "connections": ["io.Wave -> osc.Waveform"]})");
    main["connections"][0] = "wave.List -> voice.Wave";
  }
  if (!connected) main.erase("connections");
  return Reloaded(CompileDocument(text, {}));
}

CUG* Module(const CContainer& container, const std::string& type) {
  for (const auto& child : container.children()) {
    auto* module = dynamic_cast<CUG*>(child.get());
    if (module != nullptr && module->type_key() == type) return module;
    if (const auto* inner = dynamic_cast<const CContainer*>(module); inner != nullptr) {
      if (CUG* found = Module(*inner, type)) return found;
    }
  }
  return nullptr;
}

CUG* Module(const COrvaneDocBase& document, const std::string& type) {
  auto* main = dynamic_cast<CContainer*>(document.root()->children().front().get());
  CUG* found = Module(*main, type);
  if (found == nullptr) ADD_FAILURE() << type;
  return found;
}

// The parameters the host sees, by id and name.
std::map<int32_t, std::string> Visible(const COrvaneDocBase& document) {
  std::map<int32_t, std::string> visible;
  for (const auto& [id, parameter] : document.root()->patch_manager()->parameters()) {
    if (!parameter->hidden()) visible[id] = parameter->name();
  }
  return visible;
}

// The document's engine, started as the plug-in starts it, with the
// oscillator's waveform input as the oscillator reads it.
struct Running {
  explicit Running(const COrvaneDocBase& document) {
    master.SetEngineBlockSize(32);
    hub.AttachEngine(&master);
    GraphBuild build(master);
    build.SetMessageHub(&hub);
    build.Build(*document.root());
    CUG* osc = Module(document, "Oscillator");
    waveform = build.GeneratorOf(*osc)->plug(osc->GetEnginePlugIndex(osc->FindPlug("Waveform")));
    graph = build.TakeRoot();
    master.Start(graph.get());
  }
  ~Running() {
    master.Stop();
    hub.AttachEngine(nullptr);
  }
  int16_t Heard() {
    master.Process(32);
    hub.Idle();
    return waveform->EnumValue();
  }

  test::FakeEngineHost host;
  MessageHub hub{host};
  OvAudioMaster master{host};
  std::unique_ptr<ug_container> graph;
  UPlug* waveform = nullptr;
};

TEST(PanelFeeds, AListFaceChoosesTheWaveformPerPatchAndAfterASaveWithoutShowingTheHost) {
  for (const bool nested : {false, true}) {
    SCOPED_TRACE(nested ? "through a container's plug" : "directly");
    COrvaneDocBase document = Project(true, nested);
    // A hidden parameter: what the host sees, ids included, is what it saw
    // without the connection.
    EXPECT_EQ(Visible(document), Visible(Project(false, nested)));
    ASSERT_EQ(Visible(document).size(), 1u);
    ASSERT_EQ(document.root()->patch_manager()->parameters().size(), 2u);

    auto running = std::make_unique<Running>(document);
    ListFace face;
    const auto attach = [&] {
      auto* wave = dynamic_cast<control_ob*>(Module(document, "List Entry2"));
      ASSERT_TRUE(face.Attach(*wave->FeaturePlugs()[0]->ConnectedVariable()));
    };
    attach();
    EXPECT_EQ(face.Metadata().items, "Sine, Saw, Ramp, Triangle, Pulse,White Noise,Pink Noise");
    const auto patch = [&](int32_t n) { return [&, n] { document.root()->SetCurrentPatch(n); }; };
    const auto choose = [&](int16_t item) { return [&, item] { face.Set(item); }; };
    const auto save_and_load = [&] {
      running.reset();
      face.Detach();
      document = Reloaded(document);
      running = std::make_unique<Running>(document);
      attach();
    };
    struct Step {
      const char* what;
      std::function<void()> act;
      int16_t heard;  // by the oscillator, and shown by the face
    };
    const Step steps[] = {
        {"the face's stored choice starts every patch", [] {}, 3},
        {"a choice on the panel", choose(4), 4},
        {"patch 1 still holds the start", patch(1), 3},
        {"a choice in patch 1", choose(0), 0},
        {"back to patch 0", patch(0), 4},
        {"saved and loaded", save_and_load, 4},
        {"patch 1 after loading", patch(1), 0},
        {"a choice after loading", choose(6), 6},
    };
    for (const Step& step : steps) {
      SCOPED_TRACE(step.what);
      step.act();
      EXPECT_EQ(running->Heard(), step.heard);
      EXPECT_EQ(face.Get(), step.heard);
      // Stored with the face too, as the panel set it.
      EXPECT_EQ(Module(document, "List Entry2")->FindPlug("List")->value_text(),
                std::to_string(step.heard));
    }
    EXPECT_EQ(Visible(document).size(), 1u) << "still hidden after loading";

    // A float face feeding a patch-stored panel input hands the parameter its
    // value whole, so that the face is not rounded back to three decimals.
    control_std<float, MetaData_float> knob;
    auto* image = dynamic_cast<control_ob*>(Module(document, "Image"));
    ASSERT_TRUE(knob.Attach(*image->FeaturePlugs()[0]->ConnectedVariable()));
    knob.Set(0.1234f);
    const PatchParameter* level =
        ParameterOf(*Module(document, "PatchMemFloatIn")->FindPlug("Value"));
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level->CurrentValue().real, 0.1234f);
    EXPECT_EQ(knob.Get(), 0.1234f);
  }
}

}  // namespace
}  // namespace ov
