#include "platform/png_codec.h"

#include <png.h>

#include <algorithm>
#include <cstring>

namespace ov {
namespace {

constexpr png_uint_32 kMaxSide = 32767;

// The colour type the file declares, from the format libpng reports for it.
int DeclaredColourType(png_uint_32 format) {
  if (format & PNG_FORMAT_FLAG_COLORMAP) return 3;
  const bool colour = format & PNG_FORMAT_FLAG_COLOR;
  const bool alpha = format & PNG_FORMAT_FLAG_ALPHA;
  if (colour) return alpha ? 6 : 2;
  return alpha ? 4 : 0;
}

std::vector<uint8_t> Encode(png_image& png, const void* pixels, std::string* error) {
  png_alloc_size_t size = 0;
  if (!png_image_write_get_memory_size(png, size, 0, pixels, 0, nullptr)) {
    *error = png.message;
    return {};
  }
  std::vector<uint8_t> bytes(size);
  if (!png_image_write_to_memory(&png, bytes.data(), &size, 0, pixels, 0, nullptr)) {
    *error = png.message;
    return {};
  }
  bytes.resize(size);
  return bytes;
}

uint32_t To8(uint32_t wide) { return (wide * 255 + 32767) / 65535; }

// A fully clear pixel keeps no colour.
uint32_t Unpremultiply(uint32_t channel, uint32_t alpha) {
  if (alpha == 0) return 0;
  return std::min<uint32_t>(65535, (channel * 65535 + alpha / 2) / alpha);
}

// Deflate shrinks data at most about 1032 times, so a stream far shorter
// than its declared rows (at their fewest bits per pixel) is damaged; such a
// stream is refused before a buffer for its declared size is made.
bool CouldHoldPixels(const png_image& png, std::size_t size) {
  const uint64_t channels = PNG_IMAGE_SAMPLE_CHANNELS(png.format);
  uint64_t bits = 8 * channels;
  if (png.format & PNG_FORMAT_FLAG_LINEAR) bits = 16 * channels;
  if ((png.format & PNG_FORMAT_FLAG_COLORMAP) || channels == 1) bits = 1;
  const uint64_t row_bytes = 1 + (png.width * bits + 7) / 8;
  return png.height * row_bytes / 1032 <= size;
}

// PNG bytes of `count` pixels in `format`, when the count is the size's.
std::vector<uint8_t> EncodeSized(int32_t width, int32_t height, std::size_t count,
                                 png_uint_32 format, const void* pixels, std::string* error) {
  if (width <= 0 || height <= 0 || width > kMaxSkinImageSide || height > kMaxSkinImageSide ||
      count != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
    *error = "the image size does not match its pixels";
    return {};
  }
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(width);
  png.height = static_cast<png_uint_32>(height);
  png.format = format;
  return Encode(png, pixels, error);
}

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

std::optional<DecodedPng> DecodePng(const uint8_t* bytes, std::size_t size, std::string* error) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (bytes == nullptr || size == 0 || !png_image_begin_read_from_memory(&png, bytes, size)) {
    *error = size == 0 ? "no PNG bytes" : std::string("not a readable PNG: ") + png.message;
    return std::nullopt;
  }
  const auto side = static_cast<png_uint_32>(kMaxSkinImageSide);
  if (png.width == 0 || png.height == 0 || png.width > side || png.height > side) {
    png_image_free(&png);
    *error = "the PNG is empty or larger than 16384 pixels on a side";
    return std::nullopt;
  }
  if (!CouldHoldPixels(png, size)) {
    png_image_free(&png);
    *error = "the PNG is too short for the size it declares";
    return std::nullopt;
  }
  DecodedPng out;
  out.width = static_cast<int32_t>(png.width);
  out.height = static_cast<int32_t>(png.height);
  out.colour_type = DeclaredColourType(png.format);
  const std::size_t count = static_cast<std::size_t>(png.width) * png.height;
  if (png.format & PNG_FORMAT_FLAG_LINEAR) {
    // libpng 1.6.39 puts the rows of interlaced 16-bit images in the wrong
    // places when it reduces them to 8 bits itself, so 16-bit images are
    // read at full depth (premultiplied, as libpng gives linear data) and
    // reduced here.
    png.format = PNG_FORMAT_LINEAR_RGB_ALPHA;
    std::vector<uint16_t> wide(count * 4);
    if (!png_image_finish_read(&png, nullptr, wide.data(), 0, nullptr)) {
      *error = std::string("damaged PNG: ") + png.message;
      return std::nullopt;
    }
    out.pixels.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      const uint16_t* p = &wide[4 * i];
      out.pixels[i] = (static_cast<uint32_t>(255 - To8(p[3])) << 24) |
                      (To8(Unpremultiply(p[0], p[3])) << 16) |
                      (To8(Unpremultiply(p[1], p[3])) << 8) | To8(Unpremultiply(p[2], p[3]));
    }
    return out;
  }
  png.format = PNG_FORMAT_BGRA;
  out.pixels.resize(count);
  if (!png_image_finish_read(&png, nullptr, out.pixels.data(), 0, nullptr)) {
    *error = std::string("damaged PNG: ") + png.message;
    return std::nullopt;
  }
  for (uint32_t& pixel : out.pixels) pixel ^= 0xFF000000u;
  return out;
}

std::vector<uint8_t> EncodePngColour(int32_t width, int32_t height,
                                     const std::vector<uint32_t>& pixels, std::string* error) {
  std::vector<uint32_t> with_alpha = pixels;
  for (uint32_t& pixel : with_alpha) pixel ^= 0xFF000000u;
  return EncodeSized(width, height, pixels.size(), PNG_FORMAT_BGRA, with_alpha.data(), error);
}

std::vector<uint8_t> EncodePngGrey(int32_t width, int32_t height, const std::vector<uint8_t>& grey,
                                   std::string* error) {
  return EncodeSized(width, height, grey.size(), PNG_FORMAT_GRAY, grey.data(), error);
}

}  // namespace ov
