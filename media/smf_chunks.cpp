#include "media/smf_chunks.h"

#include <algorithm>

#include "platform/byte_order.h"
#include "media/smf_format.h"

namespace ov::smf {

QuantityRead ReadQuantity(std::span<const uint8_t> data, std::size_t& position, uint32_t& value) {
  value = 0;
  for (int i = 0; i < kMaxQuantityBytes; ++i) {
    if (position >= data.size()) return QuantityRead::kEndsEarly;
    const uint8_t byte = data[position++];
    value = (value << 7) | (byte & 0x7F);
    if (!(byte & 0x80)) return QuantityRead::kOk;
  }
  return QuantityRead::kTooLong;
}

int WriteQuantity(uint32_t value, uint8_t* out) {
  uint8_t groups[kMaxQuantityBytes];
  int count = 0;
  do {
    groups[count++] = value & 0x7F;
    value >>= 7;
  } while (value != 0 && count < kMaxQuantityBytes);
  for (int i = 0; i < count; ++i) {
    out[i] = groups[count - 1 - i] | (i + 1 < count ? 0x80 : 0x00);
  }
  return count;
}

std::optional<Chunk> ChunkAt(std::span<const uint8_t> file, std::size_t offset) {
  constexpr std::size_t kHeader = 8;
  if (offset > file.size() || file.size() - offset < kHeader) return std::nullopt;
  Chunk chunk;
  chunk.offset = offset;
  chunk.declared_size = LoadBe32(&file[offset + 4]);
  chunk.body_begin = offset + kHeader;
  chunk.body_end = chunk.body_begin + std::min<std::size_t>(chunk.declared_size,
                                                            file.size() - chunk.body_begin);
  return chunk;
}

}  // namespace ov::smf
