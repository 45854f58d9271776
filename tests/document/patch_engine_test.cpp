// Patch parameters between a document and a running engine: the start of the
// engine side, patch changes, panel and host edits, host automation from
// another thread, values a module drives, and MIDI learning.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "document/control.h"
#include "document/graph_build.h"
#include "document/patch_manager.h"
#include "engine/audio_master.h"
#include "engine/uplug.h"
#include "modules/control_modules.h"
#include "modules/list_text.h"
#include "modules/midi_automator.h"
#include "modules/module_info.h"
#include "patches/dsp_patch_manager.h"
#include "patches/message_hub.h"
#include "platform/message_sink.h"
#include "platform/text.h"
#include "tests/document/document_test_support.h"
#include "tests/engine/counted_allocations.h"
#include "tests/engine/engine_test_support.h"

// The engine's side of every message must allocate nothing.
namespace ov::testing {
namespace {

// Patch-stored inputs of each kind and a patch-stored output it drives.
class Knob : public ug_base {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<Knob>(); }
  void ListPlugs(std::vector<InterfaceObject>& d) override {
    d.emplace_back(nullptr, DR_IN, "", "Level", "2.5", "", 0x8400, DT_FLOAT, &level);
    d.emplace_back(nullptr, DR_IN, "", "Mode", "5", "Off,Slow=5,Fast", 0x8400, DT_ENUM, &mode);
    d.emplace_back(nullptr, DR_IN, "", "Label", "hello", "", 0x8400, DT_TEXT, &label);
    d.emplace_back(nullptr, DR_OUT, "", "Driven", "0", "", 0x8400, DT_INT, &driven);
  }
  void OnStatusChange(uint32_t, connector*, int32_t) override { ++changes; }
  void OnDrivenByParameter(int32_t plug_number, float maximum) override {
    driven_up_to.emplace_back(plug_number, maximum);
  }
  void Drive(int32_t value) {
    driven = value;
    plug(3)->Transmit(Clock(), ST_STATIC);
  }

  float level = 0;
  int16_t mode = 0;
  std::string label;
  int32_t driven = 0;
  int changes = 0;
  std::vector<std::pair<int32_t, float>> driven_up_to;  // (plug, maximum)
};

const Module_Info& KnobType() {
  static const Module_Info type(
      "Test Knob", "", 0, 0, "", [] { return std::make_unique<Knob>(); }, 0, -1);
  return type;
}

// MIDI in and out of a document: a source the test plays and a sink that
// keeps what reaches it.
class MidiFeeder : public ug_base {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override {
    return std::make_unique<MidiFeeder>();
  }
  void ListPlugs(std::vector<InterfaceObject>& d) override {
    d.emplace_back(nullptr, DR_OUT, "", "MIDI Out", "", "", 0, DT_MIDI, nullptr);
  }
  void Send(uint32_t word) { SendMidi(*plug(0), Master()->SampleClock(), word); }
};

class MidiSink : public ug_base {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<MidiSink>(); }
  void ListPlugs(std::vector<InterfaceObject>& d) override {
    d.emplace_back(nullptr, DR_IN, "", "MIDI In", "0", "", 0, DT_MIDI, nullptr);
  }
  void HandleEvent(ug_event& event) override {
    if (event.kind == UET_MIDI) words.push_back(static_cast<uint32_t>(event.parm1));
  }
  std::vector<uint32_t> words;
};

const Module_Info& FeederType() {
  static const Module_Info type(
      "Test MIDI Feeder", "", 0, 0, "", [] { return std::make_unique<MidiFeeder>(); }, 0, -1);
  return type;
}
const Module_Info& SinkType() {
  static const Module_Info type(
      "Test MIDI Sink", "", 0, 0, "", [] { return std::make_unique<MidiSink>(); }, 0, -1);
  return type;
}

uint32_t Controller(int number, int value) {
  return 0xB0u | static_cast<uint32_t>(number) << 8 | static_cast<uint32_t>(value) << 16;
}

struct Change {
  int32_t id;
  bool report_to_host;
  bool operator==(const Change&) const = default;
};

