// The host side of one loaded VST 2 plug-in: what the host callback answers
// (sample rate, block size, transport, capabilities) and what the plug-in
// hands back through it (MIDI output, automation).
//
// Thread: set up and read by the thread that drives the plug-in. Plug-ins call
// the callback on that thread from inside dispatcher and process calls; a
// call from a plug-in thread of its own reads only the settings, which do not
// change while processing runs.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "platform/vst2.h"
#include "tools/block_events.h"

namespace ov {

class HostSession {
 public:
  // Automation and other notices from the plug-in are written to `log`.
  explicit HostSession(std::ostream& log);
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;
  ~HostSession();

  // The callback handed to every plug-in's entry point.
  static intptr_t Callback(vst2::AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                           void* ptr, float opt);

  // Routes callbacks without an effect record, or with one not yet attached,
  // to `session` while `entry` runs on this thread.
  static vst2::AEffect* CallEntry(vst2::EntryProc entry, HostSession* session);
  // Routes the callbacks of `effect` to this session until it is destroyed.
  void Attach(vst2::AEffect* effect);

  void SetSampleRate(double rate) { sample_rate_ = rate; }
  void SetBlockSize(int32_t frames) { block_size_ = frames; }
  void SetTempo(double bpm) { tempo_bpm_ = bpm; }
  double Tempo() const { return tempo_bpm_; }
  // While rendering, the plug-in is told it runs offline and the transport plays.
  void SetRendering(bool rendering) { rendering_ = rendering; }
  // The sample position of the block about to be processed.
  void BeginBlock(int64_t block_start) { block_start_ = block_start; }

  // MIDI the plug-in has sent, timed in absolute frames.
  const std::vector<ScheduledMidi>& MidiOutput() const { return midi_output_; }

 private:
  intptr_t Answer(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
  const vst2::VstTimeInfo* Time();
  void CollectMidi(const vst2::VstEvents* events);

  std::ostream& log_;
  vst2::AEffect* effect_ = nullptr;
  double sample_rate_ = 48000;
  int32_t block_size_ = 512;
  double tempo_bpm_ = 120;
  bool rendering_ = false;
  int64_t block_start_ = 0;
  bool transport_reported_ = false;
  vst2::VstTimeInfo time_{};
  std::vector<ScheduledMidi> midi_output_;
};

}  // namespace ov
