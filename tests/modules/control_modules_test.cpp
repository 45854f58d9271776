// The engine halves of the control modules, built from a document with its
// message hub as the plug-in builds them: slider ramps from the panel and
// the host, program changes inside the engine, MIDI controllers reaching the
// document back, and the two routing switches.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "document/control.h"
#include "document/graph_build.h"
#include "document/patch_manager.h"
#include "engine/audio_master.h"
#include "modules/control_modules.h"
#include "modules/midi_automator.h"
#include "patches/message_hub.h"
#include "tests/document/document_test_support.h"
#include "tests/engine/engine_test_support.h"

namespace ov::testing {
namespace {

constexpr int32_t kBlock = 32;
constexpr int32_t kSlowRamp = 44100 / 32;

class CountingWatcher : public ParamWatcher {
 public:
  int changes = 0;

 protected:
  void OnParameterChanged() override { ++changes; }
};

// A document with the modules a test adds, built and started.
class ControlEngine {
 public:
  ControlEngine() = default;
  ~ControlEngine() {
    if (master.IsRunning()) master.Stop();
    hub.AttachEngine(nullptr);
  }
  template <class T = CUG>
  T* Add(std::string_view key) {
    return testing::Add<T>(*project.main, key);
  }
  void Start() {
    project.document.RunPasses(true);
    master.SetEngineBlockSize(kBlock);
    hub.AttachEngine(&master);
    GraphBuild build(master);
    build.SetMessageHub(&hub);
    build.Build(*project.document.root());
    graph = build.TakeRoot();
    master.Start(graph.get());
  }
  template <class T>
  T* Generator(const CUG& module) const {
    return dynamic_cast<T*>(module.Generator());
  }
  // The next `samples` of an output, block by block.
  std::vector<float> Record(const UPlug& output, int32_t samples) {
    std::vector<float> out;
    for (int32_t done = 0; done < samples; done += kBlock) {
      master.Process(kBlock);
      out.insert(out.end(), output.Data(), output.Data() + kBlock);
    }
    return out;
  }

