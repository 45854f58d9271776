// What a panel without skins of its own shows: the built-in default skin's
// background, tiled from the panel's top-left corner.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "editor/skins/default_skin/default_skin.h"

namespace ov::testing {

inline uint32_t DefaultBackgroundAt(int32_t x, int32_t y) {
  const Skin skin = BuiltInSkin([](std::string_view) { return true; });
  for (const auto& image : skin.images) {
    if (image->name != "background") continue;
    const SkinPixels& p = image->pixels;
    return p.colour[static_cast<std::size_t>(y % p.height) * p.width + x % p.width] & 0xFFFFFF;
  }
  return 0;
}

}  // namespace ov::testing
