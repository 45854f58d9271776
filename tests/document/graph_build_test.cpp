// The engine graph built from documents: run order, feedback, flattening,
// note sources, constant sources and container plugs.
#include "document/graph_build.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "document/patch_manager.h"
#include "document/project_text.h"
#include "engine/audio_master.h"
#include "modules/module_info.h"
#include "tests/document/document_test_support.h"
#include "tests/engine/engine_test_support.h"

namespace ov::testing {
namespace {

// Inverters have one audio input and one audio output.
CUG* Inverter(CContainer& container, const std::string& title) {
  CUG* module = Add(container, "Inverter");
  module->SetTitle(title);
  return module;
}

void Wire(CContainer& container, CUG& from, CUG& to) {
  container.Connect(Plug(from, "Signal Out"), Plug(to, "Signal in"));
}

struct Built {
  test::FakeEngineHost host;
  OvAudioMaster master{host};
  GraphBuild build{master};
  int32_t Order(const CUG& module) const {
    const ug_base* generator = build.GeneratorOf(module);
    EXPECT_NE(generator, nullptr) << module.title();
    return generator != nullptr ? generator->SortOrder() : -100;
  }
};

TEST(GraphSort, ChainRunsSourcesFirst) {
  TestProject project;
  CUG* a = Inverter(*project.main, "A");
  CUG* b = Inverter(*project.main, "B");
  CUG* c = Inverter(*project.main, "C");
  Wire(*project.main, *a, *b);
  Wire(*project.main, *b, *c);
  Built built;
  built.build.Build(*project.document.root());
  EXPECT_EQ(built.Order(*c), 0);
  EXPECT_EQ(built.Order(*b), 4);
  EXPECT_EQ(built.Order(*a), 8);
}

TEST(GraphSort, BoostFlagAddsTwoHundred) {
  TestProject project;
  CUG* a = Inverter(*project.main, "A");
  CUG* b = Inverter(*project.main, "B");
  CUG* c = Inverter(*project.main, "C");
  Wire(*project.main, *a, *b);
  Wire(*project.main, *b, *c);
  Built built;
  built.build.BuildGraph(*project.document.root());
  ug_base* boosted = built.build.GeneratorOf(*b);
  boosted->SetFlags(boosted->Flags() | UGF_SORT_BOOST);
  built.build.CollapseContainerPlugs();
  built.build.SortAll();
  EXPECT_EQ(built.Order(*c), 0);
  EXPECT_EQ(built.Order(*b), 204);
  EXPECT_EQ(built.Order(*a), 208);
}

TEST(GraphPlacement, EngineSelectionMarkReachesTheGenerator) {
  TestProject project;
  CUG* a = Inverter(*project.main, "A");
  CUG* b = Inverter(*project.main, "B");
  b->SetSelected(true);
  b->TakeEngineSelectionMark();
  Built built;
  built.build.Build(*project.document.root());
  EXPECT_NE(built.build.GeneratorOf(*b)->Flags() & UGF_FROM_DOCUMENT, 0u);
  EXPECT_EQ(built.build.GeneratorOf(*a)->Flags() & UGF_FROM_DOCUMENT, 0u);
}

// A stream may give a plug an index its type does not have: that plug and
// its connections go, with one message, and the rest still builds; the
// plugs it lost are made with their defaults.
TEST(GraphPlacement, PlugsOutsideTheTypesDescriptorsAreLeftOut) {
  TestProject project;
  CUG* a = Inverter(*project.main, "A");
  CUG* b = Inverter(*project.main, "B");
  Wire(*project.main, *a, *b);
  CUG* converter = Add(*project.main, "FloatToVolts");
  converter->SetTitle("Converter");
  project.main->Connect(Plug(*converter, "Volts Out"), Plug(*a, "Signal in"));
  Plug(*converter, "Volts Out")->set_index(9);
  Plug(*converter, "Float In")->set_index(-2);
  Built built;
  built.build.Build(*project.document.root());
  ASSERT_EQ(built.host.messages.size(), 1u);
  EXPECT_NE(built.host.messages[0].find("\"Converter\" (FloatToVolts)"), std::string::npos);
  ASSERT_NE(built.build.GeneratorOf(*converter), nullptr);
  EXPECT_EQ(built.build.GeneratorOf(*converter)->PlugCount(), 3);
  EXPECT_TRUE(built.build.EnginePlugOf(*Plug(*a, "Signal in"))->Connectors().empty());
  EXPECT_EQ(built.build.EnginePlugOf(*Plug(*b, "Signal in"))->Connectors().size(), 1u);
}

// Plugs are found by descriptor, whatever a stream did to their numbers: a
// renumbered, unknown, negative or lost index costs that plug alone (one
// message naming module and plug), every other plug keeps its engine plug,
// and the engine runs with a sample block behind every plug.
TEST(GraphPlacement, BadPlugIndexesCostOnlyThemselves) {
  constexpr int32_t kRemove = INT32_MIN;
  struct Case {
    const char* module;  // its type key, also its title
    int32_t index;       // of the plug to change
    int32_t now;         // its new index, or kRemove
    const char* named;   // in the message, besides the title
  };
  const Case cases[] = {
      {"Midi to CV", 4, 5, "index 5"},  // a neighbour's index...
      {"Oscillator", 3, 4, "index 4"},
      {"Oscillator", 0, 999, "index 999"},                     // ...one the type lacks...
      {"VCA", 1, -1, "index -1"},                              // ...a negative one...
      {"VCA", 0, kRemove, "\"Signal\" (index 0) is missing"},  // ...or none
  };
  const Json text = Json::parse(R"({"root": {"modules": [{"type": "Container", "modules": [
      {"type": "Midi to CV", "name": "cv"}, {"type": "Oscillator", "name": "osc"},
      {"type": "VCA", "name": "vca"}],
    "connections": ["cv.Pitch -> osc.Pitch", "cv.Gate -> vca.Volume",
                    "cv.Velocity -> osc.Pulse Width", "osc.Audio Out -> vca.Signal"]}]}})");
  const auto module_of = [](const COrvaneDocBase& document, const std::string& key) {
    for (const auto& child : document.FindMainContainer()->children()) {
      auto* module = dynamic_cast<CUG*>(child.get());
      if (module != nullptr && module->type_key() == key) return module;
    }
    return static_cast<CUG*>(nullptr);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.module) + " " + std::to_string(c.index) + " to " +
                 std::to_string(c.now));
    COrvaneDocBase document = CompileDocument(text, {});
    CUG* module = module_of(document, c.module);
    ASSERT_NE(module, nullptr);
    CPlug2* changed = module->plugs()[c.index].get();
    if (c.now == kRemove) {
      ASSERT_TRUE(module->RemovePlug(changed));
    } else {
      changed->set_index(static_cast<int16_t>(c.now));
    }

    test::FakeEngineHost host;
    OvAudioMaster master(host);
    master.SetSampleRate(44100.0f);
    master.SetEngineBlockSize(OvAudioMaster::ChooseEngineBlockSize(256));
    GraphBuild build(master);
    ASSERT_NO_THROW(build.Build(*document.root()));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].find("\"" + module->title() + "\""), std::string::npos)
        << host.messages[0];
    EXPECT_NE(host.messages[0].find(c.named), std::string::npos) << host.messages[0];
    // Nothing renumbered: these types' engine plugs are their descriptors,
    // so every plug kept is at its index; only the one whose index the
    // changed plug took over has none.
    for (const auto& plug : module->plugs()) {
      const UPlug* made = build.EnginePlugOf(*plug);
      if (made != nullptr) {
        EXPECT_EQ(made->Number(), plug.get() == changed ? c.now : plug->index()) << plug->Name();
      } else if (plug.get() != changed) {
        EXPECT_EQ(plug->index(), c.now) << plug->Name();
      }
    }

    std::unique_ptr<ug_container> root = build.TakeRoot();
    master.Start(root.get());
    root->VisitTree([](ug_base& generator) {
      for (int32_t i = 0; i < generator.PlugCount(); ++i) {
        const UPlug& plug = *generator.plug(i);
        // Inputs that collect their connections (adders) read each source.
        const bool collects = (plug.Flags() & kPlugFlagCollects) != 0;
        if (plug.IsAudio() && plug.Direction() != DR_CONTAINER_IO && !collects) {
          EXPECT_NE(plug.Samples(), nullptr) << generator.Title() << " plug " << i;
        }
      }
    });
    ug_base* cv = build.GeneratorOf(*module_of(document, "Midi to CV"));
    cv->QueueEvent(10, UET_MIDI, 0x643C90, cv->plug(0), 0, true);
    for (int block = 0; block < 4; ++block) master.Process(256);
    master.Stop();
  }
}

