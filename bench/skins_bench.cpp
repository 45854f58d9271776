// Drawing one 48 x 48 knob frame with linear-light transparency: a disc,
// opaque inside, clear outside, with a partly clear rim, and the worst case
// of every pixel partly clear (items are pixels, so the rate gives ns per
// pixel); and a short control label in Arial 12, glyphs already made.
#include <benchmark/benchmark.h>

#include <cmath>

#include "editor/skins/font_cache.h"
#include "editor/skins/skin_drawing.h"
#include "editor/skins/text_painter.h"

namespace ov {
namespace {

constexpr int32_t kSide = 48;

SkinPixels Frame(bool all_partly_clear) {
  SkinPixels frame;
  frame.width = kSide;
  frame.height = kSide;
  for (int32_t y = 0; y < kSide; ++y) {
    for (int32_t x = 0; x < kSide; ++x) {
      const double r = std::hypot(x - 23.5, y - 23.5);
      uint32_t t = r < 21 ? 0 : r > 23 ? 255 : static_cast<uint32_t>((r - 21) * 127);
      if (all_partly_clear) t = 1 + (x * 5 + y * 3) % 254;
      frame.colour.push_back(t << 24 | static_cast<uint32_t>(x * 5) << 16 | 0x8040);
    }
  }
  return frame;
}

void BM_KnobFrameLinearTransparency(benchmark::State& state) {
  const SkinPixels frame = Frame(state.range(0) != 0);
  PixelImage tile(128, 128, 0x203040);
  Canvas canvas(tile);
  for (auto _ : state) {
    DrawTransparentLinear(canvas, frame, {0, 0, kSide, kSide}, {40, 40});
    benchmark::DoNotOptimize(tile.Pixels().data());
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);
}
BENCHMARK(BM_KnobFrameLinearTransparency)->Arg(0)->Arg(1);

void BM_ShortLabel(benchmark::State& state) {
  FontCache fonts;
  PixelImage tile(128, 128, 0xFFFFFF);
  Canvas canvas(tile);
  canvas.Text().font = fonts.Get("Arial", 12, 0);
  canvas.Text().align = TextState::Align::kCentre;
  for (auto _ : state) {
    DrawTextLine(canvas, {64, 50}, "Cutoff");
    benchmark::DoNotOptimize(tile.Pixels().data());
  }
}
BENCHMARK(BM_ShortLabel);

}  // namespace
}  // namespace ov
