// "ADSR" and "8 Stage Env": piecewise-linear envelopes that follow a gate.
//
// The envelope keeps a level and runs segments 0, 1, 2 ... each moving the
// level toward its target at a slope set by its rate, holds at the end of the
// sustain segment while the gate is high, and on a gate fall goes on after
// the sustain or jumps to the end segment, which always falls to 0. Each
// combination of streaming inputs has its own segment routine, so a
// constant-rate segment costs one addition per sample. A retrigger from the
// voice's note source fades the envelope to 0 within 15 samples.
//
// Threads: built and opened on the editor thread while audio is stopped;
// everything else (gate samples, status changes, retriggers) on the audio
// thread. Nothing reached from processing allocates.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ug_base.h"
#include "modules/plug_members.h"

namespace ov {

// Segments, gate edges, retrigger and the segment routines. Subclasses say
// where each segment's target and rate come from.
class ug_envelope_base : public ug_base {
 public:
  // Time for a level change of 1.0 (10 V) at rate r (volts / 10):
  // 2^(10r - 20/3) seconds.
  static double SegmentSeconds(float rate);
  static float RateToIncrement(float rate, float sample_rate);

  void Open() override;
  void Resume() override;
  void HandleEvent(ug_event& event) override;
  bool HasLaneKernels() const override { return true; }
  LaneKernel LaneKernelNow() const override;

  int32_t CurrentSegment() const { return current_segment_; }
  float Level() const { return level_; }

 protected:
  using SegmentRoutine = void (ug_envelope_base::*)(int32_t end);
  static constexpr int32_t kMaxSegments = 8;

  ug_envelope_base(int32_t gate_plug, int32_t overall_plug, int32_t output_plug);

  // Sets target, routine and process function for the current segment and
  // tells "Signal Out" whether it runs.
  virtual void BeginSegment() = 0;
  void AdvanceSegment();

  // The sustain and end segments as used: an out-of-range "End Seg" is
  // clamped to the segments there are, and a sustain segment outside them
  // never holds.
  int32_t SustainSegment() const;
  int32_t EndSegment() const;

  // Block index of the generator's clock, and that sample time.
  uint32_t Now() const;
  static bool Streams(const UPlug& plug) { return plug.State() == ST_RUN; }
  float ValueNow(const UPlug& plug) const;
  const UPlug& GatePlug() const { return *plug(gate_plug_); }
  const UPlug& OverallPlug() const { return *plug(overall_plug_); }
  void ChooseProcessFunction();
  void GateEdge(float gate);
  // Points the routines at the generator's clock, for work done outside a
  // process call.
  void SyncPosition();
  bool Scanning() const { return scanning_; }
  void TransmitOutput(int32_t state) { plug(output_plug_)->Transmit(Now(), state); }
  template <typename T>
  void SetRoutine(void (T::*routine)(int32_t)) {
    routine_ = static_cast<SegmentRoutine>(routine);
  }

  // Segment routines: render from position_ up to `end` (or the end of the
  // segment), moving position_ on.
  void Idle(int32_t end);
  void HoldConstant(int32_t end);
  void HoldTimesOverall(int32_t end);
  void FollowLevel(int32_t end);
  void Ramp(int32_t end);
  void RampStreamingOverall(int32_t end);
  void RampStreamingRate(int32_t end);
  void Chase(int32_t end);
  // Prepares a constant-rate ramp from the level to the target.
  void StartRamp(bool overall_streams);

  int16_t sustain_segment_ = 0;
  int16_t end_segment_ = 0;
  int16_t current_segment_ = -1;
  int16_t segment_count_ = kMaxSegments;
  int32_t samples_left_ = 0;
  float increment_ = 0.0f;  // 0: no segment runs; 1.0 marks one just entered
  float level_ = 0.0f;
  float output_increment_ = 0.0f;
  float output_value_ = 0.0f;
  float overall_value_ = 0.0f;
  float target_ = 0.0f;
  bool gate_state_ = false;
  bool released_ = true;
  bool quick_release_ = false;
  int32_t rest_countdown_ = 0;
  int32_t position_ = 0;  // block index the routines render from
  float* output_ = nullptr;
  float* overall_ = nullptr;
  float* gate_ = nullptr;
  const float* rate_ = nullptr;      // streaming rate of the running segment
  const float* level_in_ = nullptr;  // streaming level of the running segment

 private:
  friend struct EnvelopeLanes;
  void Plain(int32_t position, int32_t count);
  void GateScanning(int32_t position, int32_t count);
  void Retrigger();
  void RegisterForRetrigger();

  int32_t gate_plug_;
  int32_t overall_plug_;
  int32_t output_plug_;
  SegmentRoutine routine_ = &ug_envelope_base::Idle;
  bool scanning_ = false;
};

// Envelopes whose segments take their rates and levels from input plugs.
class ug_envelope : public ug_envelope_base {
 public:
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

 protected:
  using ug_envelope_base::ug_envelope_base;
  void BeginSegment() override;

  std::array<float, kMaxSegments> fixed_levels_{};
  std::array<UPlug*, kMaxSegments> rate_plugs_{};
  std::array<UPlug*, kMaxSegments> level_plugs_{};  // null: the fixed level
  std::array<float*, kMaxSegments> rate_buffers_{};
  std::array<float*, kMaxSegments> level_buffers_{};
};

class ug_adsr : public ug_envelope {
 public:
  enum Plug : int32_t { kGate, kAttack, kDecay, kSustain, kRelease, kOverallLevel, kSignalOut };

  ug_adsr();
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
};

class ug_8_stage : public ug_envelope {
 public:
  enum Plug : int32_t {
    kGate,
    kFirstRate,
    kFirstLevel,
    kOverallLevel = 17,
    kSignalOut,
    kSusSeg,
    kEndSeg
  };

  ug_8_stage();
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
};

}  // namespace ov
