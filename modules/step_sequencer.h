// "Step Sequencer" and "Drum Sequencer": play one bar of MIDI events after
// another, counting ticks (24 to a quarter note) from the document's tempo
// or from the MIDI clock arriving on "MIDI In", and send clock, start,
// continue and stop with the notes on "MIDI Out". A note-on on "MIDI In"
// transposes what follows by its distance from middle C; the note-offs of
// sounding notes keep the transpose they started with.
//
// The document publishes its patterns as immutable snapshots; the generator
// takes the newest at each tick and fills bars from it at bar starts, into
// two buffers reserved at open. A bar still sounding in one buffer (its
// note-offs) finishes while the next plays from the other.
//
// Threads: made, given its patterns and opened on the editor thread while
// audio is stopped; ticks, MIDI and status changes on the audio thread,
// where nothing allocates. BeatLight and SongPosition: any thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "modules/host_io.h"
#include "modules/sequencer_bar.h"
#include "modules/shared_snapshot.h"

namespace ov {

using PatternChannel = SharedSnapshot<PatternSet>;

class ug_step_sequencer : public ug_midi_device {
 public:
  enum Plug : int32_t { kChannel, kMidiIn, kIgnoreProgramChange, kMidiOut, kClockSync };
  static constexpr int32_t kNoNote = 9999;

  ug_step_sequencer();
  std::unique_ptr<ug_base> CreateInstance() const override;
  void ListPlugs(std::vector<InterfaceObject>& descriptors) override;
  void Open() override;
  void OnStatusChange(uint32_t time, connector* link, int32_t state) override;

  // The document's published patterns. Editor thread, audio stopped.
  void AttachPatterns(std::shared_ptr<PatternChannel> channel);

  // The beat light (100 on the beat, 0 a sixteenth later) and the song
  // list entry playing, for the panel.
  int32_t BeatLight() const { return beat_light_.load(std::memory_order_relaxed); }
  int32_t SongPosition() const { return song_position_.load(std::memory_order_relaxed); }
  float SamplesPerTick() const { return samples_per_tick_; }

 private:
  struct Cursor {
    const MidiBar* bar = nullptr;
    std::size_t event = 0;  // the next event to send
    int32_t waited = 0;
    bool Active() const { return bar != nullptr && event < bar->events().size(); }
  };

  void OnMidi(uint32_t time, uint32_t word) override;
  static void TickEvent(ug_base& generator);
  void Tick();
  void Advance(Cursor& cursor);
  void StartBar();
  void Send(uint32_t message);
  void StopAllNotes();
  void ScheduleTick(uint32_t time);
  void RetrySchedule(int32_t position, int32_t count);
  void TakePatterns();
  bool Internal() const { return clock_sync_ == 0; }
  uint32_t ChannelBits() const {
    return channel_ < 0 ? 0u : static_cast<uint32_t>(channel_ & 0x0F);
  }

  bool ignore_program_change_ = false;
  int16_t clock_sync_ = 0;
  PatternChannel::Hold patterns_;
  float samples_per_tick_ = 0.0f;
  float fraction_ = 0.0f;
  uint32_t retry_time_ = 0;
  bool tick_scheduled_ = false;
  int32_t tick_count_ = 0;
  std::atomic<int32_t> beat_light_{0};
  bool running_ = false;
  int32_t transpose_ = 0;
  std::array<int32_t, 128> note_record_{};
  std::array<MidiBar, 2> bars_;
  MidiBar* current_bar_ = &bars_[0];
  std::array<Cursor, 2> cursors_;
  Cursor* current_cursor_ = &cursors_[0];
  bool refill_ = false;
  std::atomic<int32_t> song_position_{0};
  bool song_ended_ = false;
};

}  // namespace ov
