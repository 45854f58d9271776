// Image descriptions and global.txt: what each key sets, how tokens split,
// and that hostile numbers and lines leave sound values.
#include "editor/skins/skin_text.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/text.h"

namespace ov {
namespace {

ImageDescription Described(std::string_view text) {
  ImageDescription d;
  ParseImageDescription(text, &d);
  return d;
}

TEST(ImageDescriptionText, EveryKeySetsItsFields) {
  const ImageDescription d = Described(
      "type slider\n"
      "frame_size 64, 32\r\n"
      "padding 1 2 3 4\n"
      "handle_rect 5,6,7,8\n"
      "handle_range 3 40\n"
      "mouse_response circular\n"
      "segment_count 9\n"
      "transparent_pixel 2 1\n"
      "unknown_key 1 2 3\n");
  EXPECT_EQ(d.type, kSkinSlider);
  EXPECT_EQ(d.frame_size, (Point{64, 32}));
  EXPECT_TRUE(d.frame_size_given);
  // Descriptions read padding as top, bottom, left, right.
  EXPECT_EQ(d.padding_top, 1);
  EXPECT_EQ(d.padding_bottom, 2);
  EXPECT_EQ(d.padding_left, 3);
  EXPECT_EQ(d.padding_right, 4);
  EXPECT_EQ(d.handle_rect, (Rect{5, 6, 7, 8}));
  EXPECT_EQ(d.range_start, 3);
  EXPECT_EQ(d.range_end, 40);
  EXPECT_EQ(d.mode_letter, 2);
  EXPECT_EQ(d.segment_count, 9);
  EXPECT_EQ(d.key_pixel, (Point{2, 1}));

  EXPECT_EQ(Described("orientation horizontal").mode_letter, 1);
  EXPECT_EQ(Described("tiled false").mode_letter, 1);
  EXPECT_EQ(Described("tiled true").mode_letter, 0);
  EXPECT_EQ(Described("orientation vertical").mode_letter, 0);
  EXPECT_EQ(Described("mouse_response rotary").mode_letter, 3);
  EXPECT_EQ(Described("mouse_response stepped").mode_letter, 4);
  EXPECT_EQ(Described("mouse_response wobbly").mode_letter, -1);
  EXPECT_EQ(Described("type bargraph\ntype button").type, kSkinButton);
  EXPECT_EQ(Described("segment 7").range_end, 50) << "the end is optional";
}

TEST(ImageDescriptionText, CommentsShortLinesAndOddSeparators) {
  EXPECT_EQ(Described("type slider\ntype knob ;a knob").type, kSkinKnob);
  EXPECT_EQ(Described("; type slider").type, kSkinKnob);
  EXPECT_EQ(Described(";type slider").type, kSkinKnob);
  const ImageDescription short_lines = Described("padding 1 2 3\nframe_size 5\nhandle_rect 1");
  EXPECT_EQ(short_lines.padding_top, 0);
  EXPECT_FALSE(short_lines.frame_size_given);
  EXPECT_EQ(short_lines.handle_rect, (Rect{0, 0, 10, 10}));
  // After a space, a rest that starts with a comma is one token: no number.
  EXPECT_EQ(Described("frame_size 20 ,30").frame_size, (Point{20, 10}));
  EXPECT_EQ(Described("frame_size x 30").frame_size, (Point{10, 30}));
  EXPECT_EQ(Described("Type slider").type, kSkinKnob) << "keys are case-sensitive";
}

TEST(ImageDescriptionText, FramesAreCountedAndNeverNegative) {
  ImageDescription strip = Described("frame_size 64 64");
  SetFrames(&strip, 64, 640);
  EXPECT_EQ(strip.last_frame, 9);

  ImageDescription whole;
  SetFrames(&whole, 30, 20);
  EXPECT_EQ(whole.frame_size, (Point{30, 20}));
  EXPECT_EQ(whole.last_frame, 0);

  for (const char* text : {"frame_size 10 100", "frame_size 10 0", "frame_size 10 -5"}) {
    ImageDescription d = Described(text);
    SetFrames(&d, 10, 40);
    EXPECT_EQ(d.last_frame, 0) << text;
  }

  const ImageDescription huge = Described("segment_count 99999999999\nhandle_range -99999999999");
  EXPECT_EQ(huge.segment_count, std::numeric_limits<int32_t>::max());
  EXPECT_EQ(huge.range_start, std::numeric_limits<int32_t>::min());
}

// A system with these three families.
bool Installed(std::string_view family) {
  for (const char* known : {"Arial", "Courier New", "Times New Roman"}) {
    if (EqualsIgnoringCase(family, known)) return true;
  }
  return false;
}

TEST(GlobalText, CategoriesTakeEachKey) {
  const auto categories = ParseGlobalText(
      "font-size 30\n"  // before any category: dropped
      "FONT_CATEGORY \"Heading 1\"\n"
      "font-family Unknown, 'Courier New', Arial\n"
      "font-size 18\n"
      "font-color #0000ff\n"
      "background-color 255\n"
      "text-align Right\n"
      "text-decoration underline\n"
      "font-style italic\n"
      "font-weight bold\n"
      "FONT_CATEGORY\n"
      "FONT_CATEGORY normal ; the plain one\r\n"
      "font-family Nothing 'Also, Nothing'\n"
      "text-align centre\n"
      "font-color #ffffffff\n",
      Installed);
  ASSERT_EQ(categories.size(), 2u);
  const FontCategory& heading = categories[0];
  EXPECT_EQ(heading.category, "heading 1");
  EXPECT_EQ(heading.face, "Courier New");
  EXPECT_EQ(heading.size, 18);
  EXPECT_EQ(heading.colour, 0x0000ff) << "six digits read blue, green, red: red";
  EXPECT_EQ(heading.background, 255);
  EXPECT_EQ(heading.style, kFontRight | kFontUnderline | kFontItalic | kFontBold);

  const FontCategory& normal = categories[1];
  EXPECT_EQ(normal.category, "normal");
  EXPECT_EQ(normal.face, "Arial");
  EXPECT_EQ(normal.size, 12);
  EXPECT_EQ(normal.style, kFontCentred);
  EXPECT_EQ(normal.colour, -1) << "eight digits fill all 32 bits";
}

TEST(GlobalText, FontWeightsAndFlagsOnlyAdd) {
  auto style_of = [](std::string_view lines) {
    const std::string text = "FONT_CATEGORY user 1\n" + std::string(lines);
    const auto categories = ParseGlobalText(text, Installed);
    return categories.empty() ? ~0u : categories[0].style;
  };
  EXPECT_EQ(style_of("font-weight 300"), kFontLight);
  EXPECT_EQ(style_of("font-weight 1"), kFontLight);
  EXPECT_EQ(style_of("font-weight 0"), 0u);
  EXPECT_EQ(style_of("font-weight 301"), 0u);
  EXPECT_EQ(style_of("font-weight 550"), 0u);
  EXPECT_EQ(style_of("font-weight 551"), kFontBold);
  EXPECT_EQ(style_of("font-weight Light"), kFontLight);
  EXPECT_EQ(style_of("font-weight normal"), 0u);
  EXPECT_EQ(style_of("text-align right\ntext-align left"), kFontRight);
  EXPECT_EQ(style_of("font-size\nfont-color\n'unclosed"), 0u);
  EXPECT_EQ(ParseGlobalText("FONT_CATEGORY user 1", Installed)[0].category, "user");
}

}  // namespace
}  // namespace ov
