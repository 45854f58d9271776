// Text on the canvas with the pinned Liberation fonts (see font_test.cpp):
// where lines land for each alignment, what an opaque background fills,
// how boxes break and clip, that a style scope restores the canvas, and a
// golden picture of the styles compared exactly (same fonts, same FreeType
// load flags, same pixels).
#include <gtest/gtest.h>

#include "editor/skins/text_painter.h"
#include "editor/skins/text_style.h"
#include "tests/editor/editor_test_support.h"

namespace ov {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

// The columns holding any non-white pixel, as [first, last + 1).
std::pair<int32_t, int32_t> InkedColumns(const PixelImage& image) {
  int32_t first = image.Width();
  int32_t last = -1;
  for (int32_t y = 0; y < image.Height(); ++y) {
    for (int32_t x = 0; x < image.Width(); ++x) {
      if ((image.At(x, y) & 0xFFFFFF) != kWhite) {
        first = std::min(first, x);
        last = std::max(last, x);
      }
    }
  }
  return {first, last + 1};
}

Skin CategorySkin(FontCategory category) {
  Skin skin;
  skin.name = "test";
  skin.categories.push_back(std::move(category));
  return skin;
}

TEST(TextPainter, AlignmentBackgroundAndScopes) {
  FontCache fonts;
  FontCategory normal;
  normal.category = "normal";
  normal.size = 20;
  normal.colour = 0x0000FF;  // red, as a platform colour
  normal.background = MakeColour(0, 0, 255);
  normal.style = kFontRight;
  const Skin skin = CategorySkin(normal);

  PixelImage image(200, 40, kWhite);
  Canvas canvas(image);
  canvas.Text().colour = MakeColour(1, 2, 3);
  {
    TextStyleScope scope(canvas, fonts, skin, 0, std::nullopt);
    EXPECT_EQ(canvas.Text().align, TextState::Align::kRight) << "from the category's flags";
    EXPECT_TRUE(canvas.Text().opaque);
    const Point extent = TextExtent(*canvas.Text().font, "Mix");
    DrawTextLine(canvas, {150, 5}, "Mix");
    // The opaque fill covers exactly the extent left of the reference point.
    EXPECT_EQ(image.At(150 - extent.x, 5), 0x0000FFu);
    EXPECT_EQ(image.At(149, 5 + extent.y - 1), 0x0000FFu);
    EXPECT_EQ(image.At(150, 5), kWhite);
    EXPECT_EQ(image.At(150 - extent.x - 1, 5), kWhite);
    EXPECT_EQ(image.At(150 - extent.x, 5 + extent.y), kWhite);
  }
  EXPECT_EQ(canvas.Text().colour, MakeColour(1, 2, 3)) << "the scope restored the state";
  EXPECT_FALSE(canvas.Text().font);

  // By name: left unless told, never opaque.
  for (const TextState::Align align :
       {TextState::Align::kLeft, TextState::Align::kCentre, TextState::Align::kRight}) {
    PixelImage line(200, 30, kWhite);
    Canvas c(line);
    TextStyleScope scope(c, fonts, skin, "normal", align);
    EXPECT_FALSE(c.Text().opaque);
    const int32_t width = TextExtent(*c.Text().font, "HH").x;
    DrawTextLine(c, {100, 2}, "HH");
    const auto [first, end] = InkedColumns(line);
    const int32_t left = align == TextState::Align::kLeft     ? 100
                         : align == TextState::Align::kCentre ? 100 - width / 2
                                                              : 100 - width;
    // 'H' has side bearings of one or two pixels at this size.
    EXPECT_GE(first, left) << static_cast<int>(align);
    EXPECT_LE(first, left + 3) << static_cast<int>(align);
    EXPECT_LE(end, left + width) << static_cast<int>(align);
    EXPECT_GE(end, left + width - 3) << static_cast<int>(align);
  }
}

TEST(TextPainter, BoxesBreakWordsAndClip) {
  FontCache fonts;
  const auto font = fonts.Get("Courier New", 10, 0);  // 6 pixels a character
  ASSERT_TRUE(font->raster);
  using Lines = std::vector<std::string_view>;
  EXPECT_EQ(BreakLines(*font, "one two three", 50, true), (Lines{"one two", "three"}));
  EXPECT_EQ(BreakLines(*font, "one two three", 41, true), (Lines{"one", "two", "three"}));
  EXPECT_EQ(BreakLines(*font, "one two three", 50, false), (Lines{"one two three"}));
  EXPECT_EQ(BreakLines(*font, "a\r\nlongwordhere b", 30, true), (Lines{"a", "longwordhere", "b"}));
  EXPECT_EQ(BreakLines(*font, "", 30, true), (Lines{""}));

  PixelImage image(100, 60, kWhite);
  Canvas canvas(image);
  canvas.Text().font = font;
  DrawTextBox(canvas, {10, 10, 40, 24}, "MMMMMMMMMM MMMM", {.wrap = true});
  const auto [first, end] = InkedColumns(image);
  EXPECT_GE(first, 10);
  EXPECT_LE(end, 40) << "nothing outside the box";
  for (int32_t x = 0; x < 100; ++x) {
    for (int32_t y : {9, 24, 40}) EXPECT_EQ(image.At(x, y), kWhite) << x << "," << y;
  }
}

TEST(TextPainter, StylesMatchTheirGoldenPicture) {
  FontCache fonts;
  PixelImage image(240, 150, kWhite);
  Canvas canvas(image);
  const struct {
    const char* face;
    int32_t size;
    uint32_t style;
    int32_t background;
  } rows[] = {
      {"Arial", 12, 0, -1},
      {"Arial", 12, kFontBold, -1},
      {"Arial", 12, kFontItalic | kFontUnderline, -1},
      {"Times New Roman", 16, kFontCentred, 0xC0FFC0},
      {"Courier New", 14, kFontRight | kFontLight, -1},
      {"sans-serif", 24, kFontBold | kFontItalic, 0xFFE0E0},
  };
  int32_t y = 2;
  for (const auto& row : rows) {
    FontCategory category;
    category.category = "normal";
    category.face = row.face;
    category.size = row.size;
    category.style = row.style;
    category.colour = 0x402000;
    category.background = row.background;
    TextStyleScope scope(canvas, fonts, CategorySkin(category), 0, std::nullopt);
    const int32_t x = row.style & kFontCentred ? 120 : row.style & kFontRight ? 236 : 4;
    DrawTextLine(canvas, {x, y}, "Orvane 8M gj \xC3\xA9");
    y += canvas.Text().font->raster->LineHeight() + 2;
  }
  testing::ExpectMatchesGolden("skin_text_styles", image);
}

}  // namespace
}  // namespace ov
