// Panels and their skins: which skin each object of the tree draws with,
// the panel background from the skin's image, and a change of the
// container's skin reaching the open panel.
#include <gtest/gtest.h>

#include "document/container.h"
#include "editor/panel_view.h"
#include "editor/skins/skin_list.h"
#include "editor_test_support.h"
#include "platform/message_sink.h"

namespace ov::testing {
namespace {

// A 2 x 2 image of one colour: tiled, or copied once.
std::shared_ptr<SkinImage> Background(uint32_t colour, bool tiled) {
  auto image = std::make_shared<SkinImage>();
  image->name = "background";
  image->pixels.width = 2;
  image->pixels.height = 2;
  image->pixels.colour.assign(4, colour);
  image->description.mode_letter = tiled ? 0 : 1;
  return image;
}

Skin SkinWith(std::string name, std::shared_ptr<SkinImage> background) {
  Skin skin;
  skin.name = std::move(name);
  if (background != nullptr) skin.images.push_back(std::move(background));
  return skin;
}

// Counts how often it is opened, to see a skin change reopen it.
class OpenCounter : public CPaintObject {
 public:
  void Open() override {
    ++opened;
    CPaintObject::Open();
  }
  int opened = 0;
};

struct PanelRig {
  PanelRig() : skins("", SkinWith("default", Background(0x112233, true)), &messages, nullptr) {
    messages.SetLogToStderr(false);
    skins.Add(SkinWith("Default", Background(0x445566, true)));
    skins.Add(SkinWith("blue", Background(0x0000FF, false)));
    skins.Add(SkinWith("bare", nullptr));
    root.SetSkins(&skins);
    root.SetRect({0, 0, 8, 6});
    auto window = std::make_unique<OffscreenWindow>(8, 6);
    screen = window.get();
    root.AttachWindow(std::move(window));
  }
  CMyView* Populate() {
    auto* view = static_cast<CMyView*>(PopulateView(container, root, VisualMakers()));
    child = static_cast<OpenCounter*>(view->AdoptChild(std::make_unique<OpenCounter>(), false));
    root.SetRect({0, 0, 8, 6});
    root.Open();
    return view;
  }
  const PixelImage& Paint() {
    root.InvalidateAll();
    root.Idle();
    return screen->Screen();
  }

  MessageSink messages;
  SkinList skins;
  CContainer container;
  COrvaneViewVST root{[] { return 0u; }};
  OffscreenWindow* screen = nullptr;
  OpenCounter* child = nullptr;
};

TEST(PanelSkins, TheRootAnswersDefaultAndThePanelItsContainersSkin) {
  PanelRig rig;
  rig.container.SetSkinName("blue");
  CMyView* view = rig.Populate();
  EXPECT_EQ(rig.root.GetSkin()->name, "Default");
  EXPECT_EQ(view->GetSkin()->name, "blue");
  EXPECT_EQ(rig.child->GetSkin()->name, "blue");  // children ask their parent
  rig.container.SetSkinName("Nowhere");
  EXPECT_EQ(view->GetSkin()->name, "Default");
  EXPECT_EQ(rig.skins.LastMissingName(), "Nowhere");
}

TEST(PanelSkins, BackgroundIsTiledOrCopiedOnceWithTheWindowColourAround) {
  PanelRig rig;
  rig.Populate();  // "default": a tiled background
  const PixelImage& tiled = rig.Paint();
  EXPECT_EQ(tiled.At(0, 0) & 0xFFFFFF, 0x445566u);
  EXPECT_EQ(tiled.At(7, 5) & 0xFFFFFF, 0x445566u);

  rig.container.SetSkinName("blue");  // copied once at the top left
  const PixelImage& once = rig.Paint();
  EXPECT_EQ(once.At(1, 1) & 0xFFFFFF, 0x0000FFu);
  EXPECT_EQ(once.At(2, 1) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(once.At(0, 2) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(PanelSkins, ASkinChangeReloadsTheBackgroundAndReopensOpenChildren) {
  PanelRig rig;
  rig.Populate();
  EXPECT_EQ(rig.child->opened, 1);
  rig.container.SetSkinName("bare");
  EXPECT_EQ(rig.child->opened, 2);
  EXPECT_TRUE(rig.child->IsOpen());
  // "bare" has no background: the built-in skin's stands in for it.
  EXPECT_EQ(rig.Paint().At(3, 3) & 0xFFFFFF, 0x112233u);
  rig.root.Close();
  rig.container.SetSkinName("blue");  // a closed panel no longer listens
  EXPECT_EQ(rig.messages.Messages().size(), 0u);
}

}  // namespace
}  // namespace ov::testing
