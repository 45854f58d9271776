// The faces of control modules and the patch toolbar: the arithmetic a
// user sees (where a rotary switch puts its labels, which item an arrow
// picks) checked against values worked out by hand from the layout rules,
// and the toolbar drawn whole and compared exactly (flat fills, copies and
// pinned fonts leave nothing to tolerate).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/container.h"
#include "document/control_mapper.h"
#include "document/new_objects.h"
#include "document/patch_manager.h"
#include "editor/controls/bitmap_controls.h"
#include "editor/controls/rotary_switch.h"
#include "editor/groups.h"
#include "editor/patch_toolbar.h"
#include "editor/skins/default_skin/default_skin.h"
#include "editor/skins/skin_list.h"
#include "editor/widgets/buttons.h"
#include "editor/widgets/default_controls.h"
#include "editor/widgets/drop_downs.h"
#include "editor/widgets/edit_boxes.h"
#include "editor/widgets/parameter_controls.h"
#include "engine/interface_object.h"
#include "modules/module_registry.h"
#include "platform/message_sink.h"
#include "tests/editor/editor_test_support.h"

namespace ov::testing {
namespace {

class TestParameter final : public generic_parameter {
 public:
  TestParameter(std::string name, int32_t datatype, std::string value, std::string items = {})
      : name_(std::move(name)), datatype_(datatype), value_(std::move(value)),
        items_(std::move(items)) {}
  ~TestParameter() override { watchers_.Notify(Notification(kNotifyPlugDestroyed, this)); }
  Notifier& Watchers() override { return watchers_; }
  std::string Name() const override { return name_; }
  int32_t Datatype() const override { return datatype_; }
  std::string ValueText() const override { return value_; }
  std::string ItemList() const override { return items_; }
  void WriteValueText(const std::string& text) override {
    if (text == value_) return;
    value_ = text;
    watchers_.Notify(Notification(kNotifyValueChanged, this));
  }

