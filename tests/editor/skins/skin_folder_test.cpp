// Skin folders compiled into projects: every image read as the editor reads
// it from disk (PNG, bitmap with mask, key pixel; a PNG wins over a bitmap of
// the same name) and stored with its description and the folder's font
// categories; the stored project dumps and compiles back to the same bytes.
#include "editor/skins/skin_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "document/project_text.h"
#include "editor/skins/skin_pixels.h"
#include "editor/skins/skin_records.h"
#include "tests/editor/skins/skin_test_support.h"

namespace ov {
namespace {

using testing::EncodeTestBmp;
using testing::EncodeTestPng;
using testing::TempPath;
using testing::TestBmp;
using testing::TestPng;
using testing::WriteFile;

bool AnyFamily(std::string_view) { return true; }

void WriteText(const std::string& path, const std::string& text) {
  WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// knob.png (two 3 x 2 frames with alpha), plain.bmp with its mask,
// keyed.bmp whose top-left colour is clear, both.png beside both.bmp.
std::string MakeFolder() {
  const std::string dir = TempPath("_skin");
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  TestPng knob(3, 4, 6, 8);
  for (uint8_t y = 0; y < 4; ++y) {
    knob.rows.push_back({10, y, 20, 255, 30, y, 40, 128, 50, y, 60, 0});
  }
  WriteFile(dir + "/knob.png", EncodeTestPng(knob));
  WriteText(dir + "/knob.txt", "type knob\nframe_size 3 2\nmouse_response h\npadding 1 2 3 4\n");
  TestBmp plain(2, 2, 24);
  plain.values = {0x102030, 0x405060, 0x708090, 0xA0B0C0};
  WriteFile(dir + "/plain.bmp", EncodeTestBmp(plain));
  TestBmp mask(2, 2, 24);
  mask.values = {0x000000, 0xFF0000, 0x800000, 0x000000};
  WriteFile(dir + "/plain_mask.bmp", EncodeTestBmp(mask));
  TestBmp keyed(2, 1, 24);
  keyed.values = {0x00FF00, 0x112233};
  WriteFile(dir + "/keyed.bmp", EncodeTestBmp(keyed));
  WriteText(dir + "/keyed.txt", "transparent_pixel 0 0\n");
  WriteFile(dir + "/both.png", EncodeTestPng(knob));
  WriteFile(dir + "/both.bmp", EncodeTestBmp(plain));
  WriteText(dir + "/global.txt",
            "FONT_CATEGORY normal\nfont-size 14\nfont-color #0000ff\n"
            "FONT_CATEGORY tty\nfont-weight bold\nbackground-color #000000\n");
  return dir;
}

CompileOptions Options() {
  CompileOptions options;
  options.skin_folder = [](const std::string& name, const std::string& folder,
                           std::string* error) {
    return ReadSkinFolder(name, folder, AnyFamily, error);
  };
  return options;
}

Json Project(const std::string& folder) {
  return {{"skins", {{{"name", "mine"}, {"folder", folder}}}},
          {"root", {{"modules", {{{"type", "Container"}, {"name", "main"}}}}}}};
}

TEST(SkinFolders, ImagesAndCategoriesAreStoredAsTheEditorReadsThem) {
  const std::string dir = MakeFolder();
  std::string error;
  const std::unique_ptr<SkinInfo> skin = ReadSkinFolder("mine", dir, AnyFamily, &error);
  ASSERT_NE(skin, nullptr) << error;
  EXPECT_EQ(skin->name(), "mine");
  std::vector<std::string> names;
  for (const auto& image : skin->images()) names.push_back(image->name());
  EXPECT_EQ(names, (std::vector<std::string>{"both", "keyed", "knob", "plain"}));

  for (const auto& record : skin->images()) {
    const std::string stem = dir + "/" + record->name();
    const std::string path = stem + (record->name() == "plain" || record->name() == "keyed"
                                         ? ".bmp" : ".png");
    const int32_t key = record->name() == "keyed" ? 0 : -1;
    const auto on_disk =
        LoadSkinPixels(path, stem + "_mask.bmp", key, key, SkinMode::kColour, &error);
    ASSERT_TRUE(on_disk.has_value()) << error;
    const std::shared_ptr<SkinImage> stored = ImageFromRecord(*record);
    ASSERT_TRUE(DecodeStoredPixels(stored.get(), {}, &error)) << error;
    EXPECT_EQ(stored->pixels.colour, on_disk->colour) << record->name();
    EXPECT_EQ(record->width(), on_disk->width);
    EXPECT_EQ(record->height(), on_disk->height);
  }
  const auto* knob = dynamic_cast<const CAnimBitmap*>(skin->images()[2].get());
  ASSERT_NE(knob, nullptr);
  EXPECT_EQ(knob->last_frame(), 1);
  EXPECT_EQ(knob->mode_letter(), 1);
  EXPECT_EQ(knob->frame_size(), (Point{3, 2}));
  // Descriptions read top, bottom, left, right; records keep left, right,
  // top, bottom.
  EXPECT_EQ(knob->padding(), (std::array<int32_t, 4>{3, 4, 1, 2}));

  ASSERT_EQ(skin->fonts().size(), 2u);
  EXPECT_EQ(skin->fonts()[0]->size(), 14);
  EXPECT_EQ(skin->fonts()[0]->colour(), 0xff);
  EXPECT_EQ(skin->fonts()[1]->category(), "tty");
  EXPECT_EQ(skin->fonts()[1]->style(), kFontBold);
  EXPECT_EQ(skin->fonts()[1]->background(), 0);
}

TEST(SkinFolders, CompileDumpCompileGivesTheSameBytes) {
  const std::string dir = MakeFolder();
  const COrvaneDocBase first = CompileDocument(Project(dir), Options());
  const std::vector<uint8_t> stream = first.Write(first.version());
  ASSERT_EQ(first.skins().size(), 1u);
  EXPECT_EQ(first.skins()[0]->images().size(), 4u);

  COrvaneDocBase loaded;
  MessageSink messages;
  messages.SetLogToStderr(false);
  ASSERT_TRUE(loaded.Load(stream, {&messages, nullptr, false}).ok);
  const Json dumped = DumpDocument(loaded);
  EXPECT_EQ(dumped["skins"][0]["name"], "mine");
  const COrvaneDocBase again = CompileDocument(dumped, CompileOptions());
  EXPECT_EQ(again.Write(again.version()), stream);

  // A project that names no skins stores none.
  Json plain = Project(dir);
  plain.erase("skins");
  EXPECT_FALSE(DumpDocument(CompileDocument(plain, Options()))["skins_present"].get<bool>());
}

TEST(SkinFolders, BadFoldersAreRefusedWithWhereAndWhy) {
  const std::string dir = MakeFolder();
  auto refusal = [](const Json& text, const CompileOptions& options) {
    try {
      CompileDocument(text, options);
    } catch (const ArchiveError& error) {
      return error.Describe();
    }
    return std::string("accepted");
  };
  WriteText(dir + "/broken.png", "not a png");
  const std::string broken = refusal(Project(dir), Options());
  EXPECT_NE(broken.find("skins[0].folder"), std::string::npos) << broken;
  EXPECT_NE(broken.find("broken.png"), std::string::npos) << broken;

  EXPECT_NE(refusal(Project(dir + "/missing"), Options()).find("skins[0].folder"),
            std::string::npos);
  Json extra = Project(dir);
  extra["skins"][0]["colour"] = 1;
  EXPECT_NE(refusal(extra, Options()).find("skins[0].colour"), std::string::npos);
  EXPECT_NE(refusal(Project(dir), CompileOptions()).find("not read here"), std::string::npos);
}

}  // namespace
}  // namespace ov