// A generator that cannot be made (here its buffers) costs its module
// alone: one message, no generator, and the rest builds and runs.
TEST(GraphPlacement, AModuleWhoseGeneratorFailsIsLeftOutAndTheRestRuns) {
  class Unbuildable : public ug_base {
   public:
    std::unique_ptr<ug_base> CreateInstance() const override {
      return std::make_unique<Unbuildable>();
    }
    void ListPlugs(std::vector<InterfaceObject>& d) override {
      d.emplace_back(nullptr, DR_OUT, "", "Out", "", "", 0, DT_FSAMPLE, nullptr);
    }
    void SetUpBuffers() override { throw std::runtime_error("no room for its table"); }
  };
  static const Module_Info type(
      "Test Unbuildable", "", 0, 0, "", [] { return std::make_unique<Unbuildable>(); }, 0, -1);
  TestProject project;
  CUG* a = Inverter(*project.main, "A");
  CUG* b = Inverter(*project.main, "B");
  Wire(*project.main, *a, *b);
  auto made = std::make_unique<CUG>();
  made->SetUpAsNew(type);
  made->SetTitle("Broken");
  CUG* broken = static_cast<CUG*>(project.main->AddChild(std::move(made)));
  project.main->Connect(Plug(*broken, "Out"), Plug(*a, "Signal in"));
  Built built;
  built.master.SetEngineBlockSize(32);
  ASSERT_NO_THROW(built.build.Build(*project.document.root()));
  ASSERT_EQ(built.host.messages.size(), 1u);
  EXPECT_NE(built.host.messages[0].find("\"Broken\""), std::string::npos);
  EXPECT_NE(built.host.messages[0].find("no room for its table"), std::string::npos);
  EXPECT_EQ(built.build.GeneratorOf(*broken), nullptr);
  EXPECT_EQ(built.Order(*b), 0);
  EXPECT_EQ(built.Order(*a), 4);
  std::unique_ptr<ug_container> root = built.build.TakeRoot();
  built.master.Start(root.get());
  built.master.Process(64);
  built.master.Stop();
}

