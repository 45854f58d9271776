// Patches selected from MIDI, the host and the "Program" parameter, and the
// panel parameters the host sees and state chunks keep.
#include "document/patch_select.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "document/container_parameters.h"
#include "host/ov_vst.h"
#include "modules/patch_select.h"
#include "tests/host/compiled_project.h"
#include "tests/host/patch_project.h"

namespace ov::testing {
namespace {

// "select" answers MIDI and sends on the main container's "MIDI Out"; the
// inner container keeps its own patches.
constexpr const char* kSelectProject = R"({
  "version": 95960, "plugin_id": "OvPs", "vendor": "Orvane", "plugin_flags": 1, "programs": 16,
  "root": {"type": "Container", "modules": [{
    "type": "Container", "name": "synth", "title": "Selecting",
    "io": [{"name": "MIDI In", "direction": "in", "datatype": "midi"},
           {"name": "MIDI Out", "direction": "out", "datatype": "midi"}],
    "patches": {"current": 0},
    "modules": [
      {"type": "Patch Select", "name": "select"},
      {"type": "Container", "name": "inner", "ignore_program_change": true, "modules": [
        {"type": "Patch Select", "name": "inner_select"}]}],
    "connections": ["io.MIDI In -> select.MIDI In", "select.MIDI Out -> io.MIDI Out"]}]}
})";

// Counts what listeners of a container and of its "Program" hear.
struct Listening : Notifiable {
  explicit Listening(CContainer& container) : container(container) {
    container.AddListener(this);
    container.FindParameter("Program")->Watchers().AddListener(this);
  }
  ~Listening() {
    container.RemoveListener(this);
    container.FindParameter("Program")->Watchers().RemoveListener(this);
  }
  void OnNotify(const Notification& notification) override {
    if (notification.code == kNotifyValueChanged) ++program_changed;
    if (notification.code == kNotifyContentsChanged) ++contents_changed;
  }
  CContainer& container;
  int program_changed = 0;
  int contents_changed = 0;
};

TEST(PatchSelect, ProgramChangesFromEverySideMeetInOnePatch) {
  FakeHost host;
  CompiledProject source(Json::parse(kSelectProject));
  OvVst plugin(&FakeHost::Callback, source);
  ASSERT_FALSE(plugin.LoadFailed());
  CContainer& main = *plugin.App().Document()->FindMainContainer();
  CContainer* inner = nullptr;
  for (const auto& child : main.children()) {
    if (auto* container = dynamic_cast<CContainer*>(child.get())) inner = container;
  }
  ASSERT_NE(inner, nullptr);
  // A fresh project's names, "," and "=" kept out of the list.
  EXPECT_EQ(main.FindParameter("Program Name")->ItemList().substr(0, 26),
            "Patch   1=0,Patch   2,Patc");
  main.GetPatchManager()->SetPatchName(7, "a,b=c");
  EXPECT_NE(main.FindParameter("Program Name")->ItemList().find(",a b c,"), std::string::npos);

  plugin.setSampleRate(44100);
  plugin.setBlockSize(64);
  plugin.resume();
  ASSERT_NE(plugin.App().Engine(), nullptr);
  std::vector<float> left(64), right(64);
  float* outputs[] = {left.data(), right.data()};
  const auto run = [&] {
    plugin.getAeffect()->processReplacing(plugin.getAeffect(), nullptr, outputs, 64);
    plugin.fxIdle();
  };
  const auto midi_in = [&](uint8_t status, uint8_t program) {
    vst2::VstMidiEvent event{};
    event.type = vst2::kVstMidiType;
    event.midiData[0] = static_cast<char>(status);
    event.midiData[1] = static_cast<char>(program);
    struct {
      int32_t numEvents;
      intptr_t reserved;
      vst2::VstEvent* events[1];
    } block{1, 0, {reinterpret_cast<vst2::VstEvent*>(&event)}};
    plugin.dispatcher(vst2::effProcessEvents, 0, 0, &block, 0);
    run();
    run();
  };

  struct Step {
    const char* what;
    std::function<void()> act;
    int32_t patch;                          // the main container's afterwards
    std::vector<uint8_t> sent;              // program changes on "MIDI Out"
    int program_changed, contents_changed;  // -1: not counted
  };
  const std::vector<Step> steps = {
      {"MIDI program change to the current patch", [&] { midi_in(0xC0, 0); }, 0, {}, 0, 0},
      // The shell's watcher selects it once more for the host.
      {"MIDI program change 5", [&] { midi_in(0xC0, 5); }, 5, {5}, 2, 4},
      {"a data byte above 127 is masked", [&] { midi_in(0xC0, 0x85); }, 5, {}, 0, 0},
      {"the host selects 3", [&] { plugin.setProgram(3), run(); }, 3, {3}, -1, -1},
      {"\"Program\" set to its value",
       [&] { main.FindParameter("Program")->WriteValueText("3"); },
       3,
       {},
       1,
       2},
      {"\"Program\" set outside the patches",
       [&] { main.FindParameter("Program")->WriteValueText("128"); },
       3,
       {},
       0,
       0},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    host.sent_blocks.clear();
    Listening listening(main);
    step.act();
    run();
    EXPECT_EQ(main.CurrentPatch(), step.patch);
    EXPECT_EQ(plugin.getProgram(), step.patch);
    std::vector<uint8_t> sent;
    for (const auto& block : host.sent_blocks) {
      for (const auto& event : block) {
        EXPECT_EQ(event.bytes[0], 0xC0);  // "All" sends on the first channel
        sent.push_back(event.bytes[1]);
      }
    }
    EXPECT_EQ(sent, step.sent);
    if (step.program_changed >= 0) {
      EXPECT_EQ(listening.program_changed, step.program_changed);
      EXPECT_EQ(listening.contents_changed, step.contents_changed);
    }
    // The inner container ignores its parent's patches.
    EXPECT_EQ(inner->CurrentPatch(), 0);
  }
  plugin.suspend();
}