class PatchEngineTest : public ::testing::Test {
 protected:
  PatchEngineTest() {
    auto module = std::make_unique<CUG>();
    module->SetUpAsNew(KnobType());
    module->SetTitle("Knob");
    module_ = static_cast<CUG*>(project_.main->AddChild(std::move(module)));
    project_.document.RunPasses(true);
    manager_ = project_.document.root()->patch_manager();
    for (const char* name : {"Level", "Mode", "Label", "Driven"}) {
      PatchParameter* parameter = manager_->FindParameter(*Plug(*module_, name));
      parameter->on_value_changed = [this](PatchParameter& p, bool report) {
        changes_.push_back({p.id(), report});
      };
      parameters_.push_back(parameter);
    }
  }
  ~PatchEngineTest() override {
    if (master_.IsRunning()) master_.Stop();
    hub_.AttachEngine(nullptr);
  }

  void StartEngine() {
    master_.SetEngineBlockSize(32);
    hub_.AttachEngine(&master_);
    GraphBuild build(master_);
    build.SetMessageHub(&hub_);
    build.Build(*project_.document.root());
    knob_ = static_cast<Knob*>(build.GeneratorOf(*module_));
    if (feeder_module_ != nullptr) {
      feeder_ = static_cast<MidiFeeder*>(build.GeneratorOf(*feeder_module_));
      sink_ = static_cast<MidiSink*>(build.GeneratorOf(*sink_module_));
    }
    graph_ = build.TakeRoot();
    master_.Start(graph_.get());
  }
  // Host MIDI (played by a feeder) into a "MIDI Automator" whose MIDI Out
  // goes to a sink. Before StartEngine.
  void AddAutomation() {
    auto add = [this](const Module_Info& type) {
      auto module = std::make_unique<CUG>();
      module->SetUpAsNew(type);
      return static_cast<CUG*>(project_.main->AddChild(std::move(module)));
    };
    CUG* feeder = add(FeederType());
    CUG* sink = add(SinkType());
    CUG* automator = Add(*project_.main, "MIDI Automator");
    project_.main->Connect(Plug(*feeder, "MIDI Out"), Plug(*automator, "MIDI In"));
    project_.main->Connect(Plug(*automator, "MIDI Out"), Plug(*sink, "MIDI In"));
    feeder_module_ = feeder;
    sink_module_ = sink;
  }
  PatchParameter& Level() { return *parameters_[0]; }
  PatchParameter& Mode() { return *parameters_[1]; }
  PatchParameter& Label() { return *parameters_[2]; }
  PatchParameter& Driven() { return *parameters_[3]; }
  dsp_patch_manager& EngineManager() {
    return dynamic_cast<dsp_patch_manager&>(*master_.FindTarget(manager_->Handle()));
  }

  TestProject project_;
  CUG* module_ = nullptr;
  CPatchManager* manager_ = nullptr;
  std::vector<PatchParameter*> parameters_;
  std::vector<Change> changes_;
  test::FakeEngineHost host_;
  MessageHub hub_{host_};
  OvAudioMaster master_{host_};
  std::unique_ptr<ug_container> graph_;
  Knob* knob_ = nullptr;
  CUG* feeder_module_ = nullptr;
  CUG* sink_module_ = nullptr;
  MidiFeeder* feeder_ = nullptr;
  MidiSink* sink_ = nullptr;
};

// Plain inputs of each kind that keep what reaches them.
class Listener : public ug_base {
 public:
  std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<Listener>(); }
  void ListPlugs(std::vector<InterfaceObject>& d) override {
    d.emplace_back(nullptr, DR_IN, "", "Float", "0", "", 0, DT_FLOAT, &number);
    d.emplace_back(nullptr, DR_IN, "", "List", "0", "", 0, DT_ENUM, &item);
    d.emplace_back(nullptr, DR_IN, "", "Text", "", "", 0, DT_TEXT, &text);
  }
  std::string Heard(int input) const {
    char printed[32];
    std::snprintf(printed, sizeof printed, "%g", number);
    return input == 0 ? printed : input == 1 ? std::to_string(item) : text;
  }

  float number = 0;
  int16_t item = 0;
  std::string text;
};