TEST(GraphSort, IndependentSinksBothGetZero) {
  TestProject project;
  CUG* a = Inverter(*project.main, "A");
  CUG* b = Inverter(*project.main, "B");
  Built built;
  built.build.Build(*project.document.root());
  EXPECT_EQ(built.Order(*a), 0);
  EXPECT_EQ(built.Order(*b), 0);
}

TEST(GraphSort, LoopThroughTwoModulesIsFeedbackWithExactMessage) {
  TestProject project;
  project.main->SetTitle("Main");
  // Newest first in the container, so A is the first generator sorted.
  CUG* c = Inverter(*project.main, "C");
  CUG* b = Inverter(*project.main, "B");
  CUG* a = Inverter(*project.main, "A");
  Wire(*project.main, *a, *b);
  Wire(*project.main, *b, *a);
  Wire(*project.main, *b, *c);
  Built built;
  try {
    built.build.Build(*project.document.root());
    FAIL() << "no feedback found";
  } catch (const OvException& failure) {
    EXPECT_EQ(failure.kind(), OvException::kFeedback);
    EXPECT_EQ(failure.a(), built.build.GeneratorOf(*a));
    EXPECT_EQ(failure.b(), built.build.GeneratorOf(*b));
    EXPECT_EQ(built.Order(*c), 0);
    EXPECT_EQ(built.Order(*b), 1);
    EXPECT_EQ(built.build.FailureMessage(failure),
              "This patch contains a FEEDBACK path (highlighed in red), Please remove.\n"
              " Main.A -> Main.B");
    const CLine2* back = Plug(*a, "Signal in")->connections().front();
    EXPECT_EQ(back->highlight(), 1);
    const CLine2* forward = Plug(*b, "Signal in")->connections().front();
    EXPECT_EQ(forward->highlight(), 0);
  }
}

