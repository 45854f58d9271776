// The standard widgets driven through the root view as a user drives them:
// keys and clicks in, values written to their parameter or feature out.
// The parameter here records every write, since a write of an unchanged
// text is exactly what some cases look for.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "document/value_objects.h"
#include "editor/widgets/buttons.h"
#include "editor/widgets/drop_downs.h"
#include "editor/widgets/edit_boxes.h"
#include "editor/widgets/load_bar.h"
#include "editor/widgets/parameter_controls.h"
#include "editor/widgets/styled_text.h"
#include "editor/widgets/text_labels.h"
#include "engine/interface_object.h"
#include "tests/editor/editor_test_support.h"

namespace ov::testing {
namespace {

class RecordedParameter final : public generic_parameter {
 public:
  RecordedParameter(int32_t datatype, std::string value, std::string items = {})
      : datatype_(datatype), value_(std::move(value)), items_(std::move(items)) {}
  // As every parameter does, it tells its watchers when it goes.
  ~RecordedParameter() override { watchers_.Notify(Notification(kNotifyPlugDestroyed, this)); }
  Notifier& Watchers() override { return watchers_; }
  std::string Name() const override { return "recorded"; }
  int32_t Datatype() const override { return datatype_; }
  std::string ValueText() const override { return value_; }
  std::string ItemList() const override { return items_; }
  void WriteValueText(const std::string& text) override {
    writes.push_back(text);
    if (text == value_) return;
    value_ = text;
    watchers_.Notify(Notification(kNotifyValueChanged, this));
  }
  std::vector<std::string> writes;

