// PNG files of BGRX images, through libpng's simplified interface.
// Thread: any (no shared state).
#pragma once

#include <optional>
#include <string>

#include "platform/pixel_image.h"

namespace ov {

// Writes an opaque RGB PNG. False, with `error` set, when it cannot.
bool WritePngFile(const std::string& path, const PixelImage& image, std::string* error);
// Reads a PNG of at most 32767 x 32767 pixels (alpha dropped); nothing, with
// `error` set, when the file is missing, damaged or too large.
std::optional<PixelImage> ReadPngFile(const std::string& path, std::string* error);

}  // namespace ov
