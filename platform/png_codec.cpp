#include "platform/png_codec.h"

#include <png.h>

#include <cstring>

namespace ov {
namespace {

constexpr png_uint_32 kMaxSide = 32767;

}  // namespace

bool WritePngFile(const std::string& path, const PixelImage& image, std::string* error) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.Width());
  png.height = static_cast<png_uint_32>(image.Height());
  // BGRX pixels read as BGRA; the PNG keeps the colours, not the fourth byte.
  png.format = PNG_FORMAT_BGRA;
  std::vector<uint32_t> opaque = image.Pixels();
  for (uint32_t& pixel : opaque) pixel |= 0xFF000000u;
  if (!png_image_write_to_file(&png, path.c_str(), 0, opaque.data(), 0, nullptr)) {
    *error = path + ": " + png.message;
    return false;
  }
  return true;
}

std::optional<PixelImage> ReadPngFile(const std::string& path, std::string* error) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) {
    *error = path + ": " + png.message;
    return std::nullopt;
  }
  if (png.width == 0 || png.height == 0 || png.width > kMaxSide || png.height > kMaxSide) {
    png_image_free(&png);
    *error = path + ": the image is empty or larger than 32767 pixels on a side";
    return std::nullopt;
  }
  png.format = PNG_FORMAT_BGRA;
  PixelImage image(static_cast<int32_t>(png.width), static_cast<int32_t>(png.height));
  if (!png_image_finish_read(&png, nullptr, image.Pixels().data(), 0, nullptr)) {
    *error = path + ": " + png.message;
    return std::nullopt;
  }
  for (uint32_t& pixel : image.Pixels()) pixel &= 0xFFFFFF;
  return image;
}

}  // namespace ov
