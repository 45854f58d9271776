// Where the panel's objects find their skins. The tree asks by name only;
// the skins themselves (images, fonts) live above the drawing core, which
// keeps the core free of image and font libraries.
// Thread: editor.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace ov {

class FontCache;
struct Skin;
struct SkinImage;

// Colour images hold transparency pixels; grey ones one coverage byte each.
enum class SkinMode : int32_t { kColour = 0, kGrey = 1 };

class SkinSource {
 public:
  virtual ~SkinSource() = default;
  // Never fails: an unknown name falls back as the skin list decides.
  virtual Skin& SkinNamed(std::string_view name) = 0;
  // The image `name` in `mode` for `skin`, or null when it has no pixels.
  virtual std::shared_ptr<const SkinImage> Image(Skin& skin, const std::string& name,
                                                 SkinMode mode) = 0;
  // The fonts every object of the tree draws its text with (one cache per
  // editor); null where the skins carry no fonts.
  virtual FontCache* Fonts() { return nullptr; }
};

}  // namespace ov
