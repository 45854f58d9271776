// The engine side of patch parameters against hostile or odd "init"
// messages: unknown classes, short payloads, modules and plugs that are not
// there, starts while the engine runs, and texts longer than a plug keeps;
// and what the engine tells the user through the editor's idle.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/audio_master.h"
#include "engine/ug_container.h"
#include "patches/dsp_patch_manager.h"
#include "patches/message_hub.h"
#include "platform/message_sink.h"
#include "tests/engine/engine_test_support.h"

namespace ov::test {
namespace {

constexpr uint32_t kManager = 50, kModule = 60;

class DspPatchTest : public ::testing::Test {
 protected:
  DspPatchTest() {
    master_.SetEngineBlockSize(16);
    hub_.AttachEngine(&master_);
    auto manager = std::make_unique<dsp_patch_manager>(master_);
    manager_ = manager.get();
    master_.AdoptTarget(std::move(manager), kManager);
    top_.SetMaster(&master_);
    source_ = &top_.Add(std::make_unique<Source>(DT_FLOAT));
    master_.RegisterTarget(*source_, kModule);
  }
  ~DspPatchTest() override {
    master_.Stop();
    hub_.AttachEngine(nullptr);
  }

  // An "init" for a float parameter, cut after `keep` bytes when given.
  void Init(uint32_t handle, int32_t engine_id, uint32_t module, int32_t plug,
            std::size_t keep = SIZE_MAX) {
    MessageWriter w;
    w.Write(engine_id).Write(handle).Write(module).Write(plug).Write(int32_t{-1});
    w.Write(1.5f).Write(0.0f).Write(4.0f);
    const auto bytes = w.Bytes();
    ASSERT_TRUE(
        master_.PostFromEditor(kManager, kMsgInit, bytes.first(std::min(keep, bytes.size()))));
  }

  // The user's messages, from now on.
  MessageSink& UserMessages() {
    user_.SetLogToStderr(false);
    hub_.SetUserMessages(&user_);
    return user_;
  }

