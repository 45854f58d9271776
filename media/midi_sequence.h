// The MIDI file player's sequencer, apart from the engine: a Standard MIDI
// File held whole in memory, played one scheduler call at a time. Each call
// sends what is due at the current tick (MIDI clock every 24th of a quarter
// note, the due events of every track, Start after the first call, Stop at
// the end) and says how many samples later the next call comes; between
// calls nothing needs to run. Times are carried in double so the sample
// each event lands on follows the exact tempo, however long the song.
//
// The file may be hostile: every read is bounded by its track, a track that
// runs out or breaks ends, and the song always ends or moves forward in time.
// However many events fall on one tick, a call sends only what its output
// admits (Output::Admit) and carries the rest.
//
// Thread: Load on the editor thread; the rest on the thread running the
// engine (audio), or whichever thread owns the object in tools.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ov {

class MidiSequence {
 public:
  // Where the messages of a call go: status in bits 0-7, data bytes above.
  class Output {
   public:
    virtual ~Output() = default;
    virtual void SendMidi(uint32_t word) = 0;
    // Asked once for the call and before each event it handles: false
    // stops the call, which carries what is left of the tick to the next.
    virtual bool Admit() { return true; }
  };

  static constexpr uint8_t kClock = 0xF8;
  static constexpr uint8_t kStart = 0xFA;
  static constexpr uint8_t kStop = 0xFC;
  static constexpr double kMinBpm = 10.0;
  static constexpr double kMaxBpm = 300.0;

  // Takes the file and rewinds to its start. False when it is not a Standard
  // MIDI File (no "MThd", or no ticks per quarter note). Editor thread.
  bool Load(std::vector<uint8_t> file);
  // Load met a chunk other than a track where one was expected (and skipped it).
  bool SkippedUnknownChunk() const { return skipped_unknown_chunk_; }

  void SetSampleRate(double rate);
  // Beats per minute from the module's "Tempo" input, or from the file;
  // clamped to 10 ... 300.
  void SetTempo(double bpm);
  void SetIgnoreFileTempo(bool ignore) { ignore_file_tempo_ = ignore; }
  void SetLoop(bool loop) { loop_ = loop; }

  // One scheduler call. Returns the samples until the next call, or nothing
  // once the song has ended and Stop was sent: the sequencer then rests.
  // A call the output stopped returns 0 with Carrying() set: the next call
  // goes on where it stopped, at the same tick.
  std::optional<uint32_t> Run(Output& out);
  bool Carrying() const { return carrying_; }

  uint16_t DeclaredTracks() const { return declared_tracks_; }
  // Track chunks found (at most the declared count).
  std::size_t Tracks() const { return tracks_.size(); }
  uint32_t TicksPerQuarter() const { return ticks_per_quarter_; }
  uint32_t ClockInterval() const { return clock_interval_; }
  double SamplesPerTick() const { return samples_per_tick_; }
  double Bpm() const { return bpm_; }
  uint64_t CurrentTick() const { return current_tick_; }
  bool Ended() const { return ended_; }

 private:
  struct Track {
    std::size_t begin = 0;  // data start, after the chunk header
    std::size_t end = 0;    // data end, inside the file
    std::size_t read = 0;
    uint64_t next_tick = 0;
    uint8_t status = 0;  // running status, high nibble
    uint8_t channel = 0;
    bool playing = false;
  };
  static constexpr uint64_t kNoEvent = UINT64_MAX;

  void Rewind();
  void PlayDue(Output& out);
  void HandleEvent(Track& track, Output& out);
  void HandleMeta(Track& track);
  void SendChannelMessage(Track& track, Output& out);
  void ReadDelta(Track& track);
  // The file up to the track's end: reads through it stop there.
  std::span<const uint8_t> TrackBytes(const Track& track) const {
    return {file_.data(), track.end};
  }
  // Skips a length-prefixed block, giving where its data starts; ends the
  // track when the block does not fit in it.
  bool Skip(Track& track, std::size_t* data);
  void UpdateSamplesPerTick();

  std::vector<uint8_t> file_;
  std::vector<Track> tracks_;
  uint16_t declared_tracks_ = 0;
  uint32_t ticks_per_quarter_ = 0;
  uint32_t clock_interval_ = 1;
  bool skipped_unknown_chunk_ = false;

  double sample_rate_ = 44100.0;
  double bpm_ = 120.0;
  double samples_per_tick_ = 0.0;
  double fraction_ = 0.0;  // of a sample, carried from call to call
  bool ignore_file_tempo_ = false;
  bool loop_ = false;

  uint64_t current_tick_ = 0;
  uint64_t next_event_tick_ = kNoEvent;  // the earliest of the tracks' next events
  uint64_t next_clock_tick_ = 0;
  bool started_ = false;
  bool ended_ = false;
  bool carrying_ = false;
};

}  // namespace ov
