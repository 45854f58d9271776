// What the host sees of a level meter ("Patch Parameter - Level Out"): a
// display-only parameter named by "Short Name" whose normalised value is
// the reading's place between "Lo Value" and "Hi Value". Readings arrive
// as the engine sends them: the generator's refresh request through the
// ring, handed on at the editor's idle call.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/level_out.h"
#include "engine/audio_master.h"
#include "modules/level_meter.h"
#include "patches/message_hub.h"
#include "tests/document/document_test_support.h"
#include "tests/engine/engine_test_support.h"

namespace ov::testing {
namespace {

// Remembers the names and counts the value changes it is told of.
class WatchLog final : public Notifiable {
 public:
  void OnNotify(const Notification& notification) override {
    if (notification.code == kNotifyRenamed) names.emplace_back(notification.text);
    if (notification.code == kNotifyValueChanged) ++changes;
  }
  std::vector<std::string> names;
  int changes = 0;
};

class ShownLevel final : public ug_param_float_out {
 public:
  ShownLevel() { AdoptTargetId(900); }
  void Show(float level) { SetDisplayed(level); }
};

struct HostRow {
  const char* name;
  const char* scale;  // 0 volts (10 x the level), 1 decibels
  const char* lo;
  const char* hi;
  float reading;
  float normalised;
};

const HostRow kHostRows[] = {
    {"Middle", "0", "0", "10", 0.5f, 0.5f},
    {"AboveHiIsTheTop", "0", "0", "10", 2.0f, 1.0f},
    {"BelowLoIsTheBottom", "0", "0", "10", -0.3f, 0.0f},
    {"DecibelsKeptWhole", "1", "-20", "10", 0.2f, 0.534020f},  // -3.9794 dB
    {"HiBelowLoCountsDown", "0", "10", "0", 0.25f, 0.75f},
    {"NoRangeIsTheBottom", "0", "3", "3", 0.5f, 0.0f},
    {"SilenceInDecibels", "1", "-20", "3", 1e-9f, 0.0f},  // -150 dB
};

TEST(LevelOut, EachReadingReachesTheHostOnceBetweenLoAndHi) {
  for (const HostRow& row : kHostRows) {
    SCOPED_TRACE(row.name);
    // The hub outlives the module, which leaves it as it goes.
    test::FakeEngineHost ids;
    MessageHub hub(ids);
    TestProject project;
    auto* level = Add<ui_param_float_out>(*project.main, "Patch Parameter - Level Out");
    project.document.RunPasses(true);
    Plug(*level, "Scale")->WriteValueText(row.scale);
    Plug(*level, "Lo Value")->WriteValueText(row.lo);
    Plug(*level, "Hi Value")->WriteValueText(row.hi);
    ShownLevel meter;
    hub.AttachModule(*level, meter);
    WatchLog log;
    level->Watchers().AddListener(&log);
    meter.Show(row.reading);
    ASSERT_TRUE(hub.ToEditor().Post(meter.TargetId(), kMsgRefresh, std::span<const std::byte>{}));
    hub.Idle();
    EXPECT_EQ(log.changes, 1);
    EXPECT_NEAR(level->GetNormalised(), row.normalised, 1e-6);
    // The reading is the engine's: a host's write leaves it.
    level->SetNormalised(0.9f);
    EXPECT_NEAR(level->GetNormalised(), row.normalised, 1e-6);
    level->Watchers().RemoveListener(&log);
  }
}

TEST(LevelOut, ItIsOfferedAsADisplayOnlyParameterNamedByShortName) {
  TestProject project;
  auto* level = Add<ui_param_float_out>(*project.main, "Patch Parameter - Level Out");
  project.document.RunPasses(true);
  std::vector<generic_parameter*> offered;
  level->CollectGenericParameters(offered);
  ASSERT_EQ(offered, std::vector<generic_parameter*>{level});
  EXPECT_TRUE(level->Automatable());
  EXPECT_TRUE(level->DisplayOnly());

  // A new module shows its title on "Short Name"; a name written there
  // becomes the title the host shows, and watchers hear of it; an empty
  // one would leave the parameter nameless and changes nothing.
  EXPECT_EQ(Plug(*level, "Short Name")->ValueText(), level->title());
  WatchLog log;
  level->Watchers().AddListener(&log);
  Plug(*level, "Short Name")->WriteValueText("Out L");
  Plug(*level, "Short Name")->WriteValueText("");
  EXPECT_EQ(level->Name(), "Out L");
  level->Watchers().RemoveListener(&log);
  EXPECT_EQ(log.names, std::vector<std::string>{"Out L"});

  // A loaded project's "Short Name" wins over its stored title.
  level->SetTitle("Stored title");
  Plug(*level, "Short Name")->SetValueText("Bus level");
  level->InitialiseAfterLoad(true);
  EXPECT_EQ(level->Name(), "Bus level");
}

}  // namespace
}  // namespace ov::testing
