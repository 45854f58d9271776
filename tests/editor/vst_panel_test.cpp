// A hosted plug-in's own editor in a sub-panel (our test plug-in's, which
// grows from 300 x 200 to 320 x 220 as it opens), in a window whose native
// children record where they are put: the native window lies where its
// panel shows at the editor's size, cut to the sub-panel's scroll window,
// follows the scrolling, opens once for the plug-in, and goes, with the
// plug-in's editor, when the panel closes or the window is destroyed from
// outside.
#include <gtest/gtest.h>

#include "document/container.h"
#include "document/new_objects.h"
#include "document/panel_objects.h"
#include "document/vst_plugin_module.h"
#include "editor/containers/panel_containers.h"
#include "editor/containers/sub_panel.h"
#include "editor/patch_toolbar.h"
#include "editor/scroll_decorator.h"
#include "editor/view_root.h"
#include "editor/vst_panel.h"
#include "editor/widgets/text_labels.h"
#include "modules/module_registry.h"
#include "tests/editor/editor_test_support.h"

namespace ov {
namespace {

template <class T>
T* Add(CContainer& container, std::string_view key) {
  std::unique_ptr<CDocOb> object = CreateDocumentObject(ProcessModules(), key);
  auto* typed = dynamic_cast<T*>(object.get());
  EXPECT_NE(typed, nullptr) << key;
  container.AddChild(std::move(object));
  typed->SetParent(&container);
  return typed;
}

struct NativeRecord {
  int32_t made = 0;
  int32_t alive_windows = 0;
  PixelRect frame;
  PixelRect visible;
  bool shown = false;
  bool killed = false;  // destroyed from outside
};

class RecordingChild final : public NativeChildWindow {
 public:
  explicit RecordingChild(NativeRecord& record) : record_(record) { ++record_.alive_windows; }
  ~RecordingChild() override { --record_.alive_windows; }
  uintptr_t NativeHandle() const override { return 0x5150; }
  void Place(const PixelRect& frame, const PixelRect& visible) override {
    record_.frame = frame;
    record_.visible = Intersect(frame, visible);
  }
  void Show(bool shown) override { record_.shown = shown; }
  bool Alive() override { return !record_.killed; }

 private:
  NativeRecord& record_;
};

class RecordingWindow final : public WindowPort {
 public:
  RecordingWindow(int32_t width, int32_t height, NativeRecord& record)
      : WindowPort(width, height), record_(record) {}
  void Present(const PixelRect&) override {}
  bool NextEvent(WindowEvent*) override { return false; }
  std::unique_ptr<WindowPort> OpenPopup(PixelPoint, int32_t, int32_t, bool,
                                        std::string* error) override {
    *error = "no popups here";
    return nullptr;
  }
  std::unique_ptr<NativeChildWindow> OpenNativeChild(int32_t width, int32_t height,
                                                     std::string*) override {
    ++record_.made;
    record_.frame = {0, 0, width, height};
    return std::make_unique<RecordingChild>(record_);
  }

