// Whole panels compared with golden pictures exactly, and partial repaints
// compared with the full paint inside their area: both go through the same
// 128 x 128 tile walk, so a tile that misplaces its origin or clip shows.
#include <gtest/gtest.h>

#include "editor_test_support.h"

namespace ov::testing {
namespace {

// Draws a frame of lines around its area: corners and end points show.
class FramedObject : public RecordingObject {
 public:
  using RecordingObject::RecordingObject;
  void Draw(Canvas& canvas) override {
    RecordingObject::Draw(canvas);
    const Rect c = ClientRect();
    const Point frame[] = {{0, 0}, {c.right - 1, 0}, {c.right - 1, c.bottom - 1},
                           {0, c.bottom - 1}, {0, 0}};
    canvas.Polyline(frame, SystemColourValue(SystemColour::kButtonShadow));
    canvas.Line({2, c.bottom - 3}, {c.right - 3, 2}, MakeColour(0, 0, 0));
  }
};

// A scene over several tiles: overlapping objects, a see-through group,
// a scrolled window object that clips its child, framed diagonals.
void BuildScene(TreeRig& rig) {
  CVisualOb& panel = *rig.panel;
  panel.AdoptChild(std::make_unique<FramedObject>("framed", rig.log, MakeColour(250, 220, 120),
                                                  Rect{100, 90, 230, 170}),
                   false);
  rig.Object(panel, "red", MakeColour(200, 30, 30), {20, 20, 140, 100});
  auto window = std::make_unique<RecordingWindow>("window", rig.log, MakeColour(30, 30, 160),
                                                  Rect{180, 20, 290, 80});
  window->SetScrollOffset({-10, 25});
  window->AdoptChild(std::make_unique<FramedObject>("inside", rig.log, MakeColour(90, 200, 90),
                                                    Rect{80, 30, 150, 90}),
                     false);
  panel.AdoptChild(std::move(window), false);
  rig.Object(panel, "blue", MakeColour(40, 90, 220), {60, 120, 200, 190});
}

TEST(GoldenPanels, SceneMatchesItsPicture) {
  TreeRig rig(300, 200);
  BuildScene(rig);
  rig.root.Open();
  rig.root.Idle();
  ExpectMatchesGolden("scene", rig.screen->Screen());
}

TEST(GoldenPanels, PartialRepaintsEqualTheFullPaintInTheirArea) {
  TreeRig rig(300, 200);
  BuildScene(rig);
  rig.root.Open();
  rig.root.Idle();
  const PixelImage full = rig.screen->BackBuffer();
  for (const PixelRect& area : {PixelRect{5, 5, 300, 200}, PixelRect{129, 63, 131, 190},
                                PixelRect{183, 21, 260, 77}}) {
    std::fill(rig.screen->BackBuffer().Pixels().begin(), rig.screen->BackBuffer().Pixels().end(),
              0x123456u);
    const PixelRect painted = rig.root.Repaint(area);
    for (int32_t y = 0; y < full.Height(); ++y) {
      for (int32_t x = 0; x < full.Width(); ++x) {
        const bool inside = x >= painted.left && x < painted.right && y >= painted.top &&
                            y < painted.bottom;
        const uint32_t expected = inside ? full.At(x, y) : 0x123456u;
        ASSERT_EQ(rig.screen->BackBuffer().At(x, y), expected)
            << "at " << x << "," << y << " repainting " << area.left << "," << area.top;
      }
    }
  }
}

TEST(GoldenPanels, OnlyTheDamageIsPresented) {
  TreeRig rig(300, 200);
  BuildScene(rig);
  rig.root.Open();
  rig.root.Idle();
  const int32_t presents = rig.screen->PresentCount();
  rig.root.Idle();  // nothing changed: nothing painted or presented
  EXPECT_EQ(rig.screen->PresentCount(), presents);
  rig.root.InvalidateRect({10, 10, 20, 20});
  rig.root.Idle();
  EXPECT_EQ(rig.screen->PresentCount(), presents + 1);
  // Changes at opposite corners are two small areas, not the window between.
  rig.root.InvalidateRect({0, 0, 8, 8});
  rig.root.InvalidateRect({290, 190, 300, 200});
  rig.root.InvalidateRect({4, 4, 12, 12});
  rig.root.Idle();
  EXPECT_EQ(rig.screen->PresentCount(), presents + 3);
}

}  // namespace
}  // namespace ov::testing
