// What `orvane play` plays, kept as a WAV file: the audio thread copies
// each period into a lock-free ring, a thread of its own collects it, and
// the wave writer writes the take when playing ends.
// Threads: construction, Finish and destruction on the owner's thread; Add
// on the audio thread only.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "engine/byte_ring.h"
#include "media/wav_file.h"

namespace ov {

class PlayTake {
 public:
  PlayTake(uint32_t channels, uint32_t rate, uint32_t max_period);
  ~PlayTake();
  PlayTake(const PlayTake&) = delete;
  PlayTake& operator=(const PlayTake&) = delete;

  // Audio thread: never waits; a period that finds no room is dropped and
  // counted.
  void Add(const float* const* channels, uint32_t frames);
  // Collects what is left and writes the file; false with `error` set when
  // it could not be written.
  bool Finish(const std::string& path, std::string* error);
  uint64_t DroppedFrames() const { return dropped_frames_.load(std::memory_order_relaxed); }

 private:
  void Collect();

  const uint32_t channels_;
  const uint32_t max_period_;
  std::vector<float> scratch_;  // the audio thread's
  ByteRing ring_;
  AudioClip clip_;  // the collecting thread's until it has ended
  std::atomic<bool> running_{true};
  std::atomic<uint64_t> dropped_frames_{0};
  std::thread collector_;
};

}  // namespace ov
