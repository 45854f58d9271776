// The writer of an audio output that changes only now and then (a gate, a
// stepped count, a slider, a MIDI-derived pitch): the owner sets a target at a
// sample time; the helper reaches it at once, along a line or along an
// S-curve, tells downstream generators when the output runs and when it is
// static again, and then holds the value for one engine block so its owner
// can sleep.
//
// Threads: init and attach on the editor thread while audio is stopped;
// everything else on the audio thread. Nothing here allocates or locks.
#pragma once

#include <cstdint>

#include "engine/uplug.h"

namespace ov {

class smart_output {
 public:
  enum Mode : int32_t { kJump = 0, kLinear = 1, kSmooth = 2 };

  // Sets mode and default ramp length, and forgets any plug and ramp.
  void init(int32_t mode, int32_t default_length);
  // Drives `output` from now on; the first block is written whole. Call from
  // the owner's SetUpBuffers, after the plug's storage exists.
  void attach(UPlug& output);
  // After a suspension the sleeping block may be stale: fill a whole block
  // again if filling was still due.
  void rearm();

  void set_target(uint32_t time, float value, int32_t length);
  void set_target(uint32_t time, float value) { set_target(time, value, default_length_); }

  // Writes `count` samples from block index `position`; clears `can_sleep`
  // while anything is left to write.
  void process(int32_t position, int32_t count, bool& can_sleep);

  float current_value() const { return current_value_; }
  float target_value() const { return target_value_; }
  bool steady() const { return steady_; }

 private:
  // True when the ramp ended within these samples.
  bool Ramp(int32_t position, int32_t count);
  int32_t BlockSize() const;

  float current_value_ = 0.0f;
  UPlug* plug_ = nullptr;
  int32_t default_length_ = 0;
  int32_t mode_ = kJump;
  int32_t fill_countdown_ = 0;
  float* sample_data_ = nullptr;
  bool steady_ = true;
  float first_difference_ = 0.0f;
  float second_difference_ = 0.0f;
  float third_difference_ = 0.0f;
  float next_value_ = 0.0f;
  int32_t remaining_ = 0;
  float target_value_ = 0.0f;
};

}  // namespace ov
