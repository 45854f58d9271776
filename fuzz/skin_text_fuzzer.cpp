// Any text read as an image description or as a skin's global.txt gives
// sound values: frames are counted from any image size without a negative
// last frame, and every category has a lower-case name.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "editor/skins/skin_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ov::ImageDescription description;
  ov::ParseImageDescription(text, &description);
  for (const int32_t height : {0, 1, 640, 16384}) {
    ov::ImageDescription framed = description;
    ov::SetFrames(&framed, 64, height);
    if (framed.last_frame < 0) __builtin_trap();
  }
  const auto categories = ov::ParseGlobalText(
      text, [](std::string_view family) { return family.size() % 2 == 0; });
  for (const auto& category : categories) {
    if (category.category.empty()) __builtin_trap();
    for (char c : category.category) {
      if (c >= 'A' && c <= 'Z') __builtin_trap();
    }
  }
  return 0;
}
