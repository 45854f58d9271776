// A 32-bit BGRX image: each pixel is one uint32_t 0x00RRGGBB, so its bytes
// in memory are blue, green, red and an unused byte, the layout X servers
// take for 24-bit TrueColor at 32 bits per pixel.
// Thread: whichever owns the image.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace ov {

struct PixelRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  bool operator==(const PixelRect&) const = default;
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
};

PixelRect Intersect(const PixelRect& a, const PixelRect& b);
// The smallest rectangle holding both; an empty one holds nothing.
PixelRect Union(const PixelRect& a, const PixelRect& b);

// A point in pixels, of a window or the screen.
struct PixelPoint {
  int32_t x = 0;
  int32_t y = 0;
  bool operator==(const PixelPoint&) const = default;
};

// Asked by image decoders once a file's size is known and before its pixels
// are decoded: false refuses the image.
using SizeCheck = std::function<bool(int32_t width, int32_t height)>;

class PixelImage {
 public:
  PixelImage() = default;
  // Width and height are clamped to 0 ... 32767.
  PixelImage(int32_t width, int32_t height, uint32_t fill = 0);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  PixelRect Bounds() const { return {0, 0, width_, height_}; }
  uint32_t* Row(int32_t y) { return pixels_.data() + static_cast<std::size_t>(y) * width_; }
  const uint32_t* Row(int32_t y) const {
    return pixels_.data() + static_cast<std::size_t>(y) * width_;
  }
  uint32_t At(int32_t x, int32_t y) const { return Row(y)[x]; }
  std::vector<uint32_t>& Pixels() { return pixels_; }
  const std::vector<uint32_t>& Pixels() const { return pixels_; }

 private:
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::vector<uint32_t> pixels_;
};

// Same size and the same colour in every pixel, the unused byte ignored.
bool SamePixels(const PixelImage& a, const PixelImage& b);

}  // namespace ov
