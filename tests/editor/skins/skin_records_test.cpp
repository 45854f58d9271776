// Skins read from a project: images decoded from their archived PNG bytes or
// raw pixels at their first lookup, descriptions taken from the archived
// fields (padding stored left, right, top, bottom), sizes that disagree with
// the pixels distrusted, images shared between skins decoded once.
#include "editor/skins/skin_records.h"

#include <gtest/gtest.h>

#include <tuple>

#include "document/base64.h"
#include "document/document.h"
#include "document/project_text.h"
#include "platform/png_codec.h"

namespace ov {
namespace {

std::string PngText(int32_t width, int32_t height, uint32_t pixel) {
  std::string error;
  const auto bytes = EncodePngColour(
      width, height, std::vector<uint32_t>(static_cast<std::size_t>(width) * height, pixel),
      &error);
  return EncodeBase64(bytes);
}

// Looks every image up once, which decodes it.
void LookUpAll(SkinList& list, std::vector<Skin>& skins) {
  for (Skin& skin : skins) {
    const auto images = skin.images;
    for (const auto& image : images) list.Image(skin, image->name, image->mode);
  }
}

TEST(SkinRecords, ProjectImagesDescriptionsAndCategories) {
  // The knob claims 99 x 99 but its PNG holds 4 x 30; its last frame 50
  // reaches past the three frames there are.
  const std::string text = R"json({
    "version": 95960, "plugin_id": "OvSk", "skins_present": true,
    "skins": [{"name": "default",
               "images": [{"class": "CAnimBitmap", "id": 1, "name": "knob", "width": 99,
                           "height": 99, "png": ")json" +
                           PngText(4, 30, 0x40112233) + R"json(",
                           "frame_size": [4, 10], "last_frame": 50, "type": 0,
                           "mode_letter": 2, "padding": [1, 2, 3, 4],
                           "handle_rect": [1, 2, 3, 5]},
                          {"class": "CSkinBitmap", "name": "back", "png": ")json" +
                           PngText(5, 6, 0x00FFFFFF) + R"json("},
                          {"class": "CSkinBitmap", "name": "broken", "png": "iVBORw=="}],
               "fonts": [{"class": "SkinFontInfo", "category": "normal", "face": "Courier New",
                          "size": 15, "colour": 255, "background": 0, "style": 128}]},
              {"name": "other", "images": [{"ref": 1}]}],
    "root": {"class": "CContainer", "type": "Container"}
  })json";
  const COrvaneDocBase document = CompileDocument(Json::parse(text), {});
  SkinList list("", Skin(), nullptr, [](std::string_view) { return true; });
  std::vector<Skin> skins = SkinsFromRecords(document.skins(), list);
  EXPECT_FALSE(skins[0].images[0]->HasPixels()) << "nothing is decoded before it is asked for";
  LookUpAll(list, skins);
  ASSERT_EQ(skins.size(), 2u);
  ASSERT_EQ(skins[0].images.size(), 3u);
  const SkinImage& knob = *skins[0].images[0];
  EXPECT_EQ(knob.name, "knob");
  EXPECT_EQ(knob.pixels.width, 4);
  EXPECT_EQ(knob.pixels.height, 30);
  EXPECT_EQ(knob.pixels.colour.size(), 120u);
  EXPECT_EQ(knob.pixels.colour[0], 0x40112233u);
  EXPECT_EQ(knob.description.last_frame, 2);
  EXPECT_EQ(knob.description.type, kSkinSlider);
  EXPECT_EQ(knob.description.mode_letter, 2);
  EXPECT_EQ(knob.description.padding_left, 1);
  EXPECT_EQ(knob.description.padding_right, 2);
  EXPECT_EQ(knob.description.padding_top, 3);
  EXPECT_EQ(knob.description.padding_bottom, 4);
  EXPECT_EQ(knob.description.handle_rect, (Rect{1, 2, 3, 5}));
  EXPECT_EQ(skins[1].images[0], skins[0].images[0]) << "shared, decoded once";

  const SkinImage& back = *skins[0].images[1];
  EXPECT_EQ(back.description.frame_size, (Point{5, 6})) << "a plain image is one frame";
  EXPECT_EQ(back.description.last_frame, 0);
  EXPECT_FALSE(skins[0].images[2]->HasPixels());

  ASSERT_EQ(skins[0].categories.size(), 1u);
  const FontCategory& normal = skins[0].categories[0];
  EXPECT_EQ(normal.face, "Courier New");
  EXPECT_EQ(normal.size, 15);
  EXPECT_EQ(normal.colour, 255);
  EXPECT_EQ(normal.background, 0);
  EXPECT_EQ(normal.style, kFontBold);
}

TEST(SkinRecords, OldStreamsRawPixelsOnlyWhenTheirCountFits) {
  auto project = [](int32_t width, int32_t height, std::size_t pixel_count) {
    std::vector<uint8_t> raw(pixel_count * 4, 0x7F);
    return Json::parse(R"json({"version": 94000, "plugin_id": "OvSk", "skins_present": true,
      "skins": [{"name": "default", "images": [{"class": "CSkinBitmap", "name": "old",
        "width": )json" +
                       std::to_string(width) + R"json(, "height": )json" + std::to_string(height) +
                       R"json(, "pixel_count": )json" + std::to_string(pixel_count) +
                       R"json(, "pixels": ")json" + EncodeBase64(raw) + R"json("}]}],
      "root": {"class": "CContainer", "type": "Container"}})json");
  };
  SkinList list("", Skin(), nullptr, [](std::string_view) { return true; });
  const COrvaneDocBase fits = CompileDocument(project(2, 3, 6), {});
  auto good = SkinsFromRecords(fits.skins(), list);
  LookUpAll(list, good);
  ASSERT_EQ(good.size(), 1u);
  ASSERT_EQ(good[0].images.size(), 1u);
  EXPECT_EQ(good[0].images[0]->pixels.colour, std::vector<uint32_t>(6, 0x7F7F7F7F));

  for (const auto& [width, height, count] :
       {std::tuple{2, 3, 5}, std::tuple{3, 3, 6}, std::tuple{-2, -3, 6}, std::tuple{0, 0, 1}}) {
    const COrvaneDocBase bad = CompileDocument(project(width, height, count), {});
    auto skins = SkinsFromRecords(bad.skins(), list);
    LookUpAll(list, skins);
    ASSERT_EQ(skins.size(), 1u);
    ASSERT_EQ(skins[0].images.size(), 1u);
    EXPECT_FALSE(skins[0].images[0]->HasPixels()) << width << " x " << height << ", " << count;
  }
}

}  // namespace
}  // namespace ov