const Module_Info& ListenerType() {
  static const Module_Info type(
      "Test Listener", "", 0, 0, "", [] { return std::make_unique<Listener>(); }, 0, -1);
  return type;
}

// The engine halves of the patch-memory modules hand the value on their
// input (the patch parameter's, or the graph's for the "Out" kind) to the
// output that shares it, and downstream hears of every change.
TEST(PatchMemory, EachKindPassesItsValueOnAndFollowsPatchChanges) {
  struct Case {
    const char* type;
    const char* in;
    const char* out;
    int listener_input;
    const char* patch0;
    const char* patch3;  // null: the input is not kept per patch
    // The "Out" kinds: the panel-side plug whose parameter watches the
    // output, and the animation position it then shows (null: none).
    const char* watching = nullptr;
    const char* position = nullptr;
  };
  const Case cases[] = {
      {"PatchMemFloatIn", "Value", "Value Out", 0, "1.5", "7"},
      {"PatchMemListIn2", "Value", "List Out", 1, "2", "5"},
      {"Patch Mem - Text in", "Value", "Text Out", 2, "first", "third"},
      {"PatchMemFloatOut", "Value In", "P", 0, "2.5", nullptr, "Value", "0.250"},
      {"PatchMemFloatOutB", "Value In", "P", 0, "-4", nullptr, "V"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    TestProject project;
    CUG* memory = Add(*project.main, c.type);
    auto listener_module = std::make_unique<CUG>();
    listener_module->SetUpAsNew(ListenerType());
    CUG* listener = static_cast<CUG*>(project.main->AddChild(std::move(listener_module)));
    const char* inputs[] = {"Float", "List", "Text"};
    project.main->Connect(Plug(*memory, c.out), Plug(*listener, inputs[c.listener_input]));
    project.document.RunPasses(true);
    CPatchManager* manager = project.document.root()->patch_manager();
    PatchParameter* parameter = manager->FindParameter(*Plug(*memory, c.in));
    if (c.patch3 != nullptr) {
      ASSERT_NE(parameter, nullptr);
      parameter->SetSlotFromText(0, c.patch0);
      parameter->SetSlotFromText(3, c.patch3);
    } else {
      EXPECT_EQ(parameter, nullptr);
      Plug(*memory, c.in)->SetValueText(c.patch0);
    }

    test::FakeEngineHost host;
    MessageHub hub{host};
    OvAudioMaster master{host};
    master.SetEngineBlockSize(32);
    hub.AttachEngine(&master);
    std::unique_ptr<ug_container> graph;
    Listener* heard = nullptr;
    {
      GraphBuild build(master);
      build.SetMessageHub(&hub);
      build.Build(*project.document.root());
      heard = static_cast<Listener*>(build.GeneratorOf(*listener));
      graph = build.TakeRoot();
    }
    ASSERT_TRUE(host.messages.empty()) << host.messages[0];
    master.Start(graph.get());
    master.Process(32);
    EXPECT_EQ(heard->Heard(c.listener_input), c.patch0);
    if (c.watching != nullptr) {
      // The engine's value comes back to the parameter and the panel.
      hub.Idle();
      PatchParameter* watching = manager->FindParameter(*Plug(*memory, c.watching));
      ASSERT_NE(watching, nullptr);
      EXPECT_EQ(FormatDouble(watching->CurrentValue().real), c.patch0);
      if (c.position != nullptr) {
        EXPECT_EQ(Plug(*memory, "Animation Position")->ValueText(), c.position);
      }
    }
    if (c.patch3 != nullptr) {
      manager->SetCurrentPatch(3);
      master.Process(32);
      EXPECT_EQ(heard->Heard(c.listener_input), c.patch3);
    }
    master.Stop();
    hub.AttachEngine(nullptr);
  }
}

// Control modules moved from the panel, the host, MIDI and a program change:
// the engine takes every value from its messages and events alone.
TEST(ControlModulesOnTheAudioThread, AllocateNothingAfterTheEngineStarts) {
  TestProject project;
  auto* slider = Add<Ctl_Slider>(*project.main, "Slider");
  auto* combo = Add<Ctl_Combo>(*project.main, "List Entry");
  auto* text = Add<Ctl_Text>(*project.main, "Text Entry");
  CUG* automator = Add(*project.main, "MIDI Automator");
  Plug(*slider, "MIDI Controller ID")->WriteValueText("7");
  combo->SetItemList("A,B,C");
  project.document.RunPasses(true);
  test::FakeEngineHost host;
  MessageHub hub{host};
  OvAudioMaster master{host};
  master.SetEngineBlockSize(32);
  hub.AttachEngine(&master);
  std::unique_ptr<ug_container> graph;
  {
    GraphBuild build(master);
    build.SetMessageHub(&hub);
    build.Build(*project.document.root());
    graph = build.TakeRoot();
  }
  master.Start(graph.get());
  master.Process(32);
  auto* engine_slider = dynamic_cast<ug_slider*>(slider->Generator());
  auto* midi = dynamic_cast<ug_midi_automator*>(automator->Generator());
  ASSERT_NE(engine_slider, nullptr);
  ASSERT_NE(midi, nullptr);

  slider->SetNormalised(0.3f);
  combo->SetNormalised(1.0f);
  text->WriteValueText(std::string(2 * UPlug::kTextCapacity, 'q'));
  slider->CopyValue(0, 1, 127);
  slider->OnPatchChanged(0);
  const int before = counted_allocations.load();
  counting_allocations = true;
  master.Process(32);
  engine_slider->SetNormalisedFromHost(0.9f);
  midi->QueueMidi(master.SampleClock(), Controller(7, 100),
                  midi->plug(ug_midi_automator::kMidiInPlug));
  master.Process(32);
  master.Process(32);
  engine_slider->QueueProgramChange(master.SampleClock() + 5, 9);
  for (int i = 0; i < 60; ++i) master.Process(32);
  counting_allocations = false;
  EXPECT_EQ(counted_allocations.load(), before);
  hub.Idle();
  EXPECT_NEAR(slider->Value(-1), 100 * 128 * 10.0 / 16256, 1e-6);
  EXPECT_FLOAT_EQ(engine_slider->Target(), 0.3f);  // patch 9 holds patch 0's copy
  master.Stop();
  hub.AttachEngine(nullptr);
}

TEST_F(PatchEngineTest, TheEngineStartsWithTheCurrentPatchAndFollowsPatchChanges) {
  ASSERT_EQ(manager_->parameters().size(), 4u);
  Level().SetSlotFromText(0, "1.5");
  Level().SetSlotFromText(3, "7");
  Mode().SetSlotFromText(3, "6");
  Label().SetSlotFromText(3, "three");
  StartEngine();
  master_.Process(32);
  EXPECT_EQ(knob_->level, 1.5f);  // the slot, not the plug's default
  EXPECT_EQ(knob_->mode, 5);
  EXPECT_EQ(knob_->label, "hello");

  manager_->SetCurrentPatch(3);
  EXPECT_EQ(knob_->level, 1.5f);  // the host is processing: the next block applies it
  master_.Process(32);
  EXPECT_EQ(knob_->level, 7.0f);
  EXPECT_EQ(knob_->mode, 6);
  EXPECT_EQ(knob_->label, "three");
  // A patch change is not reported back to the host parameter by parameter.
  EXPECT_EQ(changes_.size(), 4u);
  for (const Change& change : changes_) EXPECT_FALSE(change.report_to_host);

  // Selecting the current patch again sends nothing.
  const int before = knob_->changes;
  manager_->SetCurrentPatch(3);
  master_.Process(32);
  EXPECT_EQ(knob_->changes, before);
  EXPECT_EQ(changes_.size(), 4u);
}

TEST_F(PatchEngineTest, ModulesLearnWhichInputsParametersDriveAndHowFar) {
  Level().set_range({-1.0f, 4.0f});
  StartEngine();
  const float unbounded = std::numeric_limits<float>::infinity();
  // In id order, which is drawn at random; not the output a parameter watches.
  std::sort(knob_->driven_up_to.begin(), knob_->driven_up_to.end());
  EXPECT_EQ(knob_->driven_up_to,
            (std::vector<std::pair<int32_t, float>>{{0, 4.0f}, {1, unbounded}, {2, unbounded}}));
}

TEST_F(PatchEngineTest, IgnoringProgramChangesKeepsSlotZero) {
  Level().set_ignore_program_change(true);
  Level().SetSlotFromText(0, "4");
  Level().SetSlotFromText(9, "9");
  StartEngine();
  manager_->SetCurrentPatch(9);
  master_.Process(32);
  EXPECT_EQ(knob_->level, 4.0f);
  Level().SetNormalised(0.5f);  // an edit lands in slot 0 as well
  EXPECT_EQ(Level().SlotValue(0).real, 5.0f);
  EXPECT_EQ(Level().SlotValue(9).real, 9.0f);
}

TEST_F(PatchEngineTest, HostEditsReachTheEngineAndAutomationComesBackUnreported) {
  StartEngine();
  master_.Process(32);
  Level().SetNormalised(0.25f);  // the value it has: nothing happens
  EXPECT_TRUE(changes_.empty());
  Level().SetNormalised(0.75f);  // the host on the editor thread
  EXPECT_EQ(changes_, (std::vector<Change>{{Level().id(), true}}));
  master_.Process(32);
  EXPECT_EQ(knob_->level, 7.5f);

  // Host automation from another thread: converted by the engine, stored on
  // the editor side when idle, and not reported to the host again.
  changes_.clear();
  const float half = 0.5f;
  ASSERT_TRUE(
      master_.PostAutomation(Level().Handle(), kMsgPpca, std::as_bytes(std::span(&half, 1))));
  master_.Process(32);
  EXPECT_EQ(knob_->level, 5.0f);
  EXPECT_EQ(Level().CurrentValue().real, 7.5f);
  hub_.Idle();
  EXPECT_EQ(Level().CurrentValue().real, 5.0f);
  EXPECT_EQ(changes_, (std::vector<Change>{{Level().id(), false}}));
  // Nothing was echoed back to the engine.
  knob_->level = -1;
  master_.Process(32);
  EXPECT_EQ(knob_->level, -1.0f);
}

TEST_F(PatchEngineTest, AModuleDrivingItsOutputUpdatesTheParameterAndTheHost) {
  StartEngine();
  master_.Process(32);
  hub_.Idle();
  changes_.clear();
  knob_->Drive(42);
  master_.Process(32);
  hub_.Idle();
  EXPECT_EQ(Driven().CurrentValue().number, 42);
  EXPECT_EQ(changes_, (std::vector<Change>{{Driven().id(), true}}));
}

TEST_F(PatchEngineTest, LearningTakesTheNextControllerWhichAlreadyMovesTheParameter) {
  StartEngine();
  master_.Process(32);
  constexpr int32_t kModWheel = 0x2000001;
  Mode().SetMidiController(kModWheel);  // Mode follows the wheel from the start
  Level().SetMidiController(-2);
  master_.Process(32);
  EXPECT_NE(EngineManager().LearnTarget(), nullptr);

  EngineManager().OnController(master_.SampleClock(), kModWheel, 1.0f);
  master_.Process(32);
  EXPECT_EQ(knob_->level, 10.0f);  // the learning movement counts
  EXPECT_EQ(knob_->mode, 6);       // 1.0 selects the last item, not one past it
  EXPECT_EQ(EngineManager().LearnTarget(), nullptr);
  changes_.clear();
  hub_.Idle();
  EXPECT_EQ(Level().midi_controller(), kModWheel);
  EXPECT_EQ(Level().CurrentValue().real, 10.0f);
  EXPECT_EQ(Mode().CurrentValue().number, 6);
  // Controller movements reach the host, in registration order.
  EXPECT_EQ(changes_, (std::vector<Change>{{Mode().id(), true}, {Level().id(), true}}));

  EngineManager().OnController(master_.SampleClock(), kModWheel, 0.0f);
  master_.Process(32);
  EXPECT_EQ(knob_->level, 0.0f);
  EXPECT_EQ(knob_->mode, 0);
  // Another controller moves nothing; clearing the id unregisters.
  Level().SetMidiController(-1);
  master_.Process(32);
  EngineManager().OnController(master_.SampleClock(), kModWheel, 1.0f);
  master_.Process(32);
  EXPECT_EQ(knob_->level, 0.0f);
  EXPECT_EQ(knob_->mode, 6);
}

TEST_F(PatchEngineTest, AMidiAutomatorMovesParametersLearnsAndEchoesThemAsControllers) {
  AddAutomation();
  Level().SetMidiController(0x2000007);
  StartEngine();
  ASSERT_NE(feeder_, nullptr);
  master_.Process(32);
  hub_.Idle();
  changes_.clear();
  sink_->words.clear();  // the start's own values are patch changes: not sent

  feeder_->Send(Controller(7, 127));
  master_.Process(32);
  // The value goes back out of the automator's MIDI Out, both halves.
  EXPECT_EQ(sink_->words, (std::vector<uint32_t>{Controller(7, 127), Controller(39, 0)}));
  // The module's constant source may have run before the automator.
  master_.Process(32);
  EXPECT_EQ(knob_->level, 10.0f);  // 127 is the top of the range
  hub_.Idle();
  EXPECT_EQ(Level().CurrentValue().real, 10.0f);
  EXPECT_EQ(changes_, (std::vector<Change>{{Level().id(), true}}));

  // Learning takes the next controller that arrives.
  Mode().SetMidiController(-2);
  master_.Process(32);
  feeder_->Send(Controller(20, 127));
  master_.Process(32);
  master_.Process(32);
  EXPECT_EQ(knob_->mode, 6);
  hub_.Idle();
  EXPECT_EQ(Mode().midi_controller(), 0x2000014);

  // A panel edit goes out as MIDI too.
  sink_->words.clear();
  Level().SetNormalised(0.5f);
  master_.Process(32);
  EXPECT_EQ(sink_->words, (std::vector<uint32_t>{Controller(7, 63), Controller(39, 64)}));
}

TEST_F(PatchEngineTest, TheEngineHandlesEveryMessageWithoutAllocating) {
  Label().SetSlotFromText(3, std::string(400, 'z'));  // longer than a plug keeps
  AddAutomation();
  StartEngine();
  sink_->words.reserve(64);
  master_.Process(32);
  manager_->SetCurrentPatch(3);
  Level().SetMidiController(-2);
  const float half = 0.5f;
  ASSERT_TRUE(
      master_.PostAutomation(Mode().Handle(), kMsgPpca, std::as_bytes(std::span(&half, 1))));

  counting_allocations = true;
  master_.Process(32);
  feeder_->Send(Controller(1, 96));  // learnt, applied and sent back out
  knob_->Drive(9);
  master_.Process(32);
  master_.Process(32);
  counting_allocations = false;
  EXPECT_EQ(counted_allocations.load(), 0);

  EXPECT_EQ(knob_->label, std::string(UPlug::kTextCapacity, 'z'));
  EXPECT_FLOAT_EQ(knob_->level, 96 * 128 * 10.0f / 16256);
  EXPECT_EQ(sink_->words.size(), 2u);
  hub_.Idle();
  EXPECT_EQ(Level().midi_controller(), 0x2000001);
  EXPECT_EQ(Driven().CurrentValue().number, 9);
}

TEST_F(PatchEngineTest, AListLongerThanAMessageReachesTheEngineWhole) {
  // 128 patch names, about 3,500 characters.
  std::string names;
  for (int i = 0; i < 128; ++i) {
    if (i > 0) names += ',';
    names += "Patch " + std::to_string(1000 + i) + " with a long name";
  }
  ASSERT_GT(names.size(), 3000u);
  Mode().SetListText(names);
  StartEngine();
  master_.Process(32);
  const float top = 1.0f, middle = 0.5f;
  ASSERT_TRUE(master_.PostAutomation(Mode().Handle(), kMsgPpca, std::as_bytes(std::span(&top, 1))));
  master_.Process(32);
  master_.Process(32);
  EXPECT_EQ(knob_->mode, 127);  // the last item
  ASSERT_TRUE(
      master_.PostAutomation(Mode().Handle(), kMsgPpca, std::as_bytes(std::span(&middle, 1))));
  master_.Process(32);
  master_.Process(32);
  EXPECT_EQ(knob_->mode, 64);
}

TEST_F(PatchEngineTest, NewListsAndRangesReachARunningEngineWithoutAllocating) {
  StartEngine();
  master_.Process(32);
  Mode().SetListText("Off,Slow=5,Fast,Faster,Fastest=40");
  Level().set_range({0.0f, 2.0f});
  const int before = counted_allocations.load();
  counting_allocations = true;
  master_.Process(32);  // "meta" handled here
  counting_allocations = false;
  EXPECT_EQ(counted_allocations.load(), before);

  const float top = 1.0f;
  for (const PatchParameter* parameter : {&Mode(), &Level()}) {
    ASSERT_TRUE(
        master_.PostAutomation(parameter->Handle(), kMsgPpca, std::as_bytes(std::span(&top, 1))));
  }
  master_.Process(32);
  master_.Process(32);
  EXPECT_EQ(knob_->mode, 40);
  EXPECT_EQ(knob_->level, 2.0f);
  // MIDI selects from the new list too.
  Mode().SetMidiController(0x2000001);
  master_.Process(32);
  EngineManager().OnController(master_.SampleClock(), 0x2000001, 0.6f);
  master_.Process(32);
  EXPECT_EQ(knob_->mode, 7);  // item 3 of 5

  // A list beyond the room the engine kept waits for its next start, and
  // the user hears of it.
  MessageSink user;
  user.SetLogToStderr(false);
  hub_.SetUserMessages(&user);
  Mode().SetListText(std::string(5000, 'x') + ",y");
  master_.Process(32);
  EngineManager().OnController(master_.SampleClock(), 0x2000001, 1.0f);
  master_.Process(32);
  EXPECT_EQ(knob_->mode, 40);
  ASSERT_EQ(user.Messages().size(), 1u);
  EXPECT_TRUE(user.Contains("\"Knob\""));
}

TEST_F(PatchEngineTest, AModuleTellsTheUserWithoutAllocating) {
  MessageSink user;
  user.SetLogToStderr(false);
  hub_.SetUserMessages(&user);
  StartEngine();
  master_.Process(32);
  const int before = counted_allocations.load();
  counting_allocations = true;
  const bool posted = knob_->RequestMessageBox("The sample is missing");
  master_.Process(32);
  counting_allocations = false;
  EXPECT_TRUE(posted);
  EXPECT_EQ(counted_allocations.load(), before);
  hub_.Idle();
  EXPECT_TRUE(user.Contains("Knob : The sample is missing"));
}

// An enumerated parameter set from a controller or the host picks its item
// on the audio thread: long item texts must not be copied there.
TEST(EnginePatchValues, ChoosingAnItemOfALongListAllocatesNothing) {
  const ListText items(
      "A first item whose text is far longer than a short string,"
      "A second item whose text is just as long as the first=7");
  const ListText range("range 10,20");
  const int before = counted_allocations.load();
  counting_allocations = true;
  const int32_t chosen = items.ValueAt(0.9);
  const int32_t in_range = range.ValueAt(0.5);
  counting_allocations = false;
  EXPECT_EQ(counted_allocations.load(), before);
  EXPECT_EQ(chosen, 7);
  EXPECT_EQ(in_range, 15);
}

TEST_F(PatchEngineTest, AFullEngineRingLosesWholeMessagesAndIdleClearsTheOverflow) {
  StartEngine();
  master_.Process(32);
  hub_.Idle();
  // Far more values than the ring holds before the editor's next idle.
  for (int i = 0; i < 2000; ++i) {
    knob_->Drive(i);
    master_.Process(32);
  }
  EXPECT_GT(hub_.ToEditor().Dropped(), 0u);
  hub_.Idle();
  EXPECT_TRUE(hub_.OverflowSeen());
  EXPECT_GE(Driven().CurrentValue().number, 0);  // whole values only, none torn
  knob_->Drive(5000);
  master_.Process(32);
  hub_.Idle();
  EXPECT_FALSE(hub_.OverflowSeen());
  EXPECT_EQ(Driven().CurrentValue().number, 5000);
}

}  // namespace
}  // namespace ov::testing
