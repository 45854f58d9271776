// Any bytes given to the skin image readers (PNG and Windows bitmap) give
// an image whose pixel buffer matches its size, or a refusal; a decoded PNG
// written back and read again gives the same pixels.
#include <cstddef>
#include <cstdint>
#include <string>

#include "editor/skins/bmp_reader.h"
#include "editor/skins/skin_pixels.h"
#include "platform/png_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string error;
  for (const ov::SkinMode mode : {ov::SkinMode::kColour, ov::SkinMode::kGrey}) {
    const auto image = ov::DecodeSkinPng(data, size, mode, &error);
    if (!image) continue;
    const std::size_t count = static_cast<std::size_t>(image->width) * image->height;
    const bool grey = mode == ov::SkinMode::kGrey;
    if ((grey ? image->grey.size() : image->colour.size()) != count) __builtin_trap();
    const auto bytes = grey ? ov::EncodePngGrey(image->width, image->height, image->grey, &error)
                            : ov::EncodePngColour(image->width, image->height, image->colour,
                                                  &error);
    const auto again = ov::DecodeSkinPng(bytes.data(), bytes.size(), mode, &error);
    if (!again || again->colour != image->colour || again->grey != image->grey) __builtin_trap();
  }
  if (const auto bitmap = ov::ReadBmp(data, size, &error)) {
    if (bitmap->pixels.size() != static_cast<std::size_t>(bitmap->width) * bitmap->height) {
      __builtin_trap();
    }
  }
  return 0;
}
