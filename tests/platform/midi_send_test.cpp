// The thread that sends our MIDI output: each message no earlier than it
// is due and in the order queued; what cannot be queued or sent is counted.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/midi_ports.h"

namespace ov {
namespace {

TEST(MidiSendThread, SendsEachMessageOnceDueInOrder) {
  struct Sent {
    int64_t at;
    StampedMidi message;
  };
  std::mutex lock;
  std::vector<Sent> sent;
  const int64_t start = MonotonicNanoseconds();
  constexpr int64_t kMs = 1000000;
  // Due already, soon, twice at once, later; the note number tells them apart.
  const int64_t due[] = {-kMs, 0, 3 * kMs, 3 * kMs, 15 * kMs};
  {
    MidiSendThread thread([&](const StampedMidi& message) {
      std::lock_guard guard(lock);
      sent.push_back({MonotonicNanoseconds(), message});
      return message.bytes[1] != 62;  // one the port refuses
    });
    for (std::size_t i = 0; i < std::size(due); ++i) {
      StampedMidi message;
      message.nanoseconds = start + due[i];
      message.size = 3;
      message.bytes[0] = 0x90;
      message.bytes[1] = static_cast<uint8_t>(60 + i);
      message.bytes[2] = 100;
      EXPECT_TRUE(thread.Queue(message));
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
      {
        std::lock_guard guard(lock);
        if (sent.size() == std::size(due)) break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(thread.Dropped(), 1u);
  }
  ASSERT_EQ(sent.size(), std::size(due));
  for (std::size_t i = 0; i < sent.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(sent[i].message.bytes[1], 60 + i);
    EXPECT_GE(sent[i].at, start + due[i]);
  }

  // A queue with no room left refuses and counts; what is still waiting
  // when the thread stops is never sent.
  std::atomic<int> late_sends{0};
  {
    MidiSendThread thread([&](const StampedMidi&) { return ++late_sends, true; });
    StampedMidi far;
    far.nanoseconds = MonotonicNanoseconds() + int64_t{3600} * 1000 * kMs;
    far.size = 1;
    std::size_t queued = 0;
    for (int i = 0; i < 2000; ++i) queued += thread.Queue(far) ? 1 : 0;
    EXPECT_LT(queued, 2000u);
    EXPECT_EQ(thread.Dropped(), 2000u - queued);
  }
  EXPECT_EQ(late_sends.load(), 0);
}

}  // namespace
}  // namespace ov
