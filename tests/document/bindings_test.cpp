// How panel values are shared: value objects between plugs and widgets,
// plugs as the generic parameters widgets watch, and the feature plugs of
// control_ob modules.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "document/archive_error.h"
#include "document/container.h"
#include "document/document.h"
#include "document/panel_objects.h"
#include "document/plug_kinds.h"
#include "document/project_text.h"
#include "document/value_objects.h"

namespace ov {
namespace {

using FloatVariable = variable<float, MetaData_float>;
using FloatReference = control_std<float, MetaData_float>;

struct Counter : value_owner {
  void OnVariableChanged(generic_feature&) override { ++variables; }
  void OnControlChanged(generic_control&) override { ++controls; }
  int variables = 0;
  int controls = 0;
};

TEST(ValueObjects, ShareOneValueAndFallBackToAQuietDummy) {
  Counter owner;
  auto held = std::make_unique<variable_addin<float, MetaData_float>>(&owner, 0.25f);
  control_addin<float, MetaData_float> widget(&owner);
  FloatReference other;

  // Attaching tells the reference at once; a mismatched type stays away.
  ASSERT_TRUE(widget.Attach(*held));
  EXPECT_EQ(owner.controls, 1);
  variable<bool, MetaData_none> flag(true);
  EXPECT_FALSE(other.Attach(flag));
  EXPECT_FALSE(other.Attached());

  // Writes through either side reach both owners; an equal value is no change.
  widget.Set(0.5f);
  held->Set(0.5f);
  EXPECT_EQ(held->Get(), 0.5f);
  EXPECT_EQ(owner.variables, 1);
  EXPECT_EQ(owner.controls, 2) << "the writer hears its own write";

  // Nothing passes between references attached to nothing.
  other.Set(7.0f);
  FloatReference stranger;
  EXPECT_EQ(other.Get(), 0.0f);
  EXPECT_EQ(stranger.Get(), 0.0f);

  // A relay reads and writes its target and passes its changes on.
  control_relay<float, MetaData_float> relay;
  ASSERT_TRUE(relay.ReferenceFace().Attach(*held));
  ASSERT_TRUE(other.Attach(relay.VariableFace()));
  relay.VariableFace().Set(0.75f);
  EXPECT_EQ(held->Get(), 0.75f);
  EXPECT_EQ(other.Get(), 0.75f);

  // A variable that goes leaves its references on the dummy, not dangling.
  held.reset();
  EXPECT_FALSE(widget.Attached());
  EXPECT_EQ(widget.Get(), 0.0f);
  widget.Set(1.0f);
  EXPECT_EQ(stranger.Get(), 0.0f);
}

// A plug whose datatype and list are its own, as feature plugs have.
std::unique_ptr<CPlugFeature> PlugOf(int32_t datatype, std::string text) {
  auto plug = std::make_unique<CPlugFeature>();
  plug->SetFeatureShape(DR_IN, datatype, 0);
  plug->SetValueText(std::move(text));
  return plug;
}

struct Watcher : ParamWatcher {
  void OnParameterChanged() override { ++changes; }
  void OnParameterGone() override { gone = true; }
  int changes = 0;
  bool gone = false;
};

// A parameter of three items with values of their own.
class ListParameter : public generic_parameter {
 public:
  Notifier& Watchers() override { return watchers_; }
  std::string Name() const override { return "list"; }
  int32_t Datatype() const override { return DT_ENUM; }
  std::string ValueText() const override { return text_; }
  void WriteValueText(const std::string& text) override { text_ = text; }
  std::string ItemList() const override { return "a=5,b=9,c=12"; }

