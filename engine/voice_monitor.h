// Helpers of polyphony: the adder that stops per-voice marking ("Voice
// Combiner"), and the monitor that takes a released voice off the run list
// once its audible outputs have stopped changing.
//
// Threads: as ug_base.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/ug_adder.h"

namespace ov {

// Sums its sources like any adder; what it feeds is shared by every voice.
class ug_voice_combiner : public ug_adder {
 public:
  ug_voice_combiner();
  std::unique_ptr<ug_base> CreateInstance() const override;
};

// Watches one voice (its voice group) through the audio outputs that leave
// the voice. A voice released more than 30 samples ago whose outputs have
// not been running for a whole engine block is suspended.
class ug_voice_monitor : public ug_adder {
 public:
  static constexpr uint32_t kReleaseGrace = 30;  // samples after the note-off
  static constexpr int32_t kFirstLook = 4;       // samples after opening

  ug_voice_monitor();
  std::unique_ptr<ug_base> CreateInstance() const override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;
  bool CanSleep() const override { return false; }

 private:
  void Watch(int32_t position, int32_t count);
  void Evaluate();
  static void FirstLook(ug_base& generator);

  bool running_ = true;
  int32_t countdown_ = 0;
};

}  // namespace ov
