#include "platform/library_resource.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace ov {
namespace {

constexpr char kMagic[8] = {'O', 'v', 'R', 's', 'r', 'c', '0', '1'};

struct Trailer {
  char type[4];
  uint32_t identifier;
  uint64_t offset;
  uint64_t length;
};

uint64_t ReadLittleEndian(const uint8_t* bytes, int count) {
  uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

void AppendLittleEndian(std::vector<uint8_t>& out, uint64_t value, int count) {
  for (int i = 0; i < count; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A trailer is valid only when the resource it names ends exactly where the
// trailer begins, so stray bytes at the end of a library never pass as one.
std::optional<Trailer> ParseTrailer(const uint8_t* last_bytes, uint64_t file_size) {
  if (file_size < kResourceTrailerSize || std::memcmp(last_bytes, kMagic, 8) != 0) {
    return std::nullopt;
  }
  Trailer trailer{};
  std::memcpy(trailer.type, last_bytes + 8, 4);
  trailer.identifier = static_cast<uint32_t>(ReadLittleEndian(last_bytes + 12, 4));
  trailer.offset = ReadLittleEndian(last_bytes + 16, 8);
  trailer.length = ReadLittleEndian(last_bytes + 24, 8);
  const uint64_t resource_end = file_size - kResourceTrailerSize;
  if (trailer.offset > resource_end || trailer.length != resource_end - trailer.offset) {
    return std::nullopt;
  }
  return trailer;
}

std::array<char, 4> PaddedType(std::string_view type) {
  std::array<char, 4> padded{};
  std::memcpy(padded.data(), type.data(), type.size() < 4 ? type.size() : 4);
  return padded;
}

}  // namespace

std::optional<std::vector<uint8_t>> ReadAppendedResource(const std::string& library_path,
                                                         std::string_view type,
                                                         uint32_t identifier) {
  std::FILE* file = std::fopen(library_path.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  std::optional<std::vector<uint8_t>> result;
  uint8_t last_bytes[kResourceTrailerSize];
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  if (size >= static_cast<long>(kResourceTrailerSize) &&
      std::fseek(file, size - static_cast<long>(kResourceTrailerSize), SEEK_SET) == 0 &&
      std::fread(last_bytes, 1, sizeof last_bytes, file) == sizeof last_bytes) {
    const auto trailer = ParseTrailer(last_bytes, static_cast<uint64_t>(size));
    if (trailer && type.size() <= 4 &&
        std::memcmp(trailer->type, PaddedType(type).data(), 4) == 0 && trailer->identifier == identifier &&
        std::fseek(file, static_cast<long>(trailer->offset), SEEK_SET) == 0) {
      std::vector<uint8_t> bytes(trailer->length);
      if (std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size()) result = std::move(bytes);
    }
  }
  std::fclose(file);
  return result;
}

std::vector<uint8_t> AppendResource(std::span<const uint8_t> library, std::string_view type,
                                    uint32_t identifier, std::span<const uint8_t> resource) {
  std::size_t library_end = library.size();
  if (library.size() >= kResourceTrailerSize) {
    const uint8_t* last = library.data() + library.size() - kResourceTrailerSize;
    if (const auto old = ParseTrailer(last, library.size())) library_end = old->offset;
  }
  std::vector<uint8_t> out(library.begin(), library.begin() + static_cast<long>(library_end));
  out.insert(out.end(), resource.begin(), resource.end());
  out.insert(out.end(), kMagic, kMagic + 8);
  const std::array<char, 4> padded = PaddedType(type);
  out.insert(out.end(), padded.begin(), padded.end());
  AppendLittleEndian(out, identifier, 4);
  AppendLittleEndian(out, library_end, 8);
  AppendLittleEndian(out, resource.size(), 8);
  return out;
}

}  // namespace ov
