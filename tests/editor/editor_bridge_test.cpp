// The editor as hosts drive it through the dispatcher, on offscreen
// windows: the rectangle before open, open/close pairs in any order, the
// plug-in idle while open and closed, keys from the host, sizes out of
// range, a skin image too large to decode, projects without a main
// container, and panels made by makers.
#include <gtest/gtest.h>

#include <algorithm>

#include "document/base64.h"
#include "document/container.h"
#include "editor_test_support.h"
#include "host/ov_vst.h"
#include "patches/message_hub.h"
#include "patches/ui_msg_target.h"
#include "tests/editor/skins/default_background.h"
#include "tests/editor/skins/skin_test_support.h"
#include "tests/host/compiled_project.h"
#include "tests/host/fake_host.h"

namespace ov::testing {
namespace {

Json PanelProject(Json panel_size, Json skins) {
  Json project = {{"version", 95960},
                  {"plugin_id", "OvEd"},
                  {"panel_size", panel_size},
                  {"root",
                   {{"type", "Container"},
                    {"modules",
                     {{{"type", "Container"},
                       {"name", "main"},
                       {"modules", {{{"type", "VCA"}, {"name", "a"}}, {{"type", "VCA"}, {"name", "b"}}}}}}}}}};
  if (!skins.is_null()) {
    project["skins_present"] = true;
    project["skins"] = std::move(skins);
  }
  return project;
}

// A plug-in object on a compiled project whose editor opens offscreen
// windows; `made` records every window made.
struct EditorRig {
  explicit EditorRig(Json panel_size = Json::array({300, 200}), Json skins = nullptr) {
    CompiledProject source(PanelProject(panel_size, std::move(skins)));
    plugin = std::make_unique<OvVst>(&FakeHost::Callback, source);
    effect = plugin->getAeffect();
    if (ov_vst_editor* editor = plugin->Editor()) {
      editor->SetWindowMaker([this](void*, int32_t w, int32_t h, std::string*) {
        auto window = std::make_unique<OffscreenWindow>(w, h);
        made.push_back(window.get());
        return std::unique_ptr<WindowPort>(std::move(window));
      });
    }
  }
  intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
  }
  vst2::ERect Rect() {
    vst2::ERect* rect = nullptr;
    EXPECT_EQ(Dispatch(vst2::effEditGetRect, 0, 0, &rect), 1);
    return rect != nullptr ? *rect : vst2::ERect{};
  }

  FakeHost host;
  std::unique_ptr<OvVst> plugin;
  vst2::AEffect* effect = nullptr;
  std::vector<OffscreenWindow*> made;
};

TEST(EditorBridge, RectangleComesFromTheProjectBeforeAnyOpenAndStays) {
  EditorRig rig;
  EXPECT_TRUE(rig.effect->flags & vst2::effFlagsHasEditor);
  vst2::ERect r = rig.Rect();
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.bottom, 200);
  EXPECT_EQ(r.right, 300);
  rig.Dispatch(vst2::effEditClose);  // close without open: nothing happens
  ASSERT_EQ(rig.Dispatch(vst2::effEditOpen), 1);
  CVisualOb* first_panel = rig.plugin->Editor()->View().Panel();
  ASSERT_NE(first_panel, nullptr);
  EXPECT_EQ(first_panel->GetRect(), (ov::Rect{0, 0, 300, 200}));
  rig.Dispatch(vst2::effEditClose);
  EXPECT_EQ(rig.plugin->Editor()->View().Panel(), nullptr);
  EXPECT_FALSE(rig.plugin->Editor()->isOpen());
  ASSERT_EQ(rig.Dispatch(vst2::effEditOpen), 1);
  EXPECT_NE(rig.plugin->Editor()->View().Panel(), nullptr);
  ASSERT_EQ(rig.made.size(), 2u);
  EXPECT_EQ(rig.made[1]->Width(), 300);
  r = rig.Rect();
  EXPECT_EQ(r.bottom, 200);
  EXPECT_EQ(r.right, 300);
}

TEST(EditorBridge, OpenWhileOpenReplacesTheWindowAndIdlePaintsThePanel) {
  EditorRig rig;
  ASSERT_EQ(rig.Dispatch(vst2::effEditOpen), 1);
  ASSERT_EQ(rig.Dispatch(vst2::effEditOpen), 1);  // hosts that never closed
  ASSERT_EQ(rig.made.size(), 2u);
  EXPECT_EQ(rig.plugin->Editor()->View().children().size(), 1u);
  rig.Dispatch(vst2::effEditIdle);
  // A project without skins shows the default skin's background.
  const PixelImage& screen = rig.made[1]->Screen();
  EXPECT_EQ(screen.At(0, 0), DefaultBackgroundAt(0, 0));
  EXPECT_EQ(screen.At(299, 199), DefaultBackgroundAt(299, 199));
  rig.Dispatch(vst2::effEditClose);
}

// Counts the engine's messages that reach it.
struct CountingTarget : ui_msg_target {
  void OnMessage(uint32_t, MessageReader&) override { ++received; }
  int received = 0;
};

