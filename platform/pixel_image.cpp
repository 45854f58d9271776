#include "platform/pixel_image.h"

#include <algorithm>

namespace ov {

PixelRect Intersect(const PixelRect& a, const PixelRect& b) {
  PixelRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
  if (r.Empty()) return {};
  return r;
}

PixelRect Union(const PixelRect& a, const PixelRect& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

PixelImage::PixelImage(int32_t width, int32_t height, uint32_t fill)
    : width_(std::clamp(width, 0, 32767)),
      height_(std::clamp(height, 0, 32767)),
      pixels_(static_cast<std::size_t>(width_) * height_, fill) {}

bool SamePixels(const PixelImage& a, const PixelImage& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (std::size_t i = 0; i < a.Pixels().size(); ++i) {
    if (((a.Pixels()[i] ^ b.Pixels()[i]) & 0xFFFFFF) != 0) return false;
  }
  return true;
}

}  // namespace ov