  TestProject project;
  test::FakeEngineHost host;
  MessageHub hub{host};
  OvAudioMaster master{host};
  std::unique_ptr<ug_container> graph;
};

// The first sample from which `samples` stay at `value`.
int32_t SettlesAt(const std::vector<float>& samples, float value) {
  int32_t from = static_cast<int32_t>(samples.size());
  while (from > 0 && samples[static_cast<std::size_t>(from) - 1] == value) --from;
  return from;
}

TEST(SliderEngine, RampsFromThePanelAndTheHostAndTheDocumentFollowsTheHost) {
  struct Row {
    const char* what;
    const char* appearance;
    bool from_host;
    float normalised;
    int32_t settles_after;  // samples from the block start
    double document_value;  // after the next idle
  };
  const Row rows[] = {
      {"panel quarter glides", "1", false, 0.25f, kSlowRamp, 2.5},
      {"panel button answers at once", "4", false, 1.0f, 4, 10.0},
      {"panel small button glides", "8", false, 1.0f, kSlowRamp, 10.0},
      {"host quarter glides", "1", true, 0.25f, kSlowRamp, 2.5},
      {"host small button answers at once", "8", true, 1.0f, 4, 10.0},
      {"host toggle answers at once", "5", true, 1.0f, 4, 10.0},
      {"host NaN goes to lo", "4", true, std::nanf(""), 4, 0.0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ControlEngine engine;
    auto* slider = engine.Add<Ctl_Slider>("Slider");
    Plug(*slider, "Appearance")->WriteValueText(row.appearance);
    slider->SetValue(-1, row.from_host && std::isnan(row.normalised) ? 5.0 : 0.0);
    engine.Start();
    auto* generator = engine.Generator<ug_slider>(*slider);
    ASSERT_NE(generator, nullptr);
    const UPlug& out = *generator->plug(ug_slider::kSignalOut);
    engine.Record(out, kBlock);
    CountingWatcher watcher;
    watcher.Watch(slider);

    if (row.from_host) {
      generator->SetNormalisedFromHost(row.normalised);
    } else {
      slider->SetNormalised(row.normalised);
    }
    const float target = static_cast<float>(row.document_value * 0.1);
    const std::vector<float> samples = engine.Record(out, kSlowRamp + 2 * kBlock);
    EXPECT_EQ(SettlesAt(samples, target), row.settles_after - 1);
    EXPECT_FLOAT_EQ(generator->Target(), target);

    engine.hub.Idle();
    EXPECT_DOUBLE_EQ(slider->Value(-1), row.document_value);
    // The panel's own move was told once already; the host's comes back once.
    EXPECT_EQ(watcher.changes, 1);
  }
}

TEST(SliderEngine, ProgramChangesSwitchAtTheirSampleWithoutTheDocument) {
  struct Row {
    const char* what;
    bool ignore;
    int32_t program;
    float after;
  };
  const Row rows[] = {
      {"patch 5", false, 5, 0.5f},
      {"program bytes keep 7 bits", false, 128 + 5, 0.5f},
      {"ignoring program changes", true, 5, 0.1f},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ControlEngine engine;
    auto* slider = engine.Add<Ctl_Slider>("Slider");
    Plug(*slider, "Ignore Program Change")->WriteValueText(row.ignore ? "1" : "0");
    slider->SetValue(0, 1.0);
    slider->SetValue(5, 5.0);
    engine.Start();
    auto* generator = engine.Generator<ug_slider>(*slider);
    const UPlug& out = *generator->plug(ug_slider::kSignalOut);
    engine.Record(out, kBlock);
    generator->QueueProgramChange(engine.master.SampleClock() + 10, row.program);
    const std::vector<float> samples = engine.Record(out, kBlock);
    EXPECT_FLOAT_EQ(samples[9], 0.1f);
    EXPECT_FLOAT_EQ(samples[10], row.after);
    EXPECT_FLOAT_EQ(samples[31], row.after);
  }
}

TEST(ControlEngines, MidiControllersMoveControlsAndTheirDocumentsFollow) {
  ControlEngine engine;
  auto* slider = engine.Add<Ctl_Slider>("Slider");
  auto* nrpn_slider = engine.Add<Ctl_Slider>("Slider");
  auto* combo = engine.Add<Ctl_Combo>("List Entry");
  CUG* automator = engine.Add("MIDI Automator");
  auto* sw = engine.Add("Switch (Many->1)");
  Plug(*slider, "MIDI Controller ID")->WriteValueText("7");
  Plug(*nrpn_slider, "MIDI Controller ID")->WriteValueText("99");
  Plug(*nrpn_slider, "MIDI NRPN")->WriteValueText("300");
  Plug(*combo, "MIDI Controller ID")->WriteValueText("1");
  engine.project.main->Connect(Plug(*combo, "Choice"), Plug(*sw, "Choice"));
  combo->SetItemList("A,B,C");
  engine.Start();
  auto* midi = engine.Generator<ug_midi_automator>(*automator);
  ASSERT_NE(midi, nullptr);
  UPlug* midi_in = midi->plug(ug_midi_automator::kMidiInPlug);
  const auto cc = [&](uint32_t number, uint32_t value) {
    midi->QueueMidi(engine.master.SampleClock(), 0xB0u | number << 8 | value << 16, midi_in);
  };
  cc(7, 127);
  cc(1, 64);  // about half: the middle item
  cc(99, 300 >> 7);
  cc(98, 300 & 0x7F);
  cc(6, 127);
  // Controls that ran before the automator in its slice take theirs in the next.
  engine.master.Process(kBlock);
  engine.master.Process(kBlock);
  engine.hub.Idle();
  EXPECT_DOUBLE_EQ(slider->Value(-1), 10.0);
  EXPECT_DOUBLE_EQ(nrpn_slider->Value(-1), 10.0);
  EXPECT_EQ(combo->ValueText(), "1");
  EXPECT_EQ(engine.Generator<ug_slider>(*slider)->NormalisedValue(), 1.0f);
}

TEST(TextEntryEngine, SendsTheCurrentPatchsTextAndFollowsPatchChanges) {
  ControlEngine engine;
  auto* text = engine.Add<Ctl_Text>("Text Entry");
  text->SetValueText(0, "first");
  text->SetValueText(4, "fourth");
  engine.Start();
  auto* generator = engine.Generator<ug_text_entry>(*text);
  ASSERT_NE(generator, nullptr);
  const UPlug& out = *generator->plug(ug_text_entry::kTextOut);
  engine.master.Process(kBlock);
  EXPECT_EQ(out.TextValue(), "first");
  text->SetValueText(4, "still fourth");  // not the current patch: nothing
  engine.master.Process(kBlock);
  EXPECT_EQ(out.TextValue(), "first");
  engine.project.main->GetPatchManager()->SetCurrentPatch(4);
  text->OnPatchChanged(4);
  engine.master.Process(kBlock);
  EXPECT_EQ(out.TextValue(), "still fourth");
  text->WriteValueText(std::string(5000, 'x'));  // more than one message holds
  engine.master.Process(kBlock);
  EXPECT_EQ(out.TextValue(), std::string(UPlug::kTextCapacity, 'x'));
}

TEST(SwitchEngines, RouteByChoiceWithinTheirPlugs) {
  struct Row {
    const char* what;
    int32_t choice;
    float many_to_one;                 // the Many->1 output
    std::vector<float> one_to_many;    // each 1->Many output
  };
  const Row rows[] = {
      {"first", 0, 0.1f, {0.7f, 0.0f, 0.0f}},
      {"third", 2, 0.3f, {0.0f, 0.0f, 0.7f}},
      {"beyond the inputs takes the last; no output", 9, 0.3f, {0.0f, 0.0f, 0.0f}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ControlEngine engine;
    auto* choice = engine.Add<Ctl_Combo>("List Entry");
    CUG* many = engine.Add("Switch (Many->1)");
    CUG* one = engine.Add("Switch (1->Many)");
    CUG* sink = engine.Add("VCA");
    engine.project.main->Connect(Plug(*choice, "Choice"), Plug(*many, "Choice"));
    engine.project.main->Connect(Plug(*choice, "Choice"), Plug(*one, "Choice"));
    for (int i = 0; i < 3; ++i) {
      auto* source = engine.Add<Ctl_Slider>("Slider");
      source->SetValue(-1, 1.0 + i);
      engine.project.main->Connect(Plug(*source, "Signal Out"), many->plugs().back().get());
      CUG* vca = engine.Add("VCA");
      engine.project.main->Connect(one->plugs().back().get(), Plug(*vca, "Signal"));
    }
    auto* input = engine.Add<Ctl_Slider>("Slider");
    engine.project.main->Connect(Plug(*input, "Signal Out"), Plug(*one, "Input"));
    input->SetValue(-1, 7.0);  // after adapting to the input, which took its value
    engine.project.main->Connect(Plug(*many, "Output"), Plug(*sink, "Signal"));
    choice->SetValue(-1, row.choice);
    engine.Start();
    auto* many_gen = engine.Generator<ug_switch2>(*many);
    auto* one_gen = engine.Generator<ug_switch>(*one);
    ASSERT_NE(many_gen, nullptr);
    ASSERT_NE(one_gen, nullptr);
    ASSERT_EQ(one_gen->PlugCount(), ug_switch::kFirstOutput + 3);
    for (int i = 0; i < 4; ++i) engine.master.Process(kBlock);
    EXPECT_FLOAT_EQ(many_gen->plug(ug_switch2::kOutput)->Data()[kBlock - 1], row.many_to_one);
    for (int k = 0; k < 3; ++k) {
      EXPECT_FLOAT_EQ(one_gen->plug(ug_switch::kFirstOutput + k)->Data()[kBlock - 1],
                      row.one_to_many[static_cast<std::size_t>(k)])
          << k;
    }
  }
}

}  // namespace
}  // namespace ov::testing