TEST(EditorBridge, PluginIdleRunsTheApplicationOnlyWhileClosed) {
  EditorRig rig;
  MessageHub& hub = rig.plugin->App().Hub();
  CountingTarget target;
  hub.Targets().Register(target, hub.NewHandle());
  const auto post = [&] { hub.ToEditor().Post(target.Handle(), 0x75706474, MessageWriter{}); };
  post();
  EXPECT_EQ(rig.Dispatch(vst2::effIdle), 1);
  EXPECT_EQ(target.received, 1);
  ASSERT_EQ(rig.Dispatch(vst2::effEditOpen), 1);
  post();
  EXPECT_EQ(rig.Dispatch(vst2::effIdle), 1);  // open: the editor's idle drains instead
  EXPECT_EQ(target.received, 1);
  rig.Dispatch(vst2::effEditIdle);
  EXPECT_EQ(target.received, 2);
  rig.Dispatch(vst2::effEditClose);
  post();
  EXPECT_EQ(rig.Dispatch(vst2::effIdle), 1);
  EXPECT_EQ(target.received, 3);
  hub.Targets().Unregister(target);
}

TEST(EditorBridge, HostKeysAreUsedOnlyWhenThePanelTakesThem) {
  EditorRig rig;
  EXPECT_EQ(rig.Dispatch(vst2::effEditKeyDown, 'a', 0, nullptr, 0), 0);  // closed
  ASSERT_EQ(rig.Dispatch(vst2::effEditOpen), 1);
  EXPECT_EQ(rig.Dispatch(vst2::effEditKeyDown, 'a', 0, nullptr, 0), 0);
  EXPECT_EQ(rig.Dispatch(vst2::effEditKeyUp, 'a', 0, nullptr, 0), 0);
  EXPECT_EQ(rig.Dispatch(vst2::effSetEditKnobMode, 0, 1), 0);
  // Tab moves the focus between the panel's stops: the key is used.
  Log log;
  CVisualOb& panel = *rig.plugin->Editor()->View().Panel();
  auto* a = static_cast<RecordingObject*>(panel.AdoptChild(
      std::make_unique<RecordingObject>("a", log, 0, ov::Rect{0, 0, 10, 10}), false));
  auto* b = static_cast<RecordingObject*>(panel.AdoptChild(
      std::make_unique<RecordingObject>("b", log, 0, ov::Rect{20, 0, 30, 10}), false));
  a->set_tab_order(0);
  b->set_tab_order(1);
  // The host hears that keys are needed (0) once something on the panel types.
  EXPECT_EQ(rig.Dispatch(vst2::effKeysRequired), 1);
  b->takes_keys = true;
  EXPECT_EQ(rig.Dispatch(vst2::effKeysRequired), 0);
  a->TakeFocus();
  EXPECT_EQ(rig.Dispatch(vst2::effEditKeyDown, 0, 2 /* tab */, nullptr, 0), 1);
  EXPECT_EQ(log.back(), "b focus");
  EXPECT_EQ(rig.Dispatch(vst2::effEditKeyDown, 0, 2, nullptr, 1 /* shift */), 1);
  EXPECT_EQ(log.back(), "a focus");
  rig.Dispatch(vst2::effEditClose);
}

TEST(EditorBridge, PanelSizesOutOfRangeAreClampedInRectangleAndWindow) {
  struct Case {
    Json size;
    int32_t width;
    int32_t height;
    bool told;  // a panel larger than the editor is reported
  };
  // 32767 x 16400 pixels at four bytes each would pass 2^31 bytes.
  for (const Case& c :
       {Case{Json::array({40000, 0}), 8192, 1, true}, Case{Json::array({-5, 70000}), 1, 8192, true},
        Case{Json::array({32767, 16400}), 8192, 8192, true},
        Case{Json::array({8192, 8192}), 8192, 8192, false}}) {
    EditorRig rig(c.size);
    const vst2::ERect r = rig.Rect();
    EXPECT_EQ(r.right, c.width);
    EXPECT_EQ(r.bottom, c.height);
    EXPECT_EQ(rig.plugin->App().Messages().Contains("the editor shows its top-left"), c.told)
        << c.size;
    // The window is made at the clamped size, never at a wrapped one.
    rig.plugin->Editor()->SetWindowMaker([&](void*, int32_t w, int32_t h, std::string*) {
      EXPECT_EQ(w, c.width);
      EXPECT_EQ(h, c.height);
      return std::unique_ptr<WindowPort>(std::make_unique<OffscreenWindow>(1, 1));
    });
    EXPECT_EQ(rig.Dispatch(vst2::effEditOpen), 1);
  }
}

