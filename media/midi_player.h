// "MIDI Player": plays a Standard MIDI File from the project's data files
// onto "MIDI Out", with MIDI clock, Start and Stop, its own tempo ("Tempo",
// 10 V = 100 bpm, overridden by the file's tempo events unless "Ignore MIDI
// tempo Changes"), and an endless loop ("Loop Mode"). The file is read whole
// when the engine opens; the sequencer then runs as scheduled function calls
// at the samples where something happens, and the module does nothing in
// between. A new "File Name" takes effect at the next engine start.
//
// A call that finds no free event record for its next call tries again at
// every block until one is free, and says once that the song ran late;
// later ticks keep their times.
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
  // Queues `function` at `time`, or else at every block until it can.
  void Schedule(uint32_t time, RunFunction function);
  void RetrySchedule(int32_t position, int32_t count);
  double InputBpm() const;

  std::string file_name_;
  float* tempo_ = nullptr;
  bool ignore_tempo_ = false;
  bool loop_ = false;
  MidiSequence sequence_;
  uint32_t due_ = 0;  // the sample the current tick belongs at
  RunFunction retry_ = nullptr;
  bool told_late_ = false;
};

}  // namespace ov
