// Context menus and tool tips in their own windows (offscreen here): where
// they open, what chooses or cancels a menu, when a tip shows and goes, and
// how both look.
#include <gtest/gtest.h>

#include "editor/popup_windows.h"
#include "editor_test_support.h"
#include "platform/message_sink.h"

namespace ov::testing {
namespace {

struct PopupRig : TreeRig {
  PopupRig() : popups(root, &messages) {
    root.SetPopups(&popups);
    screen->SetScreenOrigin({100, 50});
    knob = Object(*panel, "knob", MakeColour(200, 0, 0), {10, 10, 60, 40});
    knob->SetFlags(kVoToolTip);
    root.Open();
  }
  ~PopupRig() {
    root.Close();
    root.SetPopups(nullptr);
  }
  // A right click on the knob; answers the menu's window.
  OffscreenWindow* OpenMenu() {
    Send(WindowEventKind::kPress, 20, 20, 3);
    Send(WindowEventKind::kRelease, 20, 20, 3);
    return static_cast<OffscreenWindow*>(popups.MenuWindow());
  }
  void MenuEvent(OffscreenWindow* menu, WindowEventKind kind, int32_t x, int32_t y,
                 int32_t key = 0) {
    WindowEvent e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    e.button = 1;
    e.key = key;
    menu->Queue(e);
    root.Idle();
  }
  bool Chosen() const {
    return std::find(log.begin(), log.end(), "knob command 34927 10,10") != log.end();
  }

  MessageSink messages;
  PopupWindows popups;
  RecordingObject* knob = nullptr;
};

TEST(PopupMenus, OpenAtTheClickOnTheScreenWithTheInputTaken) {
  PopupRig rig;
  OffscreenWindow* menu = rig.OpenMenu();
  ASSERT_NE(menu, nullptr);
  const auto& made = rig.screen->Popups();
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0].at, (PixelPoint{120, 70}));
  EXPECT_TRUE(made[0].grab);
  EXPECT_GE(menu->Width(), 40);
  rig.MenuEvent(menu, WindowEventKind::kMotion, 10, 8);
  ExpectMatchesGolden("popup_menu", menu->Screen());
}

TEST(PopupMenus, AClickOnAnItemChoosesItAndEscapeOrAClickOutsideCancels) {
  PopupRig rig;
  OffscreenWindow* menu = rig.OpenMenu();
  rig.MenuEvent(menu, WindowEventKind::kRelease, 10, 8);
  EXPECT_TRUE(rig.Chosen());
  EXPECT_EQ(rig.popups.MenuWindow(), nullptr);

  rig.log.clear();
  rig.MenuEvent(rig.OpenMenu(), WindowEventKind::kKeyDown, 0, 0, kKeyEscape);
  EXPECT_EQ(rig.popups.MenuWindow(), nullptr);
  rig.MenuEvent(rig.OpenMenu(), WindowEventKind::kPress, -5, 100);
  EXPECT_EQ(rig.popups.MenuWindow(), nullptr);
  EXPECT_FALSE(rig.Chosen());
  EXPECT_EQ(rig.root.State().menu_target(), nullptr);
  // A release outside (the end of a drag) neither chooses nor cancels.
  menu = rig.OpenMenu();
  rig.MenuEvent(menu, WindowEventKind::kRelease, 500, 8);
  EXPECT_NE(rig.popups.MenuWindow(), nullptr);

  // The keys alone choose too.
  rig.MenuEvent(menu, WindowEventKind::kKeyDown, 0, 0, kKeyDown);
  rig.MenuEvent(menu, WindowEventKind::kKeyDown, 0, 0, kKeyReturn);
  EXPECT_TRUE(rig.Chosen());
}

// A patch list as a patch selector builds it, taller than the screen: a
// greyed entry, a separator, 128 patches and the current one checked.
class PatchList : public RecordingObject {
 public:
  using RecordingObject::RecordingObject;
  void BuildContextMenu(ContextMenu& menu, Point) override {
    menu.Add(34922, "Panel Edit...", kMenuDisabled);
    menu.AddSeparator();
    for (int32_t i = 0; i < 128; ++i) {
      menu.Add(kFirstChoiceCommand + i, ChoiceItemText(i, "Patch " + std::to_string(i)),
               i == 2 ? uint32_t{kMenuChecked} : 0u);
    }
  }
};