 private:
  Notifier watchers_;
  std::string name_;
  int32_t datatype_;
  std::string value_;
  std::string items_;
};

// A control that remembers what its mapper pushed.
struct PushedControl final : MappedControl {
  void ValueFromParameter(float normalised) override { pushed.push_back(normalised); }
  std::vector<float> pushed;
};

struct MapperRow {
  const char* name;
  control_mapper_bmc_enum::Mode mode;
  std::optional<int32_t> item;
  const char* before;
  float press;
  const char* after;
  float shown;  // the mapper's normalised value afterwards
};

// Three items whose values are not their positions.
constexpr const char* kItems = "a=0,b=5,c=9";

const MapperRow kMapperRows[] = {
    {"NextWrapsFromTheLast", control_mapper_bmc_enum::kNext, {}, "9", 1.0f, "0", 1.0f},
    {"PreviousWrapsFromTheFirst", control_mapper_bmc_enum::kPrevious, {}, "0", 1.0f, "9", 1.0f},
    {"NextSteps", control_mapper_bmc_enum::kNext, {}, "0", 1.0f, "5", 1.0f},
    {"UnlistedNextGoesFirst", control_mapper_bmc_enum::kNext, {}, "7", 1.0f, "0", 1.0f},
    {"UnlistedPreviousGoesLast", control_mapper_bmc_enum::kPrevious, {}, "7", 1.0f, "9", 1.0f},
    {"AReleaseStepsNothing", control_mapper_bmc_enum::kNext, {}, "5", 0.0f, "5", 0.0f},
    {"ItemLitWhenHeld", control_mapper_bmc_enum::kNext, 5, "5", 0.0f, "5", 1.0f},
    {"ItemPressChoosesIt", control_mapper_bmc_enum::kNext, 9, "5", 1.0f, "9", 1.0f},
    {"ItemDarkOtherwise", control_mapper_bmc_enum::kNext, 9, "5", 0.0f, "5", 0.0f},
    {"PassThroughPicksByPosition", control_mapper_bmc_enum::kPassThrough, {}, "0", 1.0f, "9", 1.0f},
};

TEST(ControlPanels, EnumMappersStepRoundTheListAndStandForItems) {
  for (const MapperRow& row : kMapperRows) {
    SCOPED_TRACE(row.name);
    TestParameter parameter("choice", DT_ENUM, row.before, kItems);
    PushedControl control;
    control_mapper_bmc_enum mapper(&control, &parameter, row.mode, row.item);
    mapper.SetNormalised(row.press);
    EXPECT_EQ(parameter.ValueText(), row.after);
    EXPECT_EQ(mapper.GetNormalised(), row.shown);
  }
}

struct RotaryRow {
  const char* name;
  int32_t items;
  int32_t height;
  size_t label;  // which label the row checks
  Point top_left;
  std::vector<Point> leader;
};

// Labels 20 x 10 round a 36-pixel knob (r0 = 14.4), mostly in a 10-pixel
// font. Three items: spacing 70/3, the column from -23.3 to 23.3; twelve:
// two sides of six, step pi/6, the leaders bent at the label's height;
// seven in a 12-pixel font: two sides of three and one below the circle
// (its height 46.7 is past the radius 35, so it sits centred under it).
const RotaryRow kRotaryRows[] = {
    {"OneItemPointsRight", 1, 10, 0, {39, -5}, {{14, 0}, {35, 0}}},
    {"ThreeItemsTop", 3, 10, 0, {30, -28}, {{10, -9}, {26, -23}}},
    {"ThreeItemsMiddle", 3, 10, 1, {39, -5}, {{14, 0}, {35, 0}}},
    {"ThreeItemsBottom", 3, 10, 2, {30, 18}, {{10, 9}, {26, 23}}},
    {"TwelveItemsFirstRight", 12, 10, 0, {23, -34}, {{3, -13}, {7, -29}, {19, -29}}},
    {"TwelveItemsFirstLeft", 12, 10, 6, {-43, 24}, {{-3, 13}, {-7, 29}, {-19, 29}}},
    {"TwelveItemsLastLeft", 12, 10, 11, {-43, -34}, {{-3, -13}, {-7, -29}, {-19, -29}}},
    {"SevenItemsBelowTheCircle", 7, 12, 3, {-10, 45}, {{0, 14}, {0, 35}}},
};

TEST(ControlPanels, RotarySwitchesPlaceTheirLabelsRoundTheKnob) {
  for (const RotaryRow& row : kRotaryRows) {
    SCOPED_TRACE(row.name);
    const std::vector<Point> sizes(static_cast<size_t>(row.items), Point{20, 10});
    const RotaryLayout layout = LayOutRotary(sizes, row.height, 36);
    ASSERT_EQ(layout.labels.size(), sizes.size());
    EXPECT_EQ(layout.labels[row.label].top_left, row.top_left);
    EXPECT_EQ(layout.labels[row.label].leader, row.leader);
  }
  // Three items turn the knob through +-asin(2/3) about the right.
  const RotaryLayout three = LayOutRotary(std::vector<Point>(3, Point{20, 10}), 10, 36);
  EXPECT_NEAR(three.wrap_offset, -0.116139, 1e-5);
  EXPECT_NEAR(three.wrap_scale, 0.232278, 1e-5);
  // No items: the knob alone, pointing right, with nothing to divide by.
  const RotaryLayout none = LayOutRotary({}, 10, 36);
  EXPECT_TRUE(none.labels.empty());
  EXPECT_EQ(none.wrap_offset, 0.0f);
  EXPECT_EQ(none.wrap_scale, 0.0f);
}

bool AnyFamily(std::string_view) { return true; }

// A container holding a "Patch Select", with its own patches, that also
// offers a "Channel" as a hosted plug-in's panel does.
class PatchOwner final : public CContainer {
 public:
  PatchOwner() {
    AddChild(CreateDocumentObject(BuiltInModules(), "Patch Select"));
    EnsurePatchManager().SetPatchName(0, "Warm Pad");
  }
  void CollectGenericParameters(std::vector<generic_parameter*>& out) override {
    out.push_back(&channel);
  }
  std::string Program() const { return FindParameter("Program")->ValueText(); }
  TestParameter channel{"Channel", DT_ENUM, "-1", "All=-1,1,2,3"};
};

TEST(ControlPanels, APatchToolbarWrapsASubPanel) {
  MessageSink messages;
  messages.SetLogToStderr(false);
  SkinList skins("", BuiltInSkin(AnyFamily), &messages, AnyFamily);
  TreeRig rig(400, 90);
  rig.root.SetSkins(&skins);
  PatchOwner owner;
  VisualMakers makers;
  AddPatchToolbar(makers);
  // The rig's panel is not the root: it has no flag 0x100000.
  PopulateView(owner, *rig.panel, makers);
  ASSERT_EQ(rig.panel->children().size(), 1u);
  auto* toolbar = dynamic_cast<CPatchSelDecorator*>(rig.panel->children()[0]);
  ASSERT_NE(toolbar, nullptr);
  toolbar->SetRect({0, 0, 400, 90});
  rig.root.Open();
  rig.root.Idle();
  ExpectMatchesGolden("patch_toolbar", rig.screen->Screen());
  // The content lies below the one row of items.
  ASSERT_NE(toolbar->content(), nullptr);
  EXPECT_EQ(toolbar->content()->GetRect().left, 0);
  EXPECT_GT(toolbar->content()->GetRect().top, 0);
  EXPECT_LE(toolbar->content()->GetRect().top, CPatchSelDecorator::kRowHeight);

  // The arrows step the patch, acting on release, never below patch 0.
  rig.Click(8, 12);
  EXPECT_EQ(owner.Program(), "0");
  rig.Click(24, 12);
  rig.Click(24, 12);
  rig.Click(8, 12);
  EXPECT_EQ(owner.Program(), "1");
  rig.root.Close();
}

TEST(ControlPanels, TheRootViewShowsItsPanelWithoutAToolbar) {
  TreeRig rig(100, 50);
  PatchOwner owner;
  VisualMakers makers;
  AddPatchToolbar(makers);
  PopulateView(owner, rig.root, makers);
  EXPECT_NE(dynamic_cast<CMyView*>(rig.root.children().back()), nullptr);
}

// What a default control is made of, with the tab orders of a grid's cells.
std::string Shape(const CVisualOb* object) {
  if (object == nullptr) return "none";
  if (dynamic_cast<const CGroup*>(object) != nullptr) {
    std::string cells;
    for (const CVisualOb* child : object->children()) {
      cells += (cells.empty() ? "" : " ") + Shape(child) + ":" + std::to_string(child->tab_order());
    }
    return "grid(" + cells + ")";
  }
  if (dynamic_cast<const CMyCombobox*>(object) != nullptr) return "list";
  if (dynamic_cast<const CMyEdit*>(object) != nullptr) return "edit";
  if (dynamic_cast<const CMySpinButtonCtrl*>(object) != nullptr) return "arrows";
  if (dynamic_cast<const CMyBrowseButton*>(object) != nullptr) return "browse";
  if (dynamic_cast<const CMyBmpCtrl*>(object) != nullptr) return "bitmap";
  return "other";
}

// The control a parameter gets by its data type: a text plug that names a
// file can be typed or picked with a browse button, second in tab order.
TEST(ControlPanels, DefaultControlsFollowTheParametersType) {
  std::unique_ptr<CDocOb> player = CreateDocumentObject(BuiltInModules(), "MIDI Player");
  auto* module = dynamic_cast<CUG*>(player.get());
  ASSERT_NE(module, nullptr);
  TestParameter list("list", DT_ENUM, "0", "a,b"), range("range", DT_ENUM, "1", "Range 1,8"),
      text("text", DT_TEXT, "x"), toggle("toggle", DT_BOOL, "0"), midi("midi", DT_MIDI, "0");
  const struct {
    const char* what;
    generic_parameter* parameter;
    const char* shape;
  } rows[] = {
      {"a list", &list, "list"},
      {"a range", &range, "grid(edit:1 arrows:-1)"},
      {"text", &text, "edit"},
      {"a file name", module->FindPlug("File Name"), "grid(edit:1 browse:2)"},
      {"a tempo", module->FindPlug("Tempo"), "edit"},
      {"a toggle", &toggle, "bitmap"},
      {"MIDI", &midi, "none"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_NE(row.parameter, nullptr);
    const std::unique_ptr<CVisualOb> control = MakeDefaultControl(*row.parameter);
    EXPECT_EQ(Shape(control.get()), row.shape);
  }
}

}  // namespace
}  // namespace ov::testing
