// Panel containers: the scroll window's bars, ranges and wheel, the
// sub-panel's inset, and tab pages following their page names. Exact
// integers throughout: these are layout rules, not measurements.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/container.h"
#include "document/menu_entries.h"
#include "document/new_objects.h"
#include "document/panel_objects.h"
#include "editor/containers/control_groups.h"
#include "editor/containers/panel_containers.h"
#include "editor/containers/sub_panel.h"
#include "editor/scroll_decorator.h"
#include "editor_test_support.h"
#include "modules/module_registry.h"

namespace ov::testing {
namespace {

template <class T>
T* AddObject(CContainer& container, std::string_view key) {
  std::unique_ptr<CDocOb> object = CreateDocumentObject(BuiltInModules(), key);
  auto* typed = dynamic_cast<T*>(object.get());
  EXPECT_NE(typed, nullptr) << key;
  container.AddChild(std::move(object));
  typed->SetParent(&container);
  return typed;
}

TEST(PanelContainers, ScrollWindowsSubPanelsAndPagesLayOutAsTheyShould) {
  // Content reaching `extent` in a 400 x 300 window (17-pixel bars).
  struct ScrollCase {
    Point extent;
    bool h_shown, v_shown;
    int32_t h_range, h_page, v_range, v_page;
  };
  const ScrollCase cases[] = {
      // d = 700 - 383 = 317 and 500 - 283 = 217: ranges d + d/4, pages d/4.
      {{700, 500}, true, true, 396, 79, 271, 54},
      {{400, 300}, false, false, 0, 0, 0, 0},
      // Only taller: no horizontal bar, the vertical one takes 17 pixels.
      {{300, 1000}, false, true, 0, 0, 875, 175},
      // 390 fits 400 but not the 383 the vertical bar leaves: both bars,
      // so nothing of the content is out of reach.
      {{390, 600}, true, true, 8, 1, 396, 79},
  };
  for (const ScrollCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.extent.x << " x " << c.extent.y);
    TreeRig rig(400, 300);
    auto panel = std::make_unique<CPaintObject>();
    panel->AdoptChild(std::make_unique<CPaintObject>(), false)
        ->SetRect({c.extent.x - 20, c.extent.y - 20, c.extent.x, c.extent.y});
    auto* window = static_cast<ScrollDecorator*>(rig.panel->AdoptChild(
        std::make_unique<ScrollDecorator>(std::move(panel), ScrollDecorator::kAuto), true));
    window->SetRect({0, 0, 400, 300});
    rig.root.Open();
    EXPECT_EQ(window->horizontal().shown, c.h_shown);
    EXPECT_EQ(window->vertical().shown, c.v_shown);
    EXPECT_EQ(window->horizontal().range_end, c.h_range);
    EXPECT_EQ(window->horizontal().page, c.h_page);
    EXPECT_EQ(window->vertical().range_end, c.v_range);
    EXPECT_EQ(window->vertical().page, c.v_page);
    if (!c.v_shown) continue;
    // The wheel adds its delta: 120 scrolls the content up, -120 (turned
    // away) back down, never beyond either end.
    rig.Send(WindowEventKind::kWheel, 100, 100, 120);
    EXPECT_EQ(window->Position(1), std::min(120, window->vertical().Limit()));
    for (int i = 0; i < 20; ++i) rig.Send(WindowEventKind::kWheel, 100, 100, 120);
    EXPECT_EQ(window->Position(1), window->vertical().Limit());
    for (int i = 0; i < 30; ++i) rig.Send(WindowEventKind::kWheel, 100, 100, -120);
    EXPECT_EQ(window->Position(1), 0);
    rig.root.Close();
  }

