// The two text files of a skin: an image's description (frames, padding,
// handle, how a control responds to the mouse) and the skin's "global.txt"
// (font categories). Both come from users' folders, so any text parses:
// unknown keys and malformed numbers leave fields as they were.
// Thread: editor.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "document/geometry.h"

namespace ov {

// Image types and mode letters as controls read them.
enum SkinImageType : int32_t { kSkinSlider = 0, kSkinKnob = 1, kSkinButton = 2, kSkinBarGraph = 3 };

struct ImageDescription {
  int32_t segment_count = 5;
  int32_t mode_letter = -1;  // unset: display only
  int32_t range_end = 50;
  int32_t range_start = 0;
  Rect handle_rect{0, 0, 10, 10};
  Point frame_size{10, 10};
  bool frame_size_given = false;
  int32_t last_frame = -1;
  int32_t type = kSkinKnob;
  // As descriptions read them; archives store left, right, top, bottom.
  int32_t padding_top = 0;
  int32_t padding_bottom = 0;
  int32_t padding_left = 0;
  int32_t padding_right = 0;
  Point key_pixel{-1, -1};  // "transparent_pixel"; x < 0: none
};

// Applies every line of a description file, later lines overriding earlier.
void ParseImageDescription(std::string_view text, ImageDescription* description);

// Sets the frames once the image's size is known: frames are stacked
// vertically, so the last frame index is height / frame height - 1, never
// below 0; without a given frame size the whole image is one frame.
void SetFrames(ImageDescription* description, int32_t image_width, int32_t image_height);

// Style flags of a font category.
constexpr uint32_t kFontCentred = 0x8;
constexpr uint32_t kFontRight = 0x10;
constexpr uint32_t kFontUnderline = 0x40;
constexpr uint32_t kFontBold = 0x80;
constexpr uint32_t kFontLight = 0x100;
constexpr uint32_t kFontItalic = 0x200;

struct FontCategory {
  std::string category;  // lower case: "normal", "heading 1", ...
  std::string face = "Arial";
  int32_t size = 12;          // em height in pixels
  int32_t colour = 0xffffff;  // platform colour: red in the low byte
  int32_t background = -1;    // negative: transparent
  uint32_t style = 0;
  bool operator==(const FontCategory&) const = default;
};

// Answers whether a family name (as written, any case) is installed.
using FamilyCheck = std::function<bool(std::string_view family)>;

// The categories a "global.txt" defines, in order. Lines before the first
// "FONT_CATEGORY" change a scratch category that is then dropped. "#"
// colours are read as one hexadecimal number, so "#0000ff" is red.
std::vector<FontCategory> ParseGlobalText(std::string_view text, const FamilyCheck& installed);

}  // namespace ov
