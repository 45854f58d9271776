#include "engine/message_queue.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <stdexcept>
#include <utility>

#include "engine/byte_ring.h"
#include "tests/engine/engine_test_support.h"

namespace ov::test {
namespace {

std::vector<std::byte> Bytes(std::initializer_list<int> values) {
  std::vector<std::byte> bytes;
  for (int v : values) bytes.push_back(static_cast<std::byte>(v));
  return bytes;
}

TEST(ByteRing, KeepsContentsWholeWhenFullAndAcrossTheEnd) {
  EXPECT_THROW(ByteRing(0), std::invalid_argument);

  ByteRing ring(8);
  EXPECT_TRUE(ring.Write(Bytes({1, 2, 3, 4, 5, 6})));
  EXPECT_FALSE(ring.Write(Bytes({7, 8, 9})));  // one byte short: nothing written
  EXPECT_EQ(ring.ReadableSize(), 6u);

  std::vector<std::byte> out(4);
  EXPECT_TRUE(ring.Read(out));
  EXPECT_EQ(out, Bytes({1, 2, 3, 4}));
  const auto first = Bytes({7, 8}), second = Bytes({9, 10, 11});
  EXPECT_TRUE(ring.Write({first, second}));  // wraps past the end of storage
  out.resize(7);
  EXPECT_TRUE(ring.Read(out));
  EXPECT_EQ(out, Bytes({5, 6, 7, 8, 9, 10, 11}));
  EXPECT_FALSE(ring.Read(out));
}

class RecordingTarget : public dsp_msg_target {
 public:
  void OnMessage(uint32_t message_id, MessageReader& payload) override {
    uint32_t first_word = 0;
    payload.Read(first_word);  // reads only part of any longer payload
    received.push_back({message_id, first_word});
  }
  std::vector<std::pair<uint32_t, uint32_t>> received;
};

std::span<const std::byte> Words(const std::vector<uint32_t>& words) {
  return std::as_bytes(std::span(words));
}

TEST(MessageQueue, SkipsUnknownTargetsAndUnreadPayloadsStayingInStep) {
  ByteRing ring(256);
  MessageTargetMap targets;
  RecordingTarget target, replaced;
  targets.Register(replaced, 7);
  targets.Register(target, 7);
  EXPECT_EQ(replaced.TargetId(), 0u);

  const std::vector<uint32_t> long_payload = {11, 12, 13}, short_payload = {21};
  ASSERT_TRUE(PostMessage(ring, 7, MessageId("abcd"), Words(long_payload)));
  ASSERT_TRUE(PostMessage(ring, 99, MessageId("lost"), Words(long_payload)));
  ASSERT_TRUE(PostMessage(ring, 7, MessageId("wxyz"), Words(short_payload)));
  ASSERT_TRUE(PostMessage(ring, 7, MessageId("none"), {}));
  DrainMessages(ring, targets);

  EXPECT_EQ(target.received,
            (std::vector<std::pair<uint32_t, uint32_t>>{
                {0x61626364u, 11}, {MessageId("wxyz"), 21}, {MessageId("none"), 0}}));
  EXPECT_EQ(ring.ReadableSize(), 0u);
}

TEST(MessageQueue, TargetsLeaveTheirMapWhenDestroyedAndOutliveIt) {
  MessageTargetMap targets;
  {
    RecordingTarget gone;
    targets.Register(gone, 5);
    ASSERT_EQ(targets.Find(5), &gone);
  }
  // A message for a destroyed target finds nothing rather than freed memory.
  EXPECT_EQ(targets.Find(5), nullptr);

  RecordingTarget outliving;
  {
    MessageTargetMap short_lived;
    short_lived.Register(outliving, 6);
    targets.Register(outliving, 8);  // moving to another map leaves the first
    EXPECT_EQ(short_lived.Find(6), nullptr);
    short_lived.Register(outliving, 6);
  }
  EXPECT_EQ(targets.Find(8), nullptr);
  EXPECT_EQ(outliving.TargetId(), 6u);  // its map is gone; its destructor touches nothing
}

class NotifyTest : public testing::Test {
 protected:
  NotifyTest() { master.SetEngineBlockSize(128); }
  ~NotifyTest() override { master.Stop(); }

