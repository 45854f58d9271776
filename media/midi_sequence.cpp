#include "media/midi_sequence.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "platform/byte_order.h"
#include "media/smf_chunks.h"
#include "media/smf_format.h"

namespace ov {
namespace {

constexpr std::size_t kHeaderBytes = 14;  // "MThd", length, format, tracks, division
constexpr int kClocksPerQuarter = 24;
// Far beyond any real wait between two calls (the clock ticks at least every
// 24th of a quarter note), but short of the engine clock's range.
constexpr double kMaxDelaySamples = 1 << 30;

}  // namespace

bool MidiSequence::Load(std::vector<uint8_t> file) {
  file_ = std::move(file);
  tracks_.clear();
  skipped_unknown_chunk_ = false;
  ended_ = true;  // a file refused plays nothing
  if (file_.size() < kHeaderBytes || std::memcmp(file_.data(), "MThd", 4) != 0) return false;
  declared_tracks_ = LoadBe16(&file_[10]);
  // Taken as unsigned, so a time-code division is read as a tick count.
  ticks_per_quarter_ = LoadBe16(&file_[12]);
  if (ticks_per_quarter_ == 0) return false;
  clock_interval_ = std::max<uint32_t>(1, ticks_per_quarter_ / kClocksPerQuarter);

  // Each declared track takes the next "MTrk" chunk; other chunks are
  // skipped. Tracks the file has no chunk for stay silent.
  std::size_t offset = smf::ChunkAt(file_, 0)->Next();
  while (tracks_.size() < declared_tracks_) {
    const std::optional<smf::Chunk> chunk = smf::ChunkAt(file_, offset);
    if (!chunk) break;
    offset = chunk->Next();
    if (!chunk->Is("MTrk", file_)) {
      skipped_unknown_chunk_ = true;
      continue;
    }
    tracks_.push_back({.begin = chunk->body_begin, .end = chunk->body_end});
  }
  fraction_ = 0.0;
  started_ = false;
  Rewind();
  UpdateSamplesPerTick();
  return true;
}

void MidiSequence::SetSampleRate(double rate) {
  sample_rate_ = rate;
  UpdateSamplesPerTick();
}

void MidiSequence::SetTempo(double bpm) {
  bpm_ = bpm >= kMinBpm ? std::min(bpm, kMaxBpm) : kMinBpm;  // NaN too
  UpdateSamplesPerTick();
}

void MidiSequence::UpdateSamplesPerTick() {
  if (ticks_per_quarter_ == 0) return;
  samples_per_tick_ = sample_rate_ * 60.0 / (bpm_ * ticks_per_quarter_);
}

void MidiSequence::Rewind() {
  current_tick_ = 0;
  next_clock_tick_ = 0;
  next_event_tick_ = kNoEvent;
  ended_ = false;
  for (Track& track : tracks_) {
    track.read = track.begin;
    track.next_tick = 0;
    track.status = 0;
    track.channel = 0;
    track.playing = true;
    ReadDelta(track);
    if (track.playing) next_event_tick_ = std::min(next_event_tick_, track.next_tick);
  }
}

std::optional<uint32_t> MidiSequence::Run(Output& out) {
  if (ended_) return std::nullopt;
  carrying_ = !out.Admit();
  if (carrying_) return 0;
  const bool clock_now = current_tick_ == next_clock_tick_;
  if (clock_now) {
    out.SendMidi(kClock);
    next_clock_tick_ += clock_interval_;
  }
  if (current_tick_ == next_event_tick_) {
    PlayDue(out);
    if (carrying_) return 0;  // the clock went; the tick's rest follows
  }
  if (!started_) {
    out.SendMidi(kStart);
    started_ = true;
  }
  if (next_event_tick_ == kNoEvent) {
    // A loop restarts at tick 0 in this very call, so it must have taken
    // some time, or it would play again and again at one sample.
    if (!loop_ || current_tick_ == 0) {
      out.SendMidi(kStop);
      ended_ = true;
      return std::nullopt;
    }
    Rewind();
    // The restart's first clock is the one just sent: one clock, not two.
    if (clock_now) next_clock_tick_ = clock_interval_;
  }
  const uint64_t next = std::min(next_clock_tick_, next_event_tick_);
  const double samples =
      fraction_ + samples_per_tick_ * static_cast<double>(next - current_tick_);
  const double whole = std::floor(samples);
  fraction_ = samples - whole;
  current_tick_ = next;
  return static_cast<uint32_t>(std::min(whole, kMaxDelaySamples));
}

void MidiSequence::PlayDue(Output& out) {
  next_event_tick_ = kNoEvent;
  for (Track& track : tracks_) {
    while (track.playing && track.next_tick <= current_tick_) {
      if (!out.Admit()) {
        carrying_ = true;
        next_event_tick_ = current_tick_;  // the next call plays on here
        return;
      }
      HandleEvent(track, out);
      ReadDelta(track);
    }
    if (track.playing) next_event_tick_ = std::min(next_event_tick_, track.next_tick);
  }
}

void MidiSequence::ReadDelta(Track& track) {
  if (!track.playing) return;
  uint32_t delta = 0;
  // Past its last event a track has no more time to wait: it has ended.
  if (smf::ReadQuantity(TrackBytes(track), track.read, delta) != smf::QuantityRead::kOk) {
    track.playing = false;
    return;
  }
  track.next_tick += delta;
}

bool MidiSequence::Skip(Track& track, std::size_t* data) {
  uint32_t length = 0;
  if (smf::ReadQuantity(TrackBytes(track), track.read, length) != smf::QuantityRead::kOk ||
      length > track.end - track.read) {
    track.playing = false;
    return false;
  }
  *data = track.read;
  track.read += length;
  return true;
}

void MidiSequence::HandleEvent(Track& track, Output& out) {
  if (track.read >= track.end) {
    track.playing = false;
    return;
  }
  const uint8_t first = file_[track.read];
  if ((first & 0x80) == 0) {
    // Running status; a data byte before any status byte is skipped.
    if (track.status == 0) {
      ++track.read;
      return;
    }
    SendChannelMessage(track, out);
    return;
  }
  ++track.read;
  if (first == smf::kSysexStart || first == smf::kSysexContinue) {
    std::size_t data = 0;
    Skip(track, &data);  // system exclusive is not played
    track.status = 0;
  } else if (first == smf::kMetaEvent) {
    HandleMeta(track);
    track.status = 0;
  } else {
    track.channel = first & 0x0F;
    track.status = first & 0xF0;
    SendChannelMessage(track, out);
  }
}

void MidiSequence::HandleMeta(Track& track) {
  if (track.read >= track.end) {
    track.playing = false;
    return;
  }
  const uint8_t type = file_[track.read++];
  std::size_t data = 0;
  if (!Skip(track, &data)) return;
  if (type == smf::kMetaEndOfTrack) {
    track.playing = false;
    return;
  }
  const std::size_t length = track.read - data;
  if (type != smf::kMetaSetTempo || ignore_file_tempo_ || length < 3) return;
  const uint32_t microseconds =
      (uint32_t{file_[data]} << 16) | (uint32_t{file_[data + 1]} << 8) | file_[data + 2];
  if (microseconds != 0) SetTempo(60e6 / microseconds);
}

void MidiSequence::SendChannelMessage(Track& track, Output& out) {
  const uint8_t command = track.status;
  const std::size_t count = command == 0xC0 || command == 0xD0 ? 1 : 2;
  if (track.end - track.read < count) {
    track.playing = false;  // the message is cut off by the track's end
    return;
  }
  uint32_t word = static_cast<uint32_t>(command | track.channel) |
                  (uint32_t{file_[track.read]} << 8);
  if (count == 2) word |= uint32_t{file_[track.read + 1]} << 16;
  track.read += count;
  out.SendMidi(word);
}

}  // namespace ov
