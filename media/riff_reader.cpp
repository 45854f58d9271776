#include "media/riff_reader.h"

#include <cstring>
#include <utility>

#include "platform/byte_order.h"

namespace ov {
namespace {

constexpr std::size_t kChunkHeaderSize = 8;

}  // namespace

bool RiffChunk::Is(const char (&fourcc)[5]) const { return std::memcmp(id, fourcc, 4) == 0; }

std::string RiffChunk::Name() const {
  std::string name(id, 4);
  for (char& c : name) {
    if (c < 0x20 || c > 0x7e) c = '?';
  }
  return name;
}

RiffChunkReader::RiffChunkReader(std::span<const uint8_t> parent, std::size_t parent_offset,
                                 std::string parent_name)
    : parent_(parent), parent_offset_(parent_offset), parent_name_(std::move(parent_name)) {}

bool RiffChunkReader::Next(RiffChunk* chunk) {
  if (!error_.empty()) return false;
  const std::size_t remaining = parent_.size() - position_;
  if (remaining == 0) return false;
  const std::size_t header_offset = parent_offset_ + position_;
  if (remaining < kChunkHeaderSize) {
    error_ = "truncated chunk header at byte " + std::to_string(header_offset) + " in '" +
             parent_name_ + "'";
    return false;
  }
  const uint8_t* header = parent_.data() + position_;
  std::memcpy(chunk->id, header, 4);
  chunk->offset = header_offset;
  const uint32_t size = LoadLe32(header + 4);
  const std::size_t room = remaining - kChunkHeaderSize;
  if (size > room && clamp_) {
    chunk->body = parent_.subspan(position_ + kChunkHeaderSize, room);
    position_ = parent_.size();
    return true;
  }
  if (size > room) {
    error_ = "chunk '" + chunk->Name() + "' at byte " + std::to_string(header_offset) +
             " declares " + std::to_string(size) + " bytes, but '" + parent_name_ + "' has only " +
             std::to_string(room) + " left";
    return false;
  }
  chunk->body = parent_.subspan(position_ + kChunkHeaderSize, size);
  // Odd sizes are followed by a pad byte; writers often leave out the last one.
  const std::size_t padded = size + (size & 1u);
  position_ += kChunkHeaderSize + (padded <= room ? padded : size);
  return true;
}

std::optional<RiffChunkReader> OpenRiffForm(std::span<const uint8_t> file,
                                            const char (&form_type)[5], std::string* error) {
  if (file.size() < kChunkHeaderSize + 4 || std::memcmp(file.data(), "RIFF", 4) != 0) {
    *error = std::string("not a RIFF ") + form_type + " file";
    return std::nullopt;
  }
  RiffChunkReader top(file, 0, "file");
  RiffChunk riff{};
  if (!top.Next(&riff)) {
    *error = top.Error();
    return std::nullopt;
  }
  if (riff.body.size() < 4 || std::memcmp(riff.body.data(), form_type, 4) != 0) {
    *error = std::string("a RIFF file, but not of type ") + form_type;
    return std::nullopt;
  }
  return RiffChunkReader(riff.body.subspan(4), kChunkHeaderSize + 4, "RIFF");
}

}  // namespace ov