// A panel parameter as a control module offers one: a number in volts.
class PanelValue final : public generic_parameter {
 public:
  PanelValue(std::string name, bool display_only)
      : name_(std::move(name)), display_(display_only) {}
  ~PanelValue() override { watchers_.Notify(Notification(kNotifyPlugDestroyed, this)); }
  Notifier& Watchers() override { return watchers_; }
  std::string Name() const override { return name_; }
  int32_t Datatype() const override { return DT_DOUBLE; }
  bool Automatable() const override { return true; }
  bool DisplayOnly() const override { return display_; }
  std::string ValueText() const override { return value_; }
  void WriteValueText(const std::string& text) override {
    value_ = text;
    watchers_.Notify(Notification(kNotifyValueChanged, this));
  }

 private:
  Notifier watchers_;
  std::string name_;
  bool display_;
  std::string value_ = "0";
};

class PanelModule final : public CUG {
 public:
  PanelModule(std::string name, bool display_only) : value(std::move(name), display_only) {}
  void CollectGenericParameters(std::vector<generic_parameter*>& out) override {
    out.push_back(&value);
  }
  PanelValue value;
};

// Patch parameter "B" beside panel parameters "C", "A" and the readout "AA".
class PanelProject final : public ProjectSource {
 public:
  explicit PanelProject(std::vector<std::string> panel) : panel_(std::move(panel)) {}
  std::optional<ProjectFacts> Load(MessageSink& messages) override {
    messages.SetLogToStderr(false);
    return SynthFacts();
  }
  ProjectHoldings TakeHoldings() override {
    ProjectHoldings holdings;
    holdings.document = std::make_unique<COrvaneDocBase>();
    auto root = NewObject<CContainer>("Container");
    auto* main = Add<CContainer>(*root, "Container");
    CPatchManager& manager = main->EnsurePatchManager();
    CUG* memory = Add(*main, "PatchMemFloatIn");
    memory->SetTitle("B");
    manager.CreateParameterForPlug(*Plug(*memory, "Value"));
    for (const std::string& name : panel_) {
      main->AddChild(std::make_unique<PanelModule>(name, name == "AA"));
    }
    holdings.document->SetRoot(std::move(root));
    return holdings;
  }

 private:
  std::vector<std::string> panel_;
};

PanelValue& ValueNamed(OvVst& plugin, const std::string& name) {
  for (const auto& child : plugin.App().Document()->FindMainContainer()->children()) {
    if (auto* module = dynamic_cast<PanelModule*>(child.get());
        module && module->value.Name() == name) {
      return module->value;
    }
  }
  throw std::runtime_error("no panel value " + name);
}

TEST(PanelParameters, SortInWithPatchParametersAndRoundTripThroughChunks) {
  FakeHost host;
  PanelProject source({"C", "AA", "A"});
  OvVst plugin(&FakeHost::Callback, source);
  ASSERT_EQ(plugin.getAeffect()->numParams, 4);
  std::vector<std::string> names;
  for (int32_t i = 0; i < 4; ++i) {
    char text[64] = {};
    plugin.getParameterName(i, text);
    names.push_back(text);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"A", "B", "C", "AA"}));
  EXPECT_FALSE(plugin.canParameterBeAutomated(3));

  // A host set reaches the parameter and is not echoed; a panel change is.
  plugin.setParameter(2, 0.25f);
  EXPECT_FLOAT_EQ(ValueNamed(plugin, "C").GetNormalised(), 0.25f);
  EXPECT_TRUE(host.automated.empty());
  ValueNamed(plugin, "A").WriteValueText("5");
  EXPECT_EQ(host.automated, (std::vector<FakeHost::Automation>{{0, 0.5f}}));

  void* data = nullptr;
  const int32_t size = plugin.getChunk(&data, false);
  const std::vector<uint8_t> saved(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
  ValueNamed(plugin, "A").WriteValueText("1.25");
  ValueNamed(plugin, "C").WriteValueText("7");
  plugin.setChunk(const_cast<uint8_t*>(saved.data()), size, false);
  EXPECT_EQ(ValueNamed(plugin, "A").ValueText(), "5");
  EXPECT_FLOAT_EQ(ValueNamed(plugin, "C").GetNormalised(), 0.25f);
  data = nullptr;
  const int32_t again = plugin.getChunk(&data, false);
  EXPECT_EQ(std::vector<uint8_t>(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + again),
            saved);
  const auto told = [](OvVst& shell) {
    int count = 0;
    for (const auto& message : shell.App().Messages().Messages()) {
      count += message.text == "Some parameters could not be loaded";
    }
    return count;
  };
  EXPECT_EQ(told(plugin), 0);

  // A project without "AA" loads the rest and says what it could not.
  PanelProject fewer({"C", "A"});
  OvVst other(&FakeHost::Callback, fewer);
  other.setChunk(const_cast<uint8_t*>(saved.data()), size, false);
  EXPECT_EQ(ValueNamed(other, "A").ValueText(), "5");
  EXPECT_EQ(told(other), 1);

  // A generic count larger than the chunk is refused before anything is read.
  std::vector<uint8_t> hostile = saved;
  hostile[4] = hostile[5] = hostile[6] = 0xFF;
  hostile[7] = 0x7F;
  other.setChunk(hostile.data(), static_cast<int32_t>(hostile.size()), false);
  EXPECT_FALSE(other.LastChunkApplied());
}

}  // namespace
}  // namespace ov::testing
