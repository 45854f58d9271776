// "Pan" places a signal between two outputs, with a volume input, and
// "X-Mix" fades between two inputs; both follow one of three fade laws.
//
// Threads: opened on the editor thread while audio is stopped; status
// changes and processing on the audio thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/lookup_table.h"
#include "engine/ug_base.h"
#include "modules/plug_members.h"

namespace ov {

class ug_pan : public ug_base {
 public:
  enum Plug : int32_t { kInput, kPan, kLeftOut, kRightOut, kVolume, kFadeLaw };
  enum Law : int16_t { kEqualIntensity = 0, kEqualPower = 1, kSqrRoot = 2 };

  // The volume gain for v (volts / 10): the decibel curve, unity at 10 V.
  static float VolumeGain(const float* db_curve, float volume);

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;
  bool HasVoiceDependentInput() const override;
  bool HasLaneKernels() const override { return true; }
  LaneKernel LaneKernelNow() const override;
  // Pan and "X-Mix" read their inputs through the members at each call.
  bool InputBlocksMayMove() const override { return true; }

  float Gain1() const { return gain1_; }
  float Gain2() const { return gain2_; }

 protected:
  void ChooseLawTable();
  // gain1_ and gain2_ for a pan (or mix) value p: +5 V is all gain 2.
  void SetGains(float p);
  static float Position(float p);  // 0.5 - p, kept in 0 ... 1

  int16_t law_ = kEqualPower;
  float gain1_ = 0.0f;
  float gain2_ = 0.0f;
  const float* law_table_ = nullptr;
  const float* db_curve_ = nullptr;

 private:
  friend struct PanLanes;
  void RunByTable(int32_t position, int32_t count);
  void RunByIntensity(int32_t position, int32_t count);
  void RunInputOnly(int32_t position, int32_t count);

  float* input_ = nullptr;
  float* pan_ = nullptr;
  float* left_ = nullptr;
  float* right_ = nullptr;
  float* volume_ = nullptr;
  std::shared_ptr<const ULookup> sin_power_table_;
  std::shared_ptr<const ULookup> power_table_;
  std::shared_ptr<const ULookup> db_table_;
};

class ug_cross_fade : public ug_pan {
 public:
  enum Plug : int32_t { kInputA, kInputB, kMix, kSignalOut, kFadeLaw };

  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;
  // Voice-dependent when the mix is reached from the note source.
  bool HasVoiceDependentInput() const override { return ug_base::HasVoiceDependentInput(); }
  bool HasLaneKernels() const override { return false; }  // the pan's kernels are not its own

 private:
  void RunByTable(int32_t position, int32_t count);
  void RunByIntensity(int32_t position, int32_t count);
  void RunStoredGains(int32_t position, int32_t count);

  float* input_a_ = nullptr;
  float* input_b_ = nullptr;
  float* mix_ = nullptr;
  float* output_ = nullptr;
};

}  // namespace ov
