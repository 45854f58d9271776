// Skin image drawing. Blends are checked for every (source, destination)
// pair at several transparencies against a double-precision reference of
// the rounding rules; drawing is checked for clipping, origin and the
// opaque and clear special cases.
#include "editor/skins/skin_drawing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace ov {
namespace {

constexpr int kTransparencies[] = {1, 2, 64, 127, 128, 200, 254};

double ReferenceLevel(int c) { return std::round(std::pow(c / 255.0, 2.2) * 16384.0); }

TEST(SkinBlend, PlainBlendFloorsTheDifference) {
  for (int t : kTransparencies) {
    for (int s = 0; s < 256; ++s) {
      for (int d = 0; d < 256; ++d) {
        const double expected = s + std::floor((d - s) * t / 256.0);
        ASSERT_EQ(BlendChannel(s, d, t), expected) << s << " " << d << " " << t;
      }
    }
  }
}

TEST(SkinBlend, LinearBlendLandsOnTheNearestLevel) {
  for (int c = 0; c < 256; ++c) ASSERT_EQ(LinearLevel(c), ReferenceLevel(c)) << c;
  EXPECT_EQ(LinearLevel(255), 16384);
  std::vector<double> levels;
  for (int c = 0; c < 256; ++c) levels.push_back(ReferenceLevel(c));
  for (int t : kTransparencies) {
    const double w = std::floor((t * 16384.0 + 127) / 255.0);
    for (int s = 0; s < 256; ++s) {
      for (int d = 0; d < 256; ++d) {
        const double target =
            ReferenceLevel(s) + std::trunc(w * (ReferenceLevel(d) - ReferenceLevel(s)) / 16384.0);
        // Levels rise with the value, so the nearest is beside the first
        // level at or above the target.
        const auto above = std::lower_bound(levels.begin(), levels.end(), target);
        double best = 1e9;
        if (above != levels.end()) best = *above - target;
        if (above != levels.begin()) best = std::min(best, target - *(above - 1));
        const int got = BlendChannelLinear(s, d, t);
        ASSERT_EQ(std::abs(ReferenceLevel(got) - target), best) << s << " " << d << " " << t;
      }
    }
  }
  EXPECT_EQ(BlendChannelLinear(10, 200, 0), 10);
  EXPECT_EQ(BlendChannelLinear(10, 200, 255), 200);
}

// A 3 x 2 colour image: opaque red, half-clear green, clear blue; then
// opaque white, opaque black, half-clear white.
SkinPixels Sample() {
  SkinPixels image;
  image.width = 3;
  image.height = 2;
  image.colour = {0x00FF0000, 0x8000FF00, 0xFF0000FF, 0x00FFFFFF, 0x00000000, 0x80FFFFFF};
  return image;
}

constexpr uint32_t kGrey = 0x404040;

TEST(SkinDraw, TransparencyOriginAndClipping) {
  PixelImage target(6, 5, kGrey);
  Canvas canvas(target);
  canvas.SetOrigin({1, 1});
  canvas.PushClip({0, 0, 4, 1});  // logical: only the first row of the image
  // The source rectangle reaches past the image; only the image is drawn.
  DrawTransparent(canvas, Sample(), {-1, 0, 5, 2}, {0, 0});
  const uint8_t half = BlendChannel(0xFF, 0x40, 0x80);
  const uint8_t none = BlendChannel(0x00, 0x40, 0x80);
  EXPECT_EQ(target.At(1, 1), kGrey) << "source column -1 lies outside the image";
  EXPECT_EQ(target.At(2, 1), 0xFF0000u);
  EXPECT_EQ(target.At(3, 1), static_cast<uint32_t>(none << 16 | half << 8 | none));
  EXPECT_EQ(target.At(4, 1), kGrey) << "clear";
  EXPECT_EQ(target.At(5, 1), kGrey) << "outside the clip";
  EXPECT_EQ(target.At(2, 2), kGrey) << "outside the clip";

  // Clipping the top-left edge moves the source with it.
  PixelImage second(4, 4, kGrey);
  Canvas moved(second);
  moved.PushClip({1, 1, 4, 4});
  DrawTransparent(moved, Sample(), {0, 0, 3, 2}, {0, 0});
  EXPECT_EQ(second.At(0, 0), kGrey);
  EXPECT_EQ(second.At(1, 1), 0u) << "image pixel (1, 1), black";
  EXPECT_EQ(second.At(2, 0), kGrey);

  PixelImage linear(3, 2, kGrey);
  Canvas linear_canvas(linear);
  DrawTransparentLinear(linear_canvas, Sample(), {0, 0, 3, 2}, {0, 0});
  const uint8_t lh = BlendChannelLinear(0xFF, 0x40, 0x80);
  const uint8_t ln = BlendChannelLinear(0x00, 0x40, 0x80);
  EXPECT_EQ(linear.At(0, 0), 0xFF0000u);
  EXPECT_EQ(linear.At(1, 0), static_cast<uint32_t>(ln << 16 | lh << 8 | ln));
  EXPECT_EQ(linear.At(2, 0), kGrey);
  EXPECT_EQ(linear.At(2, 1), static_cast<uint32_t>(lh << 16 | lh << 8 | lh));
}

TEST(SkinDraw, MasksTintAndModesDoNotMix) {
  SkinPixels mask;
  mask.mode = SkinMode::kGrey;
  mask.width = 3;
  mask.height = 1;
  mask.grey = {255, 0, 100};
  PixelImage target(3, 1, kGrey);
  Canvas canvas(target);
  DrawThroughMask(canvas, mask, {0, 0, 3, 1}, {0, 0}, MakeColour(255, 0, 0));
  EXPECT_EQ(target.At(0, 0), 0xFF0000u);
  EXPECT_EQ(target.At(1, 0), kGrey);
  const uint8_t red = BlendChannelLinear(0xFF, 0x40, 155);
  const uint8_t other = BlendChannelLinear(0x00, 0x40, 155);
  EXPECT_EQ(target.At(2, 0), static_cast<uint32_t>(red << 16 | other << 8 | other));

  // A grey image drawn as colour, or a colour one as a mask, draws nothing;
  // so does an image whose pixels disagree with its size.
  PixelImage untouched(3, 2, kGrey);
  Canvas other_canvas(untouched);
  DrawTransparent(other_canvas, mask, {0, 0, 3, 1}, {0, 0});
  DrawThroughMask(other_canvas, Sample(), {0, 0, 3, 2}, {0, 0}, 0);
  SkinPixels short_pixels = Sample();
  short_pixels.height = 3;
  DrawTransparentLinear(other_canvas, short_pixels, {0, 0, 3, 3}, {0, 0});
  EXPECT_TRUE(SamePixels(untouched, PixelImage(3, 2, kGrey)));

  const PixelImage copy = OpaqueCopy(Sample());
  EXPECT_EQ(copy.Pixels(), (std::vector<uint32_t>{0xFF0000, 0, 0, 0xFFFFFF, 0, 0}));
  EXPECT_EQ(OpaqueCopy(mask).Width(), 0);
}

TEST(SkinDraw, PanelBackgroundsTileOrCopyOnce) {
  PixelImage art(3, 2);
  for (int32_t i = 0; i < 6; ++i) art.Pixels()[i] = 0x010101u * (i + 1);
  constexpr Colour kWindow = MakeColour(255, 255, 255);

  // Tiled, painted through a clip that starts inside the third column of
  // tiles and with the origin moved: tiles stay anchored at multiples.
  PixelImage tiled(20, 12, kGrey);
  Canvas tiling(tiled);
  tiling.SetOrigin({-1, 0});
  tiling.PushClip({7, 3, 14, 9});
  DrawPanelBackground(tiling, art, 0, kWindow);
  for (int32_t y = 0; y < 12; ++y) {
    for (int32_t x = 0; x < 20; ++x) {
      const int32_t lx = x + 1;  // logical
      const bool inside = lx >= 7 && lx < 14 && y >= 3 && y < 9;
      EXPECT_EQ(tiled.At(x, y), inside ? art.At(lx % 3, y % 2) : kGrey) << x << "," << y;
    }
  }

  // Once at (0, 0), the window colour right of it and below it.
  PixelImage once(6, 5, kGrey);
  Canvas copying(once);
  DrawPanelBackground(copying, art, 1, kWindow);
  for (int32_t y = 0; y < 5; ++y) {
    for (int32_t x = 0; x < 6; ++x) {
      EXPECT_EQ(once.At(x, y), x < 3 && y < 2 ? art.At(x, y) : PixelOf(kWindow)) << x << "," << y;
    }
  }

  // An image with no size is never tiled (that would never end).
  PixelImage empty_target(4, 4, kGrey);
  Canvas empty_canvas(empty_target);
  DrawPanelBackground(empty_canvas, PixelImage(0, 7), 0, kWindow);
  EXPECT_TRUE(SamePixels(empty_target, PixelImage(4, 4, PixelOf(kWindow))));
}

}  // namespace
}  // namespace ov
