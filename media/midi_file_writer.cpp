#include <algorithm>
#include <cmath>

#include "platform/byte_order.h"
#include "media/midi_file.h"
#include "media/smf_chunks.h"
#include "media/smf_format.h"
#include "platform/files.h"

namespace ov {
namespace {

constexpr uint16_t kWrittenTicksPerQuarter = 480;

void AppendQuantity(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t bytes[smf::kMaxQuantityBytes];
  out.insert(out.end(), bytes, bytes + smf::WriteQuantity(value, bytes));
}

}  // namespace

bool WriteMidiFile(const std::string& path, std::span<const MidiChannelEvent> events,
                   double tempo_bpm, std::string* error) {
  const double microseconds = std::round(60e6 / tempo_bpm);
  if (!(microseconds >= 1 && microseconds <= 0xFFFFFF)) {
    *error = path + ": tempo " + std::to_string(tempo_bpm) + " bpm cannot be written";
    return false;
  }
  std::vector<MidiChannelEvent> sorted(events.begin(), events.end());
  std::stable_sort(
      sorted.begin(), sorted.end(),
      [](const MidiChannelEvent& a, const MidiChannelEvent& b) { return a.seconds < b.seconds; });
  const double ticks_per_second = kWrittenTicksPerQuarter * 1e6 / microseconds;
  constexpr uint64_t kMaxDelta = 0x0FFFFFFF;  // the largest 4-byte quantity
  std::vector<uint8_t> track = {0x00, smf::kMetaEvent, smf::kMetaSetTempo, 3};
  const auto tempo = static_cast<uint32_t>(microseconds);
  track.insert(track.end(), {static_cast<uint8_t>(tempo >> 16), static_cast<uint8_t>(tempo >> 8),
                             static_cast<uint8_t>(tempo)});
  uint64_t previous_tick = 0;
  for (const MidiChannelEvent& event : sorted) {
    const int size = ChannelMessageSize(event.bytes[0]);
    if (size == 0) {
      *error = path + ": " + "status " + std::to_string(event.bytes[0]) +
               " does not start a channel message";
      return false;
    }
    const auto tick =
        static_cast<uint64_t>(std::llround(std::max(0.0, event.seconds) * ticks_per_second));
    if (tick - previous_tick > kMaxDelta) {
      *error = path + ": a gap between events is too long to write";
      return false;
    }
    AppendQuantity(track, static_cast<uint32_t>(tick - previous_tick));
    track.insert(track.end(), event.bytes, event.bytes + size);
    previous_tick = tick;
  }
  track.insert(track.end(), {0x00, smf::kMetaEvent, smf::kMetaEndOfTrack, 0x00});
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd'};
  AppendBe32(file, 6);
  AppendBe16(file, 0);  // format 0
  AppendBe16(file, 1);  // one track
  AppendBe16(file, kWrittenTicksPerQuarter);
  file.insert(file.end(), {'M', 'T', 'r', 'k'});
  AppendBe32(file, static_cast<uint32_t>(track.size()));
  file.insert(file.end(), track.begin(), track.end());
  return WriteFileBytes(path, file, error);
}

}  // namespace ov
