// A sub-panel onto a 4000 x 3000 panel (300 knobs on a 200-pixel grid)
// scrolled by one line and shown: the scroll, then the repaint and
// presentation of the sub-panel's window in the next idle.
#include <benchmark/benchmark.h>

#include <functional>
#include <stdexcept>

#include "document/container.h"
#include "document/document.h"
#include "document/project_text.h"
#include "editor/containers/panel_containers.h"
#include "editor/controls/bitmap_controls.h"
#include "editor/controls/control_faces.h"
#include "editor/panel_view.h"
#include "editor/patch_toolbar.h"
#include "editor/scroll_decorator.h"
#include "editor/skins/default_skin/default_skin.h"
#include "editor/skins/skin_list.h"
#include "editor/view_root.h"
#include "platform/message_sink.h"
#include "platform/offscreen_window.h"

namespace ov {
namespace {

Json BigSubPanelProject() {
  Json knobs = Json::array();
  for (int y = 0; y < 3000; y += 200) {
    for (int x = 0; x < 4000; x += 200) {
      knobs.push_back({{"type", "Image"},
                       {"panel_pos", {x + 10, y + 10}},
                       {"plug_values", {{"Filename", "knob_med"}, {"Animation Position", 0.5}}}});
    }
  }
  knobs.push_back({{"type", "Image"}, {"panel_pos", {3980, 2980}}});
  Json inner = {{"type", "Container"}, {"title", "big"}, {"modules", knobs}};
  Json portal = {{"class", "CPortal"},       {"type", "Sub Panel"},
                 {"sub_panel", "big"},      {"panel_rect", {0, 0, 600, 400}},
                 {"scroll_mode", 0}};
  Json main = {{"type", "Container"}, {"modules", {inner, portal}}};
  return {{"version", 95960},
          {"panel_size", {600, 400}},
          {"root", {{"type", "Container"}, {"modules", {main}}}}};
}

ScrollDecorator* FindScrollWindow(CVisualOb& object) {
  if (auto* window = dynamic_cast<ScrollDecorator*>(&object)) return window;
  for (CVisualOb* child : object.children()) {
    if (ScrollDecorator* window = FindScrollWindow(*child)) return window;
  }
  return nullptr;
}

void BM_ScrollBigSubPanelByALine(benchmark::State& state) {
  MessageSink messages;
  messages.SetLogToStderr(false);
  const auto any_family = [](std::string_view) { return true; };
  SkinList skins("", BuiltInSkin(any_family), &messages, any_family);
  COrvaneDocBase document = CompileDocument(BigSubPanelProject(), {});
  ControlFaces faces;
  AddBitmapFaces(faces);
  VisualMakers makers;
  AddPanelContainerMakers(makers);
  AddControlFrameMaker(makers, faces);
  AddPatchToolbar(makers);
  COrvaneViewVST root([] { return 0u; });
  root.SetSkins(&skins);
  root.SetRect({0, 0, 600, 400});
  root.AttachWindow(std::make_unique<OffscreenWindow>(600, 400));
  CContainer* main = document.FindMainContainer();
  if (main == nullptr) throw std::runtime_error("no main container");
  PopulateView(*main, root, makers);
  root.SetRect({0, 0, 600, 400});
  root.Open();
  root.Idle();
  ScrollDecorator* window = FindScrollWindow(root);
  if (window == nullptr || !window->vertical().shown) throw std::runtime_error("no scroll bar");
  int32_t step = ScrollDecorator::kLineStep;
  for (auto _ : state) {
    // Down and back up, so every turn scrolls.
    window->ScrollBy(1, step);
    step = -step;
    root.Idle();
  }
  state.counters["objects"] = static_cast<double>(window->panel()->children().size());
}
BENCHMARK(BM_ScrollBigSubPanelByALine)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace ov
