// The meters' panels at known readings. Each row gives the module's
// generator a displayed value, sends the generator's refresh request
// through the engine-to-editor ring as the engine does, lets the editor's
// idle call deliver it, and reads what the panel shows: the LED's frame,
// the bar graph's lit rows, the volt meter's text. Readings outside the
// range, NaN and infinities must still draw inside the image.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "document/container.h"
#include "document/new_objects.h"
#include "document/readouts.h"
#include "editor/controls/bitmap_controls.h"
#include "editor/controls/meter_lights.h"
#include "editor/controls/meter_panels.h"
#include "editor/controls/meter_volts.h"
#include "editor/skins/default_skin/default_skin.h"
#include "editor/skins/skin_list.h"
#include "editor/widgets/text_labels.h"
#include "engine/audio_master.h"
#include "modules/meters.h"
#include "modules/module_registry.h"
#include "patches/message_hub.h"
#include "platform/message_sink.h"
#include "tests/editor/controls/shown_meter.h"
#include "tests/editor/editor_test_support.h"
#include "tests/engine/engine_test_support.h"

namespace ov::testing {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

bool AnyFamily(std::string_view) { return true; }

// A panel of the default skin showing the meters of one container, with
// the editor's end of the engine's ring.
class MeterRig {
 public:
  MeterRig() : skins_("", BuiltInSkin(AnyFamily), &messages_, AnyFamily), rig_(120, 80) {
    messages_.SetLogToStderr(false);
    rig_.root.SetSkins(&skins_);
    AddMeterPanels(makers_);
  }
  ~MeterRig() { rig_.root.Close(); }

  // A meter module at `at` whose generator is `generator`.
  CUG& Add(const char* key, ug_meter& generator, Point at) {
    auto* module = dynamic_cast<CUG*>(owner_.AddChild(CreateDocumentObject(BuiltInModules(), key)));
    module->SetViewRect(kViewControlPanel, {at.x, at.y, at.x + 10, at.y + 10});
    hub_.AttachModule(*module, generator);
    return *module;
  }
  // The container's panel bare over the whole window, as the plug-in's
  // root view shows it.
  void Open() {
    rig_.panel->SetFlags(kVoNoScrollDecorator);
    view_ = PopulateView(owner_, *rig_.panel, makers_);
    view_->SetRect(rig_.panel->ClientRect());
    rig_.root.Open();
  }
  // The generator's refresh request, as the engine posts it, and the idle
  // call that hands it on and repaints.
  void Refresh(const ug_meter& generator) {
    const std::span<const std::byte> no_payload;
    ASSERT_TRUE(hub_.ToEditor().Post(generator.TargetId(), kMsgRefresh, no_payload));
    hub_.Idle();
    rig_.root.Idle();
  }
  // What the module's panel shows: the light's position (the LED's frame
  // offset, the bar graph's lit rows) or the volt meter's text.
  std::string Shown(const CUG& module) {
    for (CVisualOb* child : view_ != nullptr ? view_->children() : std::vector<CVisualOb*>{}) {
      if (child->Module() != &module) continue;
      if (auto* lights = dynamic_cast<MeterLightFrame*>(child); lights && lights->Light()) {
        return lights->Light()->image() ? std::to_string(lights->Light()->position()) : "no image";
      }
      if (auto* volts = dynamic_cast<VoltMeterFrame*>(child); volts && volts->Label()) {
        const Rect r = volts->GetRect();
        return volts->Label()->text() + " " + std::to_string(r.right - r.left);
      }
    }
    return "no panel";
  }
  const PixelImage& Screen() { return rig_.screen->Screen(); }

 private:
  MessageSink messages_;
  SkinList skins_;
  TreeRig rig_;
  VisualMakers makers_;
  test::FakeEngineHost ids_;
  MessageHub hub_{ids_};
  CContainer owner_;
  CVisualOb* view_ = nullptr;  // the container's panel, once open
};

struct Row {
  const char* name;
  const char* key;
  float displayed;
  const char* shown;
};

// "led": two 12-pixel frames. "bar_graph1": ten 6-row segments above 2
// rows, so n lights trunc(10 n) x 6 + 1 rows. The volt label keeps the
// width of its widest reading (43 pixels in the pinned font).
const Row kRows[] = {
    {"LedLit", "LED Indicator", 100.0f, "12"},
    {"LedDark", "LED Indicator", 0.0f, "0"},
    {"LedNotANumberIsDark", "LED Indicator", kNaN, "0"},
    {"LedInfinityIsLit", "LED Indicator", kInf, "12"},
    {"PeakFiveVoltsInDecibels", "Peak Meter", 90.0f, "55"},
    {"PeakHalfLinear", "Peak Meter", 50.0f, "31"},
    {"PeakFloorIsTheBottomRow", "Peak Meter", -100.0f, "1"},
    {"PeakAboveTheTopIsFull", "Peak Meter", 103.6f, "61"},
    {"PeakInfinityIsFull", "Peak Meter", kInf, "61"},
    {"PeakMinusInfinityIsTheBottomRow", "Peak Meter", -kInf, "1"},
    {"PeakNotANumberIsTheBottomRow", "Peak Meter", kNaN, "1"},
    {"TwoVolts", "Volt Meter", 0.2f, "2.00 43"},
    {"HalfAVolt", "Volt Meter", 0.05f, "0.500 43"},
    {"HundredFiftyVolts", "Volt Meter", 15.0f, "150.0 43"},
    {"VoltsNotANumber", "Volt Meter", kNaN, "nan 43"},
    {"VoltsInfinity", "Volt Meter", kInf, "inf 43"},
};

// Each row twice: the reading arriving while the panel is open, and before
// it opens (the panel then shows what the module holds).
TEST(MeterPanels, EachShowsItsGeneratorsReadingWithinItsImageOrWidth) {
  for (const Row& row : kRows) {
    for (const bool open_first : {true, false}) {
      SCOPED_TRACE(std::string(row.name) + (open_first ? " while open" : " before opening"));
      MeterRig rig;
      // Every panel reads its meter's displayed value, whatever the kind.
      ShownMeter<ug_volt_meter> generator;
      CUG& module = rig.Add(row.key, generator, {10, 5});
      generator.Show(row.displayed);
      if (open_first) rig.Open();
      rig.Refresh(generator);
      if (!open_first) rig.Open();
      EXPECT_EQ(rig.Shown(module), row.shown);
    }
  }
}

// The three lit at once, drawn: the bar graph lights from the bottom up
// and the label sits at its module's place.
TEST(MeterPanels, ThreeMetersDrawnAtKnownReadings) {
  MeterRig rig;
  ShownMeter<ug_led> led;
  ShownMeter<ug_peak_meter> peak;
  ShownMeter<ug_volt_meter> volts;
  rig.Add("LED Indicator", led, {10, 10});
  rig.Add("Peak Meter", peak, {40, 8});
  rig.Add("Volt Meter", volts, {60, 30});
  rig.Open();
  led.Show(100.0f);
  peak.Show(90.0f);
  volts.Show(0.2f);
  rig.Refresh(led);
  rig.Refresh(peak);
  rig.Refresh(volts);
  ExpectMatchesGolden("meter_panels", rig.Screen());
}

}  // namespace
}  // namespace ov::testing
