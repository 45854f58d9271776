// The message rings under two or more threads. Built on its own so that the
// test script can run it under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/message_queue.h"

namespace ov::test {
namespace {

constexpr uint32_t kId = MessageId("seq_");

// Payload of message `n`: its number, then 0 to 40 bytes derived from it, so
// a torn or misplaced message shows.
MessageWriter Numbered(uint32_t n, uint32_t writer = 0) {
  MessageWriter w;
  w.Write(writer).Write(n);
  const uint32_t extra = (n * 7 + writer) % 41;
  for (uint32_t i = 0; i < extra; ++i) w.Write(static_cast<uint8_t>(n + i * 13 + writer));
  return w;
}

struct Checker {
  void OnMessage(uint32_t id, MessageReader& payload) {
    uint32_t writer = 0, n = 0;
    if (id != kId || !payload.Read(writer) || !payload.Read(n) || writer >= next.size()) {
      ++bad;
      return;
    }
    const MessageWriter expected = Numbered(n, writer);
    if (payload.Remaining() + 8 != expected.Bytes().size() || n != next[writer]) ++bad;
    for (std::size_t i = 8; i < expected.Bytes().size(); ++i) {
      uint8_t byte = 0;
      if (!payload.Read(byte) || std::byte{byte} != expected.Bytes()[i]) {
        ++bad;
        break;
      }
    }
    next[writer] = n + 1;
    ++received;
  }
  std::vector<uint32_t> next;
  uint64_t received = 0;
  uint64_t bad = 0;
};

TEST(MessageRing, TwoThreadsPassManyMessagesWholeAndInOrder) {
  constexpr uint32_t kMessages = 300'000;  // the ring wraps thousands of times
  MessageQueue queue(4096);
  std::thread writer([&] {
    for (uint32_t n = 0; n < kMessages; ++n) {
      const MessageWriter payload = Numbered(n);
      // The test's writer may wait; the engine's writers drop instead.
      while (!PostMessage(queue.Ring(), 1, kId, payload.Bytes())) std::this_thread::yield();
    }
  });
  Checker checker;
  checker.next.assign(1, 0);
  while (checker.received < kMessages) {
    if (queue.Ring().ReadableSize() == 0) std::this_thread::yield();
    queue.Drain([&](uint32_t target) { return target == 1 ? &checker : nullptr; });
  }
  writer.join();
  EXPECT_EQ(checker.bad, 0u);
  EXPECT_EQ(checker.next[0], kMessages);
  EXPECT_EQ(queue.Ring().ReadableSize(), 0u);
}

TEST(MessageRing, SerialisedWritersOnSeveralThreadsNeverInterleaveBytes) {
  constexpr uint32_t kWriters = 4, kEach = 50'000;
  MessageQueue queue(2048);
  std::atomic<uint64_t> refused{0};
  std::vector<std::thread> writers;
  for (uint32_t w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      for (uint32_t n = 0; n < kEach;) {
        const MessageWriter payload = Numbered(n, w);
        if (queue.PostSerialised(1, kId, payload.Bytes())) {
          ++n;
        } else {
          refused.fetch_add(1);
          std::this_thread::yield();
        }
      }
    });
  }
  Checker checker;
  checker.next.assign(kWriters, 0);
  while (checker.received < uint64_t{kWriters} * kEach) {
    if (queue.Ring().ReadableSize() == 0) std::this_thread::yield();
    queue.Drain([&](uint32_t target) { return target == 1 ? &checker : nullptr; });
  }
  for (auto& writer : writers) writer.join();
  EXPECT_EQ(checker.bad, 0u);
  for (uint32_t w = 0; w < kWriters; ++w) EXPECT_EQ(checker.next[w], kEach);
  EXPECT_EQ(queue.Dropped(), refused.load());  // every refusal counted, none half-written
}

