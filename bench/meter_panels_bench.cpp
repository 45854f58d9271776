// The meters' panels following their readings: an LED, a peak meter and a
// volt meter each get a new reading, the refresh requests travel the
// engine-to-editor ring, and the next idle repaints and presents what
// changed. One iteration is one such round for all three.
#include <benchmark/benchmark.h>

#include <memory>
#include <span>

#include "document/container.h"
#include "document/new_objects.h"
#include "editor/controls/meter_panels.h"
#include "editor/panel_view.h"
#include "editor/skins/default_skin/default_skin.h"
#include "editor/skins/skin_list.h"
#include "editor/view_root.h"
#include "engine/audio_master.h"
#include "modules/meters.h"
#include "modules/module_registry.h"
#include "patches/message_hub.h"
#include "platform/message_sink.h"
#include "platform/offscreen_window.h"
#include "tests/editor/controls/shown_meter.h"
#include "tests/engine/engine_test_support.h"

namespace ov {
namespace {

using testing::ShownMeter;

void BM_MeterPanelsRepaint(benchmark::State& state) {
  MessageSink messages;
  messages.SetLogToStderr(false);
  const auto any_family = [](std::string_view) { return true; };
  SkinList skins("", BuiltInSkin(any_family), &messages, any_family);
  test::FakeEngineHost handles;
  MessageHub hub(handles);
  CContainer owner;
  ShownMeter<ug_led> led;
  ShownMeter<ug_peak_meter> peak;
  ShownMeter<ug_volt_meter> volts;
  const struct {
    const char* key;
    ug_meter* generator;
    Rect rect;
  } meters[] = {{"LED Indicator", &led, {10, 10, 20, 20}},
                {"Peak Meter", &peak, {40, 8, 50, 18}},
                {"Volt Meter", &volts, {60, 30, 70, 40}}};
  for (const auto& meter : meters) {
    CDocOb* module = owner.AddChild(CreateDocumentObject(BuiltInModules(), meter.key));
    module->SetViewRect(kViewControlPanel, meter.rect);
    hub.AttachModule(*dynamic_cast<CUG*>(module), *meter.generator);
  }
  VisualMakers makers;
  AddMeterPanels(makers);
  COrvaneViewVST root([] { return 0u; });
  root.SetSkins(&skins);
  root.SetRect({0, 0, 120, 80});
  root.AttachWindow(std::make_unique<OffscreenWindow>(120, 80));
  PopulateView(owner, root, makers);
  root.SetRect({0, 0, 120, 80});  // lays the panel out over the window
  root.Open();
  root.Idle();
  bool high = false;
  for (auto _ : state) {
    high = !high;
    led.Show(high ? 100.0f : 0.0f);
    peak.Show(high ? 90.0f : 40.0f);
    volts.Show(high ? 0.2f : 0.05f);
    for (const auto& meter : meters) {
      hub.ToEditor().Post(meter.generator->TargetId(), kMsgRefresh, std::span<const std::byte>{});
    }
    hub.Idle();
    root.Idle();
  }
  root.Close();
}
BENCHMARK(BM_MeterPanelsRepaint)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace ov