 private:
  Notifier watchers_;
  std::string text_ = "9";
};

TEST(GenericParameters, NormalisedViewsByDatatype) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Row {
    int32_t datatype;
    const char* text;
    float set;              // then written with SetNormalised
    const char* written;    // the value text afterwards
    float normalised;       // GetNormalised afterwards
    const char* shown;      // TextForNormalised(set)
  };
  const Row rows[] = {
      {DT_BOOL, "0", 0.7f, "1", 1.0f, "true"},
      {DT_BOOL, "1", 0.2f, "0", 0.0f, "false"},
      {DT_BOOL, "1", nan, "0", 0.0f, "false"},
      {DT_DOUBLE, "4", 0.9f, "9.000", 0.9f, "4"},  // volts: ten times the normalised value
      {DT_DOUBLE, "4", 2.0f, "10.000", 1.0f, "4"},
      {DT_FLOAT, "0", 1.0f, "1.000", 1.0f, "0"},  // a button's press reaches a float
      {DT_FLOAT, "0.5", -inf, "0.000", 0.0f, "0.5"},
      {DT_TEXT, "x", 0.5f, "x", 0.0f, "x"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.written);
    auto plug = PlugOf(row.datatype, row.text);
    EXPECT_EQ(plug->TextForNormalised(row.set), row.shown);
    plug->SetNormalised(row.set);
    EXPECT_EQ(plug->ValueText(), row.written);
    EXPECT_FLOAT_EQ(plug->GetNormalised(), row.normalised);
  }

  // Enumerated parameters step through their items by value.
  ListParameter list;
  EXPECT_FLOAT_EQ(list.GetNormalised(), 0.5f);
  EXPECT_EQ(list.TextForNormalised(0.5f), "b");
  EXPECT_EQ(list.TextForNormalised(1.0f), "c");
  list.SetNormalised(1.0f);
  EXPECT_EQ(list.ValueText(), "12");
  list.SetNormalised(inf);
  EXPECT_EQ(list.ValueText(), "5") << "infinity counts as 0";

  // Watchers hear writes that change the value, and the plug's going.
  auto plug = PlugOf(DT_BOOL, "0");
  Watcher watcher;
  watcher.Watch(plug.get());
  plug->WriteValueText("1");
  plug->WriteValueText("1");
  EXPECT_EQ(watcher.changes, 1);
  plug.reset();
  EXPECT_TRUE(watcher.gone);
  EXPECT_EQ(watcher.Watched(), nullptr);
}

TEST(ControlObModules, MakeOneFeaturePlugPerFeatureOfTheirFace) {
  const Json text = Json::parse(R"({"root": {"modules": [
      {"type": "Image", "name": "knob", "panel_pos": [5, 6],
       "plug_values": {"Filename": "knob_med", "Animation Position": 0.5}},
      {"type": "Tinted Image"}, {"type": "Joystick Image"},
      {"type": "Text Entry2"}, {"type": "List Entry2"}]}})");
  COrvaneDocBase document = CompileDocument(text, {});
  struct Expected {
    const char* type;
    std::vector<std::string> plugs;
  };
  const Expected expected[] = {
      {"Image", {"Animation Position", "Filename", "Mouse Down", "Frame Count"}},
      {"Tinted Image",
       {"Animation Position", "Filename", "Hue", "Saturation", "Brightness", "Mouse Down"}},
      {"Joystick Image", {"Animation Position", "Position X", "Position Y", "Filename", "Mouse Down"}},
      {"Text Entry2", {"Text", "Style", "Mode", "Multiline"}},
      {"List Entry2", {"List", "Style"}},
  };
  const CContainer& root = *document.root();
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.type);
    const control_ob* found = nullptr;
    for (const auto& child : root.children()) {
      auto* module = dynamic_cast<const control_ob*>(child.get());
      if (module != nullptr && module->title() == e.type) found = module;
    }
    ASSERT_NE(found, nullptr);
    std::vector<std::string> names;
    for (CPlugFeature* plug : found->FeaturePlugs()) {
      names.push_back(plug->Name());
      EXPECT_EQ(plug->Direction(), DR_OUT);
      EXPECT_EQ(plug->Flags(), kPlugPanelSide);
      EXPECT_EQ(found->GetEnginePlugIndex(plug), -1) << "no engine plug";
    }
    EXPECT_EQ(names, e.plugs);
  }

  // The stored values reach the variables that faces bind to, and what a
  // face writes there is stored again.
  const control_ob* knob = nullptr;
  for (const auto& child : root.children()) {
    if (auto* module = dynamic_cast<const control_ob*>(child.get()); module && module->title() == "Image")
      knob = module;
  }
  ASSERT_NE(knob, nullptr);
  EXPECT_EQ(knob->ViewRect(kViewControlPanel), (Rect{5, 6, 25, 26}));
  CPlugFeature* position = knob->FeaturePlugs()[0];
  control_std<float, MetaData_float> face;
  ASSERT_TRUE(face.Attach(*position->ConnectedVariable()));
  EXPECT_FLOAT_EQ(face.Get(), 0.5f);
  face.Set(0.125f);
  EXPECT_EQ(position->value_text(), "0.125");
}

