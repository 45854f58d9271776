// The skin list: lookup by name and index with its fallbacks, skins read
// with their global.txt, and images found in the project, on disk (once,
// only under the skins folder) or in the built-in default skin.
#include "editor/skins/skin_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "editor/skins/image_decodes.h"
#include "platform/png_codec.h"
#include "tests/editor/skins/skin_test_support.h"

namespace ov {
namespace {

using testing::EncodeTestBmp;
using testing::TempPath;
using testing::TestBmp;
using testing::WriteFile;

bool AnyFamily(std::string_view) { return true; }

Skin Named(std::string name) {
  Skin skin;
  skin.name = std::move(name);
  return skin;
}

TEST(SkinListLookup, NamesIndexesAndFallbacks) {
  MessageSink messages;
  SkinList list("", Named("built-in"), &messages, AnyFamily);
  EXPECT_EQ(list.ByName("anything").name, "built-in") << "never without a skin";

  list.Add(Named("Alpha"));
  EXPECT_EQ(list.ByName("missing").name, "Alpha") << "no default: the first";
  list.Add(Named("Default"));
  Skin second = Named("alpha");
  second.images.push_back(std::make_shared<SkinImage>());
  EXPECT_EQ(list.Add(second).name, "Alpha");
  EXPECT_EQ(list.Count(), 2u) << "a second skin of a listed name is dropped";
  EXPECT_TRUE(list.ByName("ALPHA").images.empty());
  EXPECT_EQ(list.ByName("missing").name, "Default");
  EXPECT_EQ(list.LastMissingName(), "missing");
  EXPECT_EQ(list.ByIndex(0).name, "Alpha");
  EXPECT_EQ(list.ByIndex(7).name, "Default");

  Skin categories = Named("c");
  FontCategory heading;
  heading.category = "heading 2";
  heading.size = 20;
  categories.categories.push_back(heading);
  EXPECT_EQ(SkinList::Category(categories, 2).size, 20);
  EXPECT_EQ(SkinList::Category(categories, "Heading 2").size, 12) << "names compare exactly";
  EXPECT_EQ(SkinList::Category(categories, 99).face, "Arial");
  EXPECT_EQ(FontCategoryName(6), "user 3");
  EXPECT_EQ(FontCategoryName(-1), "normal");
}

// <temp>/skins with a "mine" skin and a "default" one.
struct SkinFolders {
  SkinFolders() {
    root = TempPath("_skins");
    std::filesystem::remove_all(root);  // what an earlier run left
    EXPECT_TRUE(CreateFolder(root + "/mine"));
    EXPECT_TRUE(CreateFolder(root + "/default"));
  }
  void Bmp(const std::string& path, int32_t width, int32_t height, uint32_t colour) {
    TestBmp layout(width, height, 24);
    layout.values.assign(static_cast<std::size_t>(width) * height, colour);
    WriteFile(root + "/" + path, EncodeTestBmp(layout));
  }
  void Text(const std::string& path, std::string_view text) {
    WriteFile(root + "/" + path, std::vector<uint8_t>(text.begin(), text.end()));
  }
  std::string root;
};

TEST(SkinListLookup, GlobalTextComesFromTheSkinOrTheDefaultFolder) {
  SkinFolders folders;
  folders.Text("mine/global.txt", "FONT_CATEGORY normal\nfont-size 30\n");
  folders.Text("default/global.txt", "FONT_CATEGORY normal\nfont-size 9\n");
  SkinList list(folders.root, Named("default"), nullptr, AnyFamily);
  EXPECT_EQ(SkinList::Category(list.MakeSkin("mine"), 0).size, 30);
  EXPECT_EQ(SkinList::Category(list.MakeSkin("other"), 0).size, 9);
  EXPECT_EQ(SkinList::Category(list.MakeSkin("../mine"), 0).size, 9);
  SkinList without_folder("", Named("default"), nullptr, AnyFamily);
  EXPECT_TRUE(without_folder.MakeSkin("mine").categories.empty());
}

TEST(SkinImageLookup, DiskOnceWithDescriptionsAndFallbacks) {
  for (const bool elsewhere : {false, true}) {
    SCOPED_TRACE(elsewhere ? "decoded elsewhere" : "decoded at the lookup");
    SkinFolders folders;
    folders.Bmp("mine/knob.bmp", 4, 40, 0x112233);
    folders.Text("mine/knob.txt", "frame_size 4 10\ntype slider\n");
    folders.Bmp("default/led.bmp", 2, 2, 0x00FF00);
    std::string error;
    WriteFile(folders.root + "/default/led.png", EncodePngGrey(3, 1, {1, 2, 3}, &error));
    MessageSink messages;
    messages.SetLogToStderr(false);
    Skin built_in = Named("default");
    auto carried = std::make_shared<SkinImage>();
    carried->name = "arrow";
    carried->pixels.width = carried->pixels.height = 1;
    carried->pixels.colour = {0x123456};
    built_in.images.push_back(carried);
    SkinList list(folders.root, built_in, &messages, AnyFamily);
    // Decoded elsewhere, a lookup only asks; the images arrive once another
    // thread has decoded them and the list has taken them in.
    auto decodes = std::make_shared<ImageDecodes>();
    if (elsewhere) list.DecodeElsewhere(decodes);
    const auto look = [&](Skin& skin, const std::string& name, SkinMode mode) {
      std::shared_ptr<const SkinImage> found = list.Image(skin, name, mode);
      if (found != nullptr || !elsewhere) return found;
      std::thread([&] { decodes->Decode(); }).join();
      list.TakeDecoded();
      return list.Image(skin, name, mode);
    };
    Skin& mine = list.Add(list.MakeSkin("mine"));

    const auto knob = look(mine, "knob", SkinMode::kColour);
    ASSERT_NE(knob, nullptr);
    EXPECT_EQ(knob->pixels.width, 4);
    EXPECT_EQ(knob->description.type, kSkinSlider);
    EXPECT_EQ(knob->description.last_frame, 3);
    EXPECT_EQ(look(mine, "knob", SkinMode::kColour), knob) << "found in the skin again";

    // Not in "mine": the default folder, where .png wins over .bmp.
    const auto led = look(mine, "led", SkinMode::kGrey);
    ASSERT_NE(led, nullptr);
    EXPECT_EQ(led->pixels.grey, (std::vector<uint8_t>{1, 2, 3}));
    const auto led_bmp = look(mine, "led.bmp", SkinMode::kColour);
    ASSERT_NE(led_bmp, nullptr);
    EXPECT_EQ(led_bmp->pixels.width, 2);
    EXPECT_EQ(led_bmp->description.last_frame, 0);

    // Nowhere on disk: the built-in default skin's image.
    EXPECT_EQ(look(mine, "arrow", SkinMode::kColour), carried);
    EXPECT_TRUE(messages.Messages().empty());

    // Missing everywhere: reported once with the last path tried, and not
    // looked for again even when the file appears later.
    EXPECT_EQ(look(mine, "absent", SkinMode::kColour), nullptr);
    EXPECT_EQ(look(mine, "absent", SkinMode::kColour), nullptr);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, "Error Loading Image.  Check this file exists: " +
                                               folders.root + "/default/absent.bmp");
    folders.Bmp("mine/absent.bmp", 1, 1, 0);
    EXPECT_EQ(look(mine, "absent", SkinMode::kColour), nullptr);

    // Names that leave the skins folder are never opened.
    folders.Bmp("outside.bmp", 1, 1, 0);
    for (const char* name : {"../outside.bmp", "..\\outside.bmp", "/etc/passwd", "c:\\x.bmp",
                             "mine/../../outside.bmp"}) {
      EXPECT_EQ(look(mine, name, SkinMode::kColour), nullptr) << name;
    }
    // A damaged file says why, besides the missing-file line.
    folders.Text("mine/broken.bmp", "BM not really");
    messages.Clear();
    EXPECT_EQ(look(mine, "broken", SkinMode::kColour), nullptr);
    ASSERT_EQ(messages.Messages().size(), 2u);
    EXPECT_NE(messages.Messages()[0].text.find("broken.bmp"), std::string::npos);
  }
}

TEST(SkinImageLookup, WithoutASkinsFolderOnlyCarriedImagesCount) {
  MessageSink messages;
  messages.SetLogToStderr(false);
  SkinList list("", Named("default"), &messages, AnyFamily);
  Skin& skin = list.Add(Named("mine"));
  EXPECT_EQ(list.Image(skin, "knob_med", SkinMode::kColour), nullptr);
  ASSERT_EQ(messages.Messages().size(), 1u);
  EXPECT_EQ(messages.Messages()[0].text, "Error Loading Image.  Check this file exists: knob_med");
}

}  // namespace
}  // namespace ov
