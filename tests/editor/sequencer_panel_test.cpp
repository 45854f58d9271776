// The sequencer panels pressed as a user would, through the root view's
// routing: each case checks what the module holds afterwards, so a press
// that reaches the wrong parameter, or none, shows; and what the panel
// shows afterwards must be what a full repaint draws.
#include "editor/sequencer_panel.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "document/sequencer.h"
#include "tests/editor/editor_test_support.h"

namespace ov::testing {
namespace {

using Field = SequencerPanelView::Field;

// A press at `at` (panel coordinates) with `flags`, on a panel at (0, 0).
struct Press {
  std::function<Point(const SequencerPanelView&)> at;
  uint32_t flags = 0;
  int32_t drag_y = 0;  // moved by this much before the release
};

Press LeftEnd(Field field) {
  return {[field](const SequencerPanelView& v) {
    const Rect r = v.FieldRect(field);
    return Point{r.left + 2, r.top + 4};
  }};
}
Press RightEnd(Field field, uint32_t flags = 0) {
  return {[field](const SequencerPanelView& v) {
            const Rect r = v.FieldRect(field);
            return Point{r.right - 2, r.top + 4};
          },
          flags};
}
Press Middle(Field field) {
  return {[field](const SequencerPanelView& v) {
    const Rect r = v.FieldRect(field);
    return Point{(r.left + r.right) / 2, r.top + 4};
  }};
}
// Step `step`'s cell, `y` pixels below its top.
Press StepCell(int32_t step, int32_t y, int32_t drag_y = 0) {
  return {[step, y](const SequencerPanelView& v) {
            const Rect r = static_cast<const StepSequencerPanel&>(v).CellRect(step);
            return Point{r.left + 5, r.top + y};
          },
          0, drag_y};
}
Press DrumCell(int32_t row, int32_t step) {
  return {[row, step](const SequencerPanelView& v) {
    const Rect r = static_cast<const DrumSequencerPanel&>(v).CellRect(row, step);
    return Point{r.left + 3, r.top + 3};
  }};
}

template <typename Module>
struct PanelRig {
  // The module outlives the panel that watches it, as in the editor.
  Module module;
  TreeRig rig{400, 220};
  SequencerPanelView* view = nullptr;
  template <typename Panel>
  void Make() {
    auto made = std::make_unique<Panel>(module);
    made->SetRect({0, 0, made->PreferredSize().x, made->PreferredSize().y});
    view = static_cast<SequencerPanelView*>(rig.panel->AdoptChild(std::move(made), true));
    rig.root.Open();
    rig.root.Idle();
  }
  // What the panel shows after the edits is what a full repaint draws: an
  // edit that did not repaint its area shows.
  void ExpectRepainted() {
    rig.root.Idle();
    const PixelImage shown = rig.screen->Screen();
    rig.root.InvalidateAll();
    rig.root.Idle();
    EXPECT_TRUE(SamePixels(shown, rig.screen->Screen()));
  }
  void Do(const Press& press) {
    rig.now += 1000;
    const Point p = view->ToRoot(press.at(*view));
    rig.Send(WindowEventKind::kPress, p.x, p.y, 1, kFlagLeftButton | press.flags);
    if (press.drag_y != 0) {
      rig.Send(WindowEventKind::kMotion, p.x, p.y + press.drag_y, 0, kFlagLeftButton);
    }
    rig.Send(WindowEventKind::kRelease, p.x, p.y + press.drag_y);
  }
};

struct StepCase {
  const char* name;
  std::vector<Press> presses;
  std::function<void(const CStepSeq2&)> check;
};

const StepCase kStepCases[] = {
    {"PatternSteps",
     {RightEnd(Field::kPattern), RightEnd(Field::kPattern), LeftEnd(Field::kPattern)},
     [](const CStepSeq2& m) { EXPECT_EQ(m.current_pattern(), 2); }},
    {"StepCountStepsDown",
     {LeftEnd(Field::kSteps)},
     [](const CStepSeq2& m) { EXPECT_EQ(m.StepCount(1), 15); }},
    {"TempoStepsByTenWithShift",
     {RightEnd(Field::kTempo, kFlagShift), LeftEnd(Field::kTempo)},
     [](const CStepSeq2& m) { EXPECT_FLOAT_EQ(m.tempo(), 129.0f); }},
    {"ModeSwitchesAndBarFollows",
     {Middle(Field::kMode), RightEnd(Field::kBar)},
     [](const CStepSeq2& m) {
       EXPECT_TRUE(m.song_mode());
       EXPECT_EQ(m.bar(), 1);
     }},
    {"ThePatternModeBarStays",
     {RightEnd(Field::kBar)},
     [](const CStepSeq2& m) { EXPECT_EQ(m.bar(), 0); }},
    {"ACellChoosesItsStep",
     {StepCell(5, 20)},
     [](const CStepSeq2& m) { EXPECT_EQ(m.edited_step(), 5); }},
    {"DraggingTheNameMovesTheNote",
     {StepCell(3, 4, -12)},
     [](const CStepSeq2& m) {
       EXPECT_EQ(m.edited_step(), 3);
       EXPECT_EQ(m.patterns()[1][3].note, 51);
     }},
    {"TheBarSetsTheVelocity",
     {StepCell(2, StepSequencerPanel::kCellHeight - 8 - 1)},
     [](const CStepSeq2& m) { EXPECT_EQ(m.patterns()[1][2].velocity, 5); }},
    {"TheStripSwitchesTheSlide",
     {StepCell(7, StepSequencerPanel::kCellHeight - 4)},
     [](const CStepSeq2& m) { EXPECT_TRUE(m.patterns()[1][7].slide); }},
    {"StepsPastTheCountTakeNothing",
     {LeftEnd(Field::kSteps), StepCell(15, 20)},
     [](const CStepSeq2& m) { EXPECT_EQ(m.edited_step(), 0); }},
    {"CopyFillsTheNextPatternAndShowsIt",
     {StepCell(3, 4, -12), Middle(Field::kCopy)},
     [](const CStepSeq2& m) {
       EXPECT_EQ(m.current_pattern(), 2);
       EXPECT_EQ(m.patterns()[2][3].note, 51);
     }},
    {"ClearRestoresTheNewSteps",
     {StepCell(3, 4, -12), Middle(Field::kClear)},
     [](const CStepSeq2& m) { EXPECT_EQ(m.patterns()[1][3].note, 48); }},
};

TEST(SequencerPanel, StepPanelPressesReachTheModule) {
  for (const StepCase& c : kStepCases) {
    SCOPED_TRACE(c.name);
    PanelRig<CStepSeq2> panel;
    panel.Make<StepSequencerPanel>();
    for (const Press& press : c.presses) panel.Do(press);
    c.check(panel.module);
    panel.ExpectRepainted();
  }
}

struct DrumCase {
  const char* name;
  std::vector<Press> presses;
  std::function<void(const CDrumSeq&)> check;
};

const DrumCase kDrumCases[] = {
    {"ACellSwitchesItsRowsDrum",
     {DrumCell(2, 1)},
     [](const CDrumSeq& m) {
       EXPECT_EQ(m.selected_row(), 2);
       EXPECT_TRUE(m.Drum(1, 2));
     }},
    {"ASecondPressSwitchesItBack",
     {DrumCell(3, 1), DrumCell(3, 1)},
     [](const CDrumSeq& m) { EXPECT_FALSE(m.Drum(1, 3)); }},
    {"TheDefaultKickGoesOff",
     {DrumCell(1, 8)},
     [](const CDrumSeq& m) { EXPECT_FALSE(m.Drum(8, 1)); }},
    {"ANameSelectsTheRowOnly",
     {DrumCell(12, -1)},
     [](const CDrumSeq& m) {
       EXPECT_EQ(m.selected_row(), 12);
       EXPECT_EQ(m.patterns()[1], CDrumSeq::DefaultGrid());
     }},
    {"ClearEmptiesTheGrid",
     {Middle(Field::kClear)},
     [](const CDrumSeq& m) {
       for (int32_t step = 0; step < 16; ++step) EXPECT_FALSE(m.Drum(step, 1)) << step;
     }},
};

TEST(SequencerPanel, DrumPanelPressesReachTheModule) {
  for (const DrumCase& c : kDrumCases) {
    SCOPED_TRACE(c.name);
    PanelRig<CDrumSeq> panel;
    panel.Make<DrumSequencerPanel>();
    for (const Press& press : c.presses) panel.Do(press);
    c.check(panel.module);
    panel.ExpectRepainted();
  }
}

}  // namespace
}  // namespace ov::testing
