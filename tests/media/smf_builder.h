// The MIDI tests' own Standard MIDI File writer: a header and chunks as
// given, with no checks, so tests can also build broken files.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/byte_order.h"

namespace ov::testing {

struct SmfBuilder {
  uint16_t format = 1;
  uint16_t division = 96;
  int declared_tracks = -1;  // -1: the number of "MTrk" chunks
  std::vector<std::pair<std::string, std::vector<uint8_t>>> chunks;

  SmfBuilder& Track(std::vector<uint8_t> body) {
    chunks.emplace_back("MTrk", std::move(body));
    return *this;
  }
  SmfBuilder& Chunk(std::string id, std::vector<uint8_t> body) {
    chunks.emplace_back(std::move(id), std::move(body));
    return *this;
  }
  std::vector<uint8_t> Bytes() const {
    int tracks = 0;
    for (const auto& chunk : chunks) tracks += chunk.first == "MTrk";
    std::vector<uint8_t> file = {'M', 'T', 'h', 'd'};
    AppendBe32(file, 6);
    AppendBe16(file, format);
    AppendBe16(file, static_cast<uint16_t>(declared_tracks < 0 ? tracks : declared_tracks));
    AppendBe16(file, division);
    for (const auto& [id, body] : chunks) {
      file.insert(file.end(), id.begin(), id.end());
      AppendBe32(file, static_cast<uint32_t>(body.size()));
      file.insert(file.end(), body.begin(), body.end());
    }
    return file;
  }
};

// Track bytes: a delta time (as a variable-length quantity) before each event.
inline void AppendDelta(std::vector<uint8_t>& out, uint32_t value) {
  std::vector<uint8_t> groups;
  do {
    groups.push_back(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  for (std::size_t i = groups.size(); i-- > 1;) out.push_back(groups[i] | 0x80);
  out.push_back(groups[0]);
}

inline std::vector<uint8_t> TempoEvent(uint32_t microseconds) {
  return {0xFF, 0x51, 0x03, static_cast<uint8_t>(microseconds >> 16),
          static_cast<uint8_t>(microseconds >> 8), static_cast<uint8_t>(microseconds)};
}

struct TrackBuilder {
  std::vector<uint8_t> bytes;
  TrackBuilder& At(uint32_t delta, std::vector<uint8_t> event) {
    AppendDelta(bytes, delta);
    bytes.insert(bytes.end(), event.begin(), event.end());
    return *this;
  }
  std::vector<uint8_t> End(uint32_t delta = 0) {
    At(delta, {0xFF, 0x2F, 0x00});
    return bytes;
  }
};

}  // namespace ov::testing
