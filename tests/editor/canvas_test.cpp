// Drawing primitives checked pixel by pixel: colour byte order, clips and
// origins, lines that leave out their end point, clipped copies.
#include <gtest/gtest.h>

#include "editor/canvas.h"

namespace ov {
namespace {

constexpr Colour kRed = MakeColour(255, 0, 0);

// The pixels of `image` set to `pixel`, as "x,y" in row order.
std::vector<std::string> Marked(const PixelImage& image, uint32_t pixel) {
  std::vector<std::string> marked;
  for (int32_t y = 0; y < image.Height(); ++y) {
    for (int32_t x = 0; x < image.Width(); ++x) {
      if (image.At(x, y) == pixel) marked.push_back(std::to_string(x) + "," + std::to_string(y));
    }
  }
  return marked;
}

TEST(Canvas, PlatformColoursAreWrittenBlueGreenRed) {
  PixelImage image(2, 1);
  Canvas canvas(image);
  canvas.FillRect({0, 0, 1, 1}, 0x00332211);  // red 0x11, green 0x22, blue 0x33
  const auto* bytes = reinterpret_cast<const uint8_t*>(image.Pixels().data());
  EXPECT_EQ(bytes[0], 0x33);
  EXPECT_EQ(bytes[1], 0x22);
  EXPECT_EQ(bytes[2], 0x11);
  EXPECT_EQ(image.At(1, 0), 0u);
  EXPECT_EQ(PixelOf(SystemColourValue(SystemColour::kWindow)), 0xFFFFFFu);
}

TEST(Canvas, ClipsNestInLogicalCoordinatesAndPopBack) {
  PixelImage image(20, 20);
  Canvas canvas(image);
  canvas.SetOrigin({5, 5});
  canvas.PushClip({0, 0, 10, 10});  // device (5, 5) - (15, 15)
  canvas.OffsetOrigin(3, 0);
  EXPECT_EQ(canvas.ClipBox(), (Rect{-3, 0, 7, 10}));
  canvas.PushClip({-10, -10, 2, 2});
  canvas.FillClip(kRed);
  EXPECT_EQ(Marked(image, PixelOf(kRed)).size(), 10u);  // x 5..9, y 5..6
  EXPECT_FALSE(canvas.RectVisible({2, 2, 4, 4}));
  canvas.PopClip();
  canvas.PopClip();
  canvas.PopClip();  // one too many: the image bounds stay
  EXPECT_EQ(canvas.ClipBox(), (Rect{-8, -5, 12, 15}));
}

TEST(Canvas, LinesLeaveOutTheEndPointInEveryDirection) {
  PixelImage image(8, 8);
  Canvas canvas(image);
  canvas.Line({1, 1}, {5, 1}, kRed);
  EXPECT_EQ(Marked(image, PixelOf(kRed)),
            (std::vector<std::string>{"1,1", "2,1", "3,1", "4,1"}));
  image = PixelImage(8, 8);
  canvas.Line({6, 6}, {2, 4}, kRed);  // leftwards and up, shallow: one pixel per column
  EXPECT_EQ(Marked(image, PixelOf(kRed)).size(), 4u);
  EXPECT_EQ(image.At(6, 6), PixelOf(kRed));
  EXPECT_EQ(image.At(2, 4), 0u);
  for (int32_t x = 3; x <= 6; ++x) {
    int32_t in_column = 0;
    for (int32_t y = 0; y < 8; ++y) in_column += image.At(x, y) == PixelOf(kRed);
    EXPECT_EQ(in_column, 1) << "column " << x;
  }
  image = PixelImage(8, 8);
  canvas.Line({1, 0}, {2, 5}, kRed);  // steep
  EXPECT_EQ(Marked(image, PixelOf(kRed)).size(), 5u);
  EXPECT_EQ(image.At(2, 5), 0u);
  image = PixelImage(8, 8);
  canvas.Line({3, 3}, {3, 3}, kRed);  // no length, nothing drawn
  EXPECT_TRUE(Marked(image, PixelOf(kRed)).empty());
  // A closed polyline draws each corner once: 4 sides of 3 pixels.
  const Point square[] = {{1, 1}, {4, 1}, {4, 4}, {1, 4}, {1, 1}};
  canvas.Polyline(square, kRed);
  EXPECT_EQ(Marked(image, PixelOf(kRed)).size(), 12u);
}

TEST(Canvas, CopiesAreClippedOnBothSides) {
  PixelImage source(4, 4);
  for (int32_t i = 0; i < 16; ++i) source.Pixels()[static_cast<std::size_t>(i)] = 100 + i;
  PixelImage image(6, 6);
  Canvas canvas(image);
  canvas.PushClip({0, 0, 5, 5});
  // A source area reaching beyond the source and a target beyond the clip.
  canvas.Copy(source, {2, 2, 9, 9}, {3, 3});
  EXPECT_EQ(image.At(3, 3), 110u);  // source (2, 2)
  EXPECT_EQ(image.At(4, 4), 115u);  // source (3, 3)
  EXPECT_EQ(image.At(5, 5), 0u);    // outside the clip
  EXPECT_EQ(image.At(2, 2), 0u);
}

}  // namespace
}  // namespace ov
