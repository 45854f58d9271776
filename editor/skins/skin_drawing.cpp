#include "editor/skins/skin_drawing.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace ov {
namespace {

constexpr int32_t kLinearOne = 16384;

// Linear levels of the 256 values, and the midpoints between neighbours
// that decide which value a level rounds to. Built once.
struct LinearTables {
  std::array<int32_t, 256> level{};
  std::array<int32_t, 255> midpoint{};

  LinearTables() {
    for (int c = 0; c < 256; ++c) {
      level[c] = static_cast<int32_t>(std::lround(std::pow(c / 255.0, 2.2) * kLinearOne));
    }
    for (int c = 0; c < 255; ++c) midpoint[c] = (level[c] + level[c + 1]) / 2;
  }

  // The value whose level is nearest; a level on a midpoint takes the lower.
  uint8_t Nearest(int32_t linear) const {
    int lo = 0;
    int hi = 255;  // answer in [lo, hi]
    while (lo < hi) {
      const int mid = (lo + hi) / 2;
      if (linear <= midpoint[mid]) {
        hi = mid;
      } else {
        lo = mid + 1;
      }
    }
    return static_cast<uint8_t>(lo);
  }
};

const LinearTables& Tables() {
  static const LinearTables tables;
  return tables;
}

// Weight w out of 16384 of the destination.
uint8_t MixLinear(const LinearTables& tables, uint8_t s, uint8_t d, int32_t w) {
  const int32_t ls = tables.level[s];
  const int32_t ld = tables.level[d];
  return tables.Nearest(ls + w * (ld - ls) / kLinearOne);
}

int32_t WeightOf(uint8_t t) { return (t * kLinearOne + 127) / 255; }

uint8_t Channel(uint32_t pixel, int shift) { return static_cast<uint8_t>(pixel >> shift); }

// Where a source rectangle lands: the device rectangle drawn and the offset
// from device to source coordinates.
struct Placement {
  PixelRect dest;
  int32_t shift_x = 0;
  int32_t shift_y = 0;
};

Placement Place(const Canvas& canvas, int32_t width, int32_t height, const PixelRect& from,
                Point at) {
  const PixelRect src = Intersect(from, {0, 0, width, height});
  const Point origin = canvas.Origin();
  const Rect clip = canvas.ClipBox();
  const PixelRect device_clip{clip.left + origin.x, clip.top + origin.y, clip.right + origin.x,
                              clip.bottom + origin.y};
  Placement p;
  p.shift_x = at.x + origin.x - from.left;
  p.shift_y = at.y + origin.y - from.top;
  p.dest = Intersect(device_clip, {src.left + p.shift_x, src.top + p.shift_y, src.right + p.shift_x,
                                   src.bottom + p.shift_y});
  return p;
}

// Calls blend(source value, destination pixel) for every pixel drawn.
template <class Value, class Blend>
void ForEachPixel(Canvas& canvas, const SkinPixels& image, const std::vector<Value>& values,
                  const PixelRect& from, Point at, Blend blend) {
  if (values.size() != static_cast<std::size_t>(image.width) * image.height) return;
  const Placement p = Place(canvas, image.width, image.height, from, at);
  for (int32_t y = p.dest.top; y < p.dest.bottom; ++y) {
    const Value* row = values.data() + static_cast<std::size_t>(y - p.shift_y) * image.width;
    uint32_t* out = canvas.Target().Row(y);
    for (int32_t x = p.dest.left; x < p.dest.right; ++x) blend(row[x - p.shift_x], out[x]);
  }
}

// Coverage o of a colour over a pixel: 255 writes it, 0 leaves the pixel,
// the rest blends in linear light.
class MaskMixer {
 public:
  explicit MaskMixer(uint32_t pixel) : pixel_(pixel), tables_(Tables()) {}
  void operator()(uint8_t o, uint32_t& d) const {
    if (o == 255) {
      d = pixel_;
    } else if (o != 0) {
      const int32_t w = WeightOf(static_cast<uint8_t>(255 - o));
      d = MixLinear(tables_, Channel(pixel_, 0), Channel(d, 0), w) |
          (MixLinear(tables_, Channel(pixel_, 8), Channel(d, 8), w) << 8) |
          (MixLinear(tables_, Channel(pixel_, 16), Channel(d, 16), w) << 16);
    }
  }

