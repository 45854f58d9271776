// "OS Command": a trigger with hysteresis asks the application, once per
// rise, to start the command line in the library folder, without a shell
// and with quoted arguments whole, and only when the user allowed commands.
#include "modules/system_command.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "patches/message_hub.h"
#include "tests/host/temp_folder.h"
#include "tests/modules/module_rig.h"

namespace ov::test {
namespace {

// Waits until every started command has ended.
void ReapAll(MessageHub& hub) {
  hub.Idle();
  for (int i = 0; i < 500 && hub.Processes().Reap() > 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::string Log(const testing::TempFolder& folder) {
  std::ifstream log(folder / "log.txt");
  std::stringstream text;
  text << log.rdbuf();
  return text.str();
}

// 0 V, 5 V, 2 V (not below the low threshold), 5 V again: one rise; then
// 1 V and 5 V: a second. Commands start only when the user allowed them at
// engine start, and a refusal says once how to allow them.
TEST(OsCommand, EachRiseRunsTheCommandOnceWhenTheUserAllowedIt) {
  struct Case {
    const char* allow;  // ORVANE_ALLOW_COMMANDS, or null: unset
    const char* log;
    std::size_t messages;
  };
  const Case cases[] = {
      {"1", "run run ", 0},
      {nullptr, "", 1},
      {"0", "", 1},
      {"yes", "", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.allow == nullptr ? "unset" : c.allow);
    if (c.allow != nullptr) {
      ::setenv(kAllowProgramsVariable, c.allow, 1);
    } else {
      ::unsetenv(kAllowProgramsVariable);
    }
    testing::TempFolder folder;
    ModuleRig rig;
    MessageHub hub(rig.host);
    hub.SetCommandFolder(folder.Path());
    hub.AttachEngine(&rig.master);
    auto& command = rig.Add(std::make_unique<ug_system_command>());
    rig.Set(command, ug_system_command::kCommand, R"(sh -c "printf 'run ' >> log.txt")");
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
    ::unsetenv(kAllowProgramsVariable);  // read at engine start only
    for (int cell = 0; cell < 8; ++cell) rig.Step();
    ReapAll(hub);
    EXPECT_EQ(Log(folder), c.log);
    EXPECT_EQ(command.LostRequests(), 0u);
    ASSERT_EQ(rig.host.messages.size(), c.messages);
    if (c.messages > 0) {
      EXPECT_NE(rig.host.messages[0].find("ORVANE_ALLOW_COMMANDS=1"), std::string::npos);
    }
    hub.AttachEngine(nullptr);
  }
}

TEST(OsCommand, AStaticTriggerIsTestedOnceAtItsChange) {
  testing::TempFolder folder;
  ModuleRig rig;
  MessageHub hub(rig.host);
  hub.SetCommandFolder(folder.Path());
  ::setenv(kAllowProgramsVariable, "1", 1);
  hub.AttachEngine(&rig.master);
  auto& command = rig.Add(std::make_unique<ug_system_command>());
  rig.Set(command, ug_system_command::kCommand, "touch started");
  rig.Set(command, ug_system_command::kTrigger, "5");
  rig.Start();
  ::unsetenv(kAllowProgramsVariable);
  rig.Step();
  rig.Step();
  EXPECT_TRUE(command.IsSleeping());
  ReapAll(hub);
  EXPECT_TRUE(std::ifstream(folder / "started").good());
  hub.AttachEngine(nullptr);
}

}  // namespace
}  // namespace ov::test
