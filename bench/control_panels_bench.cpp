// The demo synth's control panel (or OV_BENCH_PROJECT's) made again, as a change of its looks or
// skin makes it: every control's face closed, rebuilt and laid out, then
// the whole panel repainted and presented in the next idle.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "document/container.h"
#include "document/document.h"
#include "document/project_text.h"
#include "editor/controls/bitmap_controls.h"
#include "editor/controls/control_faces.h"
#include "editor/controls/control_module_faces.h"
#include "editor/panel_view.h"
#include "editor/patch_toolbar.h"
#include "editor/skins/default_skin/default_skin.h"
#include "editor/skins/skin_list.h"
#include "editor/view_root.h"
#include "editor/widgets/widget_faces.h"
#include "platform/files.h"
#include "platform/message_sink.h"
#include "platform/offscreen_window.h"

namespace ov {
namespace {

COrvaneDocBase LoadDemo() {
  std::string error;
  std::vector<uint8_t> bytes;
  // OV_BENCH_PROJECT measures another project's panel instead.
  const char* other = std::getenv("OV_BENCH_PROJECT");
  const std::string path =
      other != nullptr ? std::string(other) : std::string(OV_EXAMPLES_DIR) + "/demo-synth.json";
  const bool read = ReadFileBytes(path, 1 << 20, &bytes, &error);
  const std::optional<Json> json =
      read ? ParseProjectText({reinterpret_cast<const char*>(bytes.data()), bytes.size()}, &error)
           : std::nullopt;
  if (!json) throw std::runtime_error(path + ": " + error);
  return CompileDocument(*json, {});
}

void BM_DemoPanelRebuild(benchmark::State& state) {
  MessageSink messages;
  messages.SetLogToStderr(false);
  const auto any_family = [](std::string_view) { return true; };
  SkinList skins("", BuiltInSkin(any_family), &messages, any_family);
  COrvaneDocBase document = LoadDemo();
  ControlFaces faces;
  AddBitmapFaces(faces);
  AddWidgetFaces(faces);
  VisualMakers makers;
  AddControlFrameMaker(makers, faces);
  AddControlModuleMakers(makers);
  AddPatchToolbar(makers);
  COrvaneViewVST root([] { return 0u; });
  root.SetSkins(&skins);
  const Point size{document.panel_size().x, document.panel_size().y};
  root.SetRect({0, 0, size.x, size.y});
  root.AttachWindow(std::make_unique<OffscreenWindow>(size.x, size.y));
  CContainer* main = document.FindMainContainer();
  if (main == nullptr) throw std::runtime_error("the demo has no main container");
  auto* view = static_cast<CMyView_base*>(PopulateView(*main, root, makers));
  root.SetRect({0, 0, size.x, size.y});
  root.Open();
  root.Idle();
  for (auto _ : state) {
    view->LookUpImagesAgain();
    root.Idle();
  }
  state.counters["objects"] = static_cast<double>(view->children().size());
}
BENCHMARK(BM_DemoPanelRebuild)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace ov
