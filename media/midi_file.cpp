#include "media/midi_file.h"

#include <algorithm>
#include <cstring>

#include "platform/byte_order.h"
#include "media/smf_chunks.h"
#include "media/smf_format.h"
#include "platform/files.h"

namespace ov {
namespace {

constexpr std::size_t kMaxMidiFileBytes = 16u << 20;
constexpr std::size_t kChunkHeaderSize = 8;

// A malformed-file error: where it was found and what is wrong.
struct ParseFailure {
  std::size_t offset;
  std::string what;
};

std::string Hex(uint8_t byte) {
  static const char kDigits[] = "0123456789ABCDEF";
  return std::string("0x") + kDigits[byte >> 4] + kDigits[byte & 15];
}

// Reads one track chunk's body; offsets in failures count from the file start.
class TrackCursor {
 public:
  TrackCursor(std::span<const uint8_t> body, std::size_t file_offset)
      : body_(body), file_offset_(file_offset) {}

  bool AtEnd() const { return position_ == body_.size(); }
  std::size_t FileOffset() const { return file_offset_ + position_; }

  uint8_t Byte() {
    if (AtEnd()) throw ParseFailure{FileOffset(), "track ends inside an event"};
    return body_[position_++];
  }
  uint8_t DataByte() {
    const uint8_t byte = Byte();
    if (byte & 0x80)
      throw ParseFailure{FileOffset() - 1,
                         "status byte " + Hex(byte) + " where a data byte belongs"};
    return byte;
  }
  uint32_t Quantity() {
    const std::size_t start = FileOffset();
    uint32_t value = 0;
    switch (smf::ReadQuantity(body_, position_, value)) {
      case smf::QuantityRead::kOk:
        return value;
      case smf::QuantityRead::kEndsEarly:
        throw ParseFailure{FileOffset(), "track ends inside an event"};
      case smf::QuantityRead::kTooLong:
        break;
    }
    throw ParseFailure{start, "variable-length quantity longer than 4 bytes"};
  }
  std::span<const uint8_t> Take(uint32_t count) {
    if (count > body_.size() - position_) {
      throw ParseFailure{FileOffset(), "event length " + std::to_string(count) +
                                           " runs past the end of the track"};
    }
    const std::span<const uint8_t> taken = body_.subspan(position_, count);
    position_ += count;
    return taken;
  }

