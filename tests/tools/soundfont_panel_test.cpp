// The sound-font player's panel in the plug-in as hosts open it, without
// an X server: its picture once the General MIDI example has loaded its
// file (exact: the fonts are the project's own), and a preset chosen from
// its popup menu while the engine runs.
#include <gtest/gtest.h>

#include <sstream>

#include "document/control.h"
#include "editor/popup_presenter.h"
#include "editor/soundfont_panel.h"
#include "host/ov_vst.h"
#include "host/ov_vst_editor.h"
#include "media/soundfont_bank.h"
#include "platform/offscreen_window.h"
#include "tests/tools/snapshot_test_support.h"

namespace ov {
namespace {

const std::string kProject = std::string(OV_EXAMPLES_DIR) + "/gm-player.json";

intptr_t QuietHost(vst2::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
  return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

// Shows nothing; keeps the last menu so the test can choose from it.
class KeptMenu final : public PopupPresenter {
 public:
  void ShowMenu(const ContextMenu& menu, Point at) override {
    shown = menu;
    open = true;
    where = at;
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

SoundfontPanelView* FindPanel(CVisualOb& object) {
  if (auto* panel = dynamic_cast<SoundfontPanelView*>(&object)) return panel;
  for (CVisualOb* child : object.children()) {
    if (SoundfontPanelView* found = FindPanel(*child)) return found;
  }
  return nullptr;
}

TEST(SoundfontPanel, TheLoadedPlayerShowsChannelBankAndPreset) {
  testing::ExpectSnapshotMatchesGolden(kProject, "soundfont_panel");
}

// A press on the preset row's triangle opens the menu of the channel's
// presets, the current one checked; a choice while the engine runs goes to
// the audio thread, which sets it in the bank it plays, and it stays in the
// stored value. The context menu then unloads the file, while the engine
// plays on with the bank it holds.
TEST(SoundfontPanel, APresetChosenFromItsMenuReachesTheRunningEngine) {
  std::ostringstream err;
  std::unique_ptr<OvVst> plugin = LoadPluginInProcess(kProject, &QuietHost, err, "test");
  ASSERT_NE(plugin, nullptr) << err.str();
  vst2::AEffect* effect = plugin->getAeffect();
  const auto dispatch = [&](int32_t opcode, int32_t index, intptr_t value, void* ptr) {
    return effect->dispatcher(effect, opcode, index, value, ptr, 0.0f);
  };
  effect->dispatcher(effect, vst2::effSetSampleRate, 0, 0, nullptr, 44100.0f);
  dispatch(vst2::effSetBlockSize, 0, 64, nullptr);
  dispatch(vst2::effMainsChanged, 0, 1, nullptr);
  ov_vst_editor* editor = plugin->Editor();
  ASSERT_NE(editor, nullptr);
  OffscreenWindow* window = nullptr;
  editor->SetWindowMaker([&](void*, int32_t width, int32_t height, std::string*) {
    auto made = std::make_unique<OffscreenWindow>(width, height);
    window = made.get();
    return std::unique_ptr<WindowPort>(std::move(made));
  });
  ASSERT_NE(dispatch(vst2::effEditOpen, 0, 0, nullptr), 0);
  ASSERT_NE(window, nullptr);
  KeptMenu popups;
  editor->View().SetPopups(&popups);
  SoundfontPanelView* panel = FindPanel(editor->View());
  ASSERT_NE(panel, nullptr);
  auto& module = *static_cast<Ctl_SamplePlay2*>(panel->Module());
  ASSERT_NE(module.bank(), nullptr);
  EXPECT_EQ(module.Choice(0).preset, 0);

  // The preset row's triangle, in window coordinates.
  const Point at = panel->ToRoot({96, 29});
  EXPECT_EQ(panel->RowAt(panel->FromRoot(at)), SoundfontPanelView::Row::kPreset);
  WindowEvent press;
  press.kind = WindowEventKind::kPress;
  press.x = at.x;
  press.y = at.y;
  press.button = 1;
  press.flags = kFlagLeftButton;
  WindowEvent release = press;
  release.kind = WindowEventKind::kRelease;
  release.flags = 0;
  window->Queue(press);
  window->Queue(release);
  dispatch(vst2::effEditIdle, 0, 0, nullptr);
  ASSERT_TRUE(popups.open);
  const std::vector<MenuItem>& items = popups.shown.Items();
  ASSERT_GT(items.size(), 100u) << "TimGM6mb's melodic presets";
  EXPECT_NE(items[0].flags & kMenuChecked, 0u);
  EXPECT_EQ(items[1].text.substr(0, 6), "  2 - ");

  editor->View().ChooseMenuCommand(items[1].id);
  EXPECT_EQ(module.Choice(0).preset, 1);
  float left_out[64], right_out[64];
  float* outputs[] = {left_out, right_out};
  effect->processReplacing(effect, nullptr, outputs, 64);
  EXPECT_EQ(module.bank()->ChannelPreset(0), 1) << "set by the audio thread";
  EXPECT_FALSE(module.bank()->Zones(0).empty());
  dispatch(vst2::effEditIdle, 0, 0, nullptr);
  EXPECT_EQ(module.Choice(0).preset, 1) << "the refresh keeps it";
  EXPECT_NE(module.ValueText(0).find("TimGM6mb,  0   1 1,"), std::string::npos)
      << module.ValueText(0);
  // What a list entry connected to "Patch" would list.
  ASSERT_NE(module.FindPlug("Patch"), nullptr);
  EXPECT_EQ(module.FindPlug("Patch")->ItemList().substr(0, 6), "  1 - ");

  // The context menu's "Unload Soundfont" empties the value and the panel.
  WindowEvent context = press;
  context.button = 3;
  context.flags = 0;
  window->Queue(context);
  context.kind = WindowEventKind::kRelease;
  window->Queue(context);
  dispatch(vst2::effEditIdle, 0, 0, nullptr);
  ASSERT_TRUE(popups.open);
  int32_t unload = 0;
  for (const MenuItem& item : popups.shown.Items()) {
    if (item.text == "Unload Soundfont") unload = item.id;
  }
  ASSERT_NE(unload, 0);
  editor->View().ChooseMenuCommand(unload);
  EXPECT_EQ(module.bank(), nullptr);
  EXPECT_EQ(module.ValueText(0), "");
  EXPECT_EQ(module.FindPlug("Patch")->ItemList(), "<none>");
  effect->processReplacing(effect, nullptr, outputs, 64);
  dispatch(vst2::effEditClose, 0, 0, nullptr);
  dispatch(vst2::effMainsChanged, 0, 0, nullptr);
}

}  // namespace
}  // namespace ov