TEST(MessageRing, AFullRingDropsWholeMessagesAndTheReaderClearsTheFlag) {
  MessageQueue queue(64);
  const MessageWriter twenty = Numbered(0);  // 8 bytes: 20 with its header
  ASSERT_EQ(twenty.Bytes().size(), 8u);
  EXPECT_TRUE(queue.Post(1, kId, twenty.Bytes()));
  EXPECT_TRUE(queue.Post(1, kId, twenty.Bytes()));
  EXPECT_TRUE(queue.Post(1, kId, twenty.Bytes()));
  EXPECT_FALSE(queue.Post(1, kId, twenty.Bytes()));  // 4 bytes left: none of it written
  EXPECT_EQ(queue.Ring().ReadableSize(), 60u);
  EXPECT_EQ(queue.Dropped(), 1u);

  std::vector<uint32_t> seen;
  struct Count {
    void OnMessage(uint32_t, MessageReader&) { ++*count; }
    int* count;
  };
  int count = 0;
  Count counter{&count};
  queue.Drain([&](uint32_t) { return &counter; });
  EXPECT_EQ(count, 3);
  EXPECT_TRUE(queue.TakeOverflow());
  EXPECT_FALSE(queue.TakeOverflow());  // cleared by the reader, not the writer
  EXPECT_TRUE(queue.Post(1, kId, twenty.Bytes()));

  MessageWriter too_big;
  for (std::size_t i = 0; i <= MessageWriter::kCapacity; ++i) too_big.Write(uint8_t{1});
  EXPECT_TRUE(too_big.Failed());
  EXPECT_FALSE(queue.Post(1, kId, too_big));
  EXPECT_EQ(queue.Dropped(), 2u);
}

TEST(MessageRing, QueueStringsKeepTextAndNeverOverrunTheirMessage) {
  MessageQueue queue(512);
  MessageWriter w;
  w.WriteString("Grüße \xF0\x9F\x8E\xB9").Write(int32_t{77});
  ASSERT_TRUE(queue.Post(1, kId, w));
  MessageWriter lying;  // a count far beyond the payload
  lying.Write(uint32_t{1000}).Write(uint16_t{'a'});
  ASSERT_TRUE(queue.Post(1, kId, lying));
  ASSERT_TRUE(queue.Post(1, MessageId("next"), std::span<const std::byte>{}));

  struct Reader {
    void OnMessage(uint32_t id, MessageReader& payload) {
      std::string text;
      text.reserve(64);
      if (id == MessageId("next")) {
        texts.push_back("next");
        return;
      }
      int32_t after = 0;
      const bool read = payload.ReadString(text) && payload.Read(after);
      texts.push_back(read ? text + "|" + std::to_string(after) : "refused");
    }
    std::vector<std::string> texts;
  } reader;
  queue.Drain([&](uint32_t) { return &reader; });
  EXPECT_EQ(reader.texts,
            (std::vector<std::string>{"Grüße \xF0\x9F\x8E\xB9|77", "refused", "next"}));

  // Text is cut to the capacity the reader reserved, at a character boundary.
  MessageWriter long_text;
  long_text.WriteString(std::string(40, 'x') + "é");
  ASSERT_TRUE(queue.Post(1, kId, long_text));
  struct Short {
    void OnMessage(uint32_t, MessageReader& payload) {
      text.reserve(41);
      payload.ReadString(text);
    }
    std::string text;
  } cut;
  queue.Drain([&](uint32_t) { return &cut; });
  EXPECT_EQ(cut.text.substr(0, 40), std::string(40, 'x'));
  EXPECT_LE(cut.text.size(), cut.text.capacity());
  EXPECT_NE(cut.text.back(), '\xC3');  // never half of the two-byte character
}

TEST(MessageRing, IdsReadBigEndianAndThreeCharacterIdsEndInZero) {
  EXPECT_EQ(MessageId("ppc"), 0x70706300u);
  EXPECT_EQ(MessageId("ppca"), 0x70706361u);
}

}  // namespace
}  // namespace ov::test
