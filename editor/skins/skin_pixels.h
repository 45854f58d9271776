// The pixels of a skin image and how they are loaded from PNG bytes or image
// files. Colour images hold 0xTTRRGGBB per pixel (TT transparency: 0 opaque,
// 255 clear); grey images hold one coverage byte per pixel, rows of exactly
// width bytes, used as masks for tinted controls.
// Thread: editor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "editor/skin_source.h"
#include "platform/pixel_image.h"

namespace ov {

struct SkinPixels {
  int32_t width = 0;
  int32_t height = 0;
  SkinMode mode = SkinMode::kColour;
  std::vector<uint32_t> colour;  // width x height when mode is colour
  std::vector<uint8_t> grey;     // width x height when mode is grey
};

// The bytes an image of that size takes once decoded in `mode`.
std::size_t DecodedBytes(int32_t width, int32_t height, SkinMode mode);

// Decodes PNG bytes (archived images and .png files). In grey mode the byte
// kept is the grey value of grey images, blue of RGB and palette images and
// green of RGB images with alpha. Nothing, with `error` set, on a bad PNG
// or one whose size `admit` refuses before it is decoded.
std::optional<SkinPixels> DecodeSkinPng(const uint8_t* bytes, std::size_t size, SkinMode mode,
                                        std::string* error, const SizeCheck& admit = {});

// Loads an image file: PNG when the extension says so (any case), otherwise
// a Windows bitmap. A bitmap takes its transparency from `mask_path` when
// that file exists (the mask's red channel; only where the two overlap),
// else, when key_x >= 0 and (key_x, key_y) lies inside the image, every
// pixel of that pixel's colour is clear and the rest opaque. In grey mode a
// bitmap pixel becomes (red + green + blue) / 3. `admit` is asked for the
// image's size before it is decoded, and files are read only up to
// `most_file_bytes`.
std::optional<SkinPixels> LoadSkinPixels(const std::string& path, const std::string& mask_path,
                                         int32_t key_x, int32_t key_y, SkinMode mode,
                                         std::string* error, const SizeCheck& admit = {},
                                         std::size_t most_file_bytes = SIZE_MAX);

}  // namespace ov
