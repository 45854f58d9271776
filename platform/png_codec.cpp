#include "platform/png_codec.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace ov {
namespace {

constexpr png_uint_32 kMaxSide = 32767;

// The header as the file declares it, before any transformation.
struct Header {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int depth = 0;
  int colour_type = 0;
  int Channels() const {
    switch (colour_type) {
      case PNG_COLOR_TYPE_RGB:
        return 3;
      case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
      case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
      default:
        return 1;
    }
  }
};

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

// Deflate shrinks data at most about 1032 times, so a stream far shorter
// than its declared rows (at the header's bits per pixel) is damaged; such a
// stream is refused before a buffer for its declared size is made.
bool CouldHoldPixels(const Header& header, std::size_t size) {
  const uint64_t bits = static_cast<uint64_t>(header.depth) * header.Channels();
  const uint64_t row_bytes = 1 + (header.width * bits + 7) / 8;
  return header.height * row_bytes / 1032 <= size;
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

// The stream libpng reads from memory, and the first error it met.
struct StreamReader {
  const uint8_t* bytes;
  std::size_t size;
  std::size_t at = 0;
  char message[128] = {};
};

void ReadFromStream(png_structp png, png_bytep out, png_size_t count) {
  auto* reader = static_cast<StreamReader*>(png_get_io_ptr(png));
  if (count > reader->size - reader->at) png_error(png, "the PNG is cut short");
  std::memcpy(out, reader->bytes + reader->at, count);
  reader->at += count;
}

[[noreturn]] void OnLibpngError(png_structp png, png_const_charp message) {
  auto* reader = static_cast<StreamReader*>(png_get_error_ptr(png));
  std::snprintf(reader->message, sizeof reader->message, "%s", message);
  png_longjmp(png, 1);
}

void OnLibpngWarning(png_structp, png_const_charp) {}

// The two steps that libpng may leave by its error jump hold no object with
// a destructor, so the jump skips nothing. The first reads the header and
// chooses the transformations: palettes, low-depth grey and tRNS expanded,
// 16-bit channels scaled to 8, grey widened to RGB, blue first, an opaque
// alpha added where there is none. Gamma and colour-space chunks are
// dropped unread: skin pixels are taken as stored, at any depth.
bool ReadHeader(png_structp png, png_infop info, Header* header) {
  if (setjmp(png_jmpbuf(png))) return false;
  static constexpr png_byte kIgnored[] = {'c', 'H', 'R', 'M', 0, 'g', 'A', 'M', 'A', 0,
                                          'i', 'C', 'C', 'P', 0, 's', 'R', 'G', 'B', 0};
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnored, 4);
  png_read_info(png, info);
  const int type = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  *header = {png_get_image_width(png, info), png_get_image_height(png, info), depth, type};
  if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (depth == 16) png_set_scale_16(png);
  if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_bgr(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  return true;
}

bool ReadRows(png_structp png, png_infop info, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  png_read_end(png, info);
  return true;
}

std::optional<DecodedPng> DecodeWith(png_structp png, png_infop info, StreamReader& reader,
                                     const SizeCheck& admit, std::string* error) {
  const auto failed = [&](const char* what) {
    *error = std::string(what) + reader.message;
    return std::nullopt;
  };
  Header header;
  if (!ReadHeader(png, info, &header)) return failed("not a readable PNG: ");
  const png_uint_32 width = header.width;
  const png_uint_32 height = header.height;
  const auto side = static_cast<png_uint_32>(kMaxSkinImageSide);
  if (width == 0 || height == 0 || width > side || height > side) {
    *error = "the PNG is empty or larger than 16384 pixels on a side";
    return std::nullopt;
  }
  if (!CouldHoldPixels(header, reader.size)) {
    *error = "the PNG is too short for the size it declares";
    return std::nullopt;
  }
  if (admit && !admit(static_cast<int32_t>(width), static_cast<int32_t>(height))) {
    *error = "the PNG's " + std::to_string(width) + " x " + std::to_string(height) +
             " pixels were not admitted";
    return std::nullopt;
  }
  if (png_get_rowbytes(png, info) != std::size_t{width} * 4) {
    *error = "the PNG does not expand to four bytes per pixel";
    return std::nullopt;
  }
  DecodedPng out;
  out.width = static_cast<int32_t>(width);
  out.height = static_cast<int32_t>(height);
  out.colour_type = header.colour_type;
  out.pixels.resize(std::size_t{width} * height);
  std::vector<png_bytep> rows(height);
  for (png_uint_32 y = 0; y < height; ++y) {
    rows[y] = reinterpret_cast<png_bytep>(out.pixels.data() + std::size_t{y} * width);
  }
  if (!ReadRows(png, info, rows.data())) return failed("damaged PNG: ");
  // Blue, green, red, alpha in memory: 0xAARRGGBB, alpha turned to transparency.
  for (uint32_t& pixel : out.pixels) pixel ^= 0xFF000000u;
  return out;
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

std::optional<DecodedPng> DecodePng(const uint8_t* bytes, std::size_t size, std::string* error,
                                    const SizeCheck& admit) {
  if (bytes == nullptr || size == 0) {
    *error = "no PNG bytes";
    return std::nullopt;
  }
  StreamReader reader{bytes, size};
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, OnLibpngError, OnLibpngWarning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    *error = "out of memory for the PNG reader";
    return std::nullopt;
  }
  png_set_read_fn(png, &reader, ReadFromStream);
  std::optional<DecodedPng> out = DecodeWith(png, info, reader, admit, error);
  png_destroy_read_struct(&png, &info, nullptr);
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
