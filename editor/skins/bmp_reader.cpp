#include "editor/skins/bmp_reader.h"

#include <algorithm>
#include <array>
#include <bit>

#include "platform/byte_order.h"

namespace ov {
namespace {

constexpr int64_t kMaxSide = 16384;
constexpr uint32_t kRgb = 0;
constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint32_t kBitFields = 3;
constexpr uint32_t kAlphaBitFields = 6;


// One colour channel of a bit-field pixel, widened to 8 bits.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint64_t max = 0;

  explicit Channel(uint32_t m) : mask(m) {
    if (m == 0) return;
    shift = std::countr_zero(m);
    max = (static_cast<uint64_t>(m) >> shift);
  }
  uint32_t Of(uint32_t pixel) const {
    if (max == 0) return 0;
    const uint64_t v = (pixel & mask) >> shift;
    return static_cast<uint32_t>((v * 255 + max / 2) / max);
  }
};

std::nullopt_t Fail(std::string* error, const char* why) {
  *error = why;
  return std::nullopt;
}

}  // namespace

std::optional<BmpImage> ReadBmp(const uint8_t* bytes, std::size_t size, std::string* error,
                                const SizeCheck& admit) {
  if (size < 14 + 12 || bytes[0] != 'B' || bytes[1] != 'M') {
    return Fail(error, "not a Windows bitmap");
  }
  const uint32_t data_offset = LoadLe32(bytes + 10);
  const uint32_t header_size = LoadLe32(bytes + 14);
  const uint8_t* h = bytes + 14;
  if (header_size != 12 && header_size < 40) {
    return Fail(error, "unknown bitmap header");
  }
  if (14 + static_cast<std::size_t>(header_size) > size) {
    return Fail(error, "the bitmap header is cut short");
  }
  int64_t width = 0;
  int64_t height = 0;
  uint32_t bits = 0;
  uint32_t compression = kRgb;
  uint32_t colours_used = 0;
  std::size_t palette_entry = 4;
  if (header_size == 12) {
    width = LoadLe16(h + 4);
    height = LoadLe16(h + 6);
    bits = LoadLe16(h + 10);
    palette_entry = 3;
  } else {
    width = static_cast<int32_t>(LoadLe32(h + 4));
    height = static_cast<int32_t>(LoadLe32(h + 8));
    bits = LoadLe16(h + 14);
    compression = LoadLe32(h + 16);
    colours_used = LoadLe32(h + 32);
  }
  if (compression == kRle8 || compression == kRle4) {
    return Fail(error,
                "run-length compressed bitmaps are not supported; save it uncompressed or as PNG");
  }
  if (compression != kRgb && compression != kBitFields && compression != kAlphaBitFields) {
    return Fail(error, "this bitmap compression is not supported");
  }
  const bool top_down = height < 0;
  if (top_down) height = -height;
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
    return Fail(error, "the bitmap is empty or larger than 16384 pixels on a side");
  }
  if (admit && !admit(static_cast<int32_t>(width), static_cast<int32_t>(height))) {
    return Fail(error, "the bitmap's size was not admitted");
  }
  const bool fields = compression != kRgb;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    return Fail(error, "unsupported bits per pixel");
  }
  if (fields && bits != 16 && bits != 32) {
    return Fail(error, "bit fields need 16 or 32 bits per pixel");
  }

  // Bit-field masks sit inside larger headers, or just after the 40-byte one.
  std::size_t after_header = 14 + static_cast<std::size_t>(header_size);
  std::array<uint32_t, 3> masks{0x7C00, 0x03E0, 0x001F};
  if (bits == 32) masks = {0xFF0000, 0xFF00, 0xFF};
  if (fields) {
    std::size_t at = 14 + 40;
    if (header_size == 40) {
      const std::size_t count = compression == kAlphaBitFields ? 4 : 3;
      if (after_header + 4 * count > size) {
        return Fail(error, "the bitmap's colour masks are cut short");
      }
      after_header += 4 * count;
    } else if (header_size < 52) {
      return Fail(error, "the bitmap header has no colour masks");
    }
    for (int i = 0; i < 3; ++i) masks[i] = LoadLe32(bytes + at + 4 * i);
  }

  std::array<uint32_t, 256> palette{};  // indexes past the stored entries read black
  if (bits <= 8) {
    const std::size_t most = std::size_t{1} << bits;
    std::size_t count = colours_used == 0 || colours_used > most ? most : colours_used;
    // Writers often store fewer entries than the depth allows; take those
    // that fit before the pixels.
    if (data_offset > after_header) {
      count = std::min(count, (data_offset - after_header) / palette_entry);
    }
    if (after_header + count * palette_entry > size) {
      return Fail(error, "the bitmap's palette is cut short");
    }
    for (std::size_t i = 0; i < count; ++i) {
      const uint8_t* e = bytes + after_header + i * palette_entry;
      palette[i] = e[0] | (e[1] << 8) | (e[2] << 16);
    }
  }

  const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
  const std::size_t rows = static_cast<std::size_t>(height);
  if (data_offset > size || (size - data_offset) / stride < rows) {
    return Fail(error, "the bitmap's pixels are cut short");
  }

  const Channel red(masks[0]), green(masks[1]), blue(masks[2]);
  BmpImage image;
  image.width = static_cast<int32_t>(width);
  image.height = static_cast<int32_t>(height);
  image.pixels.resize(static_cast<std::size_t>(width) * rows);
  for (std::size_t y = 0; y < rows; ++y) {
    const std::size_t stored = top_down ? y : rows - 1 - y;
    const uint8_t* row = bytes + data_offset + stored * stride;
    uint32_t* out = image.pixels.data() + y * static_cast<std::size_t>(width);
    for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
      uint32_t pixel = 0;
      switch (bits) {
        case 1:
          pixel = palette[(row[x / 8] >> (7 - x % 8)) & 1];
          break;
        case 4:
          pixel = palette[(row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF];
          break;
        case 8:
          pixel = palette[row[x]];
          break;
        case 24:
          pixel = row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16);
          break;
        default: {
          const uint32_t v = bits == 16 ? LoadLe16(row + 2 * x) : LoadLe32(row + 4 * x);
          pixel = blue.Of(v) | (green.Of(v) << 8) | (red.Of(v) << 16);
        }
      }
      out[x] = pixel;
    }
  }
  return image;
}

}  // namespace ov