 private:
  Notifier watchers_;
  int32_t datatype_;
  std::string value_;
  std::string items_;
};

using Writes = std::vector<std::string>;

// What a case does: keys as characters (Backspace 8, Tab 9, Enter 13) and
// virtual keys, through the root as the window delivers them.
struct Script {
  TreeRig& rig;
  void Type(std::u32string text) {
    for (const char32_t c : text) {
      WindowEvent e;
      e.kind = WindowEventKind::kCharacter;
      e.key = static_cast<int32_t>(c);
      rig.root.HandleEvent(e);
    }
  }
  void Key(int32_t key) { rig.Key(WindowEventKind::kKeyDown, key); }
};

TEST(Widgets, EditBoxesAndListsWriteWhatTheUserChanged) {
  struct Case {
    const char* name;
    int32_t datatype;
    const char* value;
    const char* items;
    std::function<void(Script&, CVisualOb& widget)> act;
    Writes writes;
    bool focus_moved_on;  // the next tab stop has the focus afterwards
    const char* shown;    // the edit box's text, or the list's item label
  };
  const Case cases[] = {
      {"typing replaces the selection; Tab writes and moves on",
       DT_FLOAT,
       "12",
       "",
       [](Script& s, CVisualOb&) { s.Type(U"34\t"); },
       {"34"},
       true,
       "34"},
      {"retyped unchanged still writes once",
       DT_FLOAT,
       "12",
       "",
       [](Script& s, CVisualOb&) { s.Type(U"12\t"); },
       {"12"},
       true,
       "12"},
      {"no typing, no write",
       DT_FLOAT,
       "12",
       "",
       [](Script& s, CVisualOb&) { s.Type(U"\t"); },
       {},
       true,
       "12"},
      {"Enter in one line moves on; losing the focus writes",
       DT_TEXT,
       "x",
       "",
       [](Script& s, CVisualOb&) { s.Type(U"y\r"); },
       {"y"},
       true,
       "y"},
      {"caret keys, Backspace and Delete by characters",
       DT_TEXT,
       "a\u00e9c",
       "",
       [](Script& s, CVisualOb&) {
         s.Key(kKeyEnd);
         s.Key(kKeyLeft);
         s.Type(U"\b\u20ac");  // drops the two-byte e-acute, types a three-byte euro
         s.Key(kKeyHome);
         s.Key(kKeyDelete);
         s.Type(U"\t");
       },
       {"\u20acc"},
       true,
       "\u20acc"},
      {"Shift+Left selects back from the end",
       DT_TEXT,
       "abc",
       "",
       [](Script& s, CVisualOb&) {
         s.Key(kKeyEnd);
         s.rig.Key(WindowEventKind::kKeyDown, kKeyLeft, kFlagShift);
         s.Type(U"Z\t");
       },
       {"abZ"},
       true,
       "abZ"},
      {"a read-only box takes no typing",
       DT_TEXT,
       "keep",
       "",
       [](Script& s, CVisualOb& w) {
         w.SetFlags(kVoReadOnly);
         w.Close();
         w.Open();
         w.TakeFocus();
         s.Type(U"x\b\t");
       },
       {},
       true,
       "keep"},
      {"value 7 of 5 and 7 shows b; choosing a writes 5",
       DT_ENUM,
       "7",
       "a=5,b=7",
       [](Script&, CVisualOb& w) {
         EXPECT_EQ(static_cast<DropDownList&>(w).selection(), 1);
         static_cast<DropDownList&>(w).Choose(0);
       },
       {"5"},
       false,
       "a"},
      {"value 6 matches nothing: item 0",
       DT_ENUM,
       "6",
       "a=5,b=7",
       [](Script&, CVisualOb&) {},
       {},
       false,
       "a"},
      {"Down steps to the next item",
       DT_ENUM,
       "5",
       "a=5,b=7",
       [](Script& s, CVisualOb&) { s.Key(kKeyDown); },
       {"7"},
       false,
       "b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TreeRig rig;
    RecordedParameter parameter(c.datatype, c.value, c.items);
    const bool is_list = c.datatype == DT_ENUM;
    std::unique_ptr<CVisualOb> made;
    if (is_list) {
      made = std::make_unique<CMyCombobox>(&parameter);
    } else {
      made = std::make_unique<CMyEdit>(&parameter);
    }
    made->SetRect({10, 10, 110, 30});
    made->set_tab_order(1);
    CVisualOb* widget = rig.panel->AdoptChild(std::move(made), true);
    RecordedParameter other_value(DT_TEXT, "");
    CVisualOb* next = rig.panel->AdoptChild(std::make_unique<CMyEdit>(&other_value), false);
    next->SetRect({10, 40, 110, 60});
    next->set_tab_order(2);
    rig.panel->set_tab_order(0);
    rig.root.Open();
    widget->TakeFocus();
    Script script{rig};
    c.act(script, *widget);
    EXPECT_EQ(parameter.writes, c.writes);
    EXPECT_EQ(rig.root.State().focus() == next, c.focus_moved_on);
    if (is_list) {
      const auto& list = static_cast<DropDownList&>(*widget);
      EXPECT_EQ(list.items()[static_cast<std::size_t>(list.selection())].label, c.shown);
    } else {
      EXPECT_EQ(static_cast<EditBox&>(*widget).editing().text(), c.shown);
    }
  }
}

// A styled label opens its in-place editor on a click: the editor shares
// the label's text, starts a line on Enter when multi-line, writes "Text"
// when it loses the focus and then goes.
TEST(Widgets, StyledTextEditsInPlace) {
  struct Case {
    bool multiline;
    bool read_only;
    std::u32string typed;
    const char* text;  // "Text" afterwards
  };
  const Case cases[] = {
      {false, false, U"ab\r", "ab"},
      {true, false, U"a\rb\t", "a\nb"},
      {false, true, U"zz\t", "old"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TreeRig rig;
    variable<std::string, MetaData_filename> text("old");
    variable<bool, MetaData_none> multiline(c.multiline);
    variable<int16_t, MetaData_enum> mode(c.read_only ? 1 : 0);
    auto* label =
        static_cast<CMyTextLabel2*>(rig.panel->AdoptChild(std::make_unique<CMyTextLabel2>(), true));
    ASSERT_TRUE(label->BindFeature(0, text));
    ASSERT_TRUE(label->BindFeature(2, mode));
    ASSERT_TRUE(label->BindFeature(3, multiline));
    EXPECT_FALSE(label->BindFeature(4, text));  // past the features: ignored
    label->SetRect({10, 10, 110, 50});
    rig.root.Open();
    rig.Click(20, 20);
    ASSERT_EQ(label->Editor() != nullptr, !c.read_only);
    Script script{rig};
    script.Type(c.typed);
    // The focus leaving ends the edit wherever it goes.
    rig.root.State().SetFocus(nullptr);
    rig.root.Idle();
    EXPECT_EQ(text.Get(), c.text);
    EXPECT_EQ(label->Editor(), nullptr);
  }
}

// Shows nothing; keeps the last menu so a test can choose from it.
class KeptMenu final : public PopupPresenter {
 public:
  void ShowMenu(const ContextMenu& menu, Point at) override {
    shown = menu;
    where = at;
    open = true;
  }
  bool MenuShown() const override { return open; }
  void ShowToolTip(std::string_view, Point) override {}
  void HideToolTip() override {}
  void Idle() override {}
  void CloseAll() override { open = false; }
  ContextMenu shown;
  Point where;
  bool open = false;
};

// A list entry opens its in-place list with the list shown under it, the
// current item checked; the choice writes the item's value to "List", a
// cancel writes nothing, and either way the in-place list goes.
TEST(Widgets, ListEntryChoosesInItsPopupList) {
  struct Case {
    int16_t value;
    int32_t choose;   // item index, or -1 to cancel
    int16_t written;  // "List" afterwards
    int32_t checked;  // the item checked when the list opened
  };
  const Case cases[] = {{7, 0, 5, 1}, {6, 1, 7, 0}, {5, -1, 5, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    KeptMenu popups;  // outlives the root that shows through it
    TreeRig rig;
    rig.root.SetPopups(&popups);
    variable<int16_t, MetaData_enum> list(c.value, MetaData_enum{"a=5,b=7"});
    auto* entry =
        static_cast<CMyListEntry*>(rig.panel->AdoptChild(std::make_unique<CMyListEntry>(), true));
    ASSERT_TRUE(entry->BindFeature(0, list));
    entry->SetRect({10, 10, 110, 30});
    rig.root.Open();
    rig.Click(20, 20);
    ASSERT_TRUE(popups.open);
    ASSERT_EQ(popups.shown.Items().size(), 2u);
    EXPECT_EQ(popups.where, (Point{10, 30}));  // below the entry
    for (int32_t i = 0; i < 2; ++i) {
      EXPECT_EQ((popups.shown.Items()[i].flags & kMenuChecked) != 0, i == c.checked);
    }
    ASSERT_NE(entry->Editor(), nullptr);
    EXPECT_EQ(rig.root.State().focus(), entry->Editor());
    if (c.choose >= 0) {
      rig.root.ChooseMenuCommand(popups.shown.Items()[c.choose].id);
    } else {
      rig.root.CancelMenu();
    }
    rig.root.Idle();
    EXPECT_EQ(list.Get(), c.written);
    EXPECT_EQ(entry->Editor(), nullptr);
  }
}

// Buttons write 1.0 on the press; a momentary one 0 on the release, a
// toggle nothing on the release and, on the press, the value that changes
// it (1.0 from 0, else 0).
TEST(Widgets, ButtonsWriteOnPressAndRelease) {
  struct Case {
    const char* name;
    int32_t datatype;
    const char* value;
    bool toggle;
    Writes writes;  // by a press and release
  };
  const Case cases[] = {
      {"momentary", DT_BOOL, "0", false, {"1", "0"}},
      {"toggle from off", DT_BOOL, "0", true, {"1"}},
      {"toggle from on", DT_BOOL, "1", true, {"0"}},
      {"momentary on volts", DT_DOUBLE, "0", false, {"10.000", "0.000"}},
      {"toggle of a float", DT_FLOAT, "0", true, {"1.000"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TreeRig rig;
    RecordedParameter parameter(c.datatype, c.value);
    CVisualOb* button =
        rig.panel->AdoptChild(std::make_unique<CMyTextButton>("Go", &parameter, c.toggle), true);
    button->SetRect({10, 10, 60, 30});
    rig.root.Open();
    rig.Click(20, 20);
    EXPECT_EQ(parameter.writes, c.writes);
  }
  // CMyButton: the mouse and the Space key alike, to "Position" too.
  TreeRig rig;
  RecordedParameter parameter(DT_BOOL, "0");
  variable<float, MetaData_float> position;
  auto* button = static_cast<CMyButton*>(
      rig.panel->AdoptChild(std::make_unique<CMyButton>(&parameter, "Go"), true));
  ASSERT_TRUE(button->BindFeature(0, position));
  button->SetRect({10, 10, 60, 30});
  rig.root.Open();
  rig.Send(WindowEventKind::kPress, 20, 20);
  EXPECT_EQ(position.Get(), 1.0f);
  rig.Send(WindowEventKind::kRelease, 20, 20);
  EXPECT_EQ(position.Get(), 0.0f);
  rig.Key(WindowEventKind::kKeyDown, kKeySpace);
  EXPECT_EQ(position.Get(), 1.0f);
  rig.Key(WindowEventKind::kKeyUp, kKeySpace);
  EXPECT_EQ(parameter.writes, (Writes{"1", "0", "1", "0"}));
}

// The track bar's top is the maximum: a value n shows at trunc(100.5 -
// 100 n) and a position p writes (100 - p) / 100. The up-down arrows step
// the number within the parameter's range, through the buddy's text.
TEST(Widgets, NumberControlsFollowAndWriteTheirParameter) {
  struct SliderCase {
    const char* value;  // a bool parameter: normalised 0 or 1
    int32_t shown;
    int32_t press_y;  // in the 30 x 56 bar
    const char* written;
  };
  const SliderCase sliders[] = {{"0", 100, 8, "1"}, {"1", 0, 48, "0"}, {"1", 0, 27, "1"}};
  for (const SliderCase& c : sliders) {
    SCOPED_TRACE(c.press_y);
    TreeRig rig;
    RecordedParameter parameter(DT_BOOL, c.value);
    auto* slider = static_cast<CMySliderCtrl*>(
        rig.panel->AdoptChild(std::make_unique<CMySliderCtrl>(&parameter), true));
    slider->SetRect({10, 10, 40, 66});
    rig.root.Open();
    EXPECT_EQ(slider->position(), c.shown);
    rig.Click(20, 10 + c.press_y);
    EXPECT_EQ(parameter.writes, Writes{c.written});
  }
  struct SpinCase {
    const char* value;
    int32_t press_y;  // upper half steps up
    const char* written;
  };
  const SpinCase spins[] = {{"5", 2, "6"}, {"5", 18, "4"}, {"16", 2, "16"}, {"1", 18, "1"}};
  for (const SpinCase& c : spins) {
    SCOPED_TRACE(c.value);
    TreeRig rig;
    RecordedParameter parameter(DT_ENUM, c.value, "range 1,16");
    auto* buddy =
        static_cast<CMyEdit*>(rig.panel->AdoptChild(std::make_unique<CMyEdit>(&parameter), true));
    buddy->SetRect({10, 10, 50, 30});
    CVisualOb* arrows =
        rig.panel->AdoptChild(std::make_unique<CMySpinButtonCtrl>(&parameter, buddy), true);
    arrows->SetRect({50, 10, 66, 30});
    rig.root.Open();
    rig.Click(55, 10 + c.press_y);
    EXPECT_EQ(parameter.writes, Writes{c.written});
    EXPECT_EQ(buddy->editing().text(), c.written);
  }
}

// A load bar at 30: columns 0 to 30 in (185, 195, 0), 31 to 100 black, in
// rows 7 to 14; the button face around.
TEST(Widgets, LoadBarDrawsItsBand) {
  TreeRig rig;
  auto* bar =
      static_cast<CMyCpuLoadWnd*>(rig.panel->AdoptChild(std::make_unique<CMyCpuLoadWnd>(), true));
  bar->SetRect({0, 0, 110, 22});
  bar->SetValue(30);
  rig.root.Open();
  rig.root.Idle();
  const PixelImage& shown = rig.screen->BackBuffer();
  const auto at = [&](int32_t x, int32_t y) { return shown.At(x, y) & 0xFFFFFF; };
  EXPECT_EQ(at(0, 7), PixelOf(MakeColour(185, 195, 0)));
  EXPECT_EQ(at(30, 14), PixelOf(MakeColour(185, 195, 0)));
  EXPECT_EQ(at(31, 7), PixelOf(MakeColour(0, 0, 0)));
  EXPECT_EQ(at(100, 14), PixelOf(MakeColour(0, 0, 0)));
  EXPECT_EQ(at(30, 6), PixelOf(SystemColourValue(SystemColour::kButtonFace)));
  EXPECT_EQ(at(30, 15), PixelOf(SystemColourValue(SystemColour::kButtonFace)));
  EXPECT_EQ(at(101, 10), PixelOf(SystemColourValue(SystemColour::kButtonFace)));
}

}  // namespace
}  // namespace ov::testing
