// The engine's clock and scheduler. Owns the sample clock, cuts host blocks
// into slices on a fixed grid of engine-block cells, and runs the active
// generators over each slice in descending sort order.
//
// Threads: Process, ServiceQueues and every generator-facing call run on the
// audio thread while the host is processing; on the editor thread only while
// no process call can run (engine start and stop, or host processing off).
#pragma once

#include <cstdint>

#include "engine/engine_host.h"

namespace ov {

class ug_base;

class OvAudioMaster {
 public:
  explicit OvAudioMaster(EngineHost& host);
  ~OvAudioMaster();
  OvAudioMaster(const OvAudioMaster&) = delete;
  OvAudioMaster& operator=(const OvAudioMaster&) = delete;

  // The cell length for a host block size (never 0: a host block size of 0 or
  // less gives the cell length for 1024).
  static int32_t ChooseEngineBlockSize(int32_t host_block_size);

  // Engine set-up, before Start. Editor thread.
  void SetSampleRate(float rate);
  void SetEngineBlockSize(int32_t cells);
  float SampleRate() const;
  int32_t EngineBlockSize() const;

  // Resets clocks and flags, makes this the master of every generator, opens
  // the top generator (which activates itself and its children). Null top is
  // an empty engine that renders nothing. Editor thread, audio stopped.
  void Start(ug_base* top);
  // Closes the top generator. Editor thread, audio stopped.
  void Stop();
  bool IsRunning() const;

  // One host block of `frames` samples. Audio thread.
  void Process(int32_t frames);
  // Drains pending queue messages; the first step of Process. Audio thread.
  void ServiceQueues();

  // Sample time of the start of the current slice (wraps after 2^32 samples;
  // compare two times only as (int32_t)(a - b)).
  uint32_t SampleClock() const;
};

}  // namespace ov
