// The engine gate under real threads: an audio thread that processes, pauses
// and resumes, an editor thread and two automation threads posting all the
// while. Every message arrives exactly once and in order from its writer,
// whichever thread drains it. Built into the ring tests, so it also runs
// under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "engine/audio_master.h"
#include "engine/engine_host.h"

namespace ov::test {
namespace {

class IdleHost : public EngineHost {
 public:
  const vst2::VstTimeInfo* HostTimeInfo(int32_t) override { return nullptr; }
  uint32_t NewTargetId() override { return next_.fetch_add(1); }
  void PostUserMessage(std::string_view) override {}

 private:
  std::atomic<uint32_t> next_{1};
};

// Only ever called by the thread holding the gate, so plain fields suffice;
// the sanitizer checks that claim.
class Sequences : public dsp_msg_target {
 public:
  void OnMessage(uint32_t, MessageReader& payload) override {
    uint32_t writer = 0, n = 0;
    if (!payload.Read(writer) || !payload.Read(n) || writer >= next.size() || n != next[writer]) {
      ++bad;
      return;
    }
    ++next[writer];
  }
  std::vector<uint32_t> next = std::vector<uint32_t>(3, 0);
  uint32_t bad = 0;
};

TEST(EngineGate, MessagesArriveOnceWhicheverThreadDrainsThem) {
  constexpr uint32_t kEach = 10'000;
  IdleHost host;
  OvAudioMaster master(host);
  Sequences target;
  master.RegisterTarget(target, 7);
  master.Start(nullptr);

  std::atomic<bool> stop{false};
  std::thread audio([&] {
    // Blocks in bursts with pauses between, as hosts do when transport stops.
    for (uint32_t round = 0; !stop.load(); ++round) {
      for (int block = 0; block < 50 && !stop.load(); ++block) master.Process(64);
      if (round % 2 == 1) {
        for (int pause = 0; pause < 200 && !stop.load(); ++pause) std::this_thread::yield();
      }
    }
  });
  const auto post = [&](uint32_t writer, bool automation) {
    for (uint32_t n = 0; n < kEach;) {
      const uint32_t payload[] = {writer, n};
      const auto bytes = std::as_bytes(std::span(payload));
      const bool posted = automation ? master.PostAutomation(7, MessageId("auto"), bytes)
                                     : master.PostFromEditor(7, MessageId("edit"), bytes);
      if (posted) {
        ++n;
      } else {
        std::this_thread::yield();  // a test writer may wait; the engine's never do
      }
    }
  };
  std::thread editor(post, 0, false);
  std::thread automation_a(post, 1, true);
  std::thread automation_b(post, 2, true);
  editor.join();
  automation_a.join();
  automation_b.join();
  stop = true;
  audio.join();
  master.Process(64);  // whatever still waits

  EXPECT_EQ(target.bad, 0u);
  EXPECT_EQ(target.next, (std::vector<uint32_t>{kEach, kEach, kEach}));
  master.Stop();
}

}  // namespace
}  // namespace ov::test
