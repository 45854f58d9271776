// Where the host's buffers and MIDI meet the engine: the engine modules that
// carry host audio and MIDI register these ports with the plug-in when they
// open, and the plug-in drives them from its process calls.
// Thread: audio (registration also on the editor thread while audio is stopped).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace ov {

// Outgoing MIDI collected during a block, read by the plug-in after it.
// The writer never waits: when more than a ring's worth is written before
// the reader comes, the oldest entries are overwritten. The reader keeps its
// own count of entries read, so it can tell how many it lost and always
// resumes at the oldest entry still held.
struct MidiRing {
  static constexpr int32_t kSize = 400;
  struct Entry {
    uint32_t time;  // engine sample time
    uint32_t reserved;
    uint32_t word;  // status | data1 << 8 | data2 << 16
  };
  std::array<Entry, kSize> entries{};
  std::atomic<uint32_t> written{0};  // entries ever written; wraps

  void Write(uint32_t time, uint32_t word) {
    const uint32_t count = written.load(std::memory_order_relaxed);
    entries[count % kSize] = {time, 0, word};
    written.store(count + 1, std::memory_order_release);
  }
  const Entry& At(uint32_t count) const { return entries[count % kSize]; }
};

class HostInputPort {
 public:
  virtual ~HostInputPort() = default;
  // `count` host channels; plugs beyond them read silence.
  virtual void SetHostInputs(float* const* inputs, int32_t count) = 0;
  // Engine sample time at the start of the coming block.
  virtual uint32_t SampleTime() const = 0;
  // One host MIDI message, stamped on the engine's sample clock.
  virtual void DeliverHostMidi(uint32_t time, uint32_t word) = 0;
};

class HostOutputPort {
 public:
  virtual ~HostOutputPort() = default;
  // `count` host channels; plugs beyond them are not written.
  virtual void SetHostOutputs(float* const* outputs, int32_t count) = 0;
  // Engine sample time just after the block that was rendered.
  virtual uint32_t SampleTime() const = 0;
  virtual const MidiRing& MidiOut() const = 0;
};

}  // namespace ov
