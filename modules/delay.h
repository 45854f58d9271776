// "Delay" and "Delay2": a delay line whose read point a modulation input
// moves, with feedback and optional linear interpolation. "Delay" maps
// -5 V ... +5 V to no delay ... the whole line, "Delay2" 0 V ... 10 V.
//
// The line is allocated when the engine opens, for the longest time "Delay
// Time" can reach in this engine: its own value when nothing can change it,
// the maximum of the patch parameter that drives it, or the plug's ten-second
// limit when another module feeds it. A new delay time on the audio thread
// only clears the line, and a time beyond what was allocated is cut to it.
//
// Threads: opened on the editor thread while audio is stopped; status
// changes and processing on the audio thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ug_base.h"
#include "modules/plug_members.h"
#include "modules/plug_table.h"

namespace ov {

class ug_delay : public ug_base {
 public:
  enum Plug : int32_t { kSignalIn, kModulation, kSignalOut, kDelayTime, kInterpolate, kFeedback };
  static constexpr float kMaxSeconds = 10.0f;

  ug_delay() : ug_delay(0.5f) {}
  std::unique_ptr<ug_base> CreateInstance() const override;
  // Copies for voices keep what the model learned of its delay time's range.
  std::unique_ptr<ug_base> Clone() override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;
  void OnDrivenByParameter(int32_t plug_number, float maximum) override;

  // Seconds the line was allocated for at open.
  float LongestTime() const;
  std::size_t LineCapacity() const { return line_.size(); }
  int32_t LineLength() const { return length_; }
  int32_t Offset() const { return offset_; }
  float Fraction() const { return fraction_; }

 protected:
  // `offset_constant` is the modulation value (volts / 10) that gives no
  // delay.
  explicit ug_delay(float offset_constant) : offset_constant_(offset_constant) {}
  void ListPlugs(PlugTable table, std::vector<InterfaceObject>& descriptors);

 private:
  void SetUpLine();
  void SetOffset(float modulation);
  // One consecutive run of zeros this long (at least one engine block, so
  // the whole output block is 0) lets the output go static.
  int32_t TailLength() const;
  // The variant for the interpolation and the running inputs; the tail while
  // the input does not run.
  void SelectProcess();
  template <bool kInterpolate, bool kModulated, bool kFeedbackRuns>
  void Run(int32_t position, int32_t count);
  void Tail(int32_t position, int32_t count);

  float* input_ = nullptr;
  float* modulation_ = nullptr;
  float* output_ = nullptr;
  float* feedback_ = nullptr;
  float delay_time_ = 0.25f;
  bool interpolate_ = false;
  float offset_constant_;
  float fraction_ = 0.0f;
  int32_t write_ = 0;
  int32_t length_ = 0;
  std::vector<float> line_;         // room for the longest line
  float parameter_maximum_ = 0.0f;  // of a driving patch parameter
  int32_t offset_ = 1;
  float static_feedback_ = 0.0f;
  ProcessFunction variant_ = nullptr;
  float previous_output_ = 0.0f;
  int32_t tail_countdown_ = 0;
};

class ug_delay2 : public ug_delay {
 public:
  ug_delay2() : ug_delay(1.0f) {}
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
};

}  // namespace ov