// A background of 16384 x 16384 pixels would take 1 GB decoded, four times
// the editor's budget; its PNG holds one bit a pixel (rows mostly blank, a
// few bytes varied so that it compresses as pictures do).
std::vector<uint8_t> HugeBackgroundPng() {
  constexpr uint32_t kSide = 16384;
  testing::TestPng layout{kSide, kSide, PNG_COLOR_TYPE_GRAY, 1};
  uint32_t seed = 12345;
  layout.rows.assign(kSide, std::vector<uint8_t>(kSide / 8, 0));
  for (auto& row : layout.rows) {
    for (int i = 0; i < 8; ++i) {
      seed = seed * 1664525u + 1013904223u;
      row[(seed >> 8) % row.size()] = static_cast<uint8_t>(seed >> 24);
    }
  }
  return testing::EncodeTestPng(layout);
}

TEST(EditorBridge, ASkinImagePastTheBudgetIsRefusedOnceAndTheBuiltInOneDrawn) {
  const Json skins =
      Json::array({{{"name", "default"},
                    {"images", Json::array({{{"class", "CSkinBitmap"},
                                             {"name", "background"},
                                             {"png", EncodeBase64(HugeBackgroundPng())}}})}}});
  EditorRig rig(Json::array({300, 200}), skins);
  MessageSink& messages = rig.plugin->App().Messages();
  messages.SetLogToStderr(false);
  const auto refusals = [&] {
    return std::count_if(messages.Messages().begin(), messages.Messages().end(),
                         [](const Message& m) { return m.text.find("would pass") != m.text.npos; });
  };
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(rig.Dispatch(vst2::effEditOpen), 1);
    EXPECT_EQ(refusals(), round) << "opening decodes nothing";
    rig.Dispatch(vst2::effEditIdle);
    EXPECT_EQ(refusals(), round) << "the drawing under the lock only asks for the image";
    rig.Dispatch(vst2::effEditIdle);  // decodes before taking the lock, then draws
    const PixelImage& screen = rig.made.back()->Screen();
    EXPECT_EQ(screen.At(0, 0), DefaultBackgroundAt(0, 0));
    EXPECT_EQ(screen.At(299, 199), DefaultBackgroundAt(299, 199));
    EXPECT_EQ(rig.plugin->Editor()->Skins()->DecodedBytesHeld(), 0u);
    rig.Dispatch(vst2::effEditClose);
  }
  EXPECT_EQ(refusals(), 1) << "reported once";
}

TEST(EditorBridge, AFailedWindowAnswersZeroWithAMessage) {
  EditorRig rig;
  rig.plugin->App().Messages().SetLogToStderr(false);
  rig.plugin->Editor()->SetWindowMaker([](void*, int32_t, int32_t, std::string* error) {
    *error = "no display here";
    return std::unique_ptr<WindowPort>();
  });
  EXPECT_EQ(rig.Dispatch(vst2::effEditOpen), 0);
  EXPECT_FALSE(rig.plugin->Editor()->isOpen());
  EXPECT_TRUE(rig.plugin->App().Messages().Contains("no display here"));
  EXPECT_EQ(rig.Dispatch(vst2::effIdle), 1);
}

TEST(EditorBridge, NoMainContainerMeansNoEditor) {
  FakeHost host;
  FakeProject source;  // facts alone, no document
  OvVst plugin(&FakeHost::Callback, source);
  EXPECT_EQ(plugin.Editor(), nullptr);
  EXPECT_FALSE(plugin.getAeffect()->flags & vst2::effFlagsHasEditor);
  EXPECT_EQ(plugin.dispatcher(vst2::effEditOpen, 0, 0, nullptr, 0), 0);
  EXPECT_EQ(plugin.dispatcher(vst2::effIdle, 0, 0, nullptr, 0), 1);
}

TEST(EditorBridge, MakersFillThePanelInTheContainersOrderAndModulesRemoveThem) {
  EditorRig rig;
  Log log;
  VisualMakers makers;
  makers.Add([&](CDocOb& object, int32_t view_kind) -> std::unique_ptr<CVisualOb> {
    EXPECT_EQ(view_kind, kViewControlPanel);
    auto* module = dynamic_cast<CUG*>(&object);
    if (module == nullptr) return nullptr;
    auto made = std::make_unique<RecordingObject>(module->title(), log, 0, ov::Rect{0, 0, 5, 5});
    made->BindToModule(&object);
    return made;
  });
  rig.plugin->Editor()->SetVisualMakers(&makers);
  ASSERT_EQ(rig.Dispatch(vst2::effEditOpen), 1);
  CVisualOb& panel = *rig.plugin->Editor()->View().Panel();
  CContainer& main = *rig.plugin->App().Document()->FindMainContainer();
  ASSERT_EQ(panel.children().size(), main.children().size());
  for (std::size_t i = 0; i < panel.children().size(); ++i) {
    EXPECT_EQ(panel.children()[i]->Module(), main.children()[i].get());
  }
  // A module that goes takes its visual object with it.
  CDocOb* first = main.children()[0].get();
  first->Notify(Notification(kNotifyRemoved, first));
  rig.Dispatch(vst2::effEditIdle);
  EXPECT_EQ(panel.children().size(), main.children().size() - 1);
  rig.Dispatch(vst2::effEditClose);
}

}  // namespace
}  // namespace ov::testing
