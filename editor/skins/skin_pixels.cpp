#include "editor/skins/skin_pixels.h"

#include <algorithm>

#include "editor/skins/bmp_reader.h"
#include "platform/files.h"
#include "platform/png_codec.h"
#include "platform/text.h"

namespace ov {
namespace {

// The largest image file read: a 16384 x 16384 32-bit bitmap and its header.
constexpr std::size_t kMaxFileBytes = (std::size_t{1} << 30) + (1 << 16);

bool HasPngExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  return EqualsIgnoringCase(std::string_view(path).substr(dot + 1), "png");
}

std::optional<BmpImage> ReadBmpFile(const std::string& path, std::string* error,
                                    const SizeCheck& admit, std::size_t most_bytes) {
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(path, std::min(kMaxFileBytes, most_bytes), &bytes, error)) return std::nullopt;
  std::optional<BmpImage> image = ReadBmp(bytes.data(), bytes.size(), error, admit);
  if (!image) *error = path + ": " + *error;
  return image;
}

uint32_t Red(uint32_t pixel) { return (pixel >> 16) & 0xFF; }

}  // namespace

std::size_t DecodedBytes(int32_t width, int32_t height, SkinMode mode) {
  const std::size_t pixels =
      static_cast<std::size_t>(std::max(width, 0)) * static_cast<std::size_t>(std::max(height, 0));
  return mode == SkinMode::kGrey ? pixels : pixels * sizeof(uint32_t);
}

std::optional<SkinPixels> DecodeSkinPng(const uint8_t* bytes, std::size_t size, SkinMode mode,
                                        std::string* error, const SizeCheck& admit) {
  std::optional<DecodedPng> png = DecodePng(bytes, size, error, admit);
  if (!png) return std::nullopt;
  SkinPixels out;
  out.width = png->width;
  out.height = png->height;
  out.mode = mode;
  if (mode == SkinMode::kColour) {
    out.colour = std::move(png->pixels);
    return out;
  }
  const int shift = png->colour_type == 6 ? 8 : 0;
  out.grey.reserve(png->pixels.size());
  for (uint32_t pixel : png->pixels) out.grey.push_back(static_cast<uint8_t>(pixel >> shift));
  return out;
}

std::optional<SkinPixels> LoadSkinPixels(const std::string& path, const std::string& mask_path,
                                         int32_t key_x, int32_t key_y, SkinMode mode,
                                         std::string* error, const SizeCheck& admit,
                                         std::size_t most_file_bytes) {
  if (!IsRegularFile(path)) {
    *error = path + ": no such file";
    return std::nullopt;
  }
  if (HasPngExtension(path)) {
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(path, std::min(kMaxFileBytes, most_file_bytes), &bytes, error)) {
      return std::nullopt;
    }
    std::optional<SkinPixels> pixels =
        DecodeSkinPng(bytes.data(), bytes.size(), mode, error, admit);
    if (!pixels) *error = path + ": " + *error;
    return pixels;
  }
  std::optional<BmpImage> image = ReadBmpFile(path, error, admit, most_file_bytes);
  if (!image) return std::nullopt;
  SkinPixels out;
  out.width = image->width;
  out.height = image->height;
  out.mode = mode;
  if (mode == SkinMode::kGrey) {
    out.grey.reserve(image->pixels.size());
    for (uint32_t p : image->pixels) {
      out.grey.push_back(static_cast<uint8_t>((Red(p) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3));
    }
    return out;
  }
  out.colour = std::move(image->pixels);
  std::optional<BmpImage> mask;
  if (IsRegularFile(mask_path)) {
    mask = ReadBmpFile(mask_path, error, admit, most_file_bytes);
    if (!mask) return std::nullopt;
  }
  if (mask) {
    const int32_t w = std::min(out.width, mask->width);
    const int32_t h = std::min(out.height, mask->height);
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        uint32_t& p = out.colour[static_cast<std::size_t>(y) * out.width + x];
        p |= Red(mask->pixels[static_cast<std::size_t>(y) * mask->width + x]) << 24;
      }
    }
  } else if (key_x >= 0 && key_x < out.width && key_y >= 0 && key_y < out.height) {
    const uint32_t key = out.colour[static_cast<std::size_t>(key_y) * out.width + key_x];
    for (uint32_t& p : out.colour) {
      if (p == key) p |= 0xFF000000u;
    }
  }
  return out;
}

}  // namespace ov