  FakeEngineHost host;
  OvAudioMaster master{host};
  std::vector<RunRecord> log;
  RecordingGenerator generator{"g", log};
  using Notes = std::vector<std::vector<int64_t>>;
};

TEST_F(NotifyTest, ArrivesAtOnceUnlessTheHostIsProcessing) {
  master.Start(&generator);
  EXPECT_EQ(generator.TargetId(), 100u);  // given a fresh identifier
  master.Stop();
  ASSERT_TRUE(master.Notify(generator, 1, 2));  // unregistered when stopped
  EXPECT_TRUE(generator.notifications.empty());

  master.RegisterTarget(generator, generator.TargetId());
  ASSERT_TRUE(master.Notify(generator, 3, 4));
  EXPECT_EQ(generator.notifications, (Notes{{0, 3, 4}}));

  master.Start(&generator);
  master.Process(200);
  master.SetHostProcessing(false);              // as at suspend
  ASSERT_TRUE(master.Notify(generator, 5, 6));  // running, host idle: queued now
  master.SetHostProcessing(true);
  ASSERT_TRUE(master.Notify(generator, 7, 8));  // waits for the audio thread
  RecordingTarget observer;
  master.RegisterTarget(observer, 5);
  ASSERT_TRUE(master.PostFromEditor(5, MessageId("ping"), {}));
  EXPECT_TRUE(observer.received.empty());
  master.Process(100);
  EXPECT_EQ(observer.received.size(), 1u);
  EXPECT_EQ(generator.notifications, (Notes{{0, 3, 4}, {200, 5, 6}, {200, 7, 8}}));

  master.SetHostProcessing(false);
  master.SetDrainImmediately(false);
  ASSERT_TRUE(master.Notify(generator, 9, 10));
  EXPECT_EQ(generator.notifications.size(), 3u);
  master.Process(28);
  EXPECT_EQ(generator.notifications.back(), (std::vector<int64_t>{300, 9, 10}));
}

// Calls `action` from inside its message handler, i.e. on the draining thread.
class ActingTarget : public dsp_msg_target {
 public:
  void OnMessage(uint32_t message_id, MessageReader&) override {
    ids.push_back(message_id);
    if (action) std::exchange(action, nullptr)();
  }
  std::function<void()> action;
  std::vector<uint32_t> ids;
};

TEST_F(NotifyTest, AProcessCallDuringAnEditorDrainRendersNothingAndWaitsForNothing) {
  master.Start(&generator);
  ActingTarget target;
  master.RegisterTarget(target, 5);
  bool rendered = true;
  target.action = [&] { rendered = master.Process(64); };        // as if the host called in now
  ASSERT_TRUE(master.PostFromEditor(5, MessageId("ping"), {}));  // host idle: drained here
  EXPECT_FALSE(rendered);
  EXPECT_EQ(master.SkippedBlocks(), 1u);
  EXPECT_TRUE(log.empty());
  EXPECT_TRUE(master.Process(64));  // the gate is free again
  EXPECT_EQ(log.size(), 1u);
}

TEST_F(NotifyTest, AStalledAudioThreadLetsTheEditorDrainAFullQueueItself) {
  master.Start(&generator);
  master.Process(64);  // the host is processing: messages wait for the audio thread
  RecordingTarget target;
  master.RegisterTarget(target, 5);
  const std::vector<uint32_t> words(100, 1);
  int posted = 0;
  while (posted < 20 && master.PostFromEditor(5, MessageId("fill"), Words(words))) ++posted;
  EXPECT_EQ(posted, 20);  // the tenth found the queue full and drained it first
  EXPECT_EQ(master.DroppedEditorMessages(), 0u);
  EXPECT_EQ(target.received.size(), 20u);  // from then on drained at once
  master.Process(64);                      // the audio thread is back: messages wait for it again
  ASSERT_TRUE(master.PostFromEditor(5, MessageId("late"), {}));
  EXPECT_EQ(target.received.size(), 20u);
  master.Process(64);
  EXPECT_EQ(target.received.size(), 21u);
}

TEST_F(NotifyTest, AutomationIsHandledBeforeTheEditorsMessagesOfTheSameBlock) {
  master.Start(&generator);
  master.Process(64);
  ActingTarget target;
  master.RegisterTarget(target, 5);
  ASSERT_TRUE(master.PostFromEditor(5, MessageId("edit"), {}));
  ASSERT_TRUE(master.PostAutomation(5, MessageId("auto"), {}));
  EXPECT_TRUE(target.ids.empty());
  master.Process(64);
  EXPECT_EQ(target.ids, (std::vector<uint32_t>{MessageId("auto"), MessageId("edit")}));
}

TEST_F(NotifyTest, TheEngineNotifiesItselfWithoutTouchingTheEditorsQueue) {
  master.Start(&generator);
  generator.during_next_run = [](RecordingGenerator& g) { g.NotifySelf(4, 40); };
  master.Process(64);
  EXPECT_TRUE(generator.notifications.empty());
  EXPECT_EQ(master.DroppedEditorMessages(), 0u);
  master.Process(64);  // delivered at the block start
  EXPECT_EQ(generator.notifications, (Notes{{64, 4, 40}}));
}

TEST_F(NotifyTest, SplitsTheSliceAtALaterStampAndCatchesUpAfterSleep) {
  master.Start(&generator);
  generator.QueueEvent(50, UET_UI_NOTIFY, 1, nullptr, 0, true);
  master.Process(128);
  EXPECT_EQ(log, (std::vector<RunRecord>{{"g", 0, 50}, {"g", 50, 78}}));
  EXPECT_EQ(generator.notifications, (Notes{{50, 1, 0}}));

  generator.GoToSleep();
  master.Process(128);
  generator.QueueEvent(130, UET_UI_NOTIFY, 2, nullptr, 0, false);  // while asleep
  generator.Wake();
  master.Process(128);
  EXPECT_EQ(generator.notifications.back(), (std::vector<int64_t>{256, 2, 0}));
}

}  // namespace
}  // namespace ov::test