  // A sub-panel shows the container its menu chose 4 pixels in from its
  // edge, in a scroll window with the chosen bars; "<none>" shows nothing.
  CContainer main;
  auto* inner = AddObject<CContainer>(main, "Container");
  inner->SetTitle("inner");
  auto* portal = AddObject<CPortal>(main, "Sub Panel");
  portal->SetViewRect(kViewControlPanel, {10, 20, 210, 170});
  const auto choose = [&](const std::string& text) {
    ContextMenu menu;
    portal->AddMenuEntries(menu);
    for (const MenuItem& item : menu.Items()) {
      if (item.text == text) {
        EXPECT_TRUE(portal->OnMenuCommand(item.id));
        return;
      }
    }
    ADD_FAILURE() << "no menu item " << text;
  };
  const struct {
    std::string sub_panel, scroll_bars;
    int32_t mode;
  } choices[] = {{"inner", "None", ScrollDecorator::kNone},
                 {"inner", "Auto", ScrollDecorator::kAuto},
                 {"<none>", "Enable", ScrollDecorator::kEnable}};
  for (const auto& c : choices) {
    SCOPED_TRACE(c.sub_panel + ", " + c.scroll_bars);
    choose("Sub Panel: " + c.sub_panel);
    choose("Scroll Bars: " + c.scroll_bars);
    EXPECT_EQ(portal->sub_panel(), c.sub_panel);
    EXPECT_EQ(portal->scroll_mode(), c.mode);
    ContextMenu menu;
    portal->AddMenuEntries(menu);
    std::vector<std::string> checked;
    for (const MenuItem& item : menu.Items()) {
      if (item.flags & kMenuChecked) checked.push_back(item.text);
    }
    EXPECT_EQ(checked, (std::vector<std::string>{"Sub Panel: " + c.sub_panel,
                                                 "Scroll Bars: " + c.scroll_bars}));
    TreeRig rig(400, 300);
    VisualMakers makers;
    AddPanelContainerMakers(makers);
    CVisualOb* view = PopulateView(main, *rig.panel, makers);
    ASSERT_NE(view, nullptr);
    rig.root.Open();
    ASSERT_EQ(view->children().size(), 1u);
    auto* sub = dynamic_cast<CPortalWnd*>(view->children()[0]);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->GetRect(), (Rect{10, 20, 210, 170}));
    if (c.sub_panel == "<none>") {
      EXPECT_EQ(sub->Content(), nullptr);
    } else {
      auto* window = dynamic_cast<ScrollDecorator*>(sub->Content());
      ASSERT_NE(window, nullptr);
      EXPECT_EQ(window->mode(), c.mode);
      EXPECT_EQ(window->GetRect(), (Rect{4, 4, 196, 146}));
    }
    rig.root.Close();
  }

  // A control group shows its members where their modules lie and sits
  // on their union, following a member that moves.
  {
    auto* group = AddObject<control_group_ob>(main, "Control Group");
    auto* a = AddObject<CDocOb>(main, "Image");
    auto* b = AddObject<CDocOb>(main, "Image");
    a->SetViewRect(kViewControlPanel, {300, 40, 320, 60});
    b->SetViewRect(kViewControlPanel, {340, 70, 360, 90});
    group->AddMember(a);
    group->AddMember(b);
    TreeRig rig(400, 300);
    VisualMakers makers;
    AddPanelContainerMakers(makers);
    makers.Add([](CDocOb& object, int32_t) -> std::unique_ptr<CVisualOb> {
      if (object.type_key() != "Image") return nullptr;
      auto face = std::make_unique<CPaintObject>();
      face->BindToModule(&object);
      face->SetRect(*object.ViewRect(kViewControlPanel));
      return face;
    });
    CVisualOb* view = PopulateView(main, *rig.panel, makers);
    rig.root.Open();
    control_group_auto_size* shown = nullptr;
    for (CVisualOb* child : view->children()) {
      if (auto* g = dynamic_cast<control_group_auto_size*>(child)) shown = g;
    }
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->GetRect(), (Rect{300, 40, 360, 90}));
    EXPECT_EQ(shown->children().size(), 2u);
    // The sub-panel and the group: the members show only in the group.
    EXPECT_EQ(view->children().size(), 2u);
    b->SetViewRect(kViewControlPanel, {350, 100, 370, 120});
    EXPECT_EQ(shown->GetRect(), (Rect{300, 40, 370, 120}));
    EXPECT_EQ(shown->ScrollOffset(), (Point{300, 40}));
    rig.root.Close();
    main.RemoveChild(group);
    main.RemoveChild(a);
    main.RemoveChild(b);
  }

  // A border adds its width to its child's size (3 when thick), and is
  // never made smaller than that.
  for (const bool thick : {false, true}) {
    CBorder border;
    if (thick) border.SetFlags(kVoThick);
    EXPECT_EQ(border.PreferredSize(), (Point{10, 10}));
    CVisualOb* child = border.AdoptChild(std::make_unique<CPaintObject>(), false);
    const int32_t b = thick ? 3 : 1;
    EXPECT_EQ(border.PreferredSize(), (Point{10 + b, 10 + b}));
    border.SetRect({5, 5, 8, 8});
    EXPECT_EQ(border.GetRect(), (Rect{5, 5, 15 + b, 15 + b}));
    EXPECT_EQ(child->GetRect(), (Rect{0, 0, 10, 10}));
  }

  // Three page names become one: the members of pages 1 and 2 move onto
  // page 0, and so does "Page".
  auto* box = AddObject<CTabBox>(main, "Paged Group");
  CDocOb* members[3];
  for (int32_t page = 0; page < 3; ++page) {
    members[page] = AddObject<CDocOb>(main, "Image");
    box->AddMember(members[page], page);
  }
  box->SetPageNames("A,B,C");
  box->SetPage(2);
  EXPECT_EQ(box->Page(), 2);
  box->SetPageNames("A");
  EXPECT_EQ(box->PageNames(), std::vector<std::string>{"A"});
  EXPECT_EQ(box->Page(), 0);
  EXPECT_EQ(box->FindPlug("Page")->value_text(), "0");
  for (const CTabBox::Member& member : box->members()) EXPECT_EQ(member.page, 0);
  box->SetPageNames("");
  EXPECT_EQ(box->PageNames(), std::vector<std::string>{""});
}

}  // namespace
}  // namespace ov::testing