TEST(GraphSort, ModuleConnectedToItselfIsFeedback) {
  TestProject project;
  CUG* a = Inverter(*project.main, "A");
  Wire(*project.main, *a, *a);
  Built built;
  try {
    built.build.Build(*project.document.root());
    FAIL() << "no feedback found";
  } catch (const OvException& failure) {
    EXPECT_EQ(failure.kind(), OvException::kFeedback);
    EXPECT_EQ(failure.a(), built.build.GeneratorOf(*a));
    EXPECT_EQ(failure.b(), built.build.GeneratorOf(*a));
  }
}

TEST(GraphSort, LongChainSortsWithoutDeepRecursion) {
  TestProject project;
  constexpr int kLength = 10000;
  std::vector<CUG*> chain;
  for (int i = 0; i < kLength; ++i) {
    chain.push_back(Inverter(*project.main, "m" + std::to_string(i)));
    if (i > 0) Wire(*project.main, *chain[i - 1], *chain[i]);
  }
  Built built;
  built.build.Build(*project.document.root());
  EXPECT_EQ(built.Order(*chain.back()), 0);
  EXPECT_EQ(built.Order(*chain.front()), 4 * (kLength - 1));
}

// A container that ignores program changes keeps its own patches: its
// modules' patch parameters live in its own manager, and its generator is
// their patch context, so program changes from around it do not reach them.
TEST(GraphPlacement, AContainerIgnoringProgramChangesIsItsModulesPatchContext) {
  TestProject project;
  auto* own = Add<CContainer>(*project.main, "Container");
  own->SetIgnoreProgramChange(true);
  Add(*own, "PatchMemFloatIn");
  auto* plain = Add<CContainer>(*project.main, "Container");
  Add(*plain, "PatchMemFloatIn");
  project.document.RunPasses(true);
  ASSERT_NE(own->patch_manager(), nullptr);
  EXPECT_EQ(own->patch_manager()->parameters().size(), 1u);
  EXPECT_EQ(plain->patch_manager(), nullptr);

  // Kept through a stream.
  COrvaneDocBase loaded = LoadOrFail(project.document.Write(kCurrentLoadVersion));
  int ignoring = 0;
  for (const auto& child : loaded.FindMainContainer()->children()) {
    if (const auto* container = dynamic_cast<const CContainer*>(child.get())) {
      ignoring += container->IgnoresProgramChange();
    }
  }
  EXPECT_EQ(ignoring, 1);

  TestProject graph;
  auto* kept = Add<CContainer>(*graph.main, "Container");
  kept->SetIgnoreProgramChange(true);
  CUG* inside = Inverter(*kept, "Kept");
  CUG* outside = Inverter(*graph.main, "Following");
  Built built;
  built.build.Build(*graph.document.root());
  const ug_base* kept_generator = built.build.GeneratorOf(*kept);
  ASSERT_NE(kept_generator, nullptr);
  EXPECT_EQ(built.build.PatchContextOf(*built.build.GeneratorOf(*inside)), kept_generator);
  EXPECT_EQ(built.build.PatchContextOf(*built.build.GeneratorOf(*outside)),
            built.build.GeneratorOf(*graph.document.root()));
}

TEST(GraphPlacement, ContainerWithoutNoteSourceIsFlattened) {
  TestProject project;
  auto* inner = Add<CContainer>(*project.main, "Container");
  CUG* a = Inverter(*inner, "A");
  Built built;
  built.build.Build(*project.document.root());
  // The main container holds no note source either: both are flattened.
  const ug_base* main = built.build.GeneratorOf(*project.document.root());
  const ug_base* inner_generator = built.build.GeneratorOf(*inner);
  ASSERT_NE(inner_generator, nullptr);
  EXPECT_EQ(built.build.GeneratorOf(*a)->Container(), main);
  EXPECT_TRUE(inner_generator->Children().empty());
  EXPECT_EQ(built.build.PatchContextOf(*built.build.GeneratorOf(*a)),
            built.build.GeneratorOf(*project.document.root()));
}

TEST(GraphPlacement, ContainerWithNoteSourceKeepsItsOwn) {
  TestProject project;
  auto* inner = Add<CContainer>(*project.main, "Container");
  Add(*inner, "Midi to CV");
  CUG* a = Inverter(*inner, "A");
  Built built;
  built.build.Build(*project.document.root());
  EXPECT_EQ(built.build.GeneratorOf(*a)->Container(), built.build.GeneratorOf(*inner));
}

