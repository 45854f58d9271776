// The break-point editor driven as a user would, through the root view's
// event routing: presses on handles, drags past the limits, keys and the
// context menu; each case checks the shape the module holds, that the
// current patch's text says the same (so no edit is lost at the next patch
// change), the selection and the visible span. Times and levels within
// 1e-4: drags convert pixels to seconds. The picture is compared exactly:
// flat fills and lines leave nothing to round.
#include "editor/envelope_editor.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "document/envelope_shape.h"
#include "tests/editor/editor_test_support.h"

namespace ov::testing {
namespace {

// The editor at (10, 10), 200 x 100: 191 pixels show 3 s, 91 pixels two
// level units.
constexpr Rect kEditorRect{10, 10, 210, 110};
constexpr double kSecondsPerPixel = 3.0 / 191.0;
constexpr double kLevelPerPixel = 2.0 / 91.0;

struct EditorRig {
  // The module outlives the panel that watches it, as in the editor.
  Ctl_Env_Edit module;
  TreeRig rig{220, 120};
  EnvelopeEditorView* view = nullptr;

  explicit EditorRig(const std::string& shape) {
    module.SetValueText(-1, shape);
    module.ReadCurrentPatch();
    auto made = std::make_unique<EnvelopeEditorView>(module);
    made->SetRect(kEditorRect);
    view = static_cast<EnvelopeEditorView*>(rig.panel->AdoptChild(std::move(made), true));
    rig.root.Open();
    view->TakeFocus();
  }
  Point Handle(std::size_t index) const {
    return view->ToRoot(view->PointAt(module.points()[index]));
  }
};

enum class Op { kPressOn, kPressAt, kMoveBy, kRelease, kKey, kMenuOn, kChoose };
struct Step {
  Op op;
  int32_t a = 0;          // point index, x, dx or key
  int32_t b = 0;          // y, dy or flags
  const char* text = "";  // kChoose: the entry's text
};
struct Expected {
  std::vector<env_seg> points;  // {level, time}
  std::optional<std::size_t> sustain;
  std::optional<std::size_t> selected;
};
struct Case {
  const char* name;
  std::vector<Step> steps;
  Expected expected;
  double span = 3.0;
  double start = 0.0;
  std::vector<std::string> menu = {};  // the last menu's entries, when given
};

const std::vector<env_seg> kDefault = {{1.0f, 0.1f}, {0.8f, 0.4f}, {0.0f, 1.0f}};

const Case kCases[] = {
    {"DragStopsAtThePreviousPointAndTheTop",
     {{Op::kPressOn, 1}, {Op::kMoveBy, -150, -150}, {Op::kRelease}},
     {{{1.0f, 0.1f}, {1.0f, 0.1f}, {0.0f, 1.0f}}, 1, 1}},
    {"DragStopsAtTheNextPointAndTheBottom",
     {{Op::kPressOn, 0}, {Op::kMoveBy, 150, 300}, {Op::kRelease}},
     {{{-1.0f, 0.4f}, {0.8f, 0.4f}, {0.0f, 1.0f}}, 1, 0}},
    {"TheLastPointStaysAtZero",
     {{Op::kPressOn, 2}, {Op::kMoveBy, 10, -40}, {Op::kRelease}},
     {{{1.0f, 0.1f}, {0.8f, 0.4f}, {0.0f, static_cast<float>(1.0 + 10 * kSecondsPerPixel)}}, 1, 2}},
    {"TabSelectsOnAndBackAndWraps",
     {{Op::kKey, kKeyTab},
      {Op::kKey, kKeyTab},
      {Op::kKey, kKeyTab, kFlagShift},
      {Op::kKey, kKeyTab, kFlagControl}},
     {kDefault, 1, 2}},
    {"ArrowsMoveTheSelectedPointOnePixel",
     {{Op::kKey, kKeyTab},
      {Op::kKey, kKeyDown},
      {Op::kKey, kKeyRight},
      {Op::kKey, kKeyUp},
      {Op::kKey, kKeyUp}},
     {{{1.0f, static_cast<float>(0.1 + kSecondsPerPixel)}, {0.8f, 0.4f}, {0.0f, 1.0f}}, 1, 0}},
    {"DeleteRemovesTheSelectedPointAndItsSustain",
     {{Op::kPressOn, 1}, {Op::kRelease}, {Op::kKey, kKeyDelete}},
     {{{1.0f, 0.1f}, {0.0f, 1.0f}}, std::nullopt, std::nullopt}},
    {"DeleteLeavesTheLastPoint",
     {{Op::kPressOn, 2}, {Op::kRelease}, {Op::kKey, kKeyDelete}},
     {kDefault, 1, 2}},
    {"MenuDeletesAPoint",
     {{Op::kMenuOn, 0}, {Op::kChoose, 0, 0, "Del Segment"}},
     {{{0.8f, 0.4f}, {0.0f, 1.0f}}, 0, std::nullopt},
     3.0,
     0.0,
     {"Del Segment", "Ins Segment", "Sustain Seg"}},
    {"MenuOnTheLastPointOffersNoDelete",
     {{Op::kMenuOn, 2}, {Op::kChoose, 0, 0, "Sustain Seg"}},
     {kDefault, 2, 2},
     3.0,
     0.0,
     {"Ins Segment", "Sustain Seg"}},
    {"MenuInsertsHalfwayBeforeThePoint",
     {{Op::kMenuOn, 1}, {Op::kChoose, 0, 0, "Ins Segment"}},
     {{{1.0f, 0.1f}, {0.9f, 0.25f}, {0.8f, 0.4f}, {0.0f, 1.0f}}, 2, 2}},
    {"MenuClearsTheSustainOfTheSustainPoint",
     {{Op::kMenuOn, 1}, {Op::kChoose, 0, 0, "Sustain Seg"}},
     {kDefault, std::nullopt, 1}},
    {"ADragOffTheHandlesScrolls",
     {{Op::kPressAt, 100, 80}, {Op::kMoveBy, -40, 5}, {Op::kRelease}},
     {kDefault, 1, std::nullopt},
     3.0,
     40 * kSecondsPerPixel},
    {"TheCornerButtonsWidenAndNarrow",
     {{Op::kPressAt, 205, 15},
      {Op::kRelease},
      {Op::kPressAt, 205, 15},
      {Op::kRelease},
      {Op::kPressAt, 193, 15},
      {Op::kRelease}},
     {kDefault, 1, std::nullopt},
     3.0 * 1.1},
};

TEST(EnvelopeEditor, MouseKeysAndMenuEditTheShape) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EditorRig editor(std::string(Ctl_Env_Edit::kDefaultShape));
    TreeRig& rig = editor.rig;
    Point at;
    std::vector<std::string> menu;
    for (const Step& step : c.steps) {
      rig.now += 1000;  // no press pairs into a double click
      switch (step.op) {
        case Op::kPressOn:
          at = editor.Handle(static_cast<std::size_t>(step.a));
          rig.Send(WindowEventKind::kPress, at.x, at.y, 1, kFlagLeftButton);
          break;
        case Op::kPressAt:
          at = {step.a, step.b};
          rig.Send(WindowEventKind::kPress, at.x, at.y, 1, kFlagLeftButton);
          break;
        case Op::kMoveBy:
          // In two moves, so the second starts where the first ended.
          rig.Send(WindowEventKind::kMotion, at.x + step.a / 2, at.y + step.b / 2, 0,
                   kFlagLeftButton);
          at = {at.x + step.a, at.y + step.b};
          rig.Send(WindowEventKind::kMotion, at.x, at.y, 0, kFlagLeftButton);
          break;
        case Op::kRelease:
          rig.Send(WindowEventKind::kRelease, at.x, at.y);
          break;
        case Op::kKey:
          rig.Key(WindowEventKind::kKeyDown, step.a, static_cast<uint32_t>(step.b));
          break;
        case Op::kMenuOn:
          at = editor.Handle(static_cast<std::size_t>(step.a));
          ASSERT_TRUE(rig.root.RequestContextMenu(at));
          menu.clear();
          for (const MenuItem& item : rig.root.Menu().Items()) menu.push_back(item.text);
          break;
        case Op::kChoose: {
          int32_t id = 0;
          for (const MenuItem& item : rig.root.Menu().Items()) {
            if (item.text == step.text) id = item.id;
          }
          ASSERT_NE(id, 0) << step.text;
          rig.root.ChooseMenuCommand(id);
          break;
        }
      }
    }
    const std::vector<env_seg>& points = editor.module.points();
    ASSERT_EQ(points.size(), c.expected.points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
      EXPECT_NEAR(points[i].time, c.expected.points[i].time, 1e-4) << "point " << i;
      EXPECT_NEAR(points[i].level, c.expected.points[i].level, 1e-4) << "point " << i;
    }
    EXPECT_EQ(editor.module.sustain(), c.expected.sustain);
    EXPECT_EQ(editor.module.selected(), c.expected.selected);
    const EnvelopeShape stored = EnvelopeShape::Parse(editor.module.ValueText(-1));
    EXPECT_EQ(stored.sustain, editor.module.sustain()) << editor.module.ValueText(-1);
    ASSERT_EQ(stored.points.size(), points.size()) << editor.module.ValueText(-1);
    for (std::size_t i = 0; i < points.size(); ++i) {
      EXPECT_NEAR(stored.points[i].time, points[i].time, 1e-5);
      EXPECT_NEAR(stored.points[i].level, points[i].level, 1e-5);
    }
    EXPECT_NEAR(editor.view->span(), c.span, 1e-9);
    EXPECT_NEAR(editor.view->start(), c.start, 1e-9);
    if (!c.menu.empty()) {
      EXPECT_EQ(menu, c.menu);
    }
    EXPECT_FALSE(editor.view->dragging());
  }
}

// The default shape with its sustain point selected and the editor
// focused, then a shape whose points lie beyond the visible span and far
// outside the level range: lines are cut at the frame, nothing wraps.
TEST(EnvelopeEditor, DrawsHandlesShapeAndSustain) {
  EditorRig editor(std::string(Ctl_Env_Edit::kDefaultShape));
  const Point sustain = editor.Handle(1);
  editor.rig.Click(sustain.x, sustain.y);
  editor.rig.root.Idle();
  ExpectMatchesGolden("envelope_editor", editor.rig.screen->Screen());

  EditorRig far("(0.5,1e30)(2,-1)S(500,0.5)(999,0)");
  far.rig.root.Idle();
  ExpectMatchesGolden("envelope_editor_far", far.rig.screen->Screen());
}

}  // namespace
}  // namespace ov::testing
