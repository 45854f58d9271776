// "OS Command": a trigger with hysteresis asks the application, once per
// rise, to start the command line in the library folder, without a shell
// and with quoted arguments whole.
#include "modules/system_command.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "patches/message_hub.h"
#include "tests/host/temp_folder.h"
#include "tests/modules/module_rig.h"

namespace ov::test {
namespace {

TEST(OsCommand, EachRiseAboveTheThresholdRunsTheCommandOnce) {
  testing::TempFolder folder;
  ModuleRig rig;
  MessageHub hub(rig.host);
  hub.SetCommandFolder(folder.Path());
  hub.AttachEngine(&rig.master);
  auto& command = rig.Add(std::make_unique<ug_system_command>());
  rig.Set(command, ug_system_command::kCommand, R"(sh -c "printf 'run ' >> log.txt")");
  // 0 V, 5 V, 2 V (not below the low threshold), 5 V again: one run; then
  // 1 V and 5 V: a second.
  rig.Stream(command, ug_system_command::kTrigger, [](uint32_t start, float* samples) {
    for (int32_t i = 0; i < ModuleRig::kCell; ++i) {
      const uint32_t t = start + static_cast<uint32_t>(i);
      samples[i] = t < 100   ? 0.0f
                   : t < 300 ? 0.5f
                   : t < 500 ? 0.2f
                   : t < 700 ? 0.5f
                   : t < 800 ? 0.1f
                             : 0.5f;
    }
  });
  rig.Start();
  for (int cell = 0; cell < 8; ++cell) rig.Step();
  hub.Idle();
  for (int i = 0; i < 500 && hub.Processes().Reap() > 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::ifstream log(folder / "log.txt");
  std::stringstream text;
  text << log.rdbuf();
  EXPECT_EQ(text.str(), "run run ");
  EXPECT_EQ(command.LostRequests(), 0u);
  hub.AttachEngine(nullptr);
}

TEST(OsCommand, AStaticTriggerIsTestedOnceAtItsChange) {
  testing::TempFolder folder;
  ModuleRig rig;
  MessageHub hub(rig.host);
  hub.SetCommandFolder(folder.Path());
  hub.AttachEngine(&rig.master);
  auto& command = rig.Add(std::make_unique<ug_system_command>());
  rig.Set(command, ug_system_command::kCommand, "touch started");
  rig.Set(command, ug_system_command::kTrigger, "5");
  rig.Start();
  rig.Step();
  rig.Step();
  EXPECT_TRUE(command.IsSleeping());
  hub.Idle();
  for (int i = 0; i < 500 && hub.Processes().Reap() > 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(std::ifstream(folder / "started").good());
  hub.AttachEngine(nullptr);
}

}  // namespace
}  // namespace ov::test
