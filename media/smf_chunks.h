// The Standard MIDI File structure shared by the file reader and writer,
// the MIDI player and the recorder: variable-length quantities and chunk
// bounds.
// Nothing here reads outside the bytes it is given, whatever the file says.
// Thread: any.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

namespace ov::smf {

enum class QuantityRead { kOk, kEndsEarly, kTooLong };

// Reads the quantity at `position` (7 bits a byte, most significant first,
// bit 7 set on all but the last) and moves `position` past the bytes read.
QuantityRead ReadQuantity(std::span<const uint8_t> data, std::size_t& position, uint32_t& value);

// Writes `value` (at most 28 bits) as a quantity into `out`; the byte count.
int WriteQuantity(uint32_t value, uint8_t* out);

struct Chunk {
  std::size_t offset = 0;  // of its 8-byte header
  uint32_t declared_size = 0;
  std::size_t body_begin = 0;
  std::size_t body_end = 0;  // the declared end, clamped to the file

  bool Is(const char* id, std::span<const uint8_t> file) const {
    return std::memcmp(&file[offset], id, 4) == 0;
  }
  bool Truncated() const { return body_end - body_begin < declared_size; }
  // Where the next chunk's header starts.
  std::size_t Next() const { return body_end; }
};

// The chunk whose header starts at `offset`; none when fewer than 8 bytes
// of the file are left there.
std::optional<Chunk> ChunkAt(std::span<const uint8_t> file, std::size_t offset);

}  // namespace ov::smf
