// A generator's "refr" and "prnt" on their way to its module's editor side:
// one refresh outstanding at a time, a refused one tried again, lines whole
// or not at all, and no generator left to read once the engine is detached.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/audio_master.h"
#include "engine/ug_container.h"
#include "patches/message_hub.h"
#include "tests/engine/engine_test_support.h"

namespace ov::test {
namespace {

struct Panel : ModuleMessageTarget {
  void OnRefresh(ug_base& generator) override {
    refreshed.push_back(&generator);
    // A change the engine makes now is reported again.
    EXPECT_FALSE(generator.RefreshMarked());
  }
  void OnPrint(std::string_view line) override { lines.emplace_back(line); }
  std::vector<ug_base*> refreshed;
  std::vector<std::string> lines;
};

class ModuleMessagesTest : public ::testing::Test {
 protected:
  ModuleMessagesTest() {
    master_.SetEngineBlockSize(16);
    hub_.AttachEngine(&master_);
    top_.SetMaster(&master_);
    source_ = &top_.Add(std::make_unique<Source>(DT_FLOAT));
    master_.RegisterTarget(*source_, 60);
    hub_.AttachModule(panel_, *source_);
    master_.Start(&top_);
  }
  ~ModuleMessagesTest() override {
    master_.Stop();
    hub_.AttachEngine(nullptr);
  }

  FakeEngineHost host_;
  MessageHub hub_{host_};
  OvAudioMaster master_{host_};
  ug_container top_;
  Source* source_ = nullptr;
  Panel panel_;
};

TEST_F(ModuleMessagesTest, ARefreshIsSentOnceUntilThePanelHasTakenIt) {
  EXPECT_EQ(panel_.Handle(), source_->TargetId());
  ASSERT_TRUE(source_->RequestRefresh());
  EXPECT_FALSE(source_->RequestRefresh());  // outstanding: dropped
  const uint32_t queued = hub_.ToEditor().Ring().ReadableSize();
  EXPECT_FALSE(source_->RequestRefresh());
  EXPECT_EQ(hub_.ToEditor().Ring().ReadableSize(), queued);
  hub_.Idle();
  EXPECT_EQ(panel_.refreshed, std::vector<ug_base*>{source_});
  ASSERT_TRUE(source_->RequestRefresh());
  hub_.Idle();
  EXPECT_EQ(panel_.refreshed.size(), 2u);

  // A voice's copy shares the mark: one refresh for the module.
  std::unique_ptr<ug_base> copy = source_->Clone();
  ASSERT_TRUE(copy->RequestRefresh());
  EXPECT_FALSE(source_->RequestRefresh());
  hub_.Idle();
  EXPECT_EQ(panel_.refreshed.size(), 3u);
}

TEST_F(ModuleMessagesTest, ARefreshTheFullRingRefusedIsTriedAgainAndLinesGoWholeOrNotAtAll) {
  // Messages for nobody fill the ring to the last few bytes.
  while (hub_.ToEditor().Post(1, 0, std::span<const std::byte>{})) {
  }
  EXPECT_FALSE(source_->RequestRefresh());
  EXPECT_FALSE(source_->RefreshMarked());  // refused: not outstanding
  EXPECT_FALSE(source_->RequestPrint("C 1 Note On  ( 60, 90)\n"));
  hub_.Idle();
  EXPECT_TRUE(panel_.lines.empty());  // no part of the refused line arrived

  ASSERT_TRUE(source_->RequestRefresh());
  ASSERT_TRUE(source_->RequestPrint("C 1 Note On  ( 60, 90)\n"));
  hub_.Idle();
  EXPECT_EQ(panel_.refreshed.size(), 1u);
  EXPECT_EQ(panel_.lines, std::vector<std::string>{"C 1 Note On  ( 60, 90)\n"});
}

TEST_F(ModuleMessagesTest, DetachingTheEngineLeavesNoGeneratorToReadAndDropsItsMessages) {
  ASSERT_TRUE(source_->RequestRefresh());
  master_.Stop();
  hub_.AttachEngine(nullptr);
  EXPECT_EQ(panel_.Generator(), nullptr);
  hub_.Idle();
  EXPECT_TRUE(panel_.refreshed.empty());

  // A panel that goes while attached leaves the hub's list.
  hub_.AttachEngine(&master_);
  auto gone = std::make_unique<Panel>();
  hub_.AttachModule(*gone, *source_);
  gone.reset();
  hub_.AttachEngine(nullptr);  // would touch the gone panel otherwise
}

}  // namespace
}  // namespace ov::test