 private:
  NativeRecord& record_;
};

intptr_t PluginsEditorWindow(Ctl_VST_Plugin& module) {
  return module.wrapper().Dispatch(vst2::effVendorSpecific, vst2::FourCC('E', 'd', 'i', 't'));
}

TEST(VstPanel, ThePluginsEditorFollowsItsPanelAndOpensOnce) {
  CContainer main;
  auto* hosted = Add<Ctl_VST_Plugin>(main, "VST Plugin");
  std::string error;
  ASSERT_TRUE(hosted->PrepareForLibrary(OV_TEST_PLUGIN_INDEXED, &error)) << error;
  // Two sub-panels onto it, each smaller than its editor.
  std::vector<CPortal*> portals;
  for (const Rect at : {Rect{10, 20, 210, 170}, Rect{220, 20, 420, 170}}) {
    auto* portal = Add<CPortal>(main, "Sub Panel");
    portal->SetViewRect(kViewControlPanel, at);
    portal->ChooseSubPanel(hosted->title());
    portals.push_back(portal);
  }
  NativeRecord record;
  uint32_t now = 0;
  COrvaneViewVST root([&now] { return now; });
  VisualMakers makers;
  AddPanelContainerMakers(makers);
  AddVstPanels(makers);
  // As the editor opens: the panel, its window, its size.
  const auto open = [&] {
    CVisualOb* panel = PopulateView(main, root, makers);
    root.AttachWindow(std::make_unique<RecordingWindow>(500, 300, record));
    root.SetRect({0, 0, 500, 300});
    root.Open();
    return panel;
  };
  CVisualOb* view = open();
  ASSERT_NE(view, nullptr);

  // The first sub-panel opens the editor; the second, opened after it,
  // says it cannot.
  VstEditorHost* host = nullptr;
  ScrollDecorator* scrolled = nullptr;
  std::vector<std::string> refusals;
  for (CVisualOb* child : view->children()) {
    auto* sub = dynamic_cast<CPortalWnd*>(child);
    if (sub == nullptr) continue;
    auto* toolbar = dynamic_cast<CPatchSelDecorator*>(sub->Content());
    ASSERT_NE(toolbar, nullptr) << "the panel has the patch toolbar";
    auto* window = dynamic_cast<ScrollDecorator*>(toolbar->content());
    ASSERT_NE(window, nullptr);
    auto* panel = dynamic_cast<VstPanelView*>(window->panel());
    ASSERT_NE(panel, nullptr);
    if (auto* label = dynamic_cast<CMyTextLabel*>(panel->content())) {
      refusals.push_back(label->text());
    } else if (auto* shown = dynamic_cast<VstEditorHost*>(panel->content())) {
      if (shown->native_window() != nullptr) {
        host = shown;
        scrolled = window;
      } else {
        refusals.push_back(shown->notice());
      }
    }
  }
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(refusals, std::vector<std::string>{kVstPanelTwice});
  EXPECT_EQ(record.made, 1) << "one editor however many panels show it";
  EXPECT_EQ(PluginsEditorWindow(*hosted), 0x5150);
  EXPECT_TRUE(record.shown);

  // Each step: where the editor's top-left lies and what of it shows,
  // both within the scroll window's view.
  const auto check = [&](const char* step) {
    SCOPED_TRACE(step);
    const Point origin = host->ToRoot({0, 0});
    EXPECT_EQ(record.frame, (PixelRect{origin.x, origin.y, origin.x + 320, origin.y + 220}));
    const Point view_at = scrolled->ToRoot({0, 0});
    const Rect area = scrolled->ViewArea();
    const PixelRect view_in_root{view_at.x, view_at.y, view_at.x + area.right,
                                 view_at.y + area.bottom};
    EXPECT_EQ(record.visible, Intersect(record.frame, view_in_root));
    EXPECT_LT(record.visible.Width(), 320) << "cut to the sub-panel";
  };
  check("opened");
  const PixelRect before = record.frame;
  scrolled->ScrollTo(1, 30);
  scrolled->ScrollTo(0, 40);
  check("scrolled");
  EXPECT_EQ(record.frame, (PixelRect{before.left - 40, before.top - 30, before.right - 40,
                                     before.bottom - 30}));

  // The window destroyed from outside: the plug-in's editor is closed at
  // the next look, and the panel says why.
  record.killed = true;
  now += VstEditorHost::kFollowMs;
  root.Idle();
  EXPECT_EQ(record.alive_windows, 0);
  EXPECT_EQ(PluginsEditorWindow(*hosted), 0);
  EXPECT_FALSE(hosted->wrapper().editor_open.load());

  // Opened again, then closed with the panel.
  root.Close();
  record.made = 0;
  record.killed = false;
  open();
  EXPECT_EQ(record.made, 1);
  EXPECT_EQ(PluginsEditorWindow(*hosted), 0x5150);
  root.Close();
  EXPECT_EQ(record.alive_windows, 0);
  EXPECT_EQ(PluginsEditorWindow(*hosted), 0);
  EXPECT_FALSE(hosted->wrapper().editor_open.load());
}

}  // namespace
}  // namespace ov