// A list feature plug's variable carries as items the list of the plug it
// is connected to, else its stored list text, else its feature's list, and
// follows a change of either.
TEST(ControlObModules, ListFeaturePlugsCarryTheItemsOfWhatTheyAreConnectedTo) {
  const Json text = Json::parse(R"({"root": {"modules": [
      {"type": "Oscillator", "name": "osc"}, {"type": "List Entry2", "name": "wave"},
      {"type": "List Entry2", "name": "alone"}, {"type": "Text Entry2", "name": "text"}],
      "connections": ["wave.List -> osc.Waveform"]}})");
  COrvaneDocBase document = CompileDocument(text, {});
  // Found by what they are: the connected list entry, the other, the text.
  std::vector<control_ob*> modules(3, nullptr);
  for (const auto& child : document.root()->children()) {
    auto* module = dynamic_cast<control_ob*>(child.get());
    if (module == nullptr) continue;
    const bool connected = !module->FeaturePlugs()[0]->connections().empty();
    modules[module->title() == "Text Entry2" ? 2 : connected ? 0 : 1] = module;
  }
  ASSERT_TRUE(modules[0] && modules[1] && modules[2]);
  using ListReference = control_addin<int16_t, MetaData_enum>;
  struct Row {
    const char* what;
    std::size_t module;
    std::size_t feature;
    std::string items;
  };
  const std::string waveforms = "Sine, Saw, Ramp, Triangle, Pulse,White Noise,Pink Noise";
  const Row rows[] = {
      {"connected to a list", 0, 0, waveforms},
      {"connected to nothing", 1, 0, ""},
      {"a feature's own list", 2, 2, "Normal,Read-Only"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    CPlugFeature& plug = *modules[row.module]->FeaturePlugs()[row.feature];
    EXPECT_EQ(plug.ItemList(), row.items);
    ListReference face(nullptr);
    ASSERT_TRUE(face.Attach(*plug.ConnectedVariable()));
    EXPECT_EQ(face.Metadata().items, row.items);
  }

  // Changes reach a bound face: a stored list text, then the connection
  // going (the stored text shows again).
  Counter owner;
  ListReference face(&owner);
  CPlugFeature& wave = *modules[0]->FeaturePlugs()[0];
  ASSERT_TRUE(face.Attach(*wave.ConnectedVariable()));
  wave.SetListText("a=5,b=7");
  EXPECT_EQ(face.Metadata().items, waveforms) << "the connection comes first";
  CContainer& root = *document.root();
  root.Disconnect(wave.connections().front());
  EXPECT_EQ(face.Metadata().items, "a=5,b=7");
  CPlugFeature& alone = *modules[1]->FeaturePlugs()[0];
  ListReference other(nullptr);
  ASSERT_TRUE(other.Attach(*alone.ConnectedVariable()));
  alone.SetListText("x,y");
  EXPECT_EQ(other.Metadata().items, "x,y");
}

TEST(ControlObModules, PanelPositionsAreChecked) {
  const char* bad[] = {
      R"({"type": "Image", "panel_pos": [1]})",
      R"({"type": "Image", "panel_pos": [1, 2, 0, 4]})",
      R"({"type": "Image", "panel_pos": [1, "2"]})",
      R"({"type": "Oscillator", "panel_pos": [1, 2]})",
  };
  for (const char* module : bad) {
    SCOPED_TRACE(module);
    const Json text = Json::parse(std::string(R"({"root": {"modules": [)") + module + "]}}");
    EXPECT_THROW(CompileDocument(text, {}), ArchiveError);
  }
}

}  // namespace
}  // namespace ov
