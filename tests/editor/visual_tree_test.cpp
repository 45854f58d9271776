// The visual-object tree without X: drawing order, hit testing, mouse
// routing and capture, double clicks on a clock the test turns, keys,
// focus and tab order, tool tips, context menus, timers and notifications,
// all seen through recording objects.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "document/panel_objects.h"
#include "editor/damage.h"
#include "editor_test_support.h"

namespace ov::testing {
namespace {

constexpr Colour kRed = MakeColour(255, 0, 0);
constexpr Colour kGreen = MakeColour(0, 255, 0);
constexpr Colour kBlue = MakeColour(0, 0, 255);

using ::testing::ElementsAre;

TEST(VisualTree, FirstChildIsDrawnOnTopAndHitFirst) {
  TreeRig rig;
  rig.root.Open();
  rig.Object(*rig.panel, "front", kRed, {10, 10, 60, 60});
  rig.Object(*rig.panel, "back", kBlue, {30, 30, 90, 90});
  rig.panel->children()[0]->Open();
  rig.panel->children()[1]->Open();
  rig.root.Idle();
  EXPECT_EQ(rig.screen->Screen().At(40, 40), PixelOf(kRed));
  EXPECT_EQ(rig.screen->Screen().At(80, 80), PixelOf(kBlue));
  rig.Click(40, 40);
  rig.Click(80, 80);
  rig.now += 1000;
  EXPECT_EQ(rig.log[0], "front down 30,30");
  ASSERT_EQ(rig.log.size(), 5u);
  EXPECT_EQ(rig.log[3], "back double 50,50");  // 0 ms after the first press
}

TEST(VisualTree, SeeThroughGroupPassesClicksToTheKnobBehindIt) {
  TreeRig rig;
  // The group lies in front of the knob and covers it; only its own child
  // is opaque.
  RecordingObject* group = rig.Object(*rig.panel, "group", kGreen, {0, 0, 200, 200});
  group->SetFlags(kVoSeeThrough);
  rig.Object(*group, "inner", kRed, {150, 150, 180, 180});
  rig.Object(*rig.panel, "knob", kBlue, {20, 20, 60, 60});
  rig.root.Open();
  bool opaque = false;
  CVisualOb* hit = rig.root.HitTest({30, 30}, &opaque);
  ASSERT_NE(hit, nullptr);
  rig.Click(30, 30);
  rig.now += 500;
  rig.Click(100, 100);  // the group's empty area: nobody takes it
  rig.now += 500;
  rig.Click(160, 160);
  EXPECT_THAT(rig.log, ElementsAre("knob down 10,10", "knob up 10,10", "inner down 10,10",
                                   "inner up 10,10"));
}

TEST(VisualTree, PaintWalksTilesFromTheRoundedCorner) {
  TreeRig rig(400, 400);
  rig.root.Open();
  rig.panel->drawn_clips.clear();
  EXPECT_EQ(rig.root.Repaint({5, 5, 300, 300}), (PixelRect{4, 4, 300, 300}));
  std::vector<Rect> expected;
  for (int32_t y : {4, 132, 260}) {
    for (int32_t x : {4, 132, 260}) {
      expected.push_back({x, y, std::min(x + 128, 300), std::min(y + 128, 300)});
    }
  }
  EXPECT_EQ(rig.panel->drawn_clips, expected);
  EXPECT_EQ(RoundPaintArea({-5, -1, 3, 3}), (PixelRect{-8, -4, 3, 3}));
}

TEST(VisualTree, CaptureKeepsMovesAndReleaseWithTheCaptor) {
  TreeRig rig;
  RecordingObject* knob = rig.Object(*rig.panel, "knob", kRed, {10, 10, 50, 50});
  rig.Object(*rig.panel, "other", kBlue, {100, 10, 150, 50});
  knob->captures = true;
  rig.root.Open();
  rig.Send(WindowEventKind::kPress, 20, 20, 1, kFlagControl);
  rig.Send(WindowEventKind::kMotion, 120, 30);   // over "other"
  rig.Send(WindowEventKind::kMotion, 400, -20);  // outside the window
  rig.Send(WindowEventKind::kRelease, 400, -20);
  rig.Send(WindowEventKind::kMotion, 120, 30);   // capture over: "other" again
  EXPECT_THAT(rig.log, ElementsAre("knob ctrl-down 10,10", "knob move 110,20",
                                   "knob move 390,-30", "knob up 390,-30", "other move 20,20"));
  EXPECT_EQ(rig.root.State().capture(), nullptr);
}

TEST(VisualTree, DoubleClicksAreDecidedOnTheWrappingClock) {
  TreeRig rig;
  rig.Object(*rig.panel, "a", kRed, {0, 0, 50, 50});
  rig.Object(*rig.panel, "b", kBlue, {60, 0, 110, 50});
  rig.root.Open();
  rig.now = 0xFFFFFFF0u;  // 16 ms before the clock wraps
  rig.Send(WindowEventKind::kPress, 10, 10);
  rig.now = 100;  // 116 ms later, across the wrap
  rig.Send(WindowEventKind::kPress, 70, 10);  // another object: still a double
  rig.now = 400;
  rig.Send(WindowEventKind::kPress, 70, 10);
  rig.now = 600;  // exactly 200 ms after the last recorded press
  rig.Send(WindowEventKind::kPress, 70, 10);
  // Each press is logged, then the double click it makes.
  EXPECT_THAT(rig.log, ElementsAre("a down 10,10", "b down 10,10", "b double 10,10",
                                   "b down 10,10", "b down 10,10"));
}

TEST(VisualTree, KeysGoToTheFocusThenItsAncestorsAndTheInterceptorFirst) {
  TreeRig rig;
  RecordingObject* group = rig.Object(*rig.panel, "group", kGreen, {0, 0, 100, 100});
  RecordingObject* edit = rig.Object(*group, "edit", kRed, {10, 10, 50, 50});
  edit->SetFlags(kVoFocusable);
  edit->takes_keys = true;
  group->uses_keys = true;
  rig.root.Open();
  rig.Click(20, 20);  // a click gives the focusable object the focus
  EXPECT_EQ(rig.root.State().focus(), edit);
  EXPECT_EQ(rig.screen->FocusRequests(), 1);
  rig.log.clear();
  EXPECT_TRUE(rig.Key(WindowEventKind::kKeyDown, 'A'));
  EXPECT_THAT(rig.log, ElementsAre("edit key 65", "group key 65"));
  rig.log.clear();
  RecordingObject* spy = rig.Object(*rig.panel, "spy", kBlue, {200, 0, 210, 10});
  spy->uses_keys = true;
  rig.root.State().SetKeyInterceptor(spy);
  EXPECT_TRUE(rig.Key(WindowEventKind::kKeyDown, 'B'));
  EXPECT_THAT(rig.log, ElementsAre("spy key 66"));
  // Nobody uses it: the host gets its shortcut.
  group->uses_keys = spy->uses_keys = false;
  EXPECT_FALSE(rig.Key(WindowEventKind::kKeyDown, 'C'));
  // Characters never reach the root itself.
  rig.root.State().SetFocus(&rig.root);
  EXPECT_FALSE(rig.Key(WindowEventKind::kCharacter, '\t'));
}

TEST(VisualTree, TabOrderMovesForwardBackwardAndWraps) {
  TreeRig rig;
  RecordingObject* a = rig.Object(*rig.panel, "a", kRed, {0, 0, 10, 10});
  RecordingObject* b = rig.Object(*rig.panel, "b", kRed, {20, 0, 30, 10});
  RecordingObject* c = rig.Object(*rig.panel, "c", kRed, {40, 0, 50, 10});
  rig.Object(*rig.panel, "no stop", kRed, {60, 0, 70, 10});
  a->set_tab_order(5);
  b->set_tab_order(1);
  c->set_tab_order(3);
  rig.root.Open();
  b->TakeFocus();
  rig.log.clear();
  rig.Key(WindowEventKind::kCharacter, '\t');
  rig.Key(WindowEventKind::kCharacter, '\r');
  rig.Key(WindowEventKind::kCharacter, '\t');  // from the last stop: wraps to the first
  rig.Key(WindowEventKind::kCharacter, '\t', kFlagShift);  // backward wraps to the last
  rig.Key(WindowEventKind::kCharacter, '\t', kFlagShift);
  EXPECT_THAT(rig.log, ElementsAre("c focus", "a focus", "b focus", "a focus", "c focus"));
}

TEST(VisualTree, WheelReachesTheInnermostWindowObject) {
  TreeRig rig;
  auto outer = std::make_unique<RecordingWindow>("outer", rig.log, kGreen, Rect{10, 10, 210, 160});
  RecordingWindow* outer_ptr = outer.get();
  rig.panel->AdoptChild(std::move(outer), false);
  outer_ptr->SetScrollOffset({0, 30});
  outer_ptr->AdoptChild(
      std::make_unique<RecordingWindow>("inner", rig.log, kRed, Rect{50, 50, 100, 100}), false);
  rig.root.Open();
  WindowEvent wheel;
  wheel.kind = WindowEventKind::kWheel;
  wheel.x = 70;  // inner window: (50, 50) at (60, 30) in the root
  wheel.y = 40;
  wheel.delta = -120;
  rig.root.HandleEvent(wheel);
  wheel.x = 20;
  wheel.y = 20;
  wheel.delta = 120;
  rig.root.HandleEvent(wheel);
  EXPECT_THAT(rig.log, ElementsAre("inner wheel -120 10,10", "outer wheel 120 10,10"));
  // The scrolled window draws its child shifted and clips to itself.
  rig.root.Idle();
  EXPECT_EQ(rig.screen->Screen().At(70, 40), PixelOf(kRed));
  EXPECT_EQ(rig.screen->Screen().At(5, 5), PixelOf(MakeColour(255, 255, 255)));
}

TEST(VisualTree, RemovedObjectsLeaveNoFocusCaptureOrTimerBehind) {
  TreeRig rig;
  RecordingObject* knob = rig.Object(*rig.panel, "knob", kRed, {0, 0, 50, 50});
  knob->SetFlags(kVoFocusable);
  knob->captures = true;
  rig.root.Open();
  rig.Send(WindowEventKind::kPress, 10, 10);
  rig.root.SetTimer(knob, 1, 30);
  rig.root.State().SetKeyInterceptor(knob);
  ASSERT_EQ(rig.root.State().focus(), knob);
  rig.panel->DestroyChild(knob);
  EXPECT_EQ(rig.root.State().focus(), nullptr);
  EXPECT_EQ(rig.root.State().capture(), nullptr);
  EXPECT_EQ(rig.root.State().key_interceptor(), nullptr);
  rig.now += 100;
  rig.log.clear();
  rig.root.Idle();  // no timer fires for the object gone
  rig.Send(WindowEventKind::kRelease, 10, 10);
  EXPECT_TRUE(rig.log.empty());
}

TEST(VisualTree, TimersFireAcrossTheClockWrap) {
  TreeRig rig;
  RecordingObject* knob = rig.Object(*rig.panel, "knob", kRed, {0, 0, 50, 50});
  rig.root.Open();
  rig.now = 0xFFFFFFF0u;
  rig.root.SetTimer(knob, 7, 30);
  rig.now = 10;  // 26 ms later
  rig.root.Idle();
  rig.now = 14;  // 30 ms
  rig.root.Idle();
  EXPECT_THAT(rig.log, ElementsAre("knob timer 7"));
}

TEST(VisualTree, ToolTipsAndContextMenusFindTheirObject) {
  TreeRig rig;
  RecordingObject* group = rig.Object(*rig.panel, "group", kGreen, {100, 100, 200, 200});
  RecordingObject* knob = rig.Object(*group, "knob", kRed, {10, 10, 50, 50});
  knob->SetFlags(kVoToolTip | kVoParentBuildsMenu);
  rig.root.Open();
  const std::optional<ToolAtPoint> tool = rig.root.ToolAt({120, 120});
  ASSERT_TRUE(tool.has_value());
  EXPECT_EQ(tool->area, (Rect{110, 110, 150, 150}));
  EXPECT_EQ(rig.root.ToolTipTextAt({120, 120}), "knob tip");
  EXPECT_EQ(rig.root.ToolTipTextAt({190, 190}), "");  // the group has no tip
  // The knob's parent builds the menu; the command reaches the target.
  ASSERT_TRUE(rig.root.RequestContextMenu({120, 125}));
  EXPECT_EQ(rig.root.State().menu_target(), knob);
  EXPECT_THAT(rig.log, ElementsAre("group menu 20,25"));
  rig.root.ChooseMenuCommand(34927);
  EXPECT_EQ(rig.log.back(), "knob command 34927 10,15");
  EXPECT_EQ(rig.root.State().menu_target(), nullptr);
  // No menu while something holds the capture; unknown commands go nowhere.
  rig.root.State().SetCapture(knob);
  EXPECT_FALSE(rig.root.RequestContextMenu({120, 125}));
  rig.root.State().SetCapture(nullptr);
  rig.root.RequestContextMenu({120, 125});
  rig.log.clear();
  rig.root.ChooseMenuCommand(33000);
  EXPECT_TRUE(rig.log.empty());
  EXPECT_EQ(ChoiceItemText(2, "Saw"), "3:Saw");
}

// A module with a place on the panel and a menu entry of its own.
class PanelModule : public CPanelBox2 {
 public:
  void AddMenuEntries(ContextMenu& menu) override { menu.Add(34915, "Entry"); }
  bool OnMenuCommand(int32_t id) override {
    commands.push_back(id);
    return true;
  }
  std::vector<int32_t> commands;
};

class Face : public CPaintObject {
 public:
  bool AcceptsMouse() const override { return true; }
};

TEST(VisualTree, ABoundObjectFollowsItsModulesPlaceAndOffersItsMenu) {
  PanelModule module;  // outlives the tree that listens to it
  TreeRig rig;
  CVisualOb* face = rig.panel->AdoptChild(std::make_unique<Face>(), false);
  face->BindToModule(&module);
  face->SetRect({10, 10, 30, 30});
  rig.root.Open();
  EXPECT_TRUE(module.SetViewRect(kViewControlPanel, {40, 50, 60, 70}));
  EXPECT_EQ(face->GetRect(), (Rect{40, 50, 60, 70}));
  EXPECT_FALSE(module.SetViewRect(512, {0, 0, 1, 1})) << "no place in that view";
  ASSERT_TRUE(rig.root.RequestContextMenu({45, 55}));
  ASSERT_EQ(rig.root.Menu().Items().size(), 1u);
  rig.root.ChooseMenuCommand(34915);
  EXPECT_THAT(module.commands, ElementsAre(34915));
  rig.root.Close();
}

TEST(VisualTree, TwoRootsKeepTheirOwnFocusAndClicks) {
  TreeRig first;
  TreeRig second;
  RecordingObject* a = first.Object(*first.panel, "a", kRed, {0, 0, 50, 50});
  RecordingObject* b = second.Object(*second.panel, "b", kRed, {0, 0, 50, 50});
  a->SetFlags(kVoFocusable);
  b->SetFlags(kVoFocusable);
  first.root.Open();
  second.root.Open();
  first.Send(WindowEventKind::kPress, 10, 10);
  second.Send(WindowEventKind::kPress, 10, 10);  // same instant: not a double click here
  EXPECT_EQ(first.root.State().focus(), a);
  EXPECT_EQ(second.root.State().focus(), b);
  EXPECT_EQ(second.log.front(), "b down 10,10");
}

}  // namespace
}  // namespace ov::testing