  FakeEngineHost host_;
  MessageSink user_;
  MessageHub hub_{host_};
  OvAudioMaster master_{host_};
  ug_container top_;
  Source* source_ = nullptr;
  dsp_patch_manager* manager_ = nullptr;
};

TEST_F(DspPatchTest, UnknownClassesAndShortPayloadsMakeNothingAndKeepTheQueueInStep) {
  Init(200, 99, kModule, 0);      // no such class
  Init(201, 22, kModule, 0, 14);  // cut inside the plug number
  Init(202, 22, kModule, 0);
  ASSERT_EQ(manager_->Parameters().size(), 1u);
  EXPECT_EQ(manager_->Parameters()[0]->TargetId(), 202u);
  EXPECT_EQ(master_.FindTarget(201), nullptr);
  EXPECT_EQ(manager_->Parameters()[0]->Plug(), source_->plug(0));
}

TEST_F(DspPatchTest, AParameterWithoutItsPlugKeepsAndReportsValuesButOutputsNothing) {
  Init(300, 22, kModule, 7);  // no plug 7
  Init(301, 22, 9999, 0);     // no such module
  Init(302, 22, kModule, -1);
  ASSERT_EQ(manager_->Parameters().size(), 3u);
  for (const auto& parameter : manager_->Parameters()) EXPECT_EQ(parameter->Plug(), nullptr);

  master_.Start(&top_);
  const float half = 0.5f;
  ASSERT_TRUE(master_.PostAutomation(300, kMsgPpca, std::as_bytes(std::span(&half, 1))));
  master_.Process(16);
  EXPECT_EQ(manager_->Parameters()[0]->Value().real, 2.0f);  // within 0..4

  struct Reports : ui_msg_target {
    void OnMessage(uint32_t id, MessageReader& payload) override {
      uint8_t flag = 9;
      float value = 0;
      if (id == kMsgPpc && payload.Read(flag) && payload.Read(value)) seen.push_back(value + flag);
    }
    std::vector<float> seen;
  } editor_side;
  hub_.Targets().Register(editor_side, 300);
  hub_.Idle();
  EXPECT_EQ(editor_side.seen, (std::vector<float>{3.0f}));  // 2.0 with flag 1
}

TEST_F(DspPatchTest, InitWhileTheEngineRunsIsIgnored) {
  master_.Start(&top_);
  Init(400, 22, kModule, 0);
  master_.Process(16);
  EXPECT_TRUE(manager_->Parameters().empty());
  EXPECT_EQ(master_.FindTarget(400), nullptr);
}

TEST_F(DspPatchTest, TextValuesAreCutToWhatAPlugReserves) {
  MessageWriter w;
  w.Write(int32_t{20})
      .Write(uint32_t{500})
      .Write(uint32_t{0})
      .Write(int32_t{-1})
      .Write(int32_t{-1});
  w.WriteString("short")
      .Write(uint8_t{kListFirst | kListLast})
      .Write(uint32_t{5})
      .WriteString("*.wav");
  ASSERT_TRUE(master_.PostFromEditor(kManager, kMsgInit, w.Bytes()));
  ASSERT_EQ(manager_->Parameters().size(), 1u);
  const dsp_patch_parameter& text = *manager_->Parameters()[0];
  EXPECT_EQ(text.Value().text, "short");

  master_.Start(&top_);
  MessageWriter long_value;
  long_value.Write(uint8_t{0}).WriteString(std::string(600, 'y'));
  ASSERT_TRUE(master_.PostFromEditor(500, kMsgPpc, long_value.Bytes()));
  master_.Process(16);
  EXPECT_EQ(text.Value().text, std::string(UPlug::kTextCapacity, 'y'));
}

TEST_F(DspPatchTest, EventsLostToAFullPoolAreReportedOnceWithTheModuleName) {
  const MessageSink& user = UserMessages();
  source_->SetTitle("Arpeggiator");
  master_.Start(&top_);
  const std::size_t capacity = master_.Events().Capacity();
  // Far in the future, so nothing hands a record back meanwhile.
  for (std::size_t i = 0; i <= capacity + 9; ++i) {
    source_->QueueEvent(1'000'000, UET_PROG_CHANGE, 0, nullptr, 0, false);
  }
  master_.Process(16);
  EXPECT_TRUE(user.Messages().empty());  // shown at the editor's idle
  hub_.Idle();
  ASSERT_EQ(user.Messages().size(), 1u);
  EXPECT_EQ(user.Messages()[0].text,
            "Arpeggiator : Too many events at once: 10 were lost. Notes or control changes may "
            "have been missed.");
  EXPECT_EQ(user.Messages()[0].style, MessageStyle::kWarning);
  source_->QueueEvent(1'000'000, UET_PROG_CHANGE, 0, nullptr, 0, false);
  master_.Process(16);
  hub_.Idle();
  EXPECT_EQ(user.Messages().size(), 1u);  // once per engine run
  EXPECT_EQ(master_.Events().Dropped(), 11u);
}

TEST_F(DspPatchTest, TheEngineSizesItsEventPoolForABurstOfMidi) {
  master_.Start(&top_);
  EXPECT_GE(master_.Events().Capacity(), 4096u);
}

TEST_F(DspPatchTest, AModuleMessageReachesTheUserWithItsTitleAtIdle) {
  const MessageSink& user = UserMessages();
  source_->SetTitle("Wave Player");
  master_.Start(&top_);
  ASSERT_TRUE(source_->RequestMessageBox("Could not open drums.wav"));
  master_.Process(16);
  EXPECT_TRUE(user.Messages().empty());
  hub_.Idle();
  ASSERT_EQ(user.Messages().size(), 1u);
  EXPECT_EQ(user.Messages()[0].text, "Wave Player : Could not open drums.wav");

  // Without a sink the application hears of it as a plain user message; a
  // generator without a title sends the text alone; a text too long for one
  // message is cut.
  hub_.SetUserMessages(nullptr);
  top_.SetTitle("");
  ASSERT_TRUE(top_.RequestMessageBox(std::string(5000, 'x')));
  hub_.Idle();
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0], std::string(900, 'x'));  // the longest text a box takes
}

struct Counting : ui_msg_target {
  void OnMessage(uint32_t, MessageReader& payload) override {
    uint32_t word = 0;
    payload.Read(word);
    words.push_back(word);
  }
  std::vector<uint32_t> words;
};

TEST(UiTargets, MessagesForGoneOrReplacedReceiversAreSkippedWhole) {
  FakeEngineHost host;
  MessageHub hub(host);
  Counting kept, replaced;
  auto gone = std::make_unique<Counting>();
  hub.Targets().Register(replaced, 7);
  hub.Targets().Register(kept, 7);
  hub.Targets().Register(*gone, 8);
  gone.reset();  // leaves the registry
  EXPECT_EQ(hub.Targets().Find(8), nullptr);

  const uint32_t one = 1, two = 2;
  const uint64_t wide = 0xFFFF'FFFF'FFFF'FFFF;
  hub.ToEditor().Post(8, MessageId("late"), std::as_bytes(std::span(&wide, 1)));
  hub.ToEditor().Post(7, MessageId("word"), std::as_bytes(std::span(&one, 1)));
  hub.ToEditor().Post(9, MessageId("none"), std::as_bytes(std::span(&wide, 1)));
  hub.ToEditor().Post(7, MessageId("word"), std::as_bytes(std::span(&two, 1)));
  hub.Idle();
  EXPECT_EQ(kept.words, (std::vector<uint32_t>{1, 2}));
  EXPECT_TRUE(replaced.words.empty());

  // Receivers may outlive the registry.
  auto early = std::make_unique<UiTargetRegistry>();
  Counting survivor;
  early->Register(survivor, 3);
  early.reset();
  EXPECT_EQ(survivor.Handle(), 3u);
}

}  // namespace
}  // namespace ov::test
