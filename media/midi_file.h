// Standard MIDI Files: formats 0 and 1 read into one time-ordered list of
// channel messages timed in seconds through the tempo map; format 0 written.
// Files may be hostile: every length and count is checked, and a malformed
// file gives an error that names the file and the byte offset.
// Thread: any.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ov {

struct MidiChannelEvent {
  double seconds = 0;
  uint64_t tick = 0;
  uint16_t track = 0;  // index among the file's track chunks
  uint8_t bytes[3] = {};
  uint8_t size = 0;  // 2 or 3
};

struct TempoChange {
  uint64_t tick = 0;
  double seconds = 0;
  uint32_t microseconds_per_quarter = 0;
};

struct MidiSong {
  uint16_t format = 0;
  uint16_t track_count = 0;
  // All tracks merged by time; equal ticks keep track order, then file order.
  std::vector<MidiChannelEvent> events;
  // Set-tempo events of all tracks by time. Before the first one the tempo is
  // 120 bpm. Files timed in SMPTE frames keep them, but they do not move time.
  std::vector<TempoChange> tempo_map;
  double length_seconds = 0;  // the latest end of any track

  // The tempo of the first set-tempo event, else the 120 bpm default.
  double FirstTempoBpm() const;
};

// The byte count (2 or 3) of a channel message starting with `status`;
// 0 when `status` does not start a channel message.
int ChannelMessageSize(uint8_t status);

std::optional<MidiSong> ReadMidiFile(const std::string& path, std::string* error);

// Writes the events as a format-0 file at a constant tempo. Their times come
// from `seconds`; each must hold a channel message.
bool WriteMidiFile(const std::string& path, std::span<const MidiChannelEvent> events,
                   double tempo_bpm, std::string* error);

}  // namespace ov