TEST(PopupMenus, ALongListAtTheScreensCornerStaysOnItAndScrolls) {
  PopupRig rig;
  rig.screen->SetScreenArea({0, 0, 400, 300});
  rig.panel->AdoptChild(std::make_unique<PatchList>("patches", rig.log, MakeColour(0, 0, 200),
                                                    Rect{280, 150, 320, 200}),
                        true);
  rig.panel->children().front()->Open();
  // At (400, 240) on the screen: no room right or below, so it opens to the
  // left of the click and as tall as the screen, from its top.
  rig.Send(WindowEventKind::kPress, 300, 190, 3);
  rig.Send(WindowEventKind::kRelease, 300, 190, 3);
  auto* menu = static_cast<OffscreenWindow*>(rig.popups.MenuWindow());
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(rig.screen->Popups().back().at, (PixelPoint{400 - menu->Width(), 0}));
  EXPECT_EQ(menu->Height(), 300);
  WindowEvent wheel;
  wheel.kind = WindowEventKind::kWheel;
  wheel.x = 10;
  wheel.y = 100;
  wheel.delta = 120;
  menu->Queue(wheel);
  rig.root.Idle();
  ExpectMatchesGolden("long_menu", menu->Screen());
  // Resting on the upper arrow scrolls back to the top, where the greyed
  // entry chooses nothing.
  rig.MenuEvent(menu, WindowEventKind::kMotion, 10, 5);
  for (int i = 0; i < 5; ++i) {
    rig.now += kMenuScrollMs;
    rig.root.Idle();
  }
  rig.MenuEvent(menu, WindowEventKind::kRelease, 10, 20);
  ASSERT_EQ(rig.popups.MenuWindow(), menu);
  // Up from nothing wraps to the last patch, scrolled into view.
  rig.MenuEvent(menu, WindowEventKind::kKeyDown, 0, 0, kKeyUp);
  rig.MenuEvent(menu, WindowEventKind::kKeyDown, 0, 0, kKeyReturn);
  EXPECT_EQ(rig.log.back(), "patches command 35054 20,40");
}

TEST(PopupMenus, ClosingThePanelClosesAnOpenMenu) {
  PopupRig rig;
  ASSERT_NE(rig.OpenMenu(), nullptr);
  rig.root.Close();
  EXPECT_EQ(rig.popups.MenuWindow(), nullptr);
  EXPECT_EQ(rig.root.State().menu_target(), nullptr);
}

TEST(ToolTips, ShowAfterHalfASecondAtRestAndGoWhenThePointerLeavesTheTool) {
  PopupRig rig;
  rig.Send(WindowEventKind::kMotion, 20, 20);
  rig.now += kToolTipDelayMs - 1;
  rig.root.Idle();
  EXPECT_EQ(rig.popups.ToolTipWindow(), nullptr);
  rig.now += 1;
  rig.root.Idle();
  ASSERT_NE(rig.popups.ToolTipWindow(), nullptr);
  EXPECT_EQ(rig.screen->Popups().back().at, (PixelPoint{120, 90}));
  EXPECT_FALSE(rig.screen->Popups().back().grab);
  ExpectMatchesGolden("tool_tip",
                      static_cast<OffscreenWindow*>(rig.popups.ToolTipWindow())->Screen());

  rig.Send(WindowEventKind::kMotion, 50, 30);  // still over the knob
  EXPECT_NE(rig.popups.ToolTipWindow(), nullptr);
  rig.Send(WindowEventKind::kMotion, 100, 100);
  EXPECT_EQ(rig.popups.ToolTipWindow(), nullptr);
  rig.now += kToolTipDelayMs;
  rig.root.Idle();
  EXPECT_EQ(rig.popups.ToolTipWindow(), nullptr) << "the panel itself has no tip";

  rig.Send(WindowEventKind::kMotion, 20, 20);
  rig.Send(WindowEventKind::kPress, 20, 20);  // a press ends the wait
  rig.now += kToolTipDelayMs;
  rig.root.Idle();
  EXPECT_EQ(rig.popups.ToolTipWindow(), nullptr);
}

TEST(ToolTips, LongTextsWrapWithinTheMaximumWidth) {
  PopupRig rig;
  RecordingObject* long_one =
      rig.Object(*rig.panel, "a long explanation of what this control does to the sound",
                 MakeColour(0, 0, 200), {100, 100, 150, 150});
  long_one->SetFlags(kVoToolTip);
  long_one->Open();
  rig.Send(WindowEventKind::kMotion, 120, 120);
  rig.now += kToolTipDelayMs;
  rig.root.Idle();
  WindowPort* tip = rig.popups.ToolTipWindow();
  ASSERT_NE(tip, nullptr);
  EXPECT_LE(tip->Width(), kToolTipMaxWidth);
  EXPECT_GT(tip->Height(), 3 * 14) << "several lines";
}

}  // namespace
}  // namespace ov::testing
