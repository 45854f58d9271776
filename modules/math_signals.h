// "Comparator", "Sample and Hold", "Monostable" and "random": modules that
// pick, freeze, pulse or draw a level rather than compute one per sample.
//
// Threads: built and opened on the editor thread while audio is stopped;
// status changes, events and processing on the audio thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/smart_output.h"
#include "engine/ug_base.h"

namespace ov {

// "Hi Out Val" when A > B, else "Lo Out Val" (both in volts).
class ug_comparator final : public ug_base {
 public:
  enum Plug : int32_t { kInputA, kInputB, kOutput, kHiOutVal, kLoOutVal };

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

 private:
  float Pick(float a, float b) const { return a > b ? hi_ : lo_; }
  void RunBoth(int32_t position, int32_t count);
  void RunAOnce(int32_t position, int32_t count);
  void RunBOnce(int32_t position, int32_t count);

  float* a_ = nullptr;
  float* b_ = nullptr;
  float* out_ = nullptr;
  double hi_volts_ = 5.0;
  double lo_volts_ = -5.0;
  float hi_ = 0.5f;
  float lo_ = -0.5f;
};

// Freezes "Audio" each time "Hold" rises through 0 V.
class ug_sample_hold final : public ug_base {
 public:
  enum Plug : int32_t { kAudio, kHold, kOutput };

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

 private:
  void Run(int32_t position, int32_t count);
  void RunOneBlock(int32_t position, int32_t count);

  float* audio_ = nullptr;
  float* hold_ = nullptr;
  float* out_ = nullptr;
  float held_ = 0.0f;
  bool armed_ = true;
  int32_t countdown_ = 0;
};

// A 5 V pulse of "Pulse Length" (10 V = 1 s) from each rising logic edge of
// the input; edges during a pulse are ignored. A pulse longer than a block
// ends through a scheduled event, so the module writes nothing meanwhile.
class ug_monostable final : public ug_base {
 public:
  enum Plug : int32_t { kSignalIn, kPulseLength, kSignalOut };
  static constexpr int32_t kLongestPulse = 1 << 30;  // samples

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

 private:
  static void EndPulseEvent(ug_base& module);
  void Trigger(uint32_t time, int32_t index);
  void EndPulse(uint32_t time);
  void Run(int32_t position, int32_t count);

  float* in_ = nullptr;
  float* length_ = nullptr;
  float* out_ = nullptr;
  bool pulsing_ = false;
  bool end_queued_ = false;  // an event ends the pulse
  uint32_t pulse_end_ = 0;
  bool level_ = false;
  float output_value_ = 0.0f;
  int32_t input_state_ = ST_STOP;
  int32_t countdown_ = 0;
};

// A new random level, 0 to 10 V in 32768 steps, at every status change
// while "Trigger in" is true.
class ug_random final : public ug_base {
 public:
  enum Plug : int32_t { kTriggerIn, kOutput };
  static constexpr int32_t kLargest = 32767;

  ug_random();
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void Resume() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

  // The next number, 0 … kLargest. Seeded at open.
  int32_t Next();
  void Seed(uint32_t seed) { state_ = seed; }

 private:
  void Run(int32_t position, int32_t count);

  bool trigger_ = false;
  smart_output output_;
  uint32_t state_ = 1;
};

}  // namespace ov