TEST(GraphPlacement, ExcludedNoteSourceLetsTheContainerFlatten) {
  TestProject project;
  auto* inner = Add<CContainer>(*project.main, "Container");
  Add(*inner, "Midi to CV")->SetExclusionMark(true);
  CUG* a = Inverter(*inner, "A");
  Built built;
  built.build.Build(*project.document.root());
  EXPECT_EQ(built.build.GeneratorOf(*a)->Container(),
            built.build.GeneratorOf(*project.document.root()));
}

TEST(GraphPlacement, NestedNoteSourcesFail) {
  TestProject project;
  Add(*project.main, "Midi to CV");
  auto* inner = Add<CContainer>(*project.main, "Container");
  Add(*inner, "Midi to CV");
  Built built;
  try {
    built.build.Build(*project.document.root());
    FAIL() << "nested note sources accepted";
  } catch (const OvException& failure) {
    EXPECT_EQ(failure.kind(), OvException::kNestedNoteSource);
    EXPECT_EQ(built.build.FailureMessage(failure),
              "ERROR: You have more than one 'MidiToCv', 'Soundfont Player', or 'Drum Trigger' "
              "in same container (or in a sub-container).");
  }
}

TEST(GraphValues, TypedValueBecomesConstantSource) {
  TestProject project;
  CUG* a = Inverter(*project.main, "A");
  Plug(*a, "Signal in")->SetValueText("5");
  Built built;
  built.build.Build(*project.document.root());
  const UPlug* input = built.build.EnginePlugOf(*Plug(*a, "Signal in"));
  ASSERT_NE(input, nullptr);
  ASSERT_EQ(input->Connectors().size(), 1u);
  EXPECT_NE(dynamic_cast<ug_io_mod*>(&input->Connectors().front()->Source()->Owner()), nullptr);
  EXPECT_FLOAT_EQ(input->Connectors().front()->Source()->ValueAtClock(), 0.5f);
}

TEST(GraphValues, ConnectionFromExcludedModuleLeavesTheConstant) {
  TestProject project;
  CUG* source = Inverter(*project.main, "S");
  CUG* a = Inverter(*project.main, "A");
  Wire(*project.main, *source, *a);
  Plug(*a, "Signal in")->SetValueText("5");
  source->SetExclusionMark(true);
  Built built;
  built.build.Build(*project.document.root());
  EXPECT_EQ(built.build.GeneratorOf(*source), nullptr);
  const UPlug* input = built.build.EnginePlugOf(*Plug(*a, "Signal in"));
  ASSERT_EQ(input->Connectors().size(), 1u);
  EXPECT_NE(dynamic_cast<ug_io_mod*>(&input->Connectors().front()->Source()->Owner()), nullptr);
}

// A container whose input passes straight to its output, with that output
// wired back to the input outside: the container plugs would redirect to
// each other for ever.
TEST(GraphContainerPlugs, ALoopThroughContainerPlugsAloneIsFeedback) {
  TestProject project;
  auto* inner = Add<CContainer>(*project.main, "Container");
  inner->SetTitle("Loop");
  CPlugIO2* in = inner->AddContainerPlug("In", DR_IN, DT_FSAMPLE);
  CPlugIO2* out = inner->AddContainerPlug("Out", DR_OUT, DT_FSAMPLE);
  inner->Join(in->Partner(), out->Partner());
  project.main->Join(out, in);
  Built built;
  try {
    built.build.Build(*project.document.root());
    ADD_FAILURE() << "built";
  } catch (const OvException& failure) {
    EXPECT_EQ(failure.kind(), OvException::kFeedback);
    EXPECT_NE(built.build.FailureMessage(failure).find("FEEDBACK"), std::string::npos);
  }
}

