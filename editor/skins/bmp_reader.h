// Windows bitmap files, read by our own code: uncompressed (1, 4, 8, 16, 24
// and 32 bits per pixel) and bit-field layouts, rows stored either bottom-up
// or top-down. Run-length and embedded JPEG/PNG compressions are refused.
// The file is untrusted: every size, offset and palette index is checked.
// Thread: any (no shared state).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/pixel_image.h"

namespace ov {

struct BmpImage {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first
};

// Nothing, with `error` saying why, when the bytes are not a bitmap this
// reader takes, are cut short, exceed 16384 pixels on a side, or have a size
// that `admit` refuses (asked before any pixel is decoded).
std::optional<BmpImage> ReadBmp(const uint8_t* bytes, std::size_t size, std::string* error,
                                const SizeCheck& admit = {});

}  // namespace ov
