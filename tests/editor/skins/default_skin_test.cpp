// The built-in default skin: every image compared exactly, transparency
// included, with its golden picture (the generator uses no rounding that
// could differ between builds, so any change is a change of the drawing);
// the descriptions controls depend on; and that a project without skins of
// its own draws with it.
#include "editor/skins/default_skin/default_skin.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "editor/skins/skin_records.h"
#include "platform/files.h"
#include "platform/png_codec.h"

namespace ov {
namespace {

constexpr const char* kImageNames[] = {
    "background", "knob_med", "knob_sm",    "vslider_med",   "hslider_med",
    "button",     "button_sm", "led",       "bar_graph1",    "switch_rotary",
    "arrow_left", "arrow_right", "drop_down", "lines", "IDB_BROWSE_BTNU"};

bool AnyFamily(std::string_view) { return true; }

// Compares the image with tests/editor/golden/default_skin/NAME.png, all 32
// bits of every pixel. OV_REWRITE_GOLDEN=1 writes the golden instead; a
// mismatch leaves NAME.actual.png in the build folder.
void ExpectMatchesGolden(const SkinImage& image) {
  const std::string golden =
      std::string(OV_SOURCE_DIR) + "/tests/editor/golden/default_skin/" + image.name + ".png";
  std::string error;
  const std::vector<uint8_t> encoded =
      EncodePngColour(image.pixels.width, image.pixels.height, image.pixels.colour, &error);
  ASSERT_FALSE(encoded.empty()) << error;
  if (const char* rewrite = std::getenv("OV_REWRITE_GOLDEN"); rewrite && std::string(rewrite) == "1") {
    ASSERT_TRUE(WriteFileBytes(golden, encoded, &error)) << error;
    return;
  }
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(ReadFileBytes(golden, 1 << 24, &bytes, &error)) << error;
  const auto expected = DecodePng(bytes.data(), bytes.size(), &error);
  ASSERT_TRUE(expected.has_value()) << error;
  if (expected->width == image.pixels.width && expected->height == image.pixels.height &&
      expected->pixels == image.pixels.colour) {
    return;
  }
  const char* build = std::getenv("OV_BUILD_DIR");
  const std::string actual = std::string(build ? build : ".") + "/" + image.name + ".actual.png";
  WriteFileBytes(actual, encoded, &error);
  int64_t differing = 0;
  for (std::size_t i = 0; i < expected->pixels.size() && i < image.pixels.colour.size(); ++i) {
    differing += expected->pixels[i] != image.pixels.colour[i];
  }
  ADD_FAILURE() << image.name << ": " << expected->width << "x" << expected->height
                << " golden against " << image.pixels.width << "x" << image.pixels.height << ", "
                << differing << " pixels differ; see " << actual;
}

const SkinImage* Find(const Skin& skin, std::string_view name,
                      SkinMode mode = SkinMode::kColour) {
  for (const auto& image : skin.images) {
    if (image->name == name && image->mode == mode) return image.get();
  }
  return nullptr;
}

TEST(DefaultSkin, EveryImageMatchesItsGoldenPicture) {
  const Skin skin = BuiltInSkin(AnyFamily);
  EXPECT_EQ(skin.name, "default");
  // Each image in colour and, for tinted controls, in grey.
  EXPECT_EQ(skin.images.size(), 2 * std::size(kImageNames));
  for (const char* name : kImageNames) {
    const SkinImage* image = Find(skin, name);
    ASSERT_NE(image, nullptr) << name;
    EXPECT_TRUE(image->HasPixels()) << name;
    ExpectMatchesGolden(*image);
    const SkinImage* grey = Find(skin, name, SkinMode::kGrey);
    ASSERT_NE(grey, nullptr) << name;
    EXPECT_EQ(grey->pixels.grey.size(), image->pixels.colour.size()) << name;
    EXPECT_EQ(grey->description.last_frame, image->description.last_frame) << name;
  }
}

TEST(DefaultSkin, DescriptionsGiveControlsWhatTheyNeed) {
  const Skin skin = BuiltInSkin(AnyFamily);
  auto described = [&](const char* name) { return Find(skin, name)->description; };
  // Controls that take the mouse need a response; an LED is display only.
  for (const char* name : {"knob_med", "knob_sm", "switch_rotary"}) {
    EXPECT_EQ(described(name).mode_letter, 3) << name;
    EXPECT_EQ(described(name).type, kSkinKnob) << name;
  }
  EXPECT_EQ(described("knob_med").last_frame, 60);
  EXPECT_EQ(described("switch_rotary").last_frame, 63);
  for (const char* name : {"button", "button_sm", "arrow_left", "arrow_right", "drop_down"}) {
    EXPECT_EQ(described(name).mode_letter, 2) << name;
    EXPECT_EQ(described(name).type, kSkinKnob) << name << ": buttons are two-frame knobs";
    EXPECT_EQ(described(name).last_frame, 1) << name;
  }
  EXPECT_EQ(described("led").mode_letter, -1);
  EXPECT_EQ(described("led").last_frame, 1);
  EXPECT_EQ(described("background").mode_letter, 0) << "tiled";
  EXPECT_EQ(described("vslider_med").mode_letter, 0);
  EXPECT_EQ(described("hslider_med").mode_letter, 1);

  // The handle lies in the image, beside frame 0, and travels the slot.
  for (const char* name : {"vslider_med", "hslider_med"}) {
    const SkinImage& slider = *Find(skin, name);
    const ImageDescription& d = slider.description;
    EXPECT_EQ(d.type, kSkinSlider);
    EXPECT_EQ(d.last_frame, 0) << name;
    EXPECT_LE(d.handle_rect.right, slider.pixels.width) << name;
    EXPECT_LE(d.handle_rect.bottom, slider.pixels.height) << name;
    const bool vertical = d.mode_letter == 0;
    EXPECT_GE(vertical ? d.handle_rect.top : d.handle_rect.left,
              vertical ? d.frame_size.y : d.frame_size.x)
        << name;
    const int32_t travel = d.range_end + (vertical ? d.handle_rect.bottom - d.handle_rect.top
                                                   : d.handle_rect.right - d.handle_rect.left);
    EXPECT_EQ(travel, vertical ? d.frame_size.y : d.frame_size.x) << name;
  }

  // All ten segments lit at full scale stay inside the frame and end on a
  // segment's top row.
  const ImageDescription bar = described("bar_graph1");
  EXPECT_EQ(bar.type, kSkinBarGraph);
  EXPECT_EQ(bar.last_frame, 1);
  EXPECT_LE((bar.segment_count + 1) * bar.range_end + bar.range_start - 1, bar.frame_size.y);

  // The panel-group frame: odd cell, line thickness from the width.
  const SkinImage& lines = *Find(skin, "lines");
  EXPECT_EQ(lines.description.frame_size.x % 2, 1);
  EXPECT_EQ(lines.pixels.width - lines.description.frame_size.x, 2);
  EXPECT_EQ(lines.description.segment_count, 3);
}

TEST(DefaultSkin, GlobalTextDefinesEveryCategoryPanelsAskFor) {
  const Skin skin = BuiltInSkin(AnyFamily);
  for (const char* name : {"normal", "heading 1", "heading 2", "heading 3", "user 1", "user 2",
                           "user 3", "control_label", "control_edit", "selector_text",
                           "switch_label", "panel_group", "tty"}) {
    bool found = false;
    for (const FontCategory& category : skin.categories) found |= category.category == name;
    EXPECT_TRUE(found) << name;
  }
  EXPECT_EQ(SkinList::Category(skin, "tty").face, "Courier New");
  EXPECT_GE(SkinList::Category(skin, "tty").background, 0);
  EXPECT_EQ(SkinList::Category(skin, "heading 1").style & kFontBold, kFontBold);
  // Without the family the face stays the plain one.
  EXPECT_EQ(SkinList::Category(BuiltInSkin([](std::string_view) { return false; }), "tty").face,
            "Arial");
}

TEST(DefaultSkin, AProjectWithoutSkinsDrawsWithIt) {
  MessageSink messages;
  messages.SetLogToStderr(false);
  SkinList list("", BuiltInSkin(AnyFamily), &messages, AnyFamily);
  for (Skin& skin : SkinsFromRecords({}, list)) list.Add(std::move(skin));
  Skin& skin = list.ByName("default");
  EXPECT_EQ(skin.name, "default");
  const auto knob = list.Image(skin, "knob_med", SkinMode::kColour);
  ASSERT_NE(knob, nullptr);
  EXPECT_EQ(knob->pixels.height, 40 * 61);
  EXPECT_NE(list.Image(list.ByName("any other name"), "background", SkinMode::kColour), nullptr);

  // A project skin without an image borrows the built-in one.
  Skin own;
  own.name = "default";
  Skin& listed = list.Add(std::move(own));
  EXPECT_EQ(list.Image(listed, "led", SkinMode::kColour), list.Image(skin, "led", SkinMode::kColour));
  EXPECT_TRUE(messages.Messages().empty());
}

}  // namespace
}  // namespace ov