TEST(GraphContainerPlugs, InputFannedOutFeedsInnerModulesDirectly) {
  TestProject project;
  auto* inner = Add<CContainer>(*project.main, "Container");
  CPlugIO2* in = inner->AddContainerPlug("In", DR_IN, DT_FSAMPLE);
  CUG* source = Inverter(*project.main, "S");
  CUG* x = Inverter(*inner, "X");
  CUG* y = Inverter(*inner, "Y");
  inner->Connect(in->Partner(), Plug(*x, "Signal in"));
  inner->Connect(in->Partner(), Plug(*y, "Signal in"));
  project.main->Connect(Plug(*source, "Signal Out"), in);
  Built built;
  built.build.Build(*project.document.root());
  const UPlug* out = built.build.EnginePlugOf(*Plug(*source, "Signal Out"));
  ASSERT_EQ(out->Connectors().size(), 2u);
  for (const CUG* reached : {x, y}) {
    const UPlug* input = built.build.EnginePlugOf(*Plug(*reached, "Signal in"));
    ASSERT_EQ(input->Connectors().size(), 1u) << reached->title();
    EXPECT_EQ(input->Connectors().front()->Source(), out);
  }
  EXPECT_TRUE(built.build.EnginePlugOf(*in)->Connectors().empty());
  EXPECT_GT(built.Order(*source), built.Order(*x));
}

TEST(GraphContainerPlugs, InnerSourceFeedsOuterModulesDirectly) {
  TestProject project;
  auto* inner = Add<CContainer>(*project.main, "Container");
  CPlugIO2* out = inner->AddContainerPlug("Out", DR_OUT, DT_FSAMPLE);
  CUG* x = Inverter(*inner, "X");
  CUG* p = Inverter(*project.main, "P");
  CUG* q = Inverter(*project.main, "Q");
  inner->Connect(Plug(*x, "Signal Out"), out->Partner());
  project.main->Connect(out, Plug(*p, "Signal in"));
  project.main->Connect(out, Plug(*q, "Signal in"));
  Built built;
  built.build.Build(*project.document.root());
  const UPlug* source = built.build.EnginePlugOf(*Plug(*x, "Signal Out"));
  ASSERT_EQ(source->Connectors().size(), 2u);
  for (const CUG* reached : {p, q}) {
    const UPlug* input = built.build.EnginePlugOf(*Plug(*reached, "Signal in"));
    ASSERT_EQ(input->Connectors().size(), 1u) << reached->title();
    EXPECT_EQ(input->Connectors().front()->Source(), source);
  }
  EXPECT_EQ(built.build.EnginePlugOf(*out)->Redirect(), source);
  EXPECT_GT(built.Order(*x), built.Order(*p));
}

// Streams from before container plugs stored their data type: a container's
// MIDI plug still carries MIDI, so the note source behind it is reached and
// the graph builds, at the old version as at the current one.
TEST(GraphContainerPlugs, OldStreamsContainerPlugsCarryWhatTheyMirror) {
  for (const int32_t version : {94000, 95960}) {
    SCOPED_TRACE(version);
    const COrvaneDocBase compiled = CompileDocument(Json::parse(R"({"root": {"modules": [
        {"type": "Container", "name": "synth",
         "io": [{"name": "Notes", "direction": "in", "datatype": "midi"},
                {"name": "Level", "direction": "out", "datatype": "audio"}],
         "modules": [{"type": "Midi to CV", "name": "cv"}],
         "connections": ["io.Notes -> cv.MIDI In", "cv.Gate -> io.Level"]},
        {"type": "MIDI Filter", "name": "source"}, {"type": "Inverter", "name": "sink"}],
      "connections": ["source.MIDI Out -> synth.Notes", "synth.Level -> sink.Signal in"]}})"),
                                                    {});
    const COrvaneDocBase document = LoadOrFail(compiled.Write(version), nullptr, true);
    const CContainer* synth = document.FindMainContainer();
    ASSERT_NE(synth, nullptr);
    EXPECT_EQ(Plug(*synth, "Notes")->Datatype(), DT_MIDI);
    EXPECT_EQ(Plug(*synth, "Notes")->Partner()->Datatype(), DT_MIDI);
    Built built;
    EXPECT_NO_THROW(built.build.Build(*document.root()));
  }
}

TEST(GraphPlacement, ExcludedContainerBuildsNothingInside) {
  TestProject project;
  auto* inner = Add<CContainer>(*project.main, "Container");
  CUG* a = Inverter(*inner, "A");
  inner->SetExclusionMark(true);
  Built built;
  built.build.Build(*project.document.root());
  EXPECT_EQ(built.build.GeneratorOf(*inner), nullptr);
  EXPECT_EQ(built.build.GeneratorOf(*a), nullptr);
}

}  // namespace
}  // namespace ov::testing