 private:
  std::span<const uint8_t> body_;
  std::size_t file_offset_;
  std::size_t position_ = 0;
};

// Appends the track's channel events and tempo changes (times in ticks only);
// returns the tick at which the track ends.
uint64_t ParseTrack(TrackCursor& cursor, uint16_t track, MidiSong* song) {
  uint64_t tick = 0;
  uint8_t running_status = 0;
  while (!cursor.AtEnd()) {
    tick += cursor.Quantity();
    const std::size_t event_offset = cursor.FileOffset();
    uint8_t status = cursor.Byte();
    MidiChannelEvent event;
    std::size_t data_index = 1;
    if (status < 0x80) {
      if (running_status == 0) {
        throw ParseFailure{event_offset, "data byte " + Hex(status) + " with no running status"};
      }
      event.bytes[1] = status;
      data_index = 2;
      status = running_status;
    }
    if (ChannelMessageSize(status) != 0) {
      running_status = status;
      event.tick = tick;
      event.track = track;
      event.bytes[0] = status;
      event.size = static_cast<uint8_t>(ChannelMessageSize(status));
      for (; data_index < event.size; ++data_index) event.bytes[data_index] = cursor.DataByte();
      song->events.push_back(event);
    } else if (status == smf::kMetaEvent) {
      const uint8_t type = cursor.DataByte();
      const std::span<const uint8_t> data = cursor.Take(cursor.Quantity());
      if (type == smf::kMetaEndOfTrack) return tick;
      if (type == smf::kMetaSetTempo) {
        if (data.size() < 3)
          throw ParseFailure{event_offset, "set-tempo event shorter than 3 bytes"};
        const uint32_t microseconds =
            (uint32_t{data[0]} << 16) | (uint32_t{data[1]} << 8) | data[2];
        if (microseconds == 0) throw ParseFailure{event_offset, "set-tempo event of 0"};
        song->tempo_map.push_back({tick, 0.0, microseconds});
      }
    } else if (status == smf::kSysexStart || status == smf::kSysexContinue) {
      cursor.Take(cursor.Quantity());  // system exclusive data is not played
    } else {
      throw ParseFailure{event_offset, "unexpected status byte " + Hex(status)};
    }
    // Running status is kept across meta and sysex events: well-formed files
    // never rely on either behaviour, and some writers do rely on keeping it.
  }
  return tick;  // a missing end-of-track event is tolerated
}

// Converts ticks to seconds through the tempo map, or through a fixed SMPTE
// frame rate when the file is timed that way.
class TickClock {
 public:
  TickClock(uint16_t division, std::vector<TempoChange>* tempo_map) : tempo_map_(*tempo_map) {
    if (division & 0x8000) {
      const int frames_per_second = -static_cast<int8_t>(division >> 8);
      const double rate = frames_per_second == 29 ? 30000.0 / 1001.0 : frames_per_second;
      smpte_seconds_per_tick_ = 1.0 / (rate * (division & 0xFF));
    } else {
      ticks_per_quarter_ = division;
    }
    std::stable_sort(tempo_map->begin(), tempo_map->end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    for (std::size_t i = 0; i < tempo_map->size(); ++i) {
      (*tempo_map)[i].seconds = Seconds((*tempo_map)[i].tick, i);
    }
  }

  double Seconds(uint64_t tick) const {
    const auto later =
        std::upper_bound(tempo_map_.begin(), tempo_map_.end(), tick,
                         [](uint64_t t, const TempoChange& change) { return t < change.tick; });
    return Seconds(tick, static_cast<std::size_t>(later - tempo_map_.begin()));
  }

 private:
  // Seconds at `tick`, given that the first `changes_before` changes are at
  // or before it and their seconds are known.
  double Seconds(uint64_t tick, std::size_t changes_before) const {
    if (ticks_per_quarter_ == 0) return tick * smpte_seconds_per_tick_;
    if (changes_before == 0) {
      return tick * (smf::kDefaultMicrosecondsPerQuarter * 1e-6 / ticks_per_quarter_);
    }
    const TempoChange& change = tempo_map_[changes_before - 1];
    return change.seconds +
           (tick - change.tick) * (change.microseconds_per_quarter * 1e-6 / ticks_per_quarter_);
  }

  const std::vector<TempoChange>& tempo_map_;
  uint16_t ticks_per_quarter_ = 0;
  double smpte_seconds_per_tick_ = 0;
};

uint16_t ParseHeader(std::span<const uint8_t> file, MidiSong* song, std::size_t* tracks_offset) {
  if (file.size() < kChunkHeaderSize + 6 || std::memcmp(file.data(), "MThd", 4) != 0) {
    throw ParseFailure{0, "not a Standard MIDI File (no MThd header)"};
  }
  const uint32_t header_size = LoadBe32(&file[4]);
  if (header_size < 6 || header_size > file.size() - kChunkHeaderSize) {
    throw ParseFailure{4, "header length " + std::to_string(header_size) + " is invalid"};
  }
  song->format = LoadBe16(&file[8]);
  song->track_count = LoadBe16(&file[10]);
  const uint16_t division = LoadBe16(&file[12]);
  if (song->format == 2) throw ParseFailure{8, "format 2 (independent sequences) is not supported"};
  if (song->format > 2) throw ParseFailure{8, "unknown format " + std::to_string(song->format)};
  if (song->track_count == 0 || (song->format == 0 && song->track_count != 1)) {
    throw ParseFailure{10, "format " + std::to_string(song->format) + " with " +
                               std::to_string(song->track_count) + " tracks"};
  }
  if (division & 0x8000) {
    const int frames_per_second = -static_cast<int8_t>(division >> 8);
    if (frames_per_second != 24 && frames_per_second != 25 && frames_per_second != 29 &&
        frames_per_second != 30) {
      throw ParseFailure{12, "unknown SMPTE frame rate " + std::to_string(frames_per_second)};
    }
    if ((division & 0xFF) == 0) throw ParseFailure{13, "0 ticks per SMPTE frame"};
  } else if (division == 0) {
    throw ParseFailure{12, "0 ticks per quarter note"};
  }
  *tracks_offset = kChunkHeaderSize + header_size;
  return division;
}

MidiSong ParseSong(std::span<const uint8_t> file) {
  MidiSong song;
  std::size_t offset = 0;
  const uint16_t division = ParseHeader(file, &song, &offset);
  uint64_t end_tick = 0;
  uint16_t tracks_read = 0;
  while (tracks_read < song.track_count) {
    const std::optional<smf::Chunk> chunk = smf::ChunkAt(file, offset);
    if (!chunk) {
      throw ParseFailure{offset, "file ends after " + std::to_string(tracks_read) + " of " +
                                     std::to_string(song.track_count) + " tracks"};
    }
    if (chunk->Truncated()) {
      throw ParseFailure{offset + 4, "chunk length " + std::to_string(chunk->declared_size) +
                                         " exceeds the " +
                                         std::to_string(chunk->body_end - chunk->body_begin) +
                                         " bytes left in the file"};
    }
    // Chunks of other types may appear between tracks and are skipped.
    if (chunk->Is("MTrk", file)) {
      TrackCursor cursor(file.subspan(chunk->body_begin, chunk->declared_size),
                         chunk->body_begin);
      end_tick = std::max(end_tick, ParseTrack(cursor, tracks_read, &song));
      ++tracks_read;
    }
    offset = chunk->Next();
  }
  std::stable_sort(
      song.events.begin(), song.events.end(),
      [](const MidiChannelEvent& a, const MidiChannelEvent& b) { return a.tick < b.tick; });
  const TickClock clock(division, &song.tempo_map);
  for (MidiChannelEvent& event : song.events) event.seconds = clock.Seconds(event.tick);
  song.length_seconds = clock.Seconds(end_tick);
  return song;
}

}  // namespace

int ChannelMessageSize(uint8_t status) {
  if (status < 0x80 || status >= 0xF0) return 0;
  const uint8_t kind = status & 0xF0;
  return kind == 0xC0 || kind == 0xD0 ? 2 : 3;
}

double MidiSong::FirstTempoBpm() const {
  const uint32_t microseconds = tempo_map.empty() ? smf::kDefaultMicrosecondsPerQuarter
                                                  : tempo_map.front().microseconds_per_quarter;
  return 60e6 / microseconds;
}

std::optional<MidiSong> ReadMidiFile(const std::string& path, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(path, kMaxMidiFileBytes, &bytes, error)) return std::nullopt;
  try {
    return ParseSong(bytes);
  } catch (const ParseFailure& failure) {
    *error = path + ": at byte " + std::to_string(failure.offset) + ": " + failure.what;
    return std::nullopt;
  }
}

}  // namespace ov
