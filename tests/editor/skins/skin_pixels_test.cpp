// Skin images from PNG bytes and Windows bitmaps. Every expectation comes
// from the values the test wrote into the file, compared exactly: decoding
// is lossless for 8-bit data, and 16-bit test values are v * 257 so any
// honest reduction to 8 bits gives v.
#include "editor/skins/skin_pixels.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>

#include "editor/skins/bmp_reader.h"
#include "platform/png_codec.h"
#include "tests/editor/skins/skin_test_support.h"

namespace ov {
namespace {

using testing::EncodeTestBmp;
using testing::EncodeTestPng;
using testing::TempPath;
using testing::TestBmp;
using testing::TestPng;
using testing::WriteFile;

constexpr uint32_t kW = 5;
constexpr uint32_t kH = 3;

// A distinct value per channel and pixel.
uint8_t Sample(uint32_t x, uint32_t y, int channel) {
  return static_cast<uint8_t>(x * 47 + y * 91 + channel * 61 + 13);
}

// Alphas stay clear of 0 and 1.
uint8_t AlphaSample(uint32_t x, uint32_t y) {
  return static_cast<uint8_t>(7 + Sample(x, y, 3) % 240);
}

// One PNG row of 8- or 16-bit channels, alpha last when there is one.
std::vector<uint8_t> Row(uint32_t y, int channels, int depth, bool alpha) {
  std::vector<uint8_t> row;
  for (uint32_t x = 0; x < kW; ++x) {
    for (int c = 0; c < channels; ++c) {
      const uint8_t v = alpha && c == channels - 1 ? AlphaSample(x, y) : Sample(x, y, c);
      row.push_back(v);
      if (depth == 16) row.push_back(v);  // v * 257
    }
  }
  return row;
}

struct Case {
  int type;
  int channels;
};

std::optional<SkinPixels> Decode(const std::vector<uint8_t>& bytes, SkinMode mode) {
  std::string error;
  auto pixels = DecodeSkinPng(bytes.data(), bytes.size(), mode, &error);
  EXPECT_TRUE(pixels) << error;
  return pixels;
}

TEST(SkinPng, EveryColourTypeDepthAndInterlaceDecodesToTheSkinLayout) {
  for (Case c : {Case{0, 1}, Case{2, 3}, Case{4, 2}, Case{6, 4}}) {
    for (int depth : {8, 16}) {
      for (bool interlaced : {false, true}) {
        SCOPED_TRACE("type " + std::to_string(c.type) + " depth " + std::to_string(depth) +
                     (interlaced ? " interlaced" : ""));
        TestPng layout{kW, kH, c.type, depth, interlaced};
        const bool alpha = c.type == 4 || c.type == 6;
        for (uint32_t y = 0; y < kH; ++y) layout.rows.push_back(Row(y, c.channels, depth, alpha));
        const std::vector<uint8_t> bytes = EncodeTestPng(layout);
        auto colour = Decode(bytes, SkinMode::kColour);
        auto grey = Decode(bytes, SkinMode::kGrey);
        ASSERT_TRUE(colour && grey);
        ASSERT_EQ(colour->width, static_cast<int32_t>(kW));
        ASSERT_EQ(colour->height, static_cast<int32_t>(kH));
        ASSERT_EQ(colour->colour.size(), kW * kH);
        ASSERT_EQ(grey->grey.size(), kW * kH);
        for (uint32_t y = 0; y < kH; ++y) {
          for (uint32_t x = 0; x < kW; ++x) {
            const bool rgb = c.type == 2 || c.type == 6;
            const uint32_t r = Sample(x, y, 0);
            const uint32_t g = rgb ? Sample(x, y, 1) : r;
            const uint32_t b = rgb ? Sample(x, y, 2) : r;
            const uint32_t clear = alpha ? 255 - AlphaSample(x, y) : 0;
            EXPECT_EQ(colour->colour[y * kW + x], (clear << 24) | (r << 16) | (g << 8) | b)
                << x << "," << y;
            // Grey mode keeps grey, or blue of RGB, or green of RGB with alpha.
            const uint32_t kept = c.type == 6 ? g : b;
            EXPECT_EQ(grey->grey[y * kW + x], kept) << x << "," << y;
          }
        }
      }
    }
  }
}

TEST(SkinPng, PaletteLowDepthGreyAndTransparentColoursExpand) {
  // A palette image with per-entry alpha: entries read like RGB.
  TestPng palette{kW, 1, PNG_COLOR_TYPE_PALETTE, 8};
  palette.palette = {{10, 20, 30}, {200, 100, 50}};
  palette.trns_alpha = {255, 64};
  palette.rows = {{0, 1, 1, 0, 1}};
  auto colour = Decode(EncodeTestPng(palette), SkinMode::kColour);
  auto grey = Decode(EncodeTestPng(palette), SkinMode::kGrey);
  ASSERT_TRUE(colour && grey);
  EXPECT_EQ(colour->colour[0], 0x000A141Eu);
  EXPECT_EQ(colour->colour[1], 0xBFC86432u);
  EXPECT_EQ(grey->grey[0], 30);
  EXPECT_EQ(grey->grey[1], 50);

  // 2-bit grey: 0..3 widen to 0, 85, 170, 255.
  TestPng low{4, 1, PNG_COLOR_TYPE_GRAY, 2};
  low.rows = {{0b00011011}};
  auto widened = Decode(EncodeTestPng(low), SkinMode::kGrey);
  ASSERT_TRUE(widened);
  EXPECT_EQ(widened->grey, (std::vector<uint8_t>{0, 85, 170, 255}));

  // An RGB image whose tRNS colour marks clear pixels, interlaced.
  TestPng keyed{3, 1, PNG_COLOR_TYPE_RGB, 8, true};
  keyed.rows = {{1, 2, 3, 4, 5, 6, 1, 2, 3}};
  keyed.has_trns_colour = true;
  keyed.trns_colour.red = 1;
  keyed.trns_colour.green = 2;
  keyed.trns_colour.blue = 3;
  auto clear = Decode(EncodeTestPng(keyed), SkinMode::kColour);
  ASSERT_TRUE(clear);
  EXPECT_EQ(clear->colour, (std::vector<uint32_t>{0xFF010203u, 0x00040506u, 0xFF010203u}));
}

// Skin pixels are used as stored: gamma and colour-space chunks, which
// painting programs write (16-bit images with sRGB from GIMP and Krita),
// change nothing, at either depth, beside tRNS or not.
TEST(SkinPng, ColourSpaceChunksLeaveThePixelsAsStored) {
  struct Chunks {
    const char* name;
    png_fixed_point gamma;
    bool srgb;
    bool iccp;
    bool trns;
  };
  const Chunks kChunkSets[] = {
      {"none", 0, false, false, false},
      {"sRGB", 0, true, false, false},
      {"gAMA 1/2.2", 45455, false, false, false},
      {"gAMA 1", 100000, false, false, false},
      {"iCCP", 0, false, true, false},
      {"tRNS", 0, false, false, true},
      {"all", 45455, true, true, true},
  };
  // Two pixels: a mid colour, then the one tRNS marks clear.
  constexpr std::array<uint8_t, 3> kMid{128, 64, 200};
  constexpr std::array<uint8_t, 3> kKey{7, 8, 9};
  for (const Chunks& chunks : kChunkSets) {
    for (int type : {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB}) {
      for (int depth : {8, 16}) {
        SCOPED_TRACE(std::string(chunks.name) + " type " + std::to_string(type) + " depth " +
                     std::to_string(depth));
        const int channels = type == PNG_COLOR_TYPE_RGB ? 3 : 1;
        TestPng layout{2, 1, type, depth};
        std::vector<uint8_t> row;
        for (const auto& pixel : {kMid, kKey}) {
          for (int c = 0; c < channels; ++c) {
            row.push_back(pixel[c]);
            if (depth == 16) row.push_back(pixel[c]);  // v * 257
          }
        }
        layout.rows = {row};
        layout.gamma = chunks.gamma;
        layout.srgb = chunks.srgb;
        layout.iccp = chunks.iccp;
        layout.has_trns_colour = chunks.trns;
        const auto wide = [&](uint8_t v) {
          return static_cast<png_uint_16>(depth == 16 ? v * 257 : v);
        };
        layout.trns_colour.gray = wide(kKey[0]);
        layout.trns_colour.red = wide(kKey[0]);
        layout.trns_colour.green = wide(kKey[1]);
        layout.trns_colour.blue = wide(kKey[2]);
        auto decoded = Decode(EncodeTestPng(layout), SkinMode::kColour);
        ASSERT_TRUE(decoded);
        const auto expect = [&](const std::array<uint8_t, 3>& p, bool clear) {
          const uint32_t r = p[0];
          const uint32_t g = channels == 3 ? p[1] : r;
          const uint32_t b = channels == 3 ? p[2] : r;
          return (clear ? 0xFF000000u : 0u) | (r << 16) | (g << 8) | b;
        };
        EXPECT_EQ(decoded->colour,
                  (std::vector<uint32_t>{expect(kMid, false), expect(kKey, chunks.trns)}));
      }
    }
  }
}

TEST(SkinPng, WrittenImagesReadBackUnchanged) {
  std::vector<uint8_t> file;
  std::string error;
  const std::string sample = "/usr/share/doc/libpng-dev/examples/pngtest.png";
  ASSERT_TRUE(ReadFileBytes(sample, 1 << 20, &file, &error)) << error;
  auto original = Decode(file, SkinMode::kColour);
  ASSERT_TRUE(original);
  EXPECT_EQ(original->width, 91);
  EXPECT_EQ(original->height, 69);

  const auto bytes = EncodePngColour(original->width, original->height, original->colour, &error);
  ASSERT_FALSE(bytes.empty()) << error;
  auto again = Decode(bytes, SkinMode::kColour);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->colour, original->colour);

