// Patch parameters between a document and a running engine: the start of the
// engine side, patch changes, panel and host edits, host automation from
// another thread, values a module drives, and MIDI learning.
#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "document/graph_build.h"
#include "document/patch_manager.h"
#include "engine/audio_master.h"
#include "engine/uplug.h"
#include "modules/module_info.h"
#include "patches/dsp_patch_manager.h"
#include "patches/message_hub.h"
#include "tests/document/document_test_support.h"
#include "tests/engine/engine_test_support.h"

// Allocations made on a thread while it counts them: the engine's side of
// every message must make none. (The replacements pair malloc with free,
// which the compiler cannot see through inlining.)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace {
thread_local bool counting_allocations = false;
std::atomic<int> counted_allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  if (counting_allocations) counted_allocations.fetch_add(1);
  if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
// The nothrow forms must pair with the deletes above too (temporary buffers
// of the standard algorithms use them).
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return operator new(size, std::nothrow);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

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
  void Drive(int32_t value) {
    driven = value;
    plug(3)->Transmit(Clock(), ST_STATIC);
  }

  float level = 0;
  int16_t mode = 0;
  std::string label;
  int32_t driven = 0;
  int changes = 0;
};

const Module_Info& KnobType() {
  static const Module_Info type(
      "Test Knob", "", 0, 0, "", [] { return std::make_unique<Knob>(); }, 0, -1);
  return type;
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
    graph_ = build.TakeRoot();
    master_.Start(graph_.get());
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
};

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

TEST_F(PatchEngineTest, TheEngineHandlesEveryMessageWithoutAllocating) {
  Label().SetSlotFromText(3, std::string(400, 'z'));  // longer than a plug keeps
  StartEngine();
  master_.Process(32);
  manager_->SetCurrentPatch(3);
  Level().SetMidiController(-2);
  const float half = 0.5f;
  ASSERT_TRUE(master_.PostAutomation(Mode().Handle(), kMsgPpca,
                                     std::as_bytes(std::span(&half, 1))));

  counting_allocations = true;
  master_.Process(32);
  EngineManager().OnController(master_.SampleClock(), 0x2000001, 0.75f);
  knob_->Drive(9);
  master_.Process(32);
  counting_allocations = false;
  EXPECT_EQ(counted_allocations.load(), 0);

  EXPECT_EQ(knob_->label, std::string(UPlug::kTextCapacity, 'z'));
  EXPECT_EQ(knob_->level, 7.5f);
  hub_.Idle();
  EXPECT_EQ(Level().midi_controller(), 0x2000001);
  EXPECT_EQ(Driven().CurrentValue().number, 9);
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
