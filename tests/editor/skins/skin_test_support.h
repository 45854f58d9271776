// What skin tests share: our own writers of PNG (through libpng's full
// interface, so every colour type, depth, interlace, tRNS and colour-space
// chunk can be made)
// and of Windows bitmaps (every header and layout the reader takes), and
// files in the test's temporary folder.
#pragma once

#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"

namespace ov::testing {

inline std::string TempPath(const std::string& suffix) {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  return ::testing::TempDir() + "orvane_" + test->test_suite_name() + "_" + test->name() + suffix;
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::string error;
  ASSERT_TRUE(WriteFileBytes(path, bytes, &error)) << error;
}

struct TestPng {
  TestPng(uint32_t w, uint32_t h, int type, int bit_depth, bool interlace = false)
      : width(w), height(h), colour_type(type), depth(bit_depth), interlaced(interlace) {}
  uint32_t width = 0;
  uint32_t height = 0;
  int colour_type = 0;
  int depth = 8;
  bool interlaced = false;
  std::vector<std::vector<uint8_t>> rows;  // packed as the PNG stores them
  std::vector<png_color> palette;
  std::vector<uint8_t> trns_alpha;  // palette images: alpha per entry
  bool has_trns_colour = false;
  png_color_16 trns_colour{};  // grey and RGB images: the clear colour
  // Colour-space chunks, which readers must not apply to skin pixels.
  png_fixed_point gamma = 0;  // gAMA in 1/100000 units; 0: none
  bool srgb = false;
  bool iccp = false;  // a minimal ICC profile of the image's colour space
};

// The smallest profile libpng takes: a 132-byte header with no tags.
inline std::vector<uint8_t> MinimalIccProfile(bool grey) {
  std::vector<uint8_t> icc(132, 0);
  const auto put = [&](std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) icc[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
  };
  const auto tag = [&](std::size_t at, const char* four) { std::memcpy(&icc[at], four, 4); };
  put(0, 132);
  put(8, 0x02100000);
  tag(12, "mntr");
  tag(16, grey ? "GRAY" : "RGB ");
  tag(20, "XYZ ");
  tag(36, "acsp");
  put(68, 0x0000F6D6);  // the D50 white point the header must name
  put(72, 0x00010000);
  put(76, 0x0000D32D);
  return icc;
}

inline void AppendBytes(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}

// The PNG bytes of `layout`. No object with a destructor lives across the
// setjmp, so libpng's error jump leaves nothing behind.
inline std::vector<uint8_t> EncodeTestPng(const TestPng& layout) {
  std::vector<uint8_t> out;
  // libpng's remarks on the test's own profiles are not the test's output.
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr,
                                            [](png_structp, png_const_charp) {});
  png_infop info = png_create_info_struct(png);
  std::vector<png_bytep> rows;
  for (const auto& row : layout.rows) rows.push_back(const_cast<png_bytep>(row.data()));
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    ADD_FAILURE() << "libpng could not write the test image";
    return {};
  }
  png_set_write_fn(png, &out, AppendBytes, nullptr);
  png_set_IHDR(png, info, layout.width, layout.height, layout.depth, layout.colour_type,
               layout.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!layout.palette.empty()) {
    png_set_PLTE(png, info, layout.palette.data(), static_cast<int>(layout.palette.size()));
  }
  if (!layout.trns_alpha.empty() || layout.has_trns_colour) {
    png_set_tRNS(png, info, layout.trns_alpha.empty() ? nullptr : layout.trns_alpha.data(),
                 static_cast<int>(layout.trns_alpha.size()),
                 layout.has_trns_colour ? &layout.trns_colour : nullptr);
  }
  if (layout.gamma != 0) png_set_gAMA_fixed(png, info, layout.gamma);
  if (layout.srgb) png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
  const std::vector<uint8_t> icc = MinimalIccProfile(!(layout.colour_type & PNG_COLOR_MASK_COLOR));
  if (layout.iccp) {
    png_set_iCCP(png, info, "test", PNG_COMPRESSION_TYPE_BASE, icc.data(),
                 static_cast<png_uint_32>(icc.size()));
  }
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

struct TestBmp {
  TestBmp(int32_t w, int32_t h, int bits_per_pixel, uint32_t header_size = 40,
          uint32_t compression_type = 0)
      : width(w),
        height(h),
        bits(bits_per_pixel),
        header(header_size),
        compression(compression_type) {}
  int32_t width = 0;
  int32_t height = 0;  // negative: rows stored top first
  int bits = 24;
  uint32_t header = 40;  // 12, 40 or 124
  uint32_t compression = 0;
  std::vector<uint32_t> palette;  // 0x00RRGGBB
  std::array<uint32_t, 3> masks{};
  // Top row first; palette index, 0x00RRGGBB (24 bits) or the raw value.
  std::vector<uint32_t> values;
};

inline void Put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline std::vector<uint8_t> EncodeTestBmp(const TestBmp& layout) {
  const int32_t rows = layout.height < 0 ? -layout.height : layout.height;
  const std::size_t stride = (static_cast<std::size_t>(layout.width) * layout.bits + 31) / 32 * 4;
  const bool masks_after = layout.header == 40 && layout.compression == 3;
  const std::size_t entry = layout.header == 12 ? 3 : 4;
  const std::size_t offset =
      14 + layout.header + (masks_after ? 12 : 0) + layout.palette.size() * entry;
  std::vector<uint8_t> out{'B', 'M'};
  Put(out, static_cast<uint32_t>(offset + stride * rows), 4);
  Put(out, 0, 4);
  Put(out, static_cast<uint32_t>(offset), 4);
  Put(out, layout.header, 4);
  if (layout.header == 12) {
    Put(out, layout.width, 2);
    Put(out, layout.height, 2);
    Put(out, 1, 2);
    Put(out, layout.bits, 2);
  } else {
    Put(out, layout.width, 4);
    Put(out, static_cast<uint32_t>(layout.height), 4);
    Put(out, 1, 2);
    Put(out, layout.bits, 2);
    Put(out, layout.compression, 4);
    Put(out, static_cast<uint32_t>(stride * rows), 4);
    Put(out, 2835, 4);
    Put(out, 2835, 4);
    Put(out, static_cast<uint32_t>(layout.palette.size()), 4);
    Put(out, 0, 4);
    for (uint32_t mask : layout.masks) Put(out, mask, 4);
    out.resize(14 + layout.header, 0);  // the rest of larger headers stays zero
    if (masks_after) {
      out.resize(14 + 40);
      for (uint32_t mask : layout.masks) Put(out, mask, 4);
    }
  }
  for (uint32_t colour : layout.palette) Put(out, colour, static_cast<int>(entry));
  for (int32_t r = 0; r < rows; ++r) {
    const int32_t y = layout.height < 0 ? r : rows - 1 - r;
    std::vector<uint8_t> row(stride, 0);
    for (int32_t x = 0; x < layout.width; ++x) {
      const uint32_t v = layout.values[static_cast<std::size_t>(y) * layout.width + x];
      const std::size_t bit = static_cast<std::size_t>(x) * layout.bits;
      if (layout.bits < 8) {
        row[bit / 8] |= static_cast<uint8_t>(v << (8 - layout.bits - bit % 8));
      } else {
        for (int i = 0; i < layout.bits / 8; ++i) row[bit / 8 + i] = static_cast<uint8_t>(v >> 8 * i);
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

}  // namespace ov::testing
