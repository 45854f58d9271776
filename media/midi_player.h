// "MIDI Player": plays a Standard MIDI File from the project's data files
// onto "MIDI Out", with MIDI clock, Start and Stop, its own tempo ("Tempo",
// 10 V = 100 bpm, overridden by the file's tempo events unless "Ignore MIDI
// tempo Changes"), and an endless loop ("Loop Mode"). The file is read whole
// when the engine opens; the sequencer then runs as scheduled function calls
// at the samples where something happens, and the module does nothing in
// between. A new "File Name" takes effect at the next engine start.
//
// The event records are the engine's, shared by every module, so a call
// handles at most kEventsPerBlock events in an engine block and sends only
// while half the pool stays free; what is left of a tick follows at the
// next block, and later ticks keep their times. A call that finds no free
// record for its next call tries again at every block until one is free,
// and says once that the song ran late.
//
// Threads: opened and closed on the editor thread while audio is stopped;
// status changes and scheduled calls on the thread running the engine.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ug_base.h"
#include "media/midi_sequence.h"

namespace ov {

class ug_midi_player : public ug_base, private MidiSequence::Output {
 public:
  enum Plug : int32_t { kFileName, kTempo, kMidiOut, kIgnoreTempo, kLoop };
  static constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;
  static constexpr int32_t kEventsPerBlock = 256;
  static constexpr std::string_view kRanLate =
      "the engine ran out of event records: the song plays on late";

  ug_midi_player();
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

  const MidiSequence& Sequence() const { return sequence_; }

 private:
  bool LoadFile();
  static void Scheduled(ug_base& generator);
  void SendMidi(uint32_t word) override;
  bool Admit() override;
  // Queues `function` at `time`, or else at every block until it can.
  void Schedule(uint32_t time, RunFunction function);
  void RetrySchedule(int32_t position, int32_t count);
  uint32_t NextBlockStart() const;
  double InputBpm() const;

  std::string file_name_;
  float* tempo_ = nullptr;
  bool ignore_tempo_ = false;
  bool loop_ = false;
  MidiSequence sequence_;
  uint32_t due_ = 0;  // the sample the current tick belongs at
  int32_t receivers_ = 0;
  uint32_t budget_block_ = 0;  // the block the budget below is for
  int32_t admitted_ = 0;
  RunFunction retry_ = nullptr;
  bool told_late_ = false;
};

}  // namespace ov