  const std::vector<uint8_t> mask{0, 1, 127, 128, 254, 255};
  const auto grey_bytes = EncodePngGrey(3, 2, mask, &error);
  auto grey = Decode(grey_bytes, SkinMode::kGrey);
  ASSERT_TRUE(grey);
  EXPECT_EQ(grey->grey, mask);

  // Sizes that disagree with the pixels are refused, never read past.
  EXPECT_TRUE(EncodePngGrey(4, 2, mask, &error).empty());
  EXPECT_TRUE(EncodePngColour(0, 0, {}, &error).empty());
}

TEST(SkinPng, DamagedOrOversizedStreamsAreRefused) {
  TestPng layout{kW, kH, PNG_COLOR_TYPE_RGB, 8};
  for (uint32_t y = 0; y < kH; ++y) layout.rows.push_back(Row(y, 3, 8, false));
  const std::vector<uint8_t> good = EncodeTestPng(layout);
  std::string error;
  for (std::size_t cut : {std::size_t{0}, std::size_t{8}, std::size_t{33}, good.size() - 20}) {
    EXPECT_FALSE(DecodeSkinPng(good.data(), cut, SkinMode::kColour, &error)) << cut;
    EXPECT_FALSE(error.empty());
  }
  std::vector<uint8_t> garbage(good.size(), 0x5A);
  EXPECT_FALSE(DecodeSkinPng(garbage.data(), garbage.size(), SkinMode::kColour, &error));

  TestPng wide{16385, 1, PNG_COLOR_TYPE_GRAY, 1};
  wide.rows = {std::vector<uint8_t>(2049, 0)};
  const std::vector<uint8_t> too_wide = EncodeTestPng(wide);
  EXPECT_FALSE(DecodeSkinPng(too_wide.data(), too_wide.size(), SkinMode::kGrey, &error));
  EXPECT_NE(error.find("16384"), std::string::npos) << error;

  // A stream that declares 16000 x 16000 RGBA but holds a few bytes is
  // refused before a gigabyte is set aside for it.
  std::vector<uint8_t> claims = good;
  const std::array<uint8_t, 4> side{0, 0, 0x3E, 0x80};  // 16000, big-endian
  std::copy(side.begin(), side.end(), claims.begin() + 16);
  std::copy(side.begin(), side.end(), claims.begin() + 20);
  claims[25] = PNG_COLOR_TYPE_RGB_ALPHA;
  const uLong crc = crc32(0, claims.data() + 12, 17);  // "IHDR" and its 13 bytes
  for (int i = 0; i < 4; ++i) claims[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  EXPECT_FALSE(DecodeSkinPng(claims.data(), claims.size(), SkinMode::kColour, &error));
  EXPECT_NE(error.find("too short"), std::string::npos) << error;
}

// Colours for bitmap tests, distinct per pixel.
uint32_t Rgb(int32_t x, int32_t y) {
  return (static_cast<uint32_t>(Sample(x, y, 0)) << 16) | (Sample(x, y, 1) << 8) | Sample(x, y, 2);
}

std::optional<BmpImage> Read(const std::vector<uint8_t>& bytes, std::string* error) {
  return ReadBmp(bytes.data(), bytes.size(), error);
}

TEST(Bmp, UncompressedDepthsHeadersAndRowOrders) {
  constexpr int32_t w = 3;  // odd, so rows need padding at every depth
  constexpr int32_t h = 2;
  const std::vector<uint32_t> palette{0x102030, 0xA0B0C0, 0x00FF00, 0x123456};
  for (int bits : {1, 4, 8, 24, 32}) {
    for (uint32_t header : {12u, 40u, 124u}) {
      for (bool top_down : {false, true}) {
        if (header == 12 && (top_down || bits == 32)) continue;
        SCOPED_TRACE(std::to_string(bits) + " bits, header " + std::to_string(header) +
                     (top_down ? ", top down" : ""));
        TestBmp layout{w, top_down ? -h : h, bits, header};
        std::vector<uint32_t> expected;
        for (int32_t y = 0; y < h; ++y) {
          for (int32_t x = 0; x < w; ++x) {
            if (bits <= 8) {
              const uint32_t index = (x + y * w) % (bits == 1 ? 2 : 4);
              layout.values.push_back(index);
              expected.push_back(palette[index]);
            } else {
              layout.values.push_back(Rgb(x, y));
              expected.push_back(Rgb(x, y));
            }
          }
        }
        if (bits <= 8) layout.palette.assign(palette.begin(), palette.begin() + (bits == 1 ? 2 : 4));
        std::string error;
        auto image = Read(EncodeTestBmp(layout), &error);
        ASSERT_TRUE(image) << error;
        EXPECT_EQ(image->width, w);
        EXPECT_EQ(image->height, h);
        EXPECT_EQ(image->pixels, expected);
      }
    }
  }
}

TEST(Bmp, SixteenBitAndBitFieldLayoutsWidenEachChannel) {
  std::string error;
  // Plain 16 bits are 5-5-5: full red, half green (15 of 31), no blue.
  TestBmp plain{2, 1, 16};
  plain.values = {0x7C00 | (15 << 5), 0x001F};
  auto a = Read(EncodeTestBmp(plain), &error);
  ASSERT_TRUE(a) << error;
  EXPECT_EQ(a->pixels, (std::vector<uint32_t>{0xFF7B00, 0x0000FF}));

  // 5-6-5 masks, after a 40-byte header and inside a 124-byte one.
  for (uint32_t header : {40u, 124u}) {
    TestBmp fields{2, 1, 16, header, 3};
    fields.masks = {0xF800, 0x07E0, 0x001F};
    fields.values = {0xF800 | (32 << 5), 0x001F | (63 << 5)};
    auto b = Read(EncodeTestBmp(fields), &error);
    ASSERT_TRUE(b) << error;
    EXPECT_EQ(b->pixels, (std::vector<uint32_t>{0xFF8200, 0x00FFFF})) << header;
  }

  // 32 bits with channels in an unusual order.
  TestBmp swapped{1, 1, 32, 40, 3};
  swapped.masks = {0x000000FF, 0x0000FF00, 0xFF000000};
  swapped.values = {0xAB00CD12};
  auto c = Read(EncodeTestBmp(swapped), &error);
  ASSERT_TRUE(c) << error;
  EXPECT_EQ(c->pixels, (std::vector<uint32_t>{0x12CDAB}));
}

TEST(Bmp, HostileFilesAreRefusedWithAReason) {
  std::string error;
  TestBmp rle{2, 2, 8, 40, 1};
  rle.palette = {0, 0xFFFFFF};
  rle.values = {0, 1, 1, 0};
  EXPECT_FALSE(Read(EncodeTestBmp(rle), &error));
  EXPECT_NE(error.find("run-length"), std::string::npos) << error;

  TestBmp good{4, 4, 24};
  good.values.assign(16, 0x123456);
  const std::vector<uint8_t> bytes = EncodeTestBmp(good);
  for (std::size_t cut : {std::size_t{0}, std::size_t{20}, std::size_t{50}, bytes.size() - 1}) {
    EXPECT_FALSE(ReadBmp(bytes.data(), cut, &error)) << cut;
  }

  auto patched = [&](std::size_t at, uint32_t value) {
    std::vector<uint8_t> copy = bytes;
    for (int i = 0; i < 4; ++i) copy[at + i] = static_cast<uint8_t>(value >> 8 * i);
    return Read(copy, &error);
  };
  EXPECT_FALSE(patched(10, 0xFFFFFFF0u)) << "pixel offset past the end";
  EXPECT_FALSE(patched(14, 0xFFFFFFFFu)) << "header larger than the file";
  EXPECT_FALSE(patched(18, 0)) << "no columns";
  EXPECT_FALSE(patched(18, 16385)) << "too wide";
  EXPECT_FALSE(patched(22, 0x80000000u)) << "the most negative height";
  EXPECT_FALSE(patched(22, static_cast<uint32_t>(-16385))) << "too tall, top down";
  EXPECT_FALSE(patched(28, 7)) << "7 bits per pixel";
  EXPECT_FALSE(patched(30, 3)) << "bit fields without masks at 24 bits";

  // Indexes past a short palette read black instead of past the palette.
  TestBmp short_palette{2, 1, 8};
  short_palette.palette = {0x445566};
  short_palette.values = {0, 200};
  auto image = Read(EncodeTestBmp(short_palette), &error);
  ASSERT_TRUE(image) << error;
  EXPECT_EQ(image->pixels, (std::vector<uint32_t>{0x445566, 0}));
}

TEST(SkinImageFile, MasksKeyColoursGreyModeAndExtensions) {
  TestBmp art{3, 2, 24};
  art.values = {0x0000FF, 0x808080, 0x0000FF, 0xFF0000, 0x00FF00, 0x0000FF};
  const std::string path = TempPath(".bmp");
  const std::string mask_path = TempPath("_mask.bmp");
  WriteFile(path, EncodeTestBmp(art));
  std::remove(mask_path.c_str());
  std::string error;

  // Without a mask: the key colour at (0, 0) is clear wherever it occurs.
  auto keyed = LoadSkinPixels(path, mask_path, 0, 0, SkinMode::kColour, &error);
  ASSERT_TRUE(keyed) << error;
  EXPECT_EQ(keyed->colour, (std::vector<uint32_t>{0xFF0000FF, 0x808080, 0xFF0000FF, 0xFF0000,
                                                  0x00FF00, 0xFF0000FF}));
  auto opaque = LoadSkinPixels(path, mask_path, -1, 0, SkinMode::kColour, &error);
  ASSERT_TRUE(opaque) << error;
  EXPECT_EQ(opaque->colour, art.values);
  auto outside = LoadSkinPixels(path, mask_path, 3, 0, SkinMode::kColour, &error);
  ASSERT_TRUE(outside) << error;
  EXPECT_EQ(outside->colour, art.values) << "a key position outside the image keys nothing";

  // A 2 x 1 mask: its red channel is the transparency, only where it overlaps.
  TestBmp mask{2, 1, 24};
  mask.values = {0xFF0000, 0x40FFFF};
  WriteFile(mask_path, EncodeTestBmp(mask));
  auto masked = LoadSkinPixels(path, mask_path, 0, 0, SkinMode::kColour, &error);
  ASSERT_TRUE(masked) << error;
  EXPECT_EQ(masked->colour, (std::vector<uint32_t>{0xFF0000FF, 0x40808080, 0x0000FF, 0xFF0000,
                                                   0x00FF00, 0x0000FF}));

  auto grey = LoadSkinPixels(path, mask_path, 0, 0, SkinMode::kGrey, &error);
  ASSERT_TRUE(grey) << error;
  EXPECT_EQ(grey->grey, (std::vector<uint8_t>{85, 128, 85, 85, 85, 85}));
  EXPECT_TRUE(grey->colour.empty());

  // The extension decides the decoder, in any case; a PNG named .bmp fails.
  std::vector<uint8_t> png_bytes = EncodePngGrey(1, 1, {77}, &error);
  const std::string upper = TempPath(".PNG");
  WriteFile(upper, png_bytes);
  auto from_png = LoadSkinPixels(upper, "", 0, 0, SkinMode::kGrey, &error);
  ASSERT_TRUE(from_png) << error;
  EXPECT_EQ(from_png->grey, std::vector<uint8_t>{77});
  WriteFile(path, png_bytes);
  EXPECT_FALSE(LoadSkinPixels(path, "", -1, -1, SkinMode::kColour, &error));
  EXPECT_FALSE(LoadSkinPixels(TempPath(".missing.png"), "", -1, -1, SkinMode::kColour, &error));
  EXPECT_NE(error.find("no such file"), std::string::npos) << error;
}

}  // namespace
}  // namespace ov