 private:
  uint32_t pixel_;
  const LinearTables& tables_;
};

template <class Mix>
void DrawColour(Canvas& canvas, const SkinPixels& image, const PixelRect& from, Point at, Mix mix) {
  ForEachPixel(canvas, image, image.colour, from, at, [&](uint32_t s, uint32_t& d) {
    const uint8_t t = Channel(s, 24);
    if (t == 0) {
      d = s & 0xFFFFFF;
    } else if (t != 255) {
      d = mix(Channel(s, 0), Channel(d, 0), t) | (mix(Channel(s, 8), Channel(d, 8), t) << 8) |
          (mix(Channel(s, 16), Channel(d, 16), t) << 16);
    }
  });
}

}  // namespace

int32_t LinearLevel(uint8_t c) { return Tables().level[c]; }

uint8_t BlendChannel(uint8_t s, uint8_t d, uint8_t t) {
  // Arithmetic shift: floor division for negative differences too.
  return static_cast<uint8_t>(s + (((d - s) * t) >> 8));
}

uint8_t BlendChannelLinear(uint8_t s, uint8_t d, uint8_t t) {
  if (t == 0) return s;
  if (t == 255) return d;
  return MixLinear(Tables(), s, d, WeightOf(t));
}

void DrawTransparent(Canvas& canvas, const SkinPixels& image, const PixelRect& from, Point at) {
  DrawColour(canvas, image, from, at,
             [](uint8_t s, uint8_t d, uint8_t t) -> uint32_t { return BlendChannel(s, d, t); });
}

void DrawTransparentLinear(Canvas& canvas, const SkinPixels& image, const PixelRect& from,
                           Point at) {
  const LinearTables& tables = Tables();
  DrawColour(canvas, image, from, at, [&](uint8_t s, uint8_t d, uint8_t t) -> uint32_t {
    return MixLinear(tables, s, d, WeightOf(t));
  });
}

void DrawThroughMask(Canvas& canvas, const SkinPixels& mask, const PixelRect& from, Point at,
                     Colour colour) {
  ForEachPixel(canvas, mask, mask.grey, from, at, MaskMixer(PixelOf(colour)));
}

void DrawCoverage(Canvas& canvas, const uint8_t* coverage, int32_t width, int32_t height, Point at,
                  Colour colour) {
  if (coverage == nullptr || width <= 0 || height <= 0) return;
  const Placement p = Place(canvas, width, height, {0, 0, width, height}, at);
  const MaskMixer mix(PixelOf(colour));
  for (int32_t y = p.dest.top; y < p.dest.bottom; ++y) {
    const uint8_t* row = coverage + static_cast<std::size_t>(y - p.shift_y) * width;
    uint32_t* out = canvas.Target().Row(y);
    for (int32_t x = p.dest.left; x < p.dest.right; ++x) mix(row[x - p.shift_x], out[x]);
  }
}

PixelImage OpaqueCopy(const SkinPixels& image) {
  if (image.colour.size() != static_cast<std::size_t>(image.width) * image.height) return {};
  PixelImage copy(image.width, image.height);
  for (std::size_t i = 0; i < image.colour.size(); ++i) {
    const uint32_t s = image.colour[i];
    copy.Pixels()[i] = (s >> 24) == 0 ? s : 0;
  }
  return copy;
}

void DrawPanelBackground(Canvas& canvas, const PixelImage& opaque, int32_t mode_letter,
                         Colour window) {
  const Rect clip = canvas.ClipBox();
  const int32_t w = opaque.Width();
  const int32_t h = opaque.Height();
  if (w <= 0 || h <= 0) {
    canvas.FillRect(clip, window);
    return;
  }
  if (mode_letter == 0) {
    const auto floor_multiple = [](int32_t v, int32_t step) {
      return static_cast<int32_t>(
          (v >= 0 ? v / step : -((-static_cast<int64_t>(v) + step - 1) / step)) * step);
    };
    for (int32_t y = floor_multiple(clip.top, h); y < clip.bottom; y += h) {
      for (int32_t x = floor_multiple(clip.left, w); x < clip.right; x += w) {
        canvas.Copy(opaque, opaque.Bounds(), {x, y});
      }
    }
    return;
  }
  canvas.Copy(opaque, opaque.Bounds(), {0, 0});
  canvas.FillRect({std::max(clip.left, w), clip.top, clip.right, std::min(clip.bottom, h)}, window);
  canvas.FillRect({clip.left, std::max(clip.top, h), clip.right, clip.bottom}, window);
}

}  // namespace ov
