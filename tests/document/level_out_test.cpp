// What the host sees of a level meter ("Patch Parameter - Level Out"): a
// display-only parameter named by "Short Name" whose normalised value is
// the reading's place between "Lo Value" and "Hi Value".
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

// Remembers the names and the value changes it is told of.
class WatchLog final : public Notifiable {
 public:
  void OnNotify(const Notification& notification) override {
    if (notification.code == kNotifyRenamed) names.emplace_back(notification.text);
    if (notification.code == kNotifyValueChanged) ++changes;
  }
  std::vector<std::string> names;
  int changes = 0;
};

// A level meter whose reading the test sets.
class ShownLevel final : public ug_param_float_out {
 public:
  ShownLevel() { AdoptTargetId(900); }
  void Show(float level) { SetDisplayed(level); }
};

struct HostRow {
  const char* name;
  const char* lo;
  const char* hi;
  const char* scaled;  // the reading, as the meter's refresh writes it
  float normalised;
};

const HostRow kHostRows[] = {
    {"Middle", "0", "10", "5", 0.5f},
    {"AboveHiIsTheTop", "0", "10", "20", 1.0f},
    {"BelowLoIsTheBottom", "0", "10", "-3", 0.0f},
    {"DecibelRange", "-20", "3", "-8.5", 0.5f},
    {"HiBelowLoCountsDown", "10", "0", "2.5", 0.75f},
    {"NoRangeIsTheBottom", "3", "3", "5", 0.0f},
    {"SilenceInDecibels", "-20", "3", "-150", 0.0f},
};

TEST(LevelOut, TheHostSeesTheReadingBetweenLoAndHi) {
  for (const HostRow& row : kHostRows) {
    SCOPED_TRACE(row.name);
    TestProject project;
    auto* level = Add<ui_param_float_out>(*project.main, "Patch Parameter - Level Out");
    project.document.RunPasses(true);
    Plug(*level, "Lo Value")->WriteValueText(row.lo);
    Plug(*level, "Hi Value")->WriteValueText(row.hi);
    Plug(*level, "Scaled Value")->WriteValueText(row.scaled);
    EXPECT_FLOAT_EQ(level->GetNormalised(), row.normalised);
    // The reading is the engine's: a host's write leaves it.
    level->SetNormalised(0.9f);
    EXPECT_FLOAT_EQ(level->GetNormalised(), row.normalised);
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
  // becomes the title the host shows, and watchers hear of it.
  EXPECT_EQ(Plug(*level, "Short Name")->ValueText(), level->title());
  WatchLog log;
  level->Watchers().AddListener(&log);
  Plug(*level, "Short Name")->WriteValueText("Out L");
  EXPECT_EQ(level->Name(), "Out L");
  // An empty name would leave the host's parameter nameless: the title stays.
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

// The reading arrives as the engine sends it: the generator's refresh
// request through the ring, handed on at the editor's idle call.
TEST(LevelOut, EachReadingReachesTheHostOnceAndWhole) {
  TestProject project;
  auto* level = Add<ui_param_float_out>(*project.main, "Patch Parameter - Level Out");
  project.document.RunPasses(true);
  Plug(*level, "Scale")->WriteValueText("1");  // dB
  Plug(*level, "Lo Value")->WriteValueText("-20");
  Plug(*level, "Hi Value")->WriteValueText("10");
  test::FakeEngineHost ids;
  MessageHub hub(ids);
  ShownLevel meter;
  hub.AttachModule(*level, meter);
  WatchLog log;
  level->Watchers().AddListener(&log);
  const struct {
    float reading;
    float normalised;
  } readings[] = {{0.2f, 0.534020f}, {1.0f, 1.0f}, {1e-9f, 0.0f}};  // -3.9794 dB, 10 dB, -150 dB
  for (const auto& row : readings) {
    SCOPED_TRACE(row.reading);
    log.changes = 0;
    meter.Show(row.reading);
    ASSERT_TRUE(hub.ToEditor().Post(meter.TargetId(), kMsgRefresh, std::span<const std::byte>{}));
    hub.Idle();
    EXPECT_EQ(log.changes, 1);
    EXPECT_NEAR(level->GetNormalised(), row.normalised, 1e-6);
  }
  level->Watchers().RemoveListener(&log);
}

}  // namespace
}  // namespace ov::testing
