// Fonts on a pinned system: FONTCONFIG_FILE names the project's fonts.conf,
// which holds only the Liberation fonts. Expected metrics are those of the
// fonts they twin (Arial: 'M' advances 1706 and '8' 1139 of 2048 units;
// Windows ascent 1854, descent 434; Courier New advances 1229), so sizes
// must be em heights in pixels, not points at some resolution.
#include <gtest/gtest.h>

#include <cstdlib>

#include "editor/skins/font_cache.h"
#include "editor/skins/skin_text.h"
#include "platform/font_files.h"

namespace ov {
namespace {

class PinnedFonts : public ::testing::Environment {
 public:
  void SetUp() override { setenv("FONTCONFIG_FILE", OV_SOURCE_DIR "/tests/fonts.conf", 1); }
};
const auto* const kPinned = ::testing::AddGlobalTestEnvironment(new PinnedFonts);

TEST(FontFiles, FamiliesAndTheirMetricTwins) {
  for (const char* family :
       {"Arial", "arial", "Times New Roman", "COURIER NEW", "Liberation Sans"}) {
    EXPECT_TRUE(FamilyInstalled(family)) << family;
  }
  EXPECT_FALSE(FamilyInstalled("DejaVu Sans")) << "the pinned system has only Liberation fonts";
  EXPECT_FALSE(FamilyInstalled("Nowhere Grotesk"));
  EXPECT_FALSE(FamilyInstalled(""));

  const auto categories =
      ParseGlobalText("FONT_CATEGORY normal\nfont-family Nowhere 'Courier New' Arial\n",
                      [](std::string_view family) { return FamilyInstalled(family); });
  ASSERT_EQ(categories.size(), 1u);
  EXPECT_EQ(categories[0].face, "Courier New");

  auto file_of = [](const char* family, bool bold, bool italic) {
    const auto file = FindFontFile(family, bold, false, italic);
    return file ? file->path.substr(file->path.rfind('/') + 1) : std::string("none");
  };
  EXPECT_EQ(file_of("Arial", false, false), "LiberationSans-Regular.ttf");
  EXPECT_EQ(file_of("Arial", true, false), "LiberationSans-Bold.ttf");
  EXPECT_EQ(file_of("Times New Roman", false, true), "LiberationSerif-Italic.ttf");
  EXPECT_EQ(file_of("Courier New", true, true), "LiberationMono-BoldItalic.ttf");
}

TEST(FontCacheText, SizesAreEmHeightsAndCellsAverageEightAndM) {
  FontCache cache;
  const auto arial = cache.Get("Arial", 100, 0);
  ASSERT_NE(arial->raster, nullptr);
  EXPECT_EQ(arial->raster->Ascent(), 91);   // 1854 * 100 / 2048
  EXPECT_EQ(arial->raster->Descent(), 21);  // 434 * 100 / 2048
  EXPECT_EQ(TextWidth(*arial->raster, "M"), 83);
  EXPECT_EQ(TextWidth(*arial->raster, "8"), 56);
  EXPECT_EQ(arial->cell, (Point{69, 112}));
  EXPECT_EQ(TextWidth(*arial->raster, "MM8"), 83 + 83 + 56) << "no kerning";

  const auto mono = cache.Get("monospace", 20, 0);
  ASSERT_NE(mono->raster, nullptr);
  EXPECT_EQ(TextWidth(*mono->raster, "iW.\xC3\xA9"), 4 * 12) << "Courier New twin, UTF-8 text";
  EXPECT_EQ(mono->cell.x, 12);

  const Glyph& m = arial->raster->GlyphOf('M');
  EXPECT_GT(m.width, 0);
  EXPECT_EQ(m.coverage.size(), static_cast<std::size_t>(m.width) * m.height);
  EXPECT_EQ(m.top, 69) << "the top of M at 1409 of 2048";
  const Glyph& space = arial->raster->GlyphOf(' ');
  EXPECT_TRUE(space.coverage.empty());
  EXPECT_EQ(space.advance, 28);

  // Hostile sizes are limited, not passed on.
  EXPECT_EQ(cache.Get("Arial", -5, 0)->raster->PixelSize(), 1);
  EXPECT_EQ(cache.Get("Arial", 1 << 30, 0)->raster->PixelSize(), 1024);
}

TEST(FontCacheText, KeepsElevenAndEvictedFontsStayUsable) {
  FontCache cache;
  const auto first = cache.Get("Arial", 10, 0);
  EXPECT_EQ(cache.Get("Arial", 10, kFontCentred), first) << "alignment does not make a font";
  EXPECT_NE(cache.Get("Arial", 10, kFontBold), first) << "bold does";
  for (int32_t size = 11; size < 20; ++size) cache.Get("Arial", size, 0);
  EXPECT_EQ(cache.Count(), 11u);
  EXPECT_EQ(cache.Get("Arial", 10, 0), first) << "still held: eleven are kept";
  cache.Get("Arial", 30, 0);  // the twelfth drops the oldest made
  EXPECT_EQ(cache.Count(), 11u);
  const auto remade = cache.Get("Arial", 10, 0);
  EXPECT_NE(remade, first);
  ASSERT_NE(first->raster, nullptr);
  EXPECT_GT(first->raster->GlyphOf('Q').advance, 0) << "a dropped font still draws";
}

TEST(FontCacheText, MalformedUtf8MeasuresAsReplacementCharacters) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5";
  std::size_t at = 0;
  EXPECT_EQ(NextCodePoint(text, &at), U'a');
  EXPECT_EQ(NextCodePoint(text, &at), U'\u00E9');
  EXPECT_EQ(NextCodePoint(text, &at), U'\u20AC');
  EXPECT_EQ(NextCodePoint(text, &at), U'\U0001F3B5');
  EXPECT_EQ(at, text.size());
  for (const std::string bad : {"\xC3", "\xC0\x80", "\xED\xA0\x80", "\xFF", "\xF4\x90\x80\x80"}) {
    std::size_t pos = 0;
    EXPECT_EQ(NextCodePoint(bad, &pos), U'\uFFFD');
    EXPECT_LE(pos, bad.size());
  }
}

}  // namespace
}  // namespace ov
